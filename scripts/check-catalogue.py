#!/usr/bin/env python3
"""One catalogue as committed against the same catalogue run through lupdate over the code:
prints each text missing, unfinished, obsolete or with other placeholders, and fails then.
With --sources, also each literal Tr/TrN/ORVIX_TEXT call of those folders that lupdate did not
read (it skips a call whose arguments it cannot parse, such as a template argument), so that
such a text cannot go untranslated unseen.

  check-catalogue.py COMMITTED.ts UPDATED.ts [--sources DIR...]
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

PLACEHOLDER = re.compile(r"%(?:[1-9]|n)")


def messages(path):
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name") or ""
        for message in context.iter("message"):
            yield name, message


def forms(message):
    translation = message.find("translation")
    if translation is None:
        return None, []
    if message.get("numerus") == "yes":
        return translation.get("type"), [f.text or "" for f in translation.iter("numerusform")]
    return translation.get("type"), [translation.text or ""]


CALL = re.compile(r'\b(?:Tr|TrN|ORVIX_TEXT)\(\s*"([^"]*)"\s*,\s*((?:"(?:[^"\\]|\\.)*"\s*)+)[,)]')
LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')
ESCAPES = {"n": "\n", "t": "\t", '"': '"', "'": "'", "\\": "\\"}


def literal_text(literals):
    """The text of adjacent C string literals, with the escapes the code uses."""
    text = "".join(LITERAL.findall(literals))
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)), text)


def calls(folders):
    for folder in folders:
        for root, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8") as source:
                    code = source.read()
                for match in CALL.finditer(code):
                    line = code.count("\n", 0, match.start()) + 1
                    yield "%s:%d" % (path, line), match.group(1), literal_text(match.group(2))


def main():
    committed, updated = sys.argv[1], sys.argv[2]
    folders = sys.argv[4:] if len(sys.argv) > 3 and sys.argv[3] == "--sources" else []
    problems = []
    # What lupdate found in the code now: a text it no longer finds stays only as vanished.
    read = {(context, message.findtext("source") or "") for context, message in messages(updated)
            if forms(message)[0] not in ("vanished", "obsolete")}
    for where, context, source in calls(folders):
        if (context, source) not in read:
            problems.append("%s: [%s] %r: lupdate cannot read this call (write its arguments "
                            "plainly)" % (where, context, source))
    for context, message in messages(updated):
        source = message.findtext("source") or ""
        kind, texts = forms(message)
        where = "%s: [%s] %r" % (committed, context, source)
        if kind in ("vanished", "obsolete"):
            problems.append(where + ": no longer used by the code")
        elif kind == "unfinished" or not any(texts):
            problems.append(where + ": no translation")
        else:
            wanted = sorted(set(PLACEHOLDER.findall(source)))
            for text in texts:
                if sorted(set(PLACEHOLDER.findall(text))) != wanted:
                    problems.append(where + ": placeholders %s in %r" % (wanted, text))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
