#!/usr/bin/env bash
# Stands in for the tool in the demo test: reports what a window program
# started by demo.sh would find around it.
report=${STAND_IN_REPORT:?}
{
  echo "work $DEMO_WORK"
  xdpyinfo >/dev/null 2>&1 && echo "display ok"
  echo "links $(ip -o link show | awk -F': ' '{print $2}' | sed 's/@.*//' | sort | tr '\n' ' ' |
    sed 's/ $//')"
  echo "modules $("$MDSPCTL" scan --json --timeout 3000 | grep -c '"mac"')"
} >"$report"
