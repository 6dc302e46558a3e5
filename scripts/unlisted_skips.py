#!/usr/bin/env python3
"""Fails when a test did not run and is not on the list of tests that may be
skipped, so that no test is left out silently on one machine or for one user.

    unlisted_skips.py CTEST_JUNIT_FILE ALLOWED_LIST

The list holds one test a line: its name as CTest gives it (without a
parameter note such as "# GetParam() = ..."), then the reason. Blank lines
and lines that begin with "#" are comments.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree


def allowed(path):
    names = set()
    with open(path, encoding="utf-8") as listing:
        for number, line in enumerate(listing, 1):
            fields = line.split(maxsplit=1)
            if not fields or fields[0].startswith("#"):
                continue
            if len(fields) < 2:
                sys.exit(f"{path}:{number}: {fields[0]} has no reason")
            names.add(fields[0])
    return names


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    junit, listing = sys.argv[1:]
    may_skip = allowed(listing)
    cases = list(ElementTree.parse(junit).getroot().iter("testcase"))
    if not cases:
        sys.exit(f"{junit} names no test")
    unlisted = []
    for case in cases:
        if case.get("status") == "run" or case.find("failure") is not None:
            continue
        name = case.get("name", "").split()[0]
        if name in may_skip:
            continue
        output = case.findtext("system-out") or ""
        why = re.search(r": Skipped\n(.*)", output)
        unlisted.append(f"  {name}: {why.group(1) if why else case.get('status')}")
    if unlisted:
        print(f"Skipped, and not on {listing}:", *unlisted, sep="\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
