# shellcheck shell=bash
# The verdicts of a shell test. A test that cannot run here (no root, a
# program missing) is skipped with CTest's skip code 77, except under
# CI=true, where it fails: it never passes silently.
skip() {
  if [[ ${CI:-} == true ]]; then echo "FAIL: $*" >&2; exit 1; fi
  echo "SKIP: $*"; exit 77
}
fail() { echo "FAIL: $*" >&2; exit 1; }
