#!/usr/bin/env bash
# Every test's name fits on a line and can be read: no parameter printed as
# raw bytes ("GetParam() = 48-byte object <...>") in what ctest shows.
#   test_names_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Listed from a folder of its own: ctest -N rewrites the log of the folder it
# runs in, and the build folder's belongs to the run this test is part of.
echo "subdirs(\"$build\")" >"$work/CTestTestfile.cmake"
names=$(cd "$work" && ctest -N | sed -n 's/^ *Test *#[0-9]*: //p')
count=$(grep -c . <<<"$names" || true)
((count > 100)) || { echo "FAIL: only $count tests listed" >&2; exit 1; }
bad=$(grep -E 'GetParam|TypeParam|byte object|[^ -~]|^.{161,}$' <<<"$names" || true)
if [[ -n $bad ]]; then
  echo "FAIL: names that cannot be read:" >&2
  echo "$bad" >&2
  exit 1
fi
echo "PASS: $count test names, none with a raw parameter or longer than 160 characters"
