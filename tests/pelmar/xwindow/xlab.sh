# shellcheck shell=bash
# A private lab for driving the real tool: a host namespace with Xvfb, openbox
# and the tool, a module namespace with mdsp-sim, one veth pair between them.
# Everything the tool broadcasts stays in there; the lab is removed on exit,
# also when a check fails. Sourced by the real-window tests.
#
# Needs: XLAB_SIM (mdsp-sim), XLAB_CATCH (udp_catch), XLAB_ARTIFACTS (folder
# for screenshots, kept), XLAB_MODULES (module file JSON).

xlab_skip() {
  if [[ ${CI:-} == true ]]; then echo "FAIL: $*" >&2; exit 1; fi
  echo "SKIP: $*"; exit 77
}
fail() {
  echo "FAIL: $*" >&2
  if [[ -n ${XLAB_DISPLAY:-} ]]; then xlab_shot "failure" >&2 || true; fi
  if [[ -s ${XLAB_WORK:-/nonexistent}/sim.log ]]; then
    echo "--- simulator log (last lines, datagrams cut)" >&2
    tail -20 "$XLAB_WORK/sim.log" | cut -c1-100 >&2
  fi
  exit 1
}

# wait_until DESCRIPTION COMMAND...: polls for up to 60 s.
wait_until() {
  local what=$1 tries=0
  shift
  until "$@" >/dev/null 2>&1; do
    ((++tries < 1200)) || fail "gave up waiting for $what"
    sleep 0.05
  done
}

xlab_pids=()
xlab_cleanup() {
  local pid
  for pid in "${xlab_pids[@]}"; do
    if kill "$pid" 2>/dev/null; then wait "$pid" 2>/dev/null || true; fi
  done
  [[ -n ${XLAB_HOST:-} ]] && ip netns del "$XLAB_HOST" 2>/dev/null
  [[ -n ${XLAB_MOD:-} ]] && ip netns del "$XLAB_MOD" 2>/dev/null
  [[ -n ${XLAB_WORK:-} ]] && rm -rf "$XLAB_WORK"
  return 0
}

# Runs a command in the host namespace on the lab's display. Background
# programs are started with "${INNS[@]}" directly, so $! is the program.
inns() { "${INNS[@]}" "$@"; }

xlab_start() {
  [[ $(id -u) -eq 0 ]] || xlab_skip "needs root for network namespaces"
  local tool
  for tool in ip Xvfb openbox xdotool xprop xwininfo import; do
    command -v "$tool" >/dev/null || xlab_skip "$tool missing"
  done
  XLAB_WORK=$(mktemp -d /tmp/xlab.XXXXXX)
  chmod 755 "$XLAB_WORK"
  mkdir -p "$XLAB_WORK/home" "$XLAB_WORK/run" "$XLAB_ARTIFACTS"
  chmod 700 "$XLAB_WORK/run"
  trap xlab_cleanup EXIT
  trap 'exit 130' INT TERM HUP
  XLAB_HOST="xlab-$$-$RANDOM-h" XLAB_MOD="xlab-$$-$RANDOM-m"
  ip netns add "$XLAB_HOST" || { XLAB_HOST=; xlab_skip "cannot create a network namespace"; }
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

  # The display lives in the host namespace too; local socket only.
  ip netns exec "$XLAB_HOST" Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 \
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
    sh -c "ip netns exec $XLAB_HOST env DISPLAY=$XLAB_DISPLAY xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"
}

# xlab_shot NAME: screenshot of the whole display into the artifacts.
xlab_shot() {
  local file=$XLAB_ARTIFACTS/$1.png
  # As root: the tool may run as another user.
  ip netns exec "$XLAB_HOST" env DISPLAY="$XLAB_DISPLAY" import -window root "$file" &&
    echo "screenshot: $file"
}

# xlab_tool [ARGS...]: starts the tool (XLAB_PELMAR) in the host namespace
# and waits for its main window; sets TOOL_PID and TOOL_WIN.
xlab_tool() {
  XLAB_TX_BEFORE=$(grep -c '^tx ' "$XLAB_WORK/sim.log" || true)
  "${INNS[@]}" "${XLAB_PELMAR:?}" "$@" >"$XLAB_WORK/tool.log" 2>&1 &
  TOOL_PID=$!
  xlab_pids+=("$TOOL_PID")
  local tries=0
  TOOL_WIN=
  until TOOL_WIN=$(inns xdotool search --onlyvisible --name '^Pelmar$' 2>/dev/null | head -1) &&
        [[ -n $TOOL_WIN ]]; do
    kill -0 "$TOOL_PID" 2>/dev/null || { cat "$XLAB_WORK/tool.log" >&2; fail "the tool ended before its window showed"; }
    if inns xdotool search --onlyvisible --name '^(Warning|Error)$' >/dev/null 2>&1; then
      fail "the tool showed a warning instead of its window"
    fi
    ((++tries < 1200)) || fail "the tool's window never showed"
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

# xlab_tool_ends: waits for the tool to end; prints its exit status.
xlab_tool_ends() {
  wait_until "the tool to end" sh -c "! kill -0 $TOOL_PID"
  local status=0
  wait "$TOOL_PID" || status=$?
  echo "$status"
}

# Mouse and keyboard, as a person: move, click, type.
click_at() {  # click_at X Y [BUTTON] [REPEAT]: X, Y in the window's client area
  # No --sync: xdotool waits forever when the pointer is there already.
  inns xdotool mousemove $((WIN_X + $1)) $((WIN_Y + $2)) sleep 0.1 click --repeat "${4:-1}" "${3:-1}"
}
keys() { inns xdotool key --clearmodifiers --delay 60 "$@"; }
type_text() { inns xdotool type --delay 40 "$1"; }
