# shellcheck shell=bash
# A private lab for driving the real tool: a host namespace with Xvfb, openbox
# and the tool, a module namespace with mdsp-sim, one veth pair between them.
# Everything the tool broadcasts stays in there; the lab is removed on exit,
# also when a check fails. Sourced by the real-window tests.
#
# Needs: XLAB_SIM (mdsp-sim), XLAB_CATCH (udp_catch), XLAB_ARTIFACTS (folder
# for screenshots, kept), XLAB_MODULES (module file JSON).

# shellcheck source=../../support/test_verdicts.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../support/test_verdicts.sh"
# shellcheck source=../../support/netns.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../support/netns.sh"
fail() {
  echo "FAIL: $*" >&2
  if [[ -n ${XLAB_DISPLAY:-} ]]; then xlab_shot "failure" >&2 || true; fi
  local log
  for log in xvfb openbox tool; do
    if [[ -s ${XLAB_WORK:-/nonexistent}/$log.log ]]; then
      echo "--- $log.log (last lines)" >&2
      tail -10 "$XLAB_WORK/$log.log" >&2
    fi
  done
  if [[ -s ${XLAB_WORK:-/nonexistent}/sim.log ]]; then
    echo "--- simulator log (last lines, datagrams cut)" >&2
    tail -20 "$XLAB_WORK/sim.log" | cut -c1-100 >&2
  fi
  exit 1
}

xlab_pids=()
xlab_cleanup() {
  local pid
  for pid in "${xlab_pids[@]}"; do
    kill "$pid" 2>/dev/null || continue
    # Up to 5 s to end on its own, then forced: a clean-up never stalls.
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  [[ -n ${XLAB_HOST:-} ]] && ip netns del "$XLAB_HOST" 2>/dev/null
  [[ -n ${XLAB_MOD:-} ]] && ip netns del "$XLAB_MOD" 2>/dev/null
  [[ -n ${XLAB_WORK:-} ]] && rm -rf "$XLAB_WORK"
  return 0
}

# Runs a command in the host namespace on the lab's display. Background
# programs are started with "${INNS[@]}" directly, so $! is the program.
# A client that hangs on the display fails the test with its name instead of
# stalling it.
inns() {
  local status=0
  timeout 30 "${INNS[@]}" "$@" || status=$?
  ((status != 124)) || fail "stuck for 30 s: $*"
  return "$status"
}

xlab_start() {
  [[ $(id -u) -eq 0 ]] || skip "needs root for network namespaces"
  local tool
  for tool in ip Xvfb openbox xdotool xprop xwininfo import; do
    command -v "$tool" >/dev/null || skip "$tool missing"
  done
  XLAB_WORK=$(mktemp -d /tmp/xlab.XXXXXX)
  chmod 755 "$XLAB_WORK"
  mkdir -p "$XLAB_WORK/home" "$XLAB_WORK/run" "$XLAB_ARTIFACTS"
  chmod 700 "$XLAB_WORK/run"
  trap xlab_cleanup EXIT
  trap 'exit 130' INT TERM HUP
  netns_sweep xlab
  local name
  name=$(netns_name xlab)
  XLAB_HOST=$name-h XLAB_MOD=$name-m
  ip netns add "$XLAB_HOST" || { XLAB_HOST=; skip "cannot create a network namespace"; }
  ip netns add "$XLAB_MOD" || fail "second namespace"
  ip link add h0 netns "$XLAB_HOST" type veth peer name m0 netns "$XLAB_MOD" || fail "veth"
  ip -n "$XLAB_HOST" link set lo up
  ip -n "$XLAB_MOD" link set lo up
  ip -n "$XLAB_HOST" addr add 10.77.0.1/24 dev h0
  ip -n "$XLAB_MOD" addr add 10.77.0.2/24 dev m0
  ip -n "$XLAB_HOST" link set h0 up
  ip -n "$XLAB_MOD" link set m0 up

  echo "$XLAB_MODULES" >"$XLAB_WORK/modules.json"
  ip netns exec "$XLAB_MOD" "$XLAB_SIM" --iface m0 --config "$XLAB_WORK/modules.json" \
    --log "$XLAB_WORK/sim.log" >/dev/null 2>&1 &
  xlab_pids+=($!)
  wait_until "the simulator" grep -q '^ready ' "$XLAB_WORK/sim.log"

  # The display lives in the host namespace too, on an abstract socket only:
  # that socket exists in this namespace alone, so labs running side by side
  # never meet on (or remove) each other's socket or lock files in /tmp.
  # No reset when the last client leaves: a client connecting during the
  # reset (the window manager, while the test polls) would be refused.
  ip netns exec "$XLAB_HOST" Xvfb -displayfd 3 -nolisten tcp -nolisten unix -nolock -noreset \
    -screen 0 1024x768x24 \
    3>"$XLAB_WORK/display" >"$XLAB_WORK/xvfb.log" 2>&1 &
  xlab_pids+=($!)
  wait_until "Xvfb" test -s "$XLAB_WORK/display"
  XLAB_DISPLAY=:$(head -1 "$XLAB_WORK/display")
  INNS=(ip netns exec "$XLAB_HOST" env DISPLAY="$XLAB_DISPLAY" HOME="$XLAB_WORK/home"
        XDG_CONFIG_HOME="$XLAB_WORK/home/.config" XDG_RUNTIME_DIR="$XLAB_WORK/run")
  "${INNS[@]}" openbox --sm-disable >"$XLAB_WORK/openbox.log" 2>&1 &
  xlab_pids+=($!)
  wait_until "the window manager" inns xprop -root -notype _NET_SUPPORTING_WM_CHECK
  wait_until "the window manager's check window" \
    xlab_wm_checked
}

