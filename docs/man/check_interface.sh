#!/bin/sh
# One truth for a program's interface: its --help text, its manual page and, for the flasher,
# the README and docs/json-output.md name the same options and the same exit statuses.
#   check_interface.sh HELP_TEXT PAGE.scd [--readme README.md] [--json-doc json-output.md]
# HELP_TEXT is what the program's --help printed. Prints each disagreement; exit 1 if any.
set -u
help=$1 page=$2
shift 2
readme="" json_doc=""
while [ $# -gt 0 ]; do
  case $1 in
    --readme) readme=$2 ;;
    --json-doc) json_doc=$2 ;;
    *) echo "check_interface.sh: unknown argument $1" >&2; exit 64 ;;
  esac
  shift 2
done
status=0

# Long options, and "-x --long" for each pair of names, one a line, sorted.
help_options() { grep -o -- '--[a-z][a-z-]*' "$help" | sort -u; }
help_pairs() {
  sed -n 's/^ *\(-[a-zA-Z]\), \(--[a-z][a-z-]*\).*/\1 \2/p' "$help" | sort -u
}
# The page's OPTIONS section runs to the next top-level heading; its subsections are in it.
page_section() { awk -v want="# $1" '/^# / { inside = ($0 == want); next } inside' "$page"; }
page_options() { page_section OPTIONS | grep '^\*' | grep -o -- '--[a-z][a-z-]*' | sort -u; }
page_pairs() {
  page_section OPTIONS | sed -n 's/^\*\(-[a-zA-Z]\), \(--[a-z][a-z-]*\)\*.*/\1 \2/p' | sort -u
}

# Exit statuses: in --help the lines after "Exit status" up to a blank line, each status at a
# line's start or after "; " (one paragraph or a table); in the page the rows of its table; in
# the markdown files the rows of the table under the heading that names exit statuses.
# An exit line starts with its number after at most three blanks; a wrapped line, deeper.
help_exits() {
  awk 'tolower($0) ~ /^exit status/ { inside = 1 } inside && /^$/ { exit } inside' "$help" |
    sed '1s/^[^:]*:[ ]*//; s/; /\n/g' | sed -n 's/^ \{0,3\}\([0-9][0-9]*\) .*/\1/p' | sort -un
}
page_exits() { page_section "EXIT STATUS" | sed -n 's/^| *\([0-9][0-9]*\) *$/\1/p' | sort -un; }
markdown_exits() {
  awk '/^#/ { inside = tolower($0) ~ /exit status/; next } inside' "$1" |
    sed -n 's/^| *\([0-9][0-9]*\) *|.*/\1/p' | sort -un
}

# compare WHAT FROM_A A FROM_B B: each line of one list missing from the other is named.
# Two empty lists are an error too: the text was not where it was looked for.
compare() {
  only_a=$(printf '%s\n' "$3" | grep -vxF -e "$5" -e '' || true)
  only_b=$(printf '%s\n' "$5" | grep -vxF -e "$3" -e '' || true)
  [ -n "$3$5" ] || { echo "$1: neither $2 nor $4 lists any"; status=1; return; }
  if [ -n "$only_a" ]; then
    echo "$1 in $2 but not in $4:" $only_a
    status=1
  fi
  if [ -n "$only_b" ]; then
    echo "$1 in $4 but not in $2:" $only_b
    status=1
  fi
}

compare "options" "$help" "$(help_options)" "$page" "$(page_options)"
pairs=$(help_pairs)$(page_pairs)
[ -z "$pairs" ] || compare "short names" "$help" "$(help_pairs)" "$page" "$(page_pairs)"
exits=$(help_exits)
compare "exit statuses" "$help" "$exits" "$page" "$(page_exits)"
[ -z "$readme" ] || compare "exit statuses" "$help" "$exits" "$readme" "$(markdown_exits "$readme")"
[ -z "$json_doc" ] ||
  compare "exit statuses" "$help" "$exits" "$json_doc" "$(markdown_exits "$json_doc")"

[ $status -eq 0 ] &&
  echo "$page: $(help_options | wc -l) options and exit statuses" $exits "agree with --help"
exit $status
