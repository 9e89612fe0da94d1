#!/usr/bin/env bash
# The naming rule of docs/naming.md, where a tool can see it: clang-tidy's identifier-naming over
# every layer without Qt (members, locals, parameters, constants, macros). The system's own names
# that the rule keeps (OnRxChar's Sender and Count, cmdPing, RetryLimit, ...) are listed in
# scripts/naming.json. Needs a configured build with compile_commands.json (default: build/).
#   scripts/check-naming.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
root=$(pwd)
layers=${ORVIX_NAMING_LAYERS:-"runtime|serial|link|channel|exchange|cli|tools"}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
if run-clang-tidy -quiet -j "$(nproc)" -config="$(cat scripts/naming.json)" -p "$build" \
     -header-filter="$root/($layers)/" "$root/($layers)/.*\.cpp$" > "$out" 2>&1; then
  echo "naming: clean"
else
  grep -E '(warning|error):' "$out" | sed 's/\x1b\[[0-9;]*m//g' | sort -u
  echo "naming: the names above break docs/naming.md"
  exit 1
fi
