#!/usr/bin/env bash
# Runs the graphical program in a virtual X session over a disc (the sample
# disc of dravik-cli make-demo unless IMAGE is given) with that drive as the
# one used last, and checks that it starts, scans the disc, and ends cleanly
# (exit 0) on the close command. Usage: check_gui_xvfb.sh BUILD_DIR [IMAGE]
set -euo pipefail
build=${1:?build folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
image=${2:-}
if [ -z "$image" ]; then
  "$build/bin/dravik-cli" make-demo "$work/sample" >/dev/null
  image=$work/sample/sample.vdisc
fi
# The image is drive D:, the drive used last, so start-up scans it.
cat >"$work/user.reg" <<'REG'
[Software\Quenby\Dravik]
"LastDevice"="D:"
REG
# The close command comes once the scan has had time to end (a close
# during a scan only stops the scan and leaves the window open).
export DRAVIK_IMAGES=$image DRAVIK_CONFIG_DIR=$work DRAVIK_DEBUG_LOG=$work/run.DBG
export XDG_RUNTIME_DIR=$work DRAVIK_CLOSE_AFTER_MS=${DRAVIK_CLOSE_AFTER_MS:-6000}
# A sanitizer build: D-Bus's own buffer is not ours (see the file).
here=$(cd "$(dirname "$0")/.." && pwd)
export LSAN_OPTIONS="suppressions=$here/tests/shell/lsan_desktop_session.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
status=0
timeout 90 xvfb-run -a "$build/bin/dravik" -D >"$work/out" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "dravik ended with status $status"; cat "$work/out"; exit 1
fi
log=$work/run.DBG
grep -q "Device Interface initialization" "$log" || { echo "the device library did not start"; cat "$log"; exit 1; }
grep -q "Processing track 1," "$log" || { echo "the scan did not reach the first track"; cat "$log"; exit 1; }
grep -q "Final TOC information" "$log" || { echo "the scan did not end"; cat "$log"; exit 1; }
echo "dravik scanned $(basename "$image") in a virtual X session and closed cleanly"
