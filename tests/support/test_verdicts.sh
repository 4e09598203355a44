# shellcheck shell=bash
# The verdicts of a shell test. A test that cannot run here (no root, a
# program missing) is skipped with CTest's skip code 77, except under
# CI=true, where it fails: it never passes silently.
skip() {
  if [[ ${CI:-} == true ]]; then echo "FAIL: $*" >&2; exit 1; fi
  echo "SKIP: $*"; exit 77
}
fail() { echo "FAIL: $*" >&2; exit 1; }
# wait_until DESCRIPTION COMMAND...: polls COMMAND for up to 60 s of wall
# time (a count of tries stretches without bound when every try is slow),
# then fails with DESCRIPTION.
wait_until() {
  local what=$1 deadline=$((SECONDS + 60))
  shift
  echo "$(date +%T) waiting for $what" >&2
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || fail "gave up waiting for $what"
    sleep 0.05
  done
}
