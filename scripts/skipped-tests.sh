#!/usr/bin/env bash
# Lists the tests that the last ctest run skipped, with the reason each gave.
#
#   scripts/skipped-tests.sh [BUILD_DIR]   (default build/ in the checkout)
#
# ctest runs it after every test run of the build folder (CTestCustom.cmake),
# so the reasons show without -V. It reads Testing/Temporary/LastTest.log: a
# GoogleTest test's reason is the message after "Skipped", a shell test's the
# "SKIP: ..." line it printed before leaving with status 77.
set -euo pipefail
# shellcheck source=scripts/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help_or_version "${BASH_SOURCE[0]}" "$@"

log="${1:-$scripts_root/build}/Testing/Temporary/LastTest.log"
# While ctest still runs (this script as its post-test step) the log of the
# current run has not yet replaced the last one.
[[ -r $log.tmp ]] && log+=.tmp
[[ -r $log ]] || exit 0

awk '
  function report(reason) {
    if (reason == "") reason = "(no reason given)"
    lines[++count] = "  " name ": " reason
  }
  /^[0-9]+\/[0-9]+ Test: / {
    name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name)
    output = 0; after_skipped = 0; gtest_reason = ""; shell_reason = ""
    next
  }
  /^Output:$/ && name != "" { output = 1; getline; next }
  output && /^<end of output>$/ { output = 0; next }
  output {
    if ($0 ~ /^\[  SKIPPED \]/) after_skipped = 0
    if (after_skipped && gtest_reason == "" && $0 != "") gtest_reason = $0
    if ($0 ~ /: Skipped$/) after_skipped = 1
    if (shell_reason == "" && match($0, /(^|: )(SKIP|skipped): /))
      shell_reason = substr($0, RSTART + RLENGTH)
    next
  }
  /^Skip regular expression found in output/ { report(gtest_reason); next }
  /^Test Passed\.$/ && shell_reason != "" { report(shell_reason); next }
  END {
    if (!count) exit
    print ""
    print "Skipped tests and why (" count "):"
    for (i = 1; i <= count; ++i) print lines[i]
  }
' "$log"
