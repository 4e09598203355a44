#!/usr/bin/env bash
# The DHCP port without root: the install step's capability grant, checked
# in a throwaway network namespace as the unprivileged user nobody.
#  - a granted pelmar-dhcpd binds port 67, the same file without it cannot
#    (it runs the same server code as the tool's DHCP switch);
#  - the grant refuses programs that load from $ORIGIN or sit in folders
#    others may write;
#  - with the capability the loader runs in secure-execution mode: an
#    absolute run path still finds libmdsp, $ORIGIN and LD_LIBRARY_PATH do
#    not. That is why the capability build links pelmar with an absolute one.
#   capability_test.sh PELMAR_DHCPD LIBMDSP MDSP_INCLUDE_DIR GRANT_SCRIPT CONSUMER_C
set -euo pipefail
dhcpd=$1 libmdsp=$2 include=$3 grant=$4 consumer=$5

# shellcheck source=../support/test_verdicts.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/test_verdicts.sh"
# shellcheck source=../support/netns.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/netns.sh"
[[ $(id -u) -eq 0 ]] || skip "needs root for namespaces and setcap"
for tool in ip setcap getcap setpriv cc; do
  command -v "$tool" >/dev/null || skip "$tool missing"
done

netns_sweep capt
ns=$(netns_name capt)
work=$(mktemp -d)
server=
cleanup() {
  if [[ -n $server ]] && kill "$server" 2>/dev/null; then wait "$server" 2>/dev/null || true; fi
  ip netns del "$ns" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns" || skip "cannot create a network namespace"
ip -n "$ns" link set lo up
[[ $(ip netns exec "$ns" sysctl -n net.ipv4.ip_unprivileged_port_start) -gt 67 ]] ||
  fail "port 67 is not privileged in the namespace; the test would prove nothing"

chmod 755 "$work"
prefix=$work/prefix
mkdir -p "$prefix/bin" "$prefix/lib"
cp "$libmdsp" "$prefix/lib/libmdsp.so.3"
ln -s libmdsp.so.3 "$prefix/lib/libmdsp.so"
cp "$dhcpd" "$prefix/bin/pelmar-dhcpd"
cp "$dhcpd" "$prefix/bin/pelmar-dhcpd-plain"
build_consumer() {  # build_consumer NAME [LINKER OPTION]
  cc -std=c11 -I"$include" -o "$prefix/bin/$1" "$consumer" -L"$prefix/lib" -lmdsp ${2:+"$2"} ||
    fail "cannot build $1"
}
build_consumer consumer-absolute "-Wl,-rpath,$prefix/lib"
build_consumer consumer-origin '-Wl,-rpath,$ORIGIN/../lib'
build_consumer consumer-no-path

as_nobody() {
  ip netns exec "$ns" setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"
}

# The grant and its refusals.
"$grant" "$prefix/bin/pelmar-dhcpd" >"$work/grant.log" 2>&1 || { cat "$work/grant.log"; fail "grant"; }
# Outputs are read whole before they are searched: under pipefail a writer cut
# off by grep -q would turn a match into a miss.
caps=$(getcap "$prefix/bin/pelmar-dhcpd")
grep -q 'cap_net_bind_service[=+]*ep' <<<"$caps" || fail "pelmar-dhcpd has no cap_net_bind_service"
"$grant" "$prefix/bin/consumer-absolute" >/dev/null || fail "grant to an absolute run path"
if "$grant" "$prefix/bin/consumer-origin" 2>"$work/refused.log"; then
  fail "granted to a program that loads from \$ORIGIN"
fi
grep -q 'ORIGIN' "$work/refused.log" || fail "refusal does not name \$ORIGIN"
mkdir -m 777 "$work/open"
cp "$dhcpd" "$work/open/pelmar-dhcpd"
if "$grant" "$work/open/pelmar-dhcpd" 2>/dev/null; then
  fail "granted to a program in a folder everyone may write"
fi
[[ -z $(getcap "$work/open/pelmar-dhcpd") ]] || fail "capability set despite the refusal"
# A staged install only says what the package must do.
staged=$("$grant" "$prefix/bin/pelmar-dhcpd-plain" "$work") || fail "staged install failed"
grep -q 'setcap' <<<"$staged" || fail "staged install does not say what to set"
[[ -z $(getcap "$prefix/bin/pelmar-dhcpd-plain") ]] || fail "staged install set the capability"

# Without the capability nobody cannot have port 67 ...
status=0
as_nobody "$prefix/bin/pelmar-dhcpd-plain" >/dev/null 2>"$work/plain.log" || status=$?
[[ $status -eq 1 ]] || { cat "$work/plain.log"; fail "plain copy ended with $status, not 1"; }

# ... with it, nobody serves on port 67 until told to stop.
# Started directly (not through the function) so $! is the server itself.
ip netns exec "$ns" setpriv --reuid=65534 --regid=65534 --clear-groups -- \
  "$prefix/bin/pelmar-dhcpd" >/dev/null 2>"$work/server.log" &
server=$!
tries=0
until grep -q 'serving' "$work/server.log"; do
  kill -0 "$server" 2>/dev/null || { cat "$work/server.log"; fail "granted server ended"; }
  ((++tries < 400)) || { cat "$work/server.log"; fail "granted server never said it serves"; }
  sleep 0.05
done
listening=$(ip netns exec "$ns" ss -Hlun 'sport = :67')
grep -q ':67' <<<"$listening" || fail "nothing listens on port 67"
[[ $(stat -c %U "/proc/$server") == nobody ]] || fail "server is not running as nobody"
kill "$server"
status=0
wait "$server" || status=$?
server=
[[ $status -eq 0 ]] || { cat "$work/server.log"; fail "granted server stopped with $status"; }

# Secure execution: what the loader still honours for a granted program.
out=$(as_nobody "$prefix/bin/consumer-absolute") || fail "absolute run path: library not loaded"
[[ $out == "mdsp 3.1 "* ]] || fail "absolute run path: $out"
setcap cap_net_bind_service=+ep "$prefix/bin/consumer-origin"
setcap cap_net_bind_service=+ep "$prefix/bin/consumer-no-path"
as_nobody "$prefix/bin/consumer-origin" >/dev/null 2>&1 &&
  fail "\$ORIGIN was expanded for a granted program outside the trusted folders"
as_nobody env LD_LIBRARY_PATH="$prefix/lib" "$prefix/bin/consumer-no-path" >/dev/null 2>&1 &&
  fail "LD_LIBRARY_PATH was honoured for a granted program"
# Both load fine without the capability, so only the capability made them fail.
setcap -r "$prefix/bin/consumer-origin"
setcap -r "$prefix/bin/consumer-no-path"
as_nobody "$prefix/bin/consumer-origin" >/dev/null || fail "\$ORIGIN consumer without capability"
as_nobody env LD_LIBRARY_PATH="$prefix/lib" "$prefix/bin/consumer-no-path" >/dev/null ||
  fail "LD_LIBRARY_PATH consumer without capability"
echo "capability OK"
