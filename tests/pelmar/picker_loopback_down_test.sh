#!/usr/bin/env bash
# The picker tests on a machine whose loopback is down: run inside a fresh
# namespace, where lo starts down, they must pass all the same (each test
# makes a namespace of its own with loopback up).
#   picker_loopback_down_test.sh PICKER_TESTS
set -euo pipefail
tests=$1

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=../support/test_verdicts.sh
source "$here/../support/test_verdicts.sh"
# shellcheck source=../support/netns.sh
source "$here/../support/netns.sh"
[[ $(id -u) -eq 0 ]] || skip "needs root for network namespaces"
command -v ip >/dev/null || skip "ip missing"

netns_sweep picklo
ns=$(netns_name picklo)
trap 'ip netns del "$ns" 2>/dev/null || true' EXIT
ip netns add "$ns" || skip "cannot create a network namespace"
links=$(ip -n "$ns" -o link show lo)
[[ $links != *",UP"* && $links != *"<UP"* ]] || fail "lo is up in a fresh namespace: $links"

status=0
output=$(ip netns exec "$ns" "$tests" --gtest_filter='Picker.*' 2>&1) || status=$?
echo "$output"
[[ $status -eq 0 ]] || fail "picker tests with loopback down ended with $status"
grep -q '^\[  PASSED  \] [1-9]' <<<"$output" || fail "no picker test passed"
! grep -q '^\[  SKIPPED \]' <<<"$output" || fail "picker tests were skipped with loopback down"
echo "picker with loopback down OK"
