#!/usr/bin/env bash
# The catalogue check against planted faults: a copy of translations/ with one fault each must
# fail and name the text; the catalogues as committed must pass.
#   planted_gaps.sh SOURCE_DIR
set -euo pipefail
root=$1
check=$root/scripts/check-catalogues.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# plant NAME FAULT SOURCE: the window's Russian catalogue with FAULT at the text SOURCE.
plant() {
  rm -rf "$work/translations" && cp -r "$root/translations" "$work/translations"
  python3 - "$work/translations/orvix_ru.ts" "$2" "$3" <<'PY'
import sys, xml.etree.ElementTree as ET
path, fault, source = sys.argv[1:]
tree = ET.parse(path)
for context in tree.getroot().iter("context"):
    for message in list(context.iter("message")):
        if message.findtext("source") != source:
            continue
        translation = message.find("translation")
        if fault == "removed":
            context.remove(message)
        elif fault == "unfinished":
            translation.set("type", "unfinished")
        elif fault == "placeholder":
            translation.text = translation.text.replace("%2", "%3")
        elif fault == "obsolete":
            message.find("source").text = source + " (no longer in the code)"
        tree.write(path, encoding="utf-8", xml_declaration=True)
        sys.exit(0)
sys.exit("no text %r in %s" % (source, path))
PY
}

expect_failure() {  # NAME TEXT: the check fails and its output names TEXT
  local out
  if out=$("$check" "$work/translations" 2>&1); then
    echo "FAIL $1: the check passed"; failed=1
  elif ! grep -qF -- "$2" <<<"$out"; then
    echo "FAIL $1: the output does not name '$2':"; echo "$out"; failed=1
  else
    echo "ok   $1"
  fi
}

while IFS='|' read -r fault source named; do
  plant "$fault" "$fault" "$source"
  expect_failure "$fault: $source" "$named"
done <<'EOF_TABLE'
removed|Programming stopped|'Programming stopped': no translation
unfinished|Unable to open com port|'Unable to open com port': no translation
placeholder|File "%1" is too large: %2 bytes, the device takes at most 65536 bytes|placeholders
obsolete|Load|'Load (no longer in the code)': no longer used
EOF_TABLE

# A call lupdate cannot read (a template argument among its arguments) in a copy of the code.
tree=$work/tree
mkdir -p "$tree/tools"
cp -r "$root"/{app,cli,runtime,serial,link,channel,exchange,scripts,translations} "$tree"
cp -r "$root/tools/devsim" "$tree/tools/"
sed -i 's/"%n: how many ports", checked)/"%n: how many ports", static_cast<long long>(checked))/' \
  "$tree/cli/port_commands.cpp"
if out=$("$tree/scripts/check-catalogues.sh" 2>&1); then
  echo "FAIL unreadable call: the check passed"; failed=1
elif ! grep -qF "cli/port_commands.cpp" <<<"$out" || ! grep -qF "lupdate cannot read" <<<"$out"; then
  echo "FAIL unreadable call: the output does not name it:"; echo "$out"; failed=1
else
  echo "ok   unreadable call: nothing to fix: %n port(s) checked"
fi

if out=$("$check" "$root/translations" 2>&1); then
  echo "ok   the committed catalogues pass"
else
  echo "FAIL the committed catalogues:"; echo "$out"; failed=1
fi
exit $failed
