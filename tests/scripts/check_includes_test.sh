#!/usr/bin/env bash
# The include check against small trees that each break one rule, by bare
# name and by path, and one that breaks none.
set -euo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# tree NAME FILE=CONTENT...: a tree with the map's usual files plus these.
tree() {
  local dir=$work/$1
  shift
  mkdir -p "$dir"
  local spec
  for spec in 'mdsp/include/mdsp.h=' 'mdsp/client.h=#include "mdsp.h"' \
    'mdsp/secure/tlv.h=' 'host/rules.h=#include "mdsp.h"' 'pelmar/window.h=#include "rules.h"' \
    'tools/ctl/main.cpp=#include "rules.h"' "$@"; do
    mkdir -p "$dir/$(dirname "${spec%%=*}")"
    printf '%s\n' "${spec#*=}" >"$dir/${spec%%=*}"
  done
  echo "$dir"
}

# expect NAME WANTED_EXIT MESSAGE_PART FILE=CONTENT...
expect() {
  local name=$1 wanted=$2 part=$3 dir out code=0
  shift 3
  dir=$(tree "$name" "$@")
  out=$("$check" "$dir" 2>&1) || code=$?
  if [[ $code -ne $wanted || $out != *"$part"* ]]; then
    echo "FAIL $name: exit $code (wanted $wanted), output:"
    echo "$out"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

expect clean 0 "no include against the map" \
  'mdsp/secure/send.cpp=#include "tlv.h"
#include "../client.h"' \
  'host/entry.cpp=#include <vector>
#include "mdsp.h"'
expect tools_use_gui_by_name 1 "tools/ctl/main.cpp includes pelmar/window.h" \
  'tools/ctl/main.cpp=#include "window.h"'
expect tools_use_gui_by_path 1 "tools/ctl/main.cpp includes pelmar/window.h" \
  'tools/ctl/main.cpp=#include "pelmar/window.h"'
expect dhcp_uses_gui 1 "dhcp/server.cpp includes pelmar/window.h: only the GUI" \
  'dhcp/server.cpp=#include "window.h"'
expect host_uses_a_program 1 "host/rules.h includes tools/ctl/args.h: the host core lies below" \
  'tools/ctl/args.h=' 'host/rules.h=#include "args.h"'
expect host_reaches_inside_by_name 1 "host/rules.h includes mdsp/client.h" \
  'host/rules.h=#include "client.h"'
expect gui_reaches_inside_by_path 1 "pelmar/window.h includes mdsp/secure/tlv.h" \
  'pelmar/window.h=  #  include "secure/tlv.h"'
expect dhcp_reaches_inside 1 "dhcp/server.cpp includes mdsp/client.h" \
  'dhcp/server.cpp=#include "client.h"'
expect folders_include_each_other 1 "mdsp/ and mdsp/secure/ include each other" \
  'mdsp/client.h=#include "tlv.h"' 'mdsp/secure/tlv.h=#include "client.h"'
expect folders_loop_through_a_third 1 "include each other" \
  'mdsp/client.h=#include "secure/tlv.h"' 'mdsp/secure/tlv.h=#include "clock.h"' \
  'mdsp/platform/clock.h=#include "../client.h"'
expect two_headers_one_name 1 "two headers named rules.h" \
  'pelmar/dialogs/rules.h='

((failures == 0)) || { echo "$failures case(s) failed"; exit 1; }
