#!/usr/bin/env python3
"""One catalogue as committed against the same catalogue run through lupdate over the code:
prints each text missing, unfinished, obsolete or with other placeholders, and fails then.

  check-catalogue.py COMMITTED.ts UPDATED.ts
"""
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


def main():
    committed, updated = sys.argv[1], sys.argv[2]
    problems = []
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
