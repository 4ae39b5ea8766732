#!/usr/bin/env bash
# The graphical program on a desktop as a user drives it: a virtual X
# session with a window manager (openbox), keys sent by xdotool. It starts
# over a large disc image, closes the window while the scan runs and
# answers the question with No (the scan goes on), chooses the healthy
# drive in Select Drive once the scan has ended, checks that the window
# title names that disc's volume, and quits. Usage: check_gui_desktop.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
for tool in xvfb-run openbox xdotool genisoimage; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/dravik-cli" make-demo "$work/sample" >/dev/null
# Many folders of small files.
mkdir -p "$work/large"
for d in $(seq 1 60); do
  mkdir "$work/large/DIR$d"
  for f in $(seq 1 100); do echo "$f" >"$work/large/DIR$d/F$f.TXT"; done
done
genisoimage -quiet -V LARGEDISC -o "$work/large.iso" "$work/large"
# In a drive that spins up for a few seconds: the scan waits for it, so the
# close surely comes while the scan runs.
printf 'not-ready 14\ntrack mode1 file large.iso\n' >"$work/large.vdisc"
# D: the large image (the drive used last, scanned at start), E: the sample.
cat >"$work/user.reg" <<'REG'
[Software\Quenby\Dravik]
"LastDevice"="D:"
REG
export DRAVIK_IMAGES=$work/large.vdisc:$work/sample/sample.vdisc DRAVIK_CONFIG_DIR=$work
export DRAVIK_DEBUG_LOG=$work/run.DBG XDG_RUNTIME_DIR=$work
here=$(cd "$(dirname "$0")/.." && pwd)
export LSAN_OPTIONS="suppressions=$here/tests/shell/lsan_desktop_session.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
# Runs inside the X session; its exit status is the check's.
set -u
fail() { echo "$*"; kill "$program" 2>/dev/null; exit 1; }
until_true() {  # SECONDS COMMAND...: retries every 0.2 s
  local tries=$(( $1 * 5 )); shift
  for _ in $(seq "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.2; done
  return 1
}
openbox >/dev/null 2>&1 &
sleep 1
"$DRAVIK_BIN" -D -N >"$WORK/out" 2>&1 &
program=$!
until_true 30 xdotool search --onlyvisible --name "Pellor Dravik" || fail "the window did not appear"
window=$(xdotool search --onlyvisible --name "Pellor Dravik" | head -1)
# The scan starts as the window shows. Close the window during the scan:
# the program asks; Escape answers No.
# The window manager may not take keys yet right after the window maps:
# the close is sent again until the question shows.
asked=no
for _ in 1 2 3 4 5; do
  xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 2>/dev/null
  if until_true 2 grep -q "Stop the scan and quit" "$WORK/run.DBG"; then asked=yes; break; fi
done
[ "$asked" = yes ] || fail "closing during the scan asked nothing"
sleep 0.5
xdotool key Escape
until_true 60 grep -q "Final TOC information" "$WORK/run.DBG" || fail "the scan of the large disc did not end"
kill -0 "$program" 2>/dev/null || fail "the program quit although the user answered No"
# Select Drive, the last line (the healthy disc), OK.
sleep 0.5
xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+d
until_true 10 xdotool search --onlyvisible --name "Select" || fail "Select Drive did not open"
sleep 0.5
xdotool key End Return
until_true 60 xdotool search --name "HOLIDAY_2024 - Pellor Dravik" || fail "the window title does not name the healthy disc's volume"
xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+q
for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
kill -0 "$program" 2>/dev/null && fail "the program did not quit on Exit"
wait "$program"
SESSION
chmod +x "$work/session.sh"
status=0
DRAVIK_BIN=$build/bin/dravik WORK=$work timeout 90 xvfb-run -a "$work/session.sh" >"$work/session.out" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "the desktop check failed (status $status)"; cat "$work/session.out"; cat "$work/out" 2>/dev/null | tail -20; exit 1
fi
echo "dravik was closed during a scan, kept running on No, scanned the chosen drive and quit cleanly"
