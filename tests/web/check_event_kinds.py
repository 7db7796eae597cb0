#!/usr/bin/env python3
"""Fails when the event kinds the page's script sends differ from backend.h's.

The JavaScript half of the web backend names the kinds of backend::Event by
number; backend.h's enum is the one source, and this check holds the copy to
it.  Usage: check_event_kinds.py backend.h backend_web.js
"""
import re
import sys


def enum_kinds(header):
    body = re.search(r"enum\s+Kind\s*\{(.*?)\};", header, re.S)
    if not body:
        sys.exit("backend.h: no enum Kind")
    names = re.findall(r"^\s*(k\w+)\s*(?:=\s*(\d+))?\s*,?", re.sub(r"//.*", "", body.group(1)), re.M)
    kinds, value = {}, 0
    for name, explicit in names:
        value = int(explicit) if explicit else value
        kinds[name] = value
        value += 1
    return kinds


def script_kinds(script):
    return {name: int(value) for name, value in re.findall(r"\b(k[A-Z]\w*)\s*:\s*(\d+)", script)}


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1]) as f:
        header = enum_kinds(f.read())
    with open(sys.argv[2]) as f:
        script = script_kinds(f.read())
    if not script:
        sys.exit("backend_web.js: no event kinds found")
    wrong = [f"{name}: {value} in the script, {header.get(name)} in backend.h"
             for name, value in sorted(script.items()) if header.get(name) != value]
    for line in wrong:
        print(line)
    if wrong:
        sys.exit(1)
    print(f"{len(script)} event kinds agree")


if __name__ == "__main__":
    main()
