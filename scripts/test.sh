#!/usr/bin/env bash
# Builds everything and runs every test. Installs the Debian packages it
# needs when they are missing. Network tests make their own namespaces and
# need root; without root they are reported as skipped (under CI=true they fail).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"

"$here/scripts/install-deps.sh"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_EXTRA_ARGS:-}
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"${TEST_JOBS:-2}" ${CTEST_EXTRA_ARGS:-}
