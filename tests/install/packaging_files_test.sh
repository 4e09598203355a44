#!/usr/bin/env bash
# The desktop entry passes desktop-file-validate without a single remark,
# its icon exists, and the man pages format without warnings.
#   packaging_files_test.sh PACKAGING_DIR
set -euo pipefail
dir=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

remarks=$(desktop-file-validate "$dir/pelmar.desktop" 2>&1) || fail "$remarks"
[[ -z $remarks ]] || fail "desktop-file-validate: $remarks"
icon=$(sed -n 's/^Icon=//p' "$dir/pelmar.desktop")
[[ -f $dir/icons/$icon.svg ]] || fail "icon $icon.svg missing"
grep -q '<svg' "$dir/icons/$icon.svg" || fail "icon is not an SVG"

for page in "$dir"/man/*.[18]; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
  [[ -z $warnings ]] || fail "$(basename "$page"): $warnings"
  name=$(basename "$page"); name=${name%.*}
  head -1 "$page" | grep -qi "^\.TH $name " || fail "$page: title is not $name"
done
echo "packaging files OK"
