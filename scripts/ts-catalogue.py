#!/usr/bin/env python3
"""Turns Qt Linguist catalogues (.ts) into a C++ table for the programs without Qt.

The window program loads its catalogues with Qt; the flasher and the simulator build on the
plain runtime, so their catalogues become data compiled into them (the Windows .exe then
carries them too). One .ts a language, named PROGRAM_LANG.ts.

  ts-catalogue.py --function NAME --out FILE.cpp A_ru.ts [B_de.ts ...]
"""
import argparse
import re
import sys
import xml.etree.ElementTree as ET


def cxx(text):
    """A C++ string literal of the text, its bytes UTF-8, escaped so no compiler reads more."""
    out = []
    for byte in text.encode("utf-8"):
        ch = chr(byte)
        if ch == "\\" or ch == '"':
            out.append("\\" + ch)
        elif 32 <= byte < 127:
            out.append(ch)
        else:
            out.append("\\%03o" % byte)
    return '"' + "".join(out) + '"'


def entries(path):
    root = ET.parse(path).getroot()
    for context in root.iter("context"):
        name = context.findtext("name") or ""
        for message in context.iter("message"):
            translation = message.find("translation")
            if translation is None or translation.get("type") in ("unfinished", "obsolete", "vanished"):
                continue
            source = message.findtext("source") or ""
            if message.get("numerus") == "yes":
                forms = [f.text or "" for f in translation.iter("numerusform")]
            else:
                forms = [translation.text or ""]
            if any(forms):
                yield name, source, forms


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--function", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("catalogues", nargs="+")
    args = parser.parse_args()
    lines = ['// Made by scripts/ts-catalogue.py from ' + ", ".join(p.split("/")[-1] for p in args.catalogues) + ".",
             '#include "runtime/language.h"', "", "namespace orvix {", "namespace {", ""]
    tables = []
    for index, path in enumerate(args.catalogues):
        match = re.search(r"_([a-z]{2,3}(?:_[A-Z]{2})?)\.ts$", path)
        if not match:
            sys.exit("ts-catalogue: %s: the name must end in _LANG.ts" % path)
        table = "kEntries%d" % index
        tables.append((match.group(1), table))
        lines.append("const std::vector<TCatalogueEntry> %s = {" % table)
        for context, source, forms in entries(path):
            lines.append("    {%s, %s, {%s}}," % (cxx(context), cxx(source), ", ".join(cxx(f) for f in forms)))
        lines.append("};")
        lines.append("")
    lines.append("}  // namespace")
    lines.append("")
    lines.append("const std::vector<TCatalogue>& %s() {" % args.function)
    lines.append("  static const std::vector<TCatalogue> kCatalogues = {")
    for language, table in tables:
        lines.append("      {%s, &%s}," % (cxx(language), table))
    lines.append("  };")
    lines.append("  return kCatalogues;")
    lines.append("}")
    lines.append("")
    lines.append("}  // namespace orvix")
    with open(args.out, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
