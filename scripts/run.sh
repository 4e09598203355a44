#!/usr/bin/env bash
# Builds Pelmar and its programs and starts the configuration tool.
#
#   scripts/run.sh [IP ADDRESS | SOCKETCOMM PORT]
#   scripts/run.sh --help | --version
#
# WARNING: Pelmar scans the machine's networks. As soon as it starts it
# broadcasts discovery requests (UDP port 3250) on every network interface of
# this machine, and again on every Scan. Run it only on a network where that
# is wanted. Never run this script on a development or CI machine; to try the
# tool without hardware, run scripts/demo.sh.
#
# Arguments are passed to the tool: "SOCKETCOMM" port (picker mode) or
# "IP" address (broadcast only from that interface).
# Missing Debian packages are installed first (scripts/install-deps.sh; as a
# normal user through sudo, after asking). BUILD_DIR: the build folder
# (default build/ in the checkout).
set -euo pipefail
# shellcheck source=scripts/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help_or_version "${BASH_SOURCE[0]}" "$@"

here=$scripts_root
build="${BUILD_DIR:-$here/build}"
"$here/scripts/install-deps.sh"
# A first build leaves out the tests, whose packages run.sh does not install;
# a build folder that test.sh configured keeps them.
configure=()
[[ -f $build/CMakeCache.txt ]] || configure=(-DMDSP_TESTS=OFF -DMDSP_BENCH=OFF)
as_checkout_owner cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}"
as_checkout_owner cmake --build "$build" -j"$(nproc)" --target mdsp mdspctl mdsp-sim pelmar-dhcpd pelmar
echo
echo "Built: $build/mdsp/libmdsp.so, $build/tools/mdspctl/mdspctl, $build/tools/mdsp-sim/mdsp-sim,"
echo "       $build/dhcp/pelmar-dhcpd, $build/pelmar/pelmar"
echo "Starting Pelmar: it scans this machine's networks now."
# The program loads libmdsp.so from its own folder first (a link in the build tree).
exec "$build/pelmar/pelmar" "$@"
