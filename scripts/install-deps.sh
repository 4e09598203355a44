#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing.
#
#   scripts/install-deps.sh           what Pelmar and its programs need to
#                                     build and run (run.sh, demo.sh)
#   scripts/install-deps.sh --tests   that, and what the tests need (test.sh)
#   scripts/install-deps.sh --list [--tests]
#                                     prints the packages and installs nothing
#
# As root it installs them with apt-get. As another user it says what is
# missing and why, asks once, and installs them with one `sudo apt-get`; the
# build itself stays yours. Under CI=true it never asks (sudo -n).
set -euo pipefail
# shellcheck source=scripts/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help_or_version "${BASH_SOURCE[0]}" "$@"

# To build the library, the tool, mdspctl, mdsp-sim and pelmar-dhcpd, and to
# run them and the demo's private network (ip, unshare, nsenter, setpriv).
build_packages=(
  cmake ninja-build g++ pkg-config
  libssl-dev nlohmann-json3-dev qt6-base-dev qt6-base-dev-tools libqt6svg6
  iproute2 util-linux
)
# Only for the tests, the benchmarks and the fuzz targets.
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  busybox procps locales
  xvfb xdotool x11-utils openbox imagemagick fonts-dejavu-core
  desktop-file-utils libcap2-bin groff-base binutils nftables
)

tests=0 list=0
for arg in "$@"; do
  case $arg in
    --tests) tests=1 ;;
    --list) list=1 ;;
    *) echo "install-deps.sh: unknown argument '$arg' (see --help)" >&2; exit 2 ;;
  esac
done

if ((list)); then
  echo "${build_packages[*]}"
  if ((tests)); then echo "${test_packages[*]}"; fi
  exit 0
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing_build=() missing_tests=()
for package in "${build_packages[@]}"; do
  installed "$package" || missing_build+=("$package")
done
if ((tests)); then
  for package in "${test_packages[@]}"; do
    installed "$package" || missing_tests+=("$package")
  done
fi
missing=("${missing_build[@]}" "${missing_tests[@]}")

# The version reader's tests switch the thread to en_US; a bare system has
# only the C locales.
add_test_locale() {
  if ((tests)) && [[ $(id -u) -eq 0 ]] &&
     ! grep -qix 'en_US\.utf-\?8' <<<"$(locale -a 2>/dev/null)"; then
    localedef -i en_US -f UTF-8 en_US.UTF-8
  fi
}
if ((${#missing[@]} == 0)); then
  add_test_locale
  exit 0
fi

# One shell for both steps, so sudo asks for a password at most once.
install_command=(sh -c 'export DEBIAN_FRONTEND=noninteractive
  apt-get update && apt-get install -y --no-install-recommends "$@"' apt-get-install)

if [[ $(id -u) -eq 0 ]]; then
  echo "installing: ${missing[*]}"
  "${install_command[@]}" "${missing[@]}"
  add_test_locale
  exit 0
fi

{
  echo "These Debian packages are missing:"
  if ((${#missing_build[@]})); then
    echo "  to build and run Pelmar: ${missing_build[*]}"
  fi
  if ((${#missing_tests[@]})); then
    echo "  to build and run the tests: ${missing_tests[*]}"
  fi
} >&2
by_hand="sudo apt-get install --no-install-recommends ${missing[*]}"
if ! command -v sudo >/dev/null; then
  echo "There is no sudo here. Install them as root:" >&2
  echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

sudo_options=()
if [[ ${CI:-} == true ]]; then
  sudo_options=(-n)
elif [[ -t 0 ]]; then
  read -r -p "Install them now with sudo apt-get (your build stays yours)? [Y/n] " answer
  if [[ $answer == [nN]* ]]; then
    echo "Nothing installed. To install them by hand:" >&2
    echo "  $by_hand" >&2
    exit 1
  fi
else
  # Nobody to ask: only a sudo that needs no password may go on.
  sudo_options=(-n)
fi
if ! sudo "${sudo_options[@]}" -- "${install_command[@]}" "${missing[@]}"; then
  echo "Could not install them. To install them by hand:" >&2
  echo "  $by_hand" >&2
  exit 1
fi
