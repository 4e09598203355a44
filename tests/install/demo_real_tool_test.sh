#!/usr/bin/env bash
# The demo as a new user sees it: demo.sh starts the real tool on an Xvfb
# display (with openbox), the tool lists the 12 simulated modules, Exit ends
# it and the demo leaves nothing behind. The window's screenshot is kept.
#   demo_real_tool_test.sh DEMO_SCRIPT PELMAR ARTIFACTS_DIR
set -euo pipefail
demo=$1 pelmar=$2 artifacts=$3

# shellcheck source=../support/test_verdicts.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/test_verdicts.sh"
fail() {
  echo "FAIL: $*" >&2
  cp "$work/shot.png" "$artifacts/failure.png" 2>/dev/null || true
  cat "$work/demo.log" >&2 2>/dev/null || true
  exit 1
}
for tool in Xvfb openbox xdotool xwininfo import; do
  command -v "$tool" >/dev/null || skip "$tool missing"
done

work=$(mktemp -d)
chmod 755 "$work"
mkdir -p "$artifacts"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    if kill "$pid" 2>/dev/null; then wait "$pid" 2>/dev/null || true; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, on a local socket only. The tool reaches it from
# inside the demo's private network through the socket file.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_until "Xvfb" test -s "$work/display"
export DISPLAY=:$(head -1 "$work/display")
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_until "the window manager" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

# The real tool, telling the test where the demo keeps its files and how the
# tool ended: the demo's own status need not carry a crash at exit.
cat >"$work/pelmar" <<WRAPPER
#!/bin/sh
echo "\$DEMO_WORK" >"$work/demo-work"
status=0
"$pelmar" "\$@" || status=\$?
echo "\$status" >"$work/tool-status"
exit "\$status"
WRAPPER
chmod 755 "$work/pelmar"

PELMAR=$work/pelmar "$demo" >"$work/demo.log" 2>&1 &
demo_pid=$!
pids+=("$demo_pid")
window=
find_window() { window=$(xdotool search --onlyvisible --name '^Pelmar$' | head -1) && [[ -n $window ]]; }
deadline=$((SECONDS + 60))
until find_window; do
  if ! kill -0 "$demo_pid" 2>/dev/null; then
    status=0; wait "$demo_pid" || status=$?
    [[ $status -eq 77 ]] && { cat "$work/demo.log"; skip "the demo could not make its private network"; }
    fail "the demo ended ($status) before the tool's window showed"
  fi
  ((SECONDS < deadline)) || fail "the tool's window never showed"
  sleep 0.05
done
grep -q 'press-line-1 *press1' "$work/demo.log" || fail "passwords were not printed"
read -r wx wy ww wh < <(xwininfo -id "$window" | awk -F: '
  /Absolute upper-left X/ {x=$2} /Absolute upper-left Y/ {y=$2}
  /^ *Width/ {w=$2} /^ *Height/ {h=$2} END {print x+0, y+0, w+0, h+0}')

# The selection band of the list (a column of pixels at the list's left):
# first and last pixel rows of the highlight colour.
band() {
  import -window root "$work/shot.png"
  convert "$work/shot.png" -crop "1x$((wh - 60))+$((wx + 20))+$((wy + 30))" txt:- |
    awk -F"[(),:]+" 'NR > 1 && $6 > 150 && $4 < 100 {y = $2;
      if (first == "") first = y; last = y} END {print first, last}'
}
# The first row, once there is one.
first_row() {
  xdotool mousemove $((wx + 30)) $((wy + 45)) sleep 0.1 click 1
  xdotool key Home
  read -r top bottom < <(band)
  [[ -n $top ]]
}
wait_until "a first row" first_row
read -r top bottom < <(band)
height=$((bottom - top + 1))
# Rows arrive as the modules answer: wait until the last one is the 12th.
rows() {
  xdotool key End
  local first last
  read -r first last < <(band)
  [[ -n $first ]] && echo $(((first - top) / height + 1))
}
twelve() { [[ $(rows) -eq 12 ]]; }
wait_until "12 rows in the list" twelve
xdotool key Home
import -frame -window "$window" "$artifacts/demo-main-window.png"
echo "screenshot: $artifacts/demo-main-window.png"
[[ $(rows) -eq 12 ]] || fail "more than 12 rows"

# Exit (button 1, bottom right) ends the tool, and with it the demo.
xdotool mousemove $((wx + ww - 55)) $((wy + wh - 22)) sleep 0.1 click 1
status=0
wait "$demo_pid" || status=$?
[[ $status -eq 0 ]] || fail "demo ended with $status"
[[ -s $work/tool-status ]] || fail "the tool's exit status was not recorded"
tool_status=$(cat "$work/tool-status")
[[ $tool_status -eq 0 ]] || fail "the tool ended with $tool_status"
demo_work=$(cat "$work/demo-work")
[[ -n $demo_work && ! -e $demo_work ]] || fail "demo files left in $demo_work"
if pgrep -f "$demo_work" >/dev/null; then fail "processes of the demo still run"; fi
echo "demo with the real tool OK"
