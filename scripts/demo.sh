#!/usr/bin/env bash
# Tries Pelmar without hardware: a dozen simulated modules on a private
# network that only the tool can see. Closing the tool's window ends the
# simulator and removes the network; nothing reaches your real network.
#
#   scripts/demo.sh            start the tool on your display (X11 or Wayland)
#   scripts/demo.sh --check    no window: scan the private network with
#                              mdspctl and check that all 12 modules answer
#   scripts/demo.sh --help | --version
#
# What is missing is built first, after the Debian packages it needs
# (scripts/install-deps.sh; as a normal user through sudo, after asking).
# DEMO_NETNS=auto|user|root  how the private network is made. auto (default):
#   an unprivileged user and network namespace when the system allows it,
#   otherwise `ip netns` as root (run the script with sudo).
# BUILD_DIR, MDSP_SIM, MDSPCTL, PELMAR: where the programs are.
set -euo pipefail
# shellcheck source=scripts/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help_or_version "${BASH_SOURCE[0]}" "$@"

here=$scripts_root
build="${BUILD_DIR:-$here/build}"

# The private network: the tool's side and the modules' side of one cable.
readonly HOST_IF=demo0 HOST_ADDR=10.77.0.1/24 MOD_IF=mod0 MOD_ADDR=10.77.0.2/24
readonly MODULE_COUNT=12

say() { echo "demo: $*" >&2; }
die() { say "$1"; exit "${2:-1}"; }  # die MESSAGE [STATUS]

# A network test that cannot make its namespace is skipped, except in CI.
unavailable() {
  if [[ ${DEMO_CHECK:-0} == 1 && ${CI:-} != true ]]; then
    say "skipped: $*"
    exit 77
  fi
  die "$*"
}

wait_for() {  # wait_for DESCRIPTION COMMAND...: polls up to 20 s
  local what=$1 tries=0
  shift
  until "$@"; do
    ((++tries < 400)) || { say "gave up waiting for $what"; return 1; }
    sleep 0.05
  done
}

stop_process() {  # stop_process PID: a child of this script, if it still runs
  if [[ -n $1 ]] && kill "$1" 2>/dev/null; then wait "$1" 2>/dev/null || true; fi
}

write_modules() {  # the simulator's module file; also the password list
  cat >"$1" <<'JSON'
{
  "modules": [
    { "mac": "02-00-00-00-10-01", "protocol": "text", "password": "press1",
      "seed": "k7Q2ZP91", "ip": "10.77.0.11", "subnet": "255.255.255.0",
      "gateway": "10.77.0.1", "hostname": "press-line-1", "type": "SIM-IO 16DI" },
    { "mac": "02-00-00-00-10-02", "protocol": "text", "password": "press2",
      "seed": "Xa93mQ0c", "ip": "10.77.0.12", "subnet": "255.255.255.0",
      "gateway": "10.77.0.1", "hostname": "press-line-2", "type": "SIM-IO 16DO" },
    { "mac": "02-00-00-00-10-03", "protocol": "text", "password": "oven",
      "ip": "10.77.0.13", "subnet": "255.255.255.0", "gateway": "10.77.0.1",
      "hostname": "oven-zone-a", "type": "SIM-IO 8AI" },
    { "mac": "02-00-00-00-10-04", "protocol": "text", "password": "",
      "ip": "192.168.0.10", "subnet": "255.255.255.0", "gateway": "192.168.0.1",
      "hostname": "fresh-from-box", "type": "SIM-IO 8AO" },
    { "mac": "02-00-00-00-10-05", "protocol": "text", "password": "dock",
      "seed": "Lm4P2rT7", "ip": "10.77.0.15", "subnet": "255.255.255.0",
      "gateway": "10.77.0.1", "dhcp": true, "hostname": "dock-door-5",
      "type": "SIM-IO 4RO" },
    { "mac": "02-00-00-00-10-06", "protocol": "text", "password": "conveyor",
      "ip": "10.77.0.16", "subnet": "255.255.255.0", "gateway": "10.77.0.1",
      "hostname": "conveyor-6", "type": "SIM-IO 16DI", "reply": "unicast" },
    { "mac": "02-00-00-00-20-01", "protocol": "secure", "password": "valve1",
      "ip": "10.77.0.21", "subnet": "255.255.255.0", "gateway": "10.77.0.1",
      "hostname": "valve-block-1", "type": "SIM-GW secure", "version": "4.0.2",
      "faults": { "restart_silence_ms": 3000 } },
    { "mac": "02-00-00-00-20-02", "protocol": "secure", "password": "valve2",
      "ip": "10.77.0.22", "subnet": "255.255.255.0", "gateway": "10.77.0.1",
      "hostname": "valve-block-2", "type": "SIM-GW secure", "version": "4.0.2" },
    { "mac": "02-00-00-00-20-03", "protocol": "secure", "password": "robot",
      "ip": "10.77.0.23", "subnet": "255.255.255.0", "gateway": "10.77.0.1",
      "hostname": "robot-cell-3", "type": "SIM-MOTION", "version": "4.1.0" },
    { "mac": "02-00-00-00-20-04", "protocol": "secure", "password": "scale",
      "ip": "10.77.0.24", "subnet": "255.255.255.0", "gateway": "10.77.0.1",
      "dhcp": true, "hostname": "scale-4", "type": "SIM-WEIGH", "version": "3.9.8" },
    { "mac": "02-00-00-00-20-05", "protocol": "secure", "password": "hvac",
      "ip": "172.16.5.20", "subnet": "255.255.0.0", "gateway": "172.16.0.1",
      "hostname": "hvac-roof", "type": "SIM-GW secure", "version": "4.0.2",
      "reply": "unicast" },
    { "mac": "02-00-00-00-20-06", "protocol": "secure", "password": "lab",
      "ip": "10.77.0.26", "subnet": "255.255.255.0", "gateway": "10.77.0.1",
      "hostname": "lab-bench-6", "type": "SIM-IO secure", "version": "4.1.0" }
  ]
}
JSON
}

