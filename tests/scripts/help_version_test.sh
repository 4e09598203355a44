#!/usr/bin/env bash
# The scripts answer --help and --version at once: status 0 and the text,
# with nothing built, installed, started or shown.
#   help_version_test.sh SOURCE_DIR PROJECT_VERSION
set -euo pipefail
root=$1 version=$2
. "$root/tests/support/test_verdicts.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Stand-ins for every program a script could start; each one leaves a line.
mkdir "$work/bin"
for program in cmake ninja ctest apt-get sudo dpkg-query unshare nsenter ip setpriv \
               pelmar mdspctl mdsp-sim Xvfb clang; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/started"\n' "$program" "$work" >"$work/bin/$program"
  chmod +x "$work/bin/$program"
done

# run SCRIPT ARGS...: runs it with only the stand-ins to start and no display;
# sets $status and $output (standard output and error together).
run() {
  local script=$1
  shift
  status=0
  output=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY PATH="$work/bin:$PATH" \
      BUILD_DIR="$work/build" FUZZ_BUILD_DIR="$work/build-fuzz" \
      MDSP_SIM="$work/bin/mdsp-sim" MDSPCTL="$work/bin/mdspctl" PELMAR="$work/bin/pelmar" \
      "$root/scripts/$script" "$@" 2>&1) || status=$?
}

trim() { sed 's/^ *//; s/ *$//' <<<"$1"; }
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what" >&2
    echo "$output" | sed 's/^/    /' >&2
    failures=$((failures + 1))
  fi
}

# Every script beside the shared helper. The fuzz runner is left out: it is
# for CI and builds with clang before it reads an argument.
scripts=()
for file in "$root"/scripts/*; do
  name=$(basename "$file")
  [[ -x $file && $name != run-fuzzers.sh ]] && scripts+=("$name")
done
((${#scripts[@]} >= 5)) || fail "expected the five scripts, found: ${scripts[*]}"

for script in "${scripts[@]}"; do
  for ask in --help -h; do
    run "$script" "$ask"
    check "$script $ask: status 0" test "$status" -eq 0
    check "$script $ask: a usage line" grep -q "scripts/$script" <<<"$output"
    check "$script $ask: only the comment block" \
      bash -c '! grep -qE "^(set |\. |#!)" <<<"$1"' _ "$output"
  done
  run "$script" --version
  check "$script --version: status 0" test "$status" -eq 0
  check "$script --version: name and the project's version" test "$output" = "$script $version"
done

# Asked anywhere among the arguments, and the error path of the demo.
#  script   | arguments          | status | the whole output, as a grep -xE pattern
cases="
run.sh      | IP 10.0.0.7 --help | 0 | Builds Pelmar.*
run.sh      | SOCKETCOMM 4711 --version | 0 | run.sh $version
demo.sh     | --check --version  | 0 | demo.sh $version
demo.sh     | --bogus            | 2 | demo: unknown argument '--bogus' \(see --help\)
install-deps.sh | --bogus        | 2 | install-deps.sh: unknown argument '--bogus' \(see --help\)
"
while IFS='|' read -r script arguments expected pattern; do
  script=$(trim "$script")
  [[ -n $script ]] || continue
  arguments=$(trim "$arguments")
  read -ra args <<<"$arguments"
  expected=$(trim "$expected")
  pattern=$(sed 's/^ *//; s/ *$//' <<<"$pattern")
  run "$script" "${args[@]}"
  check "$script $arguments: status $expected" test "$status" -eq "$expected"
  check "$script $arguments: says '$pattern'" grep -qxE -- "$pattern" <<<"$(head -n1 <<<"$output")"
done <<<"$cases"

output=$(cat "$work/started" 2>/dev/null || true)
check "no program was started" test -z "$output"
output=$(ls "$work")
check "no build folder was made" test "$output" = bin

((failures == 0)) || fail "$failures checks failed"
echo "PASS: ${#scripts[@]} scripts answer --help and --version without side effects"
