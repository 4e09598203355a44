#!/usr/bin/env bash
# The demo needs no root where the kernel allows user namespaces: its check
# run as the user nobody, from an installed copy nobody can read.
#   demo_unprivileged_test.sh BUILD_DIR DEMO_SCRIPT
set -euo pipefail
build=$1 demo=$2

# shellcheck source=../support/test_verdicts.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/test_verdicts.sh"
[[ $(id -u) -eq 0 ]] || skip "needs root to become nobody (run as a user, demo_network_user covers it)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
for component in library tools; do
  cmake --install "$build" --prefix "$work/prefix" --component "$component" >/dev/null ||
    fail "install $component"
done
# With the helper the scripts share.
cp "$demo" "$(dirname "$demo")/common.sh" "$work/"

status=0
(cd "$work" && setpriv --reuid=65534 --regid=65534 --clear-groups -- \
  env HOME="$work" DEMO_NETNS=user CI="${CI:-}" \
  MDSP_SIM="$work/prefix/bin/mdsp-sim" MDSPCTL="$work/prefix/bin/mdspctl" \
  "$work/demo.sh" --check) >"$work/demo.log" 2>&1 || status=$?
cat "$work/demo.log"
[[ $status -ne 77 ]] || skip "the demo could not make its private network as nobody"
[[ $status -eq 0 ]] || fail "demo --check as nobody ended with $status"
grep -q '^demo check OK' "$work/demo.log" || fail "no check result"
