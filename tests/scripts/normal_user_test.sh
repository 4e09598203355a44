#!/usr/bin/env bash
# The scripts as a normal user (nobody, when the test runs as root): the
# package check installs only what is missing, split into what the tool needs
# and what the tests need, through one sudo; the README's hand-install line
# is the tool's list; the demo, refused user namespaces, names both causes and
# the way out, before it builds anything; started with sudo, run.sh builds as
# the checkout's owner.
# Stand-ins replace sudo, apt-get, dpkg-query, unshare and cmake, so nothing
# is installed, built or started and no namespace is made.
#   normal_user_test.sh SOURCE_DIR
set -euo pipefail
root=$1
. "$root/tests/support/test_verdicts.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir "$work/bin" "$work/tmp" "$work/src"
chmod 1777 "$work/tmp"
# The scripts run as nobody from a copy: the checkout may be private to its owner.
cp -r "$root/scripts" "$root/CMakeLists.txt" "$work/src/"
log=$work/log
# dpkg-query knows the packages listed in $work/installed.
cat >"$work/bin/dpkg-query" <<EOF
#!/bin/sh
for last; do :; done
grep -qx "\$last" "$work/installed" && printf 'install ok installed'
EOF
# sudo logs its options and runs the command, unless told to refuse.
cat >"$work/bin/sudo" <<EOF
#!/bin/sh
echo "sudo \$*" >>"$log"
[ -e "$work/sudo-refuses" ] && exit 1
while [ "\${1#-}" != "\$1" ]; do shift; done
exec "\$@"
EOF
cat >"$work/bin/apt-get" <<EOF
#!/bin/sh
echo "apt-get \$*" >>"$log"
EOF
printf '#!/bin/sh\nexit 1\n' >"$work/bin/unshare"
chmod 755 "$work/bin"/*
touch "$log"
chmod 666 "$log"

as_user() {  # as_user COMMAND...: as nobody when root, with the stand-ins first on PATH
  local prefix=()
  [[ $(id -u) -ne 0 ]] || prefix=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  (cd "$work" && "${prefix[@]}" env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work" \
    PATH="$work/bin:$PATH" "$@")
}

trim() { sed 's/^ *//; s/ *$//' <<<"$1"; }
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what" >&2
    { echo "output:"; echo "$output"; echo "log:"; cat "$log"; } | sed 's/^/    /' >&2
    failures=$((failures + 1))
  fi
}

