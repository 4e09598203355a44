#!/usr/bin/env bash
# Builds everything and runs every test, then lists the tests that were
# skipped and why.
#
#   scripts/test.sh
#   scripts/test.sh --help | --version
#
# Missing Debian packages, the tests' included, are installed first
# (scripts/install-deps.sh --tests; as a normal user through sudo, after
# asking). Network tests make their own namespaces and need root; without
# root they are reported as skipped (under CI=true they fail).
# BUILD_DIR: the build folder (default build/ in the checkout);
# CMAKE_EXTRA_ARGS, CTEST_EXTRA_ARGS, TEST_JOBS: passed on to cmake and ctest.
set -euo pipefail
# shellcheck source=scripts/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help_or_version "${BASH_SOURCE[0]}" "$@"

here=$scripts_root
build="${BUILD_DIR:-$here/build}"

"$here/scripts/install-deps.sh" --tests

# A build folder that run.sh made first left the tests out.
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMDSP_TESTS=ON -DMDSP_BENCH=ON ${CMAKE_EXTRA_ARGS:-}
cmake --build "$build" -j"$(nproc)"
cd "$build"
# The build folder's CTestCustom.cmake ends ctest's output with the list of
# skipped tests and their reasons (scripts/skipped-tests.sh).
ctest --output-on-failure -j"${TEST_JOBS:-2}" ${CTEST_EXTRA_ARGS:-}
