#!/usr/bin/env bash
# Runs the graphical program in a virtual X session over a disc image and
# checks that it starts, stays up, and ends cleanly (exit 0) on the close
# command. Usage: check_gui_xvfb.sh BUILD_DIR [IMAGE]
set -euo pipefail
build=${1:?build folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
image=${2:-$work/blank.iso}
[ -f "$image" ] || truncate -s 128K "$image"
export DRAVIK_IMAGES=$image DRAVIK_CONFIG_DIR=$work DRAVIK_DEBUG_LOG=$work/run.DBG
export XDG_RUNTIME_DIR=$work DRAVIK_CLOSE_AFTER_MS=1500
# A sanitizer build: D-Bus's own buffer is not ours (see the file).
here=$(cd "$(dirname "$0")/.." && pwd)
export LSAN_OPTIONS="suppressions=$here/tests/shell/lsan_desktop_session.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
status=0
timeout 60 xvfb-run -a "$build/bin/dravik" -D >"$work/out" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "dravik ended with status $status"; cat "$work/out"; exit 1
fi
grep -q "Device Interface initialization" "$work/run.DBG" || { echo "the device library did not start"; cat "$work/run.DBG"; exit 1; }
echo "dravik started in a virtual X session and closed cleanly"
