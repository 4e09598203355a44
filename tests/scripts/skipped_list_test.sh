#!/usr/bin/env bash
# The list of skipped tests read from a ctest log: a GoogleTest skip with its
# message, a shell test's SKIP line and the demo's, and none of the tests that
# passed or failed, even when their output mentions skipping; during a
# ctest run, that run's log.
#   skipped_list_test.sh SKIPPED_TESTS_SCRIPT
set -euo pipefail
lister=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Testing/Temporary"

# block NAME VERDICT OUTPUT...: one test as ctest logs it; VERDICT is the
# text after the time line.
number=0
block() {
  local name=$1 verdict=$2
  shift 2
  number=$((number + 1))
  printf '%s/9 Testing: %s\n%s/9 Test: %s\nCommand: "/bin/x"\nDirectory: /b\n' \
    "$number" "$name" "$number" "$name"
  printf '"%s" start time: Dec 09 11:57 UTC\nOutput:\n%s\n' "$name" \
    "----------------------------------------------------------"
  printf '%s\n' "$@"
  printf '<end of output>\nTest time =   0.07 sec\n%s\n%s\n' \
    "----------------------------------------------------------" "$verdict"
  printf '"%s" end time: Dec 09 11:57 UTC\n%s\n\n' "$name" \
    "----------------------------------------------------------"
}
gtest_skip='Test Pass Reason:
Skip regular expression found in output. Regex=[\[  SKIPPED \]]'
{
  echo "Start testing: Dec 09 11:57 UTC"
  block Lab.Wire "$gtest_skip" "[ RUN      ] Lab.Wire" "/src/t.cpp:97: Skipped" \
    "network namespaces unavailable: needs root" "" "[  SKIPPED ] Lab.Wire (0 ms)"
  block Lab.Bare "$gtest_skip" "[ RUN      ] Lab.Bare" "/src/t.cpp:9: Skipped" "" \
    "[  SKIPPED ] Lab.Bare (0 ms)"
  block install_tree "Test Passed." "SKIP: cmake missing"
  block demo_network_user "Test Passed." "demo: skipped: unprivileged user namespaces are refused"
  block Fine.Passes "Test Passed." "[ RUN      ] Fine.Passes" "the case 'skipped: x' was parsed"
  block Broken.Fails "Test Failed." "SKIP: this line came before a failure"
  block Mentions.Skipped "Test Passed." "/src/t.cpp:1: Skipped" "not really"
  echo "End testing: Dec 09 11:58 UTC"
} >"$work/Testing/Temporary/LastTest.log"

expected="
Skipped tests and why (4):
  Lab.Wire: network namespaces unavailable: needs root
  Lab.Bare: (no reason given)
  install_tree: cmake missing
  demo_network_user: unprivileged user namespaces are refused"
actual=$("$lister" "$work")
if [[ $actual != "${expected#$'\n'}" && $actual != "$expected" ]]; then
  echo "FAIL: the list differs" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi

# Run by ctest after its tests, the current run's log is still LastTest.log.tmp.
mv "$work/Testing/Temporary/LastTest.log" "$work/Testing/Temporary/LastTest.log.tmp"
block Old.Run "Test Passed." "SKIP: from the run before" >"$work/Testing/Temporary/LastTest.log"
actual=$("$lister" "$work")
if [[ $actual != *"install_tree: cmake missing"* || $actual == *Old.Run* ]]; then
  echo "FAIL: the log of the run going on was not the one read: $actual" >&2
  exit 1
fi
rm "$work/Testing/Temporary/LastTest.log.tmp"

# A run without tests (ctest -N) and a folder never tested list nothing.
printf 'Start testing: Dec 09 11:57 UTC\nEnd testing: Dec 09 11:57 UTC\n' \
  >"$work/Testing/Temporary/LastTest.log"
[[ -z $("$lister" "$work") ]] || { echo "FAIL: a run without tests listed some" >&2; exit 1; }
[[ -z $("$lister" "$work/nothing") ]] || { echo "FAIL: no log listed some" >&2; exit 1; }
echo "PASS: the skipped tests and their reasons, nothing else"
