#!/usr/bin/env bash
# Builds everything. The configuration tool's windows are not written yet:
# once they are, this starts the tool.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
echo
echo "Built: $build/mdsp/libmdsp.so, $build/tools/mdspctl/mdspctl, $build/tools/mdsp-sim/mdsp-sim,"
echo "       $build/pelmar/dhcp/pelmar-dhcpd"
echo "The Pelmar tool's windows do not exist yet, so there is nothing to start."
echo "Try the library without hardware as described in tools/mdsp-sim/README.md."
