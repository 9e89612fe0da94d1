#!/bin/sh
# A built manual page renders without a warning at 80 columns, and its OPTIONS section names
# every long option its program's --help prints and no other.
#   check_page.sh PAGE [PROGRAM]
set -u
page=$1 program=${2:-}
status=0

warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  echo "$page: man reports:"
  echo "$warnings"
  status=1
fi

if [ -z "$program" ]; then
  [ $status -eq 0 ] && echo "$page: renders cleanly"
  exit $status
fi

options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
from_help=$("$program" --help 2>&1 | options)
from_page=$(MANWIDTH=200 LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null |
  awk '/^[A-Z][A-Z ]*$/ { in_options = ($0 == "OPTIONS") } in_options' | options)
missing=$(printf '%s\n' "$from_help" | grep -vxF -- "$from_page")
unknown=$(printf '%s\n' "$from_page" | grep -vxF -- "$from_help")
if [ -n "$missing" ]; then
  echo "$page: options of $program --help the page does not describe:" $missing
  status=1
fi
if [ -n "$unknown" ]; then
  echo "$page: options on the page that $program --help does not know:" $unknown
  status=1
fi
[ $status -eq 0 ] && echo "$page: renders cleanly; $(printf '%s\n' "$from_help" | wc -l) options match --help"
exit $status
