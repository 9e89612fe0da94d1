#!/bin/sh
# A built manual page renders without a warning at 80 columns. (Its options and exit statuses
# are held to the program's --help by check_interface.sh.)
#   check_page.sh PAGE
set -u
page=$1
warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  echo "$page: man reports:"
  echo "$warnings"
  exit 1
fi
echo "$page: renders cleanly"