read -ra tool_packages <<<"$("$root/scripts/install-deps.sh" --list)"
test_packages=$("$root/scripts/install-deps.sh" --list --tests | sed -n 2p)
((${#tool_packages[@]} > 3)) || fail "no package list"
grep -qw xvfb <<<"$test_packages" || fail "xvfb is not among the tests' packages"
for package in xvfb libgtest-dev libbenchmark-dev clang; do
  [[ " ${tool_packages[*]} " != *" $package "* ]] || fail "$package is needed only by the tests"
done

# Installed: everything but cmake, qt6-base-dev (the tool's) and xvfb (the tests').
{ "$root/scripts/install-deps.sh" --list --tests | tr ' ' '\n'; } |
  grep -vxE 'cmake|qt6-base-dev|xvfb' >"$work/installed"

# Without a terminal nobody can answer, so sudo must not ask either (-n).
#  arguments | CI   | sudo   | status | packages given to apt-get install | sudo options
cases="
             |      | works  | 0 | cmake qt6-base-dev      | -n
  --tests    |      | works  | 0 | cmake qt6-base-dev xvfb | -n
  --tests    | true | works  | 0 | cmake qt6-base-dev xvfb | -n
             |      | fails  | 1 |                         | -n
"
while IFS='|' read -r arguments ci sudo expected packages options; do
  [[ -n ${sudo// /} ]] || continue
  read -ra args <<<"$arguments"
  ci=$(trim "$ci") sudo=$(trim "$sudo") expected=$(trim "$expected")
  packages=$(trim "$packages") options=$(trim "$options")
  rm -f "$work/sudo-refuses"
  [[ $sudo == works ]] || touch "$work/sudo-refuses"
  : >"$log"
  status=0
  output=$(as_user env CI="$ci" "$work/src/scripts/install-deps.sh" "${args[@]}" </dev/null 2>&1) ||
    status=$?
  name="install-deps.sh ${args[*]} (CI=$ci, sudo $sudo)"
  check "$name: status $expected" test "$status" -eq "$expected"
  check "$name: one sudo" test "$(grep -c '^sudo ' "$log")" -eq 1
  check "$name: sudo options '$options'" \
    grep -qE "^sudo ${options:+$options }-- sh -c " "$log"
  check "$name: says what the tool needs" grep -q "to build and run Pelmar: cmake qt6-base-dev$" \
    <<<"$output"
  if [[ ${args[*]} == --tests ]]; then
    check "$name: says what the tests need" grep -q "to build and run the tests: xvfb$" <<<"$output"
  else
    check "$name: nothing for the tests" bash -c '! grep -q "the tests" <<<"$1"' _ "$output"
  fi
  if [[ $sudo == works ]]; then
    check "$name: apt-get update, then install" test "$(grep -o '^apt-get [a-z]*' "$log" |
      tr '\n' ' ')" = "apt-get update apt-get install "
    check "$name: installs $packages" \
      grep -qx "apt-get install -y --no-install-recommends $packages" "$log"
  else
    check "$name: the line to install by hand" \
      grep -qx "  sudo apt-get install --no-install-recommends cmake qt6-base-dev" <<<"$output"
  fi
done <<<"$cases"

# Nothing missing: no question, no sudo, no output.
"$root/scripts/install-deps.sh" --list --tests | tr ' ' '\n' >"$work/installed"
: >"$log"
status=0
output=$(as_user "$work/src/scripts/install-deps.sh" --tests </dev/null 2>&1) || status=$?
check "all installed: status 0" test "$status" -eq 0
check "all installed: silent" test -z "$output$(cat "$log")"

# On a terminal it asks once, and a no installs nothing.
if command -v script >/dev/null; then
  grep -vx cmake "$work/installed" >"$work/installed.new"
  mv "$work/installed.new" "$work/installed"
  for answer in n y; do
    : >"$log"
    output=$(printf '%s\n' "$answer" | as_user env CI= script -qec "$work/src/scripts/install-deps.sh --tests" \
      /dev/null 2>&1) || true
    check "terminal, answer $answer: one question" test "$(grep -c '\[Y/n\]' <<<"$output")" -eq 1
    calls=$(grep -c '^sudo ' "$log" || true)
    if [[ $answer == n ]]; then
      check "terminal, answer n: no sudo" test "$calls" -eq 0
    else
      check "terminal, answer y: one sudo without -n" grep -qx "sudo -- sh -c .*" "$log"
    fi
  done
fi

# The README's line for installing by hand is the tool's list.
output=$(grep -m1 'sudo apt-get install' "$root/README.md" || true)
check "README: the tool's packages" \
  test "$(sed 's/^[$ ]*//' <<<"$output")" = \
  "sudo apt-get install --no-install-recommends ${tool_packages[*]}"

# The demo as a user whose user namespaces are refused.
status=0
output=$(as_user env MDSP_SIM=/bin/true MDSPCTL=/bin/true TMPDIR="$work/tmp" \
  "$work/src/scripts/demo.sh" --check 2>&1) || status=$?
check "demo, refused: status 1" test "$status" -eq 1
for part in "kernel setting" "container" "chroot" "sudo --preserve-env=DISPLAY"; do
  check "demo, refused: names '$part'" grep -q -- "$part" <<<"$output"
done
status=0
output=$(as_user env CI= DEMO_NETNS=user MDSP_SIM=/bin/true MDSPCTL=/bin/true TMPDIR="$work/tmp" \
  "$work/src/scripts/demo.sh" --check 2>&1) || status=$?
check "demo, user namespaces asked for: skipped with the reason" test "$status" -eq 77
check "demo, user namespaces asked for: both causes" grep -q "kernel setting.*container or chroot" \
  <<<"$output"
check "demo: its work folder removed" test -z "$(ls "$work/tmp")"

# With nothing built yet, what refuses the demo is said before any package
# or build step: no display, then user namespaces refused.
printf '#!/bin/sh\necho "cmake $*" >>"%s"\n' "$log" >"$work/bin/cmake"
chmod 755 "$work/bin/cmake"
for case in "no display|" "refused namespaces|DISPLAY=:99"; do
  : >"$log"
  status=0
  output=$(as_user env ${case#*|} MDSP_SIM="$work/missing" PELMAR="$work/missing" \
    TMPDIR="$work/tmp" "$work/src/scripts/demo.sh" 2>&1) || status=$?
  check "demo, ${case%|*}, nothing built: status 1" test "$status" -eq 1
  check "demo, ${case%|*}, nothing built: told why" \
    grep -q "no display\|private network needs one" <<<"$output"
  check "demo, ${case%|*}, nothing built: no package or build step" \
    bash -c '! grep -q "apt-get\|cmake" "$1" && ! grep -q building <<<"$2"' _ "$log" "$output"
done
rm -f "$work/bin/cmake"

# Started with sudo by the checkout's owner, run.sh builds as that owner.
if [[ $(id -u) -eq 0 ]]; then
  mkdir -p "$work/checkout/build/pelmar" "$work/sudo-bin"
  cp -r "$root/scripts" "$root/CMakeLists.txt" "$work/checkout/"
  chown -R nobody:nogroup "$work/checkout"
  printf '#!/bin/sh\necho "cmake as $(id -un)" >>"%s"\n' "$log" >"$work/sudo-bin/cmake"
  printf '#!/bin/sh\necho "pelmar as $(id -un)" >>"%s"\n' "$log" >"$work/checkout/build/pelmar/pelmar"
  printf '#!/bin/sh\nprintf "install ok installed"\n' >"$work/sudo-bin/dpkg-query"
  chmod 755 "$work/sudo-bin"/* "$work/checkout/build/pelmar/pelmar"
  : >"$log"
  output=$(env SUDO_UID=65534 SUDO_GID=65534 PATH="$work/sudo-bin:$PATH" \
    "$work/checkout/scripts/run.sh" 2>&1) || true
  check "run.sh with sudo: configures and builds as the owner" \
    test "$(grep -c '^cmake as nobody$' "$log")" -eq 2
  check "run.sh with sudo: nothing built as root" bash -c '! grep -q "^cmake as root" "$1"' _ "$log"
fi

((failures == 0)) || fail "$failures checks failed"
echo "PASS: package check, README line and the demo's refusal as $(as_user id -un)"