print_passwords() {
  cat <<'TEXT'
Simulated modules (MAC, protocol, host name, password):
  02-00-00-00-10-01  text    press-line-1    press1
  02-00-00-00-10-02  text    press-line-2    press2
  02-00-00-00-10-03  text    oven-zone-a     oven
  02-00-00-00-10-04  text    fresh-from-box  (no password)
  02-00-00-00-10-05  text    dock-door-5     dock
  02-00-00-00-10-06  text    conveyor-6      conveyor
  02-00-00-00-20-01  secure  valve-block-1   valve1
  02-00-00-00-20-02  secure  valve-block-2   valve2
  02-00-00-00-20-03  secure  robot-cell-3    robot
  02-00-00-00-20-04  secure  scale-4         scale
  02-00-00-00-20-05  secure  hvac-roof       hvac
  02-00-00-00-20-06  secure  lab-bench-6     lab
Your side of the private network is 10.77.0.1/24 on interface demo0.
TEXT
}

# Refuses to go on unless the current namespace is the private one: only the
# loopback and our end of the cable, no route anywhere else.
assert_private() {
  local links routes
  links=$(ip -o link show | awk -F': ' '{print $2}' | sed 's/@.*//' | sort | tr '\n' ' ')
  [[ $links == "$HOST_IF lo " ]] || die "not a private network (interfaces: $links)"
  routes=$(ip -4 route show | awk '{print $1}' | sort -u | tr '\n' ' ')
  [[ $routes == "10.77.0.0/24 " ]] || die "not a private network (routes: $routes)"
}

run_front() {  # inside the tool's side of the cable
  assert_private
  if [[ ${DEMO_CHECK:-0} == 1 ]]; then
    local out count macs
    out=$("$MDSPCTL" scan --json --timeout 3000) || die "mdspctl scan failed"
    count=$(grep -c '"mac"' <<<"$out" || true)
    macs=$(grep -o '"mac": "[0-9A-F-]*"' <<<"$out" | sort -u | wc -l)
    say "$count modules answered ($(grep -c '"text"' <<<"$out" || true) text," \
        "$(grep -c '"secure"' <<<"$out" || true) secure)"
    [[ $count -eq $MODULE_COUNT && $macs -eq $MODULE_COUNT ]] ||
      { echo "$out" >&2; die "expected $MODULE_COUNT modules"; }
    [[ $(grep -c '"protocol": "text"' <<<"$out") -eq 6 &&
       $(grep -c '"protocol": "secure"' <<<"$out") -eq 6 ]] ||
      { echo "$out" >&2; die "expected 6 modules of each protocol"; }
    echo "demo check OK: $MODULE_COUNT simulated modules answered on the private network"
    return 0
  fi
  print_passwords
  say "starting Pelmar; close its window to end the demo"
  "$PELMAR" || say "Pelmar ended with status $?"
}

