#!/usr/bin/env bash
# Every program's catalogues against the texts its code uses: fails when a catalogue lacks a
# text (or leaves it unfinished), carries one the code no longer uses, or a translation's
# placeholders (%1 .. %9, %n) differ from its source's. The texts are found by Qt's lupdate, the
# tool a translator uses too (Tr and TrN read as translate, ORVIX_TEXT as QT_TRANSLATE_NOOP).
#   scripts/check-catalogues.sh [translations-dir]   (default: translations/)
set -euo pipefail
cd "$(dirname "$0")/.."
catalogues=${1:-translations}
lupdate=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
aliases=QT_TRANSLATE_NOOP+=ORVIX_TEXT,translate+=Tr,translate+=TrN
core="runtime serial link channel exchange"

# The sources whose texts each program shows.
sources_of() {
  case "$1" in
    orvix) echo "app $core" ;;
    orvix-flash) echo "cli $core" ;;
    orvix-devsim) echo "tools/devsim $core" ;;
    *) echo "check-catalogues: no sources known for $1" >&2; return 1 ;;
  esac
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
shopt -s nullglob
files=("$catalogues"/*.ts)
[[ ${#files[@]} -gt 0 ]] || { echo "check-catalogues: no catalogue in $catalogues" >&2; exit 1; }
for ts in "${files[@]}"; do
  name=$(basename "$ts" .ts)
  program=${name%_*}
  read -r -a dirs <<< "$(sources_of "$program")"
  cp "$ts" "$work/$name.ts"
  "$lupdate" -silent -locations none -extensions cpp,h,ui -tr-function-alias "$aliases" \
    "${dirs[@]}" -ts "$work/$name.ts"
  if ! python3 scripts/check-catalogue.py "$ts" "$work/$name.ts" --sources "${dirs[@]}"; then
    failed=1
  fi
done
if [[ $failed -ne 0 ]]; then
  echo "catalogues: incomplete (add or fix the texts above; lupdate -ts updates a catalogue)"
  exit 1
fi
echo "catalogues: complete (${#files[@]} files)"
