#!/usr/bin/env bash
# Builds everything and starts the configuration tool Pelmar.
#
# WARNING: Pelmar scans the machine's networks. As soon as it starts it
# broadcasts discovery requests (UDP port 3250) on every network interface of
# this machine, and again on every Scan. Run it only on a network where that
# is wanted. Never run this script on a development or CI machine; to try the
# tool without hardware, run it inside network namespaces with mdsp-sim as
# tools/mdsp-sim/README.md describes.
#
# Arguments are passed to the tool: "SOCKETCOMM" port (picker mode) or
# "IP" address (broadcast only from that interface).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
echo
echo "Built: $build/mdsp/libmdsp.so, $build/tools/mdspctl/mdspctl, $build/tools/mdsp-sim/mdsp-sim,"
echo "       $build/dhcp/pelmar-dhcpd, $build/pelmar/pelmar"
echo "Starting Pelmar: it scans this machine's networks now."
# The program loads libmdsp.so from its own folder first (a link in the build tree).
exec "$build/pelmar/pelmar" "$@"
