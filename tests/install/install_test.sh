#!/usr/bin/env bash
# Installs the build tree into a throwaway prefix and checks it from the
# outside: the exact file list, soname links, where the programs look for
# the library, a moved prefix, and two consumers (pkg-config, find_package).
#   install_test.sh BUILD_DIR CONSUMER_DIR LIBDIR HAVE_PELMAR(0|1)
set -euo pipefail
build=$1 consumer=$2 libdir=$3 have_pelmar=$4

# shellcheck source=../support/test_verdicts.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/test_verdicts.sh"
for tool in cc pkg-config readelf; do
  command -v "$tool" >/dev/null || skip "$tool missing"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }

# Exactly these files and links, nothing from the build tree besides.
expected=(
  "bin/mdsp-sim" "bin/mdspctl" "bin/pelmar-dhcpd"
  "include/mdsp.h"
  "$libdir/cmake/mdsp/mdspConfig.cmake" "$libdir/cmake/mdsp/mdspConfigVersion.cmake"
  "$libdir/cmake/mdsp/mdspTargets.cmake"
  "$libdir/libmdsp.so" "$libdir/libmdsp.so.3" "$libdir/libmdsp.so.3.1.0"
  "$libdir/pkgconfig/mdsp.pc"
  "share/man/man1/mdsp-sim.1" "share/man/man1/mdspctl.1" "share/man/man8/pelmar-dhcpd.8"
)
if [[ $have_pelmar == 1 ]]; then
  expected+=("bin/pelmar" "share/applications/pelmar.desktop" "share/man/man1/pelmar.1"
             "share/icons/hicolor/scalable/apps/pelmar.svg")
fi
actual=$(cd "$prefix" && find . \( -type f -o -type l \) -printf '%P\n' |
  grep -v "^$libdir/cmake/mdsp/mdspTargets-.*\.cmake$" | sort)
want=$(printf '%s\n' "${expected[@]}" | sort)
if [[ $actual != "$want" ]]; then
  diff <(echo "$want") <(echo "$actual") >&2 || true
  fail "installed file list differs (< expected, > installed)"
fi
ls "$prefix/$libdir/cmake/mdsp/"mdspTargets-*.cmake >/dev/null ||
  fail "no per-configuration targets file"

# Soname links: the name a linker uses -> the soname -> the real file.
[[ $(readlink "$prefix/$libdir/libmdsp.so") == libmdsp.so.3 ]] || fail "libmdsp.so link"
[[ $(readlink "$prefix/$libdir/libmdsp.so.3") == libmdsp.so.3.1.0 ]] || fail "libmdsp.so.3 link"
# Whole outputs are read before they are searched: under pipefail a writer
# cut off by grep -q would turn a match into a miss.
dynamic=$(readelf -d "$prefix/$libdir/libmdsp.so.3.1.0")
grep -q 'SONAME.*\[libmdsp\.so\.3\]' <<<"$dynamic" || fail "soname is not libmdsp.so.3"

# Installed programs look for the library beside the prefix, never in the
# build tree.
for program in "$prefix"/bin/*; do
  dynamic=$(readelf -d "$program") || fail "readelf $(basename "$program")"
  if grep -qF "$build" <<<"$dynamic"; then
    fail "$(basename "$program") still points into the build tree"
  fi
done
dynamic=$(readelf -d "$prefix/bin/mdspctl")
grep -q 'R\(UN\)\?PATH.*\[\$ORIGIN/\.\./'"$libdir"'\]' <<<"$dynamic" ||
  fail "mdspctl does not look in \$ORIGIN/../$libdir"

# The whole prefix may move: programs, pkg-config and the CMake package
# follow it.
mv "$prefix" "$work/moved"
prefix=$work/moved
env -u LD_LIBRARY_PATH "$prefix/bin/mdspctl" --help >/dev/null ||
  fail "installed mdspctl does not start from a moved prefix"
"$prefix/bin/pelmar-dhcpd" --help >/dev/null || fail "installed pelmar-dhcpd --help"
"$prefix/bin/mdsp-sim" --help >/dev/null || fail "installed mdsp-sim --help"

export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
[[ $(pkg-config --modversion mdsp) == 3.1.* ]] || fail "pkg-config version"
pc_libdir=$(pkg-config --variable=libdir mdsp)
[[ $(realpath "$pc_libdir") == $(realpath "$prefix/$libdir") ]] ||
  fail "pkg-config libdir $pc_libdir is not in the prefix"
# shellcheck disable=SC2046
cc -std=c11 -Wall -Werror -o "$work/consumer-pc" "$consumer/consumer.c" \
  $(pkg-config --cflags --libs mdsp) -Wl,-rpath,"$pc_libdir" ||
  fail "pkg-config consumer does not build"
"$work/consumer-pc" || fail "pkg-config consumer did not run"

cmake -S "$consumer" -B "$work/cmake-consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer.log" 2>&1 ||
  { cat "$work/consumer.log"; fail "find_package(mdsp 3.1) consumer does not configure"; }
cmake --build "$work/cmake-consumer" >>"$work/consumer.log" 2>&1 ||
  { cat "$work/consumer.log"; fail "find_package consumer does not build"; }
"$work/cmake-consumer/consumer" || fail "find_package consumer did not run"

# A consumer that needs a later interface must not accept this one.
if cmake -S "$consumer" -B "$work/cmake-consumer-3.2" -G Ninja -DMDSP_WANTED=3.2 \
    -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer-3.2.log" 2>&1; then
  fail "find_package(mdsp 3.2) accepted version 3.1"
fi
echo "install tree OK"
