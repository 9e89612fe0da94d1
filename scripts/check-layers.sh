#!/usr/bin/env bash
# Checks that the layers run one way: no file includes from a layer above its own or beside it
# (app/ and cli/ are two front ends, neither on the other), nothing below the windows includes
# Qt, and no library of a layer links one of a layer above it or Qt. runtime/qt/, the windows'
# binding of the message loop, stands beside exchange/ and is the one place below app/ with Qt.
#   scripts/check-layers.sh [ROOT]     (default: this repository)
# Prints every breach as FILE:LINE: what, and exits 1 when there is one.
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

# Each layer's height; a file may use only layers lower than its own. Folders not named here
# (tests, tools, benchmarks) are outside the layers.
ranks="runtime=1 serial=2 link=3 channel=4 exchange=5 runtime/qt=5 app=6 cli=6"
qt_free="runtime serial link channel exchange"

declare -A rank
for entry in $ranks; do rank[${entry%=*}]=${entry#*=}; done

# The layer of a path: its first folder, or runtime/qt.
layer_of() {
  case $1 in
    runtime/qt/*) echo runtime/qt ;;
    *) echo "${1%%/*}" ;;
  esac
}

is_qt_free() { [[ " $qt_free " == *" $1 "* ]]; }

# May layer `from` use layer `to`?
allowed() {
  local from=$1 to=$2
  [[ -z ${rank[$to]:-} || $from == "$to" ]] && return 0
  ((rank[$to] < rank[$from]))
}

breaches=0
report() {
  [[ -n $1 ]] || return
  echo "$1"
  breaches=$((breaches + $(wc -l <<< "$1")))
}

files=()
while IFS= read -r -d '' f; do files+=("${f#./}"); done < <(
  find runtime serial link channel exchange app cli -type f \
    \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.c' \) -print0 2>/dev/null)

# Includes: one pass over every include line, FILE:LINE:TEXT.
report "$(
  grep -Hn '^[[:space:]]*#[[:space:]]*include' "${files[@]}" /dev/null |
    awk -v ranks="$ranks" -v qt_free="$qt_free" '
      BEGIN {
        n = split(ranks, entries, " ")
        for (i = 1; i <= n; i++) { split(entries[i], kv, "="); rank[kv[1]] = kv[2] }
        n = split(qt_free, names, " ")
        for (i = 1; i <= n; i++) no_qt[names[i]] = 1
      }
      function layer(path) {
        return path ~ /^runtime\/qt\// ? "runtime/qt" : substr(path, 1, index(path, "/") - 1)
      }
      {
        file = $0; sub(/:.*/, "", file)
        rest = substr($0, length(file) + 2); line = rest; sub(/:.*/, "", line)
        text = substr(rest, length(line) + 2)
        from = layer(file); where = file ":" line ": "
        if (match(text, /"[^"]+"/)) {
          target = substr(text, RSTART + 1, RLENGTH - 2)
          if (target ~ /^ui_.*\.h$/) {
            if (from in no_qt) print where "includes the generated form " target " (Qt)"
          } else if (index(target, "/") > 0) {
            to = layer(target)
            if ((to in rank) && to != from && rank[to] >= rank[from])
              print where from "/ includes " target " from " to "/, a layer above or beside it"
          }
        } else if (match(text, /<Q[A-Za-z]*(\/[^>]*)?>/) && (from in no_qt)) {
          print where "includes " substr(text, RSTART, RLENGTH) ", but " from "/ builds without Qt"
        }
      }'
)"

# Libraries: which layer defines each, then what each layer's libraries link.
lists=()
for list in runtime/CMakeLists.txt runtime/qt/CMakeLists.txt serial/CMakeLists.txt \
            link/CMakeLists.txt channel/CMakeLists.txt exchange/CMakeLists.txt \
            app/CMakeLists.txt app/*/CMakeLists.txt cli/CMakeLists.txt; do
  [[ -f $list ]] && lists+=("$list")
done
declare -A home
for list in "${lists[@]}"; do
  while read -r name; do home[$name]=$(layer_of "$list"); done < <(
    grep -oE 'add_(library|executable)\([A-Za-z0-9_-]+' "$list" | sed 's/.*(//')
done
for list in "${lists[@]}"; do
  from=$(layer_of "$list")
  # A call may run over several lines: join the file into one before picking the calls out.
  for word in $(tr '\n' ' ' < "$list" | grep -oE 'target_link_libraries\([^)]*\)' |
                sed 's/target_link_libraries(//; s/)//'); do
    if [[ $word == Qt6::* || $word == Qt::* ]]; then
      is_qt_free "$from" && report "$list: links $word, but $from/ builds without Qt"
    elif [[ -n ${home[$word]:-} ]] && ! allowed "$from" "${home[$word]}"; then
      report "$list: links $word from ${home[$word]}/, a layer above or beside $from/"
    fi
  done
  if is_qt_free "$from" && grep -qE 'AUTO(MOC|UIC|RCC)|find_package\(Qt' "$list"; then
    report "$list: sets up Qt, but $from/ builds without Qt"
  fi
done

if ((breaches > 0)); then
  echo "check-layers: $breaches breach(es) of the one-way layers" \
       "(runtime < serial < link < channel < exchange < app, cli)"
  exit 1
fi
echo "check-layers: ${#files[@]} files, every include and link runs one way"
