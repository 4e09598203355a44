#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, when missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libssl-dev libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  clang libclang-rt-14-dev
  iproute2 busybox procps util-linux locales
  qt6-base-dev qt6-base-dev-tools
  xvfb xdotool x11-utils openbox imagemagick fonts-dejavu-core
  desktop-file-utils libcap2-bin groff-base binutils
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "missing Debian packages: ${missing[*]} (run as root, or install them)" >&2
    exit 1
  fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The version reader's tests switch the thread to en_US; a bare system has
# only the C locales.
if [[ $(id -u) -eq 0 ]] && ! grep -qix 'en_US\.utf-\?8' <<<"$(locale -a 2>/dev/null)"; then
  localedef -i en_US -f UTF-8 en_US.UTF-8
fi
