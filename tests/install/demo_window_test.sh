#!/usr/bin/env bash
# The demo's window side without the real window: a stand-in for the tool,
# started by demo.sh on an Xvfb display, must reach that display from inside
# the private network, see only the private network there, and find the 12
# modules. When it ends, the demo must leave nothing running behind.
#   demo_window_test.sh DEMO_SCRIPT STAND_IN
set -euo pipefail
demo=$1 stand_in=$2

# shellcheck source=../support/test_verdicts.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/test_verdicts.sh"
for tool in Xvfb xdpyinfo; do command -v "$tool" >/dev/null || skip "$tool missing"; done

work=$(mktemp -d)
xvfb=
cleanup() {
  if [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null; then wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, on a local socket only.
Xvfb -displayfd 3 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
tries=0
until [[ -s $work/display ]]; do
  kill -0 "$xvfb" 2>/dev/null || { cat "$work/xvfb.log"; skip "Xvfb did not start"; }
  ((++tries < 400)) || fail "Xvfb gave no display number"
  sleep 0.05
done
display=:$(head -1 "$work/display")

status=0
DISPLAY=$display PELMAR=$stand_in STAND_IN_REPORT=$work/report \
  "$demo" >"$work/demo.log" 2>&1 || status=$?
if [[ $status -eq 77 ]]; then cat "$work/demo.log"; skip "the demo could not make its private network"; fi
[[ $status -eq 0 ]] || { cat "$work/demo.log"; fail "demo ended with $status"; }
grep -q '^display ok$' "$work/report" || { cat "$work/demo.log" "$work/report"; fail "display"; }
grep -q '^links demo0 lo$' "$work/report" || { cat "$work/report"; fail "not a private network"; }
grep -q '^modules 12$' "$work/report" || { cat "$work/report"; fail "modules"; }
grep -q 'press-line-1 *press1' "$work/demo.log" || fail "passwords were not printed"

# Closing the window ended the simulator and removed the demo's files.
demo_work=$(sed -n 's/^work //p' "$work/report")
[[ -n $demo_work && ! -e $demo_work ]] || fail "demo files left in $demo_work"
if pgrep -f "$demo_work" >/dev/null; then fail "processes of the demo still run"; fi
echo "demo window side OK"
