# shellcheck shell=bash
# Throwaway network namespaces for the shell tests: names unique per run (the
# shell's PID for the sweep, a random part so a reused PID never meets an old
# name), and a sweep of what a run killed outright (CTest's time-out) left.

# netns_name TAG: prints TAG-PID-RANDOM.
netns_name() {
  printf '%s-%d-%s\n' "$1" "$$" "$(od -An -N4 -tx4 /dev/urandom | tr -d ' ')"
}

# netns_sweep TAG: ends the processes in, and removes, every namespace
# TAG-PID-* whose PID no longer runs.
netns_sweep() {
  local names name
  names=$(ip netns list 2>/dev/null | awk '{print $1}') || return 0
  for name in $names; do
    [[ $name =~ ^$1-([0-9]+)- ]] || continue
    kill -0 "${BASH_REMATCH[1]}" 2>/dev/null && continue
    local pids
    pids=$(ip netns pids "$name" 2>/dev/null) || true
    [[ -z $pids ]] || kill -KILL $pids 2>/dev/null || true
    ip netns del "$name" 2>/dev/null || true
  done
}