start_simulator() {  # start_simulator COMMAND-PREFIX...: runs mdsp-sim there
  "$@" "$MDSP_SIM" --iface "$MOD_IF" --config "$DEMO_WORK/modules.json" \
    --log "$DEMO_WORK/sim.log" &
  SIM_PID=$!
  wait_for "the simulator" grep -q '^ready ' "$DEMO_WORK/sim.log" 2>/dev/null ||
    { cat "$DEMO_WORK/sim.log" >&2 2>/dev/null || true; die "the simulator did not start"; }
}

# --- inside an unprivileged user + network namespace ----------------------
inside_user_namespace() {
  cleanup_inside() {
    stop_process "${SIM_PID:-}"
    stop_process "${holder:-}"
  }
  trap cleanup_inside EXIT
  ip link set lo up
  # The modules' side: a second network namespace held open by a sleeper.
  unshare --net sleep infinity </dev/null >/dev/null 2>&1 &
  holder=$!
  own_ns=$(readlink /proc/self/ns/net)
  holder_moved() { [[ $(readlink "/proc/$holder/ns/net" 2>/dev/null) != "$own_ns" ]]; }
  wait_for "the modules' namespace" holder_moved ||
    die "could not make the modules' namespace"
  ip link add "$HOST_IF" type veth peer name "$MOD_IF" netns "$holder"
  ip addr add "$HOST_ADDR" dev "$HOST_IF"
  ip link set "$HOST_IF" up
  nsenter --target "$holder" --net sh -c \
    "ip link set lo up && ip addr add $MOD_ADDR dev $MOD_IF && ip link set $MOD_IF up"
  start_simulator nsenter --target "$holder" --net
  run_front
}

# --- as root, with named namespaces ---------------------------------------
run_root_namespaces() {
  host_ns="pelmar-demo-$$-h" mod_ns="pelmar-demo-$$-m"
  cleanup_root() {
    stop_process "${SIM_PID:-}"
    ip netns del "$host_ns" 2>/dev/null || true
    ip netns del "$mod_ns" 2>/dev/null || true
    rm -rf "$DEMO_WORK"
  }
  trap cleanup_root EXIT
  trap 'exit 130' INT TERM HUP
  ip netns add "$host_ns" || unavailable "cannot create a network namespace"
  # Any step may be refused (a chroot whose / is no mount point refuses the
  # second namespace): say so instead of ending on ip's message alone.
  {
    ip netns add "$mod_ns" &&
      ip link add "$HOST_IF" netns "$host_ns" type veth peer name "$MOD_IF" netns "$mod_ns" &&
      ip -n "$host_ns" link set lo up &&
      ip -n "$mod_ns" link set lo up &&
      ip -n "$host_ns" addr add "$HOST_ADDR" dev "$HOST_IF" &&
      ip -n "$mod_ns" addr add "$MOD_ADDR" dev "$MOD_IF" &&
      ip -n "$host_ns" link set "$HOST_IF" up &&
      ip -n "$mod_ns" link set "$MOD_IF" up
  } || unavailable "could not set up the private network (the ip message above says why)"
  start_simulator ip netns exec "$mod_ns"
  # The check and the safety test run in the private namespace itself.
  export -f run_front assert_private print_passwords say die
  export HOST_IF MODULE_COUNT MDSPCTL PELMAR DEMO_CHECK
  if [[ ${DEMO_CHECK:-0} == 1 || -z ${SUDO_UID:-} ]]; then
    ip netns exec "$host_ns" bash -c run_front
  else
    # Started with sudo: the window belongs to the user, not to root.
    local home
    home=$(getent passwd "$SUDO_UID" | cut -d: -f6)
    ip netns exec "$host_ns" bash -c 'assert_private' || exit 1
    print_passwords
    say "starting Pelmar as $(id -nu "$SUDO_UID"); close its window to end the demo"
    # The user's runtime folder, or (no session, as in a bare sudo) one of
    # the demo's own that only the user may enter, as Qt wants it.
    local runtime=${XDG_RUNTIME_DIR:-/run/user/$SUDO_UID}
    if [[ ! -d $runtime ]]; then
      runtime=$DEMO_WORK/runtime
      install -d -m 700 -o "$SUDO_UID" -g "${SUDO_GID:?}" "$runtime"
    fi
    ip netns exec "$host_ns" setpriv --reuid="$SUDO_UID" --regid="${SUDO_GID:?}" --init-groups \
      env HOME="$home" XDG_RUNTIME_DIR="$runtime" \
      "$PELMAR" || say "Pelmar ended with status $?"
  fi
}

user_namespaces_work() {
  unshare --user --map-root-user --net true 2>/dev/null
}

