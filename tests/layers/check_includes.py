#!/usr/bin/env python3
"""Holds every #include under src/ against the table "Who may include whom" in
docs/architecture.md, so that the levels the document describes are the levels the code has.

A row's left cell names files by patterns in backquotes (relative to src/, `*` within one
folder); the first row that matches a file rules it. Its right cell lists the project headers
the file may include, as patterns in backquotes, and the words "Qt", "CGAL" and "nlohmann"
allow those libraries' headers. Other headers in angle brackets (the standard library, the system) are
always allowed.

Usage: check_includes.py SOURCE_DIR [DOC]
"""
import pathlib
import re
import sys


def pattern(glob):
    return re.compile("^" + re.escape(glob).replace(r"\*", "[^/]*") + "$")


def read_table(doc):
    rows = []
    lines = doc.read_text(encoding="utf-8").splitlines()
    start = lines.index("Who may include whom:")
    for line in lines[start + 1:]:
        if not line.startswith("|"):
            if rows:
                break
            continue
        cells = [c.strip() for c in line.strip("|").split("|")]
        if len(cells) != 2 or set(cells[0]) <= set("-") or cells[0] == "files":
            continue
        files = [pattern(g) for g in re.findall(r"`([^`]+)`", cells[0])]
        allowed = [pattern(g) for g in re.findall(r"`([^`]+)`", cells[1])]
        words = re.sub(r"`[^`]+`", "", cells[1])
        rows.append((cells[0], files, allowed, "Qt" in words, "CGAL" in words,
                     "nlohmann" in words))
    if not rows:
        sys.exit(f"{doc}: no table after 'Who may include whom:'")
    return rows


def main():
    source = pathlib.Path(sys.argv[1])
    doc = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else source / "docs" / "architecture.md"
    rows = read_table(doc)
    faults = []
    for path in sorted((source / "src").rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        name = path.relative_to(source / "src").as_posix()
        row = next((r for r in rows if any(p.match(name) for p in r[1])), None)
        if row is None:
            faults.append(f"src/{name}: no row of the table names it")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            m = re.match(r'\s*#\s*include\s*([<"])([^">]+)[">]', line)
            if not m:
                continue
            header = m.group(2)
            if m.group(1) == '"':
                ok = any(p.match(header) for p in row[2])
            elif header.startswith("CGAL/"):
                ok = row[4]
            elif header.startswith("nlohmann/"):
                ok = row[5]
            elif re.match(r"Q[A-Za-z]", header) or header.startswith(("qpa/", "private/")):
                ok = row[3]
            else:
                ok = True
            if not ok:
                faults.append(f"src/{name}:{number}: includes {header}, which the row "
                              f"'{row[0]}' does not allow")
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"ok: every include under src/ follows the table of {doc.name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
