#!/usr/bin/env python3
"""Writes the language files data/Doravine_LANG/<NAME>.txt from their UTF-8 sources
data/lang-src/<name>.tsv.

A source line is: Polish key, TAB, note, TAB, translation. Lines that start with '#' and empty
lines are skipped. Backslash-t, backslash-r and backslash-n are written as they stand: the program
reads them as TAB, CR and LF. The output is UTF-16 little-endian with the mark FF FE, one entry per
line, every line ending in CR LF.

    scripts/make_lang.py            write every file
    scripts/make_lang.py --check    fail when a file differs from its source (for CI)
"""
import argparse
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCES = ROOT / "data" / "lang-src"
TARGETS = ROOT / "data" / "Doravine_LANG"
FILES = {"english.tsv": "ENGLISH.txt", "russian.tsv": "RUSSIAN.txt"}
# The program reads a line into 2048 characters, line break included.
MAX_LINE = 2047 - 2


def read_source(path):
    entries = []
    errors = []
    seen = {}
    text = path.read_text(encoding="utf-8")
    for number, line in enumerate(text.split("\n"), start=1):
        line = line.rstrip("\r")
        if not line or line.startswith("#"):
            continue
        columns = line.split("\t")
        where = f"{path.name}:{number}"
        if len(columns) != 3:
            errors.append(f"{where}: expected 3 TAB-separated columns, found {len(columns)}")
            continue
        key, note, translation = columns
        if not key:
            errors.append(f"{where}: empty key")
        elif key in seen:
            errors.append(f"{where}: key {key!r} already on line {seen[key]}")
        else:
            seen[key] = number
        if not translation:
            errors.append(f"{where}: empty translation for {key!r}")
        if len(line) > MAX_LINE:
            errors.append(f"{where}: line longer than {MAX_LINE} characters")
        entries.append((key, note, translation))
    return entries, errors


def encode(entries):
    body = "".join(f"{key}\t{note}\t{translation}\r\n" for key, note, translation in entries)
    return b"\xff\xfe" + body.encode("utf-16-le")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true", help="only compare, write nothing")
    args = parser.parse_args()

    failed = False
    key_sets = {}
    for source_name, target_name in FILES.items():
        entries, errors = read_source(SOURCES / source_name)
        for error in errors:
            print(error, file=sys.stderr)
        failed |= bool(errors)
        key_sets[source_name] = {key for key, _, _ in entries}
        data = encode(entries)
        target = TARGETS / target_name
        if args.check:
            if not target.exists() or target.read_bytes() != data:
                print(f"{target} is not up to date: run scripts/make_lang.py", file=sys.stderr)
                failed = True
        elif not errors:
            TARGETS.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            print(f"{target.relative_to(ROOT)}: {len(entries)} entries")

    names = list(key_sets)
    for name in names:
        for other in names:
            for key in sorted(key_sets[name] - key_sets[other]):
                print(f"{other}: missing key {key!r} (present in {name})", file=sys.stderr)
                failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