xlab_wm_checked() {
  local root
  root=$(inns xprop -root _NET_SUPPORTING_WM_CHECK) && grep -q 'window id' <<<"$root"
}

# xlab_shot NAME: screenshot of the whole display into the artifacts.
xlab_shot() {
  local file=$XLAB_ARTIFACTS/$1.png
  # As root: the tool may run as another user.
  timeout 30 ip netns exec "$XLAB_HOST" env DISPLAY="$XLAB_DISPLAY" import -window root "$file" &&
    echo "screenshot: $file"
}

# xlab_tool [ARGS...]: starts the tool (XLAB_PELMAR) in the host namespace
# and waits for its main window; sets TOOL_PID and TOOL_WIN.
xlab_tool() {
  XLAB_TX_BEFORE=$(grep -c '^tx ' "$XLAB_WORK/sim.log" || true)
  "${INNS[@]}" "${XLAB_PELMAR:?}" "$@" >"$XLAB_WORK/tool.log" 2>&1 &
  TOOL_PID=$!
  xlab_pids+=("$TOOL_PID")
  local deadline=$((SECONDS + 60))
  echo "$(date +%T) starting the tool: $*" >&2
  TOOL_WIN=
  until TOOL_WIN=$(inns xdotool search --onlyvisible --name '^Pelmar$' 2>/dev/null | head -1) &&
        [[ -n $TOOL_WIN ]]; do
    kill -0 "$TOOL_PID" 2>/dev/null || { cat "$XLAB_WORK/tool.log" >&2; fail "the tool ended before its window showed"; }
    if inns xdotool search --onlyvisible --name '^(Warning|Error)$' >/dev/null 2>&1; then
      fail "the tool showed a warning instead of its window"
    fi
    ((SECONDS < deadline)) || fail "the tool's window never showed"
    sleep 0.05
  done
  # Geometry of the client area: X Y WIDTH HEIGHT.
  read -r WIN_X WIN_Y WIN_W WIN_H < <(xlab_geometry)
}

# The client area on the screen (xwininfo; xdotool counts the frame twice
# for a window the manager has reparented).
xlab_geometry() {
  inns xwininfo -id "$TOOL_WIN" | awk -F: '
    /Absolute upper-left X/ {x=$2} /Absolute upper-left Y/ {y=$2}
    /^ *Width/ {w=$2} /^ *Height/ {h=$2}
    END {print x+0, y+0, w+0, h+0}'
}

# xlab_answers N: waits until the simulator has sent N answers since the
# tool started.
xlab_answers() {
  local want=$(($1 + XLAB_TX_BEFORE))
  wait_until "$want answers of the simulator" \
    sh -c "[ \$(grep -c '^tx ' '$XLAB_WORK/sim.log') -ge $want ]"
}

# xlab_listen PORT: the picker reply catcher in the host namespace.
xlab_listen() {
  rm -f "$XLAB_WORK/reply"
  ip netns exec "$XLAB_HOST" "$XLAB_CATCH" "$1" "$XLAB_WORK/reply" 120 >"$XLAB_WORK/catch.log" 2>&1 &
  CATCH_PID=$!
  xlab_pids+=("$CATCH_PID")
  wait_until "the reply catcher" grep -q listening "$XLAB_WORK/catch.log"
}

# xlab_reply: waits for the picker reply and prints "IP MAC".
xlab_reply() {
  wait_until "the picker reply" test -f "$XLAB_WORK/reply"
  sed -n 's|.*<SELECTED_IP>\(.*\)</SELECTED_IP>.*|\1|p; s|.*<SELECTED_MAC>\(.*\)</SELECTED_MAC>.*|\1|p' \
    "$XLAB_WORK/reply" | paste -sd' '
}

# xlab_tool_ends: waits for the tool to end; sets TOOL_STATUS to its exit
# status. Not for a command substitution: a subshell cannot collect the
# status of a child its parent has already reaped.
xlab_tool_ends() {
  local deadline=$((SECONDS + 60))
  echo "$(date +%T) waiting for the tool to end" >&2
  while kill -0 "$TOOL_PID" 2>/dev/null; do
    ((SECONDS < deadline)) || fail "gave up waiting for the tool to end"
    sleep 0.05
  done
  TOOL_STATUS=0
  wait "$TOOL_PID" || TOOL_STATUS=$?
}
# xlab_tool_ends_cleanly [WHAT]: the tool ends with status 0, or the test
# fails with WHAT and the status.
xlab_tool_ends_cleanly() {
  xlab_tool_ends
  [[ $TOOL_STATUS -eq 0 ]] || fail "${1:-exit status} ($TOOL_STATUS)"
}

# Mouse and keyboard, as a person: move, click, type.
click_at() {  # click_at X Y [BUTTON] [REPEAT]: X, Y in the window's client area
  # No --sync: xdotool waits forever when the pointer is there already.
  inns xdotool mousemove $((WIN_X + $1)) $((WIN_Y + $2)) sleep 0.1 click --repeat "${4:-1}" "${3:-1}"
}
keys() { inns xdotool key --clearmodifiers --delay 60 "$@"; }
type_text() { inns xdotool type --delay 40 "$1"; }