# Why the private network cannot be made as this user, and the ways out.
explain_refused_user_namespaces() {
  local kernel="" allow=""
  if [[ $(cat /proc/sys/kernel/unprivileged_userns_clone 2>/dev/null) == 0 ]]; then
    kernel+=" kernel.unprivileged_userns_clone=0" allow+=" kernel.unprivileged_userns_clone=1"
  fi
  if [[ $(cat /proc/sys/user/max_user_namespaces 2>/dev/null) == 0 ]]; then
    kernel+=" user.max_user_namespaces=0" allow+=" user.max_user_namespaces=10000"
  fi
  say "unprivileged user namespaces are refused here, and the private network needs one."
  say "Either a kernel setting refuses them${kernel:+ (here:$kernel)}, or this runs in a"
  say "container or chroot that does not let its processes make namespaces."
  say "Way out: run the demo with sudo; it then uses root network namespaces and still"
  say "opens the window as you:"
  say "  sudo --preserve-env=DISPLAY,WAYLAND_DISPLAY,XAUTHORITY,XDG_RUNTIME_DIR $0${*:+ $*}"
  if [[ -n $kernel ]]; then
    say "or allow them: sudo sysctl -w$allow"
  else
    say "or run the demo outside the container, or start the container allowed to make namespaces."
  fi
}

main() {
  case ${1:-} in
    --check) DEMO_CHECK=1 ;;
    --inside-user) inside_user_namespace; return ;;
    "") DEMO_CHECK=0 ;;
    *) die "unknown argument '$1' (see --help)" 2 ;;
  esac

  MDSP_SIM=${MDSP_SIM:-$build/tools/mdsp-sim/mdsp-sim}
  MDSPCTL=${MDSPCTL:-$build/tools/mdspctl/mdspctl}
  PELMAR=${PELMAR:-$build/pelmar/pelmar}
  local front=$PELMAR front_target=pelmar
  if [[ $DEMO_CHECK == 1 ]]; then front=$MDSPCTL front_target=mdspctl; fi

  # What refuses the demo is told before a build of several minutes.
  if [[ $DEMO_CHECK == 0 && -z ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
    die "no display (DISPLAY or WAYLAND_DISPLAY); try --check"
  fi
  local how=${DEMO_NETNS:-auto}
  if [[ $how == auto ]]; then
    if user_namespaces_work; then how=user
    elif [[ $(id -u) -eq 0 ]]; then how=root
    else
      explain_refused_user_namespaces "$@"
      exit 1
    fi
  fi

  if [[ ! -x $MDSP_SIM || ! -x $front ]]; then
    say "building what is missing in $build"
    "$here/scripts/install-deps.sh"
    # The tests' packages are not installed for the demo, so a first build leaves them out.
    [[ -f $build/CMakeCache.txt ]] ||
      as_checkout_owner cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DMDSP_TESTS=OFF -DMDSP_BENCH=OFF
    as_checkout_owner cmake --build "$build" -j"$(nproc)" --target mdsp-sim "$front_target" ||
      die "could not build $front_target and mdsp-sim in $build"
  fi
  [[ -x $front ]] || die "$front is missing; try --check"
  [[ ${DISPLAY:-} == *:*[0-9]* && ${DISPLAY%%:*} != "" && ${DISPLAY%%:*} != unix ]] &&
    say "note: DISPLAY=$DISPLAY is reached over TCP, which the private network cannot do"

  DEMO_WORK=$(mktemp -d "${TMPDIR:-/tmp}/pelmar-demo.XXXXXX")
  chmod 755 "$DEMO_WORK"
  write_modules "$DEMO_WORK/modules.json"
  export DEMO_WORK DEMO_CHECK MDSP_SIM MDSPCTL PELMAR CI="${CI:-}"

  case $how in
    user)
      if ! user_namespaces_work; then
        rm -rf "$DEMO_WORK"
        unavailable "unprivileged user namespaces are refused here (by a kernel setting, or by a container or chroot); with sudo, DEMO_NETNS=root makes root network namespaces instead"
      fi
      local status=0
      # Own PID namespace too: when the script inside ends, however it ends,
      # the kernel ends every process left in there, and the networks go.
      unshare --user --map-root-user --net --pid --fork --mount-proc --kill-child -- \
        "${BASH_SOURCE[0]}" --inside-user || status=$?
      rm -rf "$DEMO_WORK"
      return $status
      ;;
    root)
      if [[ $(id -u) -ne 0 ]]; then
        rm -rf "$DEMO_WORK"
        unavailable "DEMO_NETNS=root needs root"
      fi
      run_root_namespaces
      ;;
    *) die "DEMO_NETNS must be auto, user or root" 2 ;;
  esac
}

main "$@"
