#!/usr/bin/env bash
# Runs the graphical program in a virtual X session (with a window manager)
# over the two-session sample disc of dravik-cli make-demo and copies files
# as a user would: once the scan has ended, Ctrl+S (Copy Files To, nothing
# selected: the first track's folder), Enter in the folder dialog (which
# offers the folder used last), then checks that the copied files equal
# those dravik-cli extract writes, and that the program ends cleanly (exit
# 0) on Ctrl+Q. Usage: check_gui_copy.sh BUILD_DIR
set -euo pipefail
build=${1:?build folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/dravik-cli" make-demo "$work/sample" >/dev/null
image=$work/sample/sample.vdisc
mkdir -p "$work/gui" "$work/cli"
# The image is drive D:, the drive used last, so start-up scans it; the
# copy folder used last is the one the folder dialog offers.
cat >"$work/user.reg" <<REG
[Software\\Quenby\\Dravik]
"LastDevice"="D:"
"CopyFolder"="$work/gui"
REG
export DRAVIK_IMAGES=$image DRAVIK_CONFIG_DIR=$work DRAVIK_DEBUG_LOG=$work/run.DBG XDG_RUNTIME_DIR=$work
here=$(cd "$(dirname "$0")/.." && pwd)
export LSAN_OPTIONS="suppressions=$here/tests/shell/lsan_desktop_session.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# What runs inside the X session.
cat >"$work/session.sh" <<'SESSION'
set -u
wait_for() {  # wait_for SECONDS COMMAND...: until COMMAND succeeds
  local limit=$1; shift
  for _ in $(seq $((limit * 5))); do "$@" && return 0; sleep 0.2; done
  return 1
}
openbox >/dev/null 2>&1 &
wm=$!
"$BUILD/bin/dravik" -D -N >"$WORK/out" 2>&1 &
program=$!
status=0
if ! wait_for 60 grep -qs "Final TOC information" "$WORK/run.DBG"; then
  echo "the scan did not end"; status=1
else
  window=$(wait_for 20 xdotool search --onlyvisible --name "HOLIDAY_2024" >/dev/null && xdotool search --onlyvisible --name "HOLIDAY_2024" | head -1)
  # The log line comes just before the window gives the commands back.
  sleep 2
  xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+s
  # The folder dialog opens on the folder used last; Enter takes it.
  if wait_for 20 xdotool search --onlyvisible --name "Copy Files To" >/dev/null; then
    sleep 1
    xdotool key --clearmodifiers Return
  else
    echo "the folder dialog did not open"; status=1
  fi
  wait_for 60 xdotool search --onlyvisible --name "Copy Finished" >/dev/null || { echo "the copy did not finish"; status=1; }
  xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+q
fi
for _ in $(seq 150); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$program" 2>/dev/null; then echo "dravik did not end"; kill "$program"; status=1; fi
wait "$program" || { echo "dravik ended with status $?"; status=1; }
kill "$wm" 2>/dev/null
exit $status
SESSION
status=0
BUILD=$build WORK=$work timeout 150 xvfb-run -a bash "$work/session.sh" || status=$?
if [ "$status" -ne 0 ]; then
  echo "the session failed ($status)"; cat "$work/out"; exit 1
fi
"$build/bin/dravik-cli" extract "$image" --to "$work/cli" "HOLIDAY_2024 (Session 1)" >/dev/null
track="HOLIDAY_2024 (Session 1)"
[ -f "$work/gui/$track/PHOTOS/IMG_0002.JPG" ] || { echo "nothing was copied:"; find "$work/gui"; exit 1; }
diff -r "$work/cli/$track" "$work/gui/$track" || { echo "the copied files differ from the disc's"; exit 1; }
echo "dravik copied $(find "$work/gui" -type f | wc -l) files of $(basename "$image") in a virtual X session, equal to the disc's"
