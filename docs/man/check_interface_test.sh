#!/usr/bin/env bash
# check_interface.sh on the real files must pass, and on copies with one thing planted wrong
# must fail naming it; otherwise the check could pass over the very drift it is there for.
#   check_interface_test.sh PROGRAM PAGE.scd [--readme README.md] [--json-doc json-output.md]
set -u
here=$(dirname "$0")
program=$1 page=$2
shift 2
declare -A docs=()
while [[ $# -gt 0 ]]; do docs[$1]=$2; shift 2; done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$program" --help >"$work/help.txt" 2>&1

# check [REPLACED_ARG=FILE]: runs the check with one file swapped for a planted copy.
check() {
  local args=("$work/help.txt" "$page") name
  [[ ${1-} == page=* ]] && args[1]=${1#page=}
  for name in "${!docs[@]}"; do
    if [[ ${1-} == "$name="* ]]; then args+=("$name" "${1#*=}"); else args+=("$name" "${docs[$name]}"); fi
  done
  sh "$here/check_interface.sh" "${args[@]}"
}

failed=0
check || failed=1

# Each planted fault: which file, what goes wrong (an awk program over it), and the word the
# check must name. The last entry line of OPTIONS and the last row of each exit table are
# dropped; a short name is changed.
last_match() {  # prints FILE without the last line in SECTION (a heading pattern) matching RE
  awk -v section="$2" -v re="$3" '
    { line[NR] = $0 }
    /^#/ { inside = ($0 ~ section) }
    inside && $0 ~ re { last = NR }
    END { for (i = 1; i <= NR; i++) if (i != last) print line[i] }' "$1"
}
plant() {  # NAME ARG FILE SECTION RE: plants, runs, expects a failure naming the dropped thing
  local copy=$work/$1 dropped
  last_match "$3" "$4" "$5" >"$copy"
  dropped=$(diff "$3" "$copy" | sed -n 's/^< //p' | grep -o -- '--[a-z][a-z-]*\|[0-9][0-9]*' | head -1)
  if output=$(check "$2=$copy"); then
    echo "FAIL: the check passed with $dropped dropped from a copy of $3"
    failed=1
  elif [[ $output != *"$dropped"* ]]; then
    echo "FAIL: with $dropped dropped from $3 the check says: $output"
    failed=1
  else
    echo "planted: $dropped dropped from $3: caught"
  fi
}
plant page.scd page "$page" '^# OPTIONS$' '^\*.*--[a-z]'
plant exits.scd page "$page" '^# EXIT STATUS$' '^\| *[0-9]+ *$'
for name in "${!docs[@]}"; do
  plant "${name#--}.md" "$name" "${docs[$name]}" '[Ee]xit status' '^\| *[0-9]+ *\|'
done
if grep -q '^\*-[a-zA-Z], --' "$page"; then
  sed '0,/^\*-[a-zA-Z], --/s//*-Z, --/' "$page" >"$work/short.scd"
  if check "page=$work/short.scd" >/dev/null; then
    echo "FAIL: the check passed with a short option renamed -Z on the page"
    failed=1
  else
    echo "planted: a short option renamed -Z on the page: caught"
  fi
fi
exit $failed
