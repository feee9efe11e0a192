#!/usr/bin/env python3
"""Turns one of the Markdown guides into the plain-text readme a Windows player
opens in Notepad: ASCII only, Windows line ends, paragraphs wrapped, tables
laid out in columns, pictures left out, links as their text.

usage: guide_to_text.py GUIDE.md OUTPUT.txt [--section HEADING]
With --section only that "## HEADING" section is taken (down to the next
heading of its level), its heading becoming the title.
"""
import re
import sys
import textwrap

WIDTH = 78

# Typography of the guides that a plain-text reader may not show.
ASCII = {"\u00d7": "x", "\u00b0": "", "\u2013": "-", "\u2014": "-", "\u2018": "'", "\u2019": "'",
         "\u201c": '"', "\u201d": '"', "\u2026": "...", "\u00b5": "u", "\u2192": "->", "\u00a0": " "}


def inline(text):
    text = re.sub(r"!\[[^\]]*\]\([^)]*\)", "", text)        # pictures
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)    # links: their text
    text = text.replace("**", "").replace("`", "")
    for k, v in ASCII.items():
        text = text.replace(k, v)
    return text


def take_section(lines, heading):
    for i, line in enumerate(lines):
        m = re.match(r"(#+)\s+(.*)", line)
        if m and m.group(2).strip() == heading:
            level = len(m.group(1))
            end = next((j for j in range(i + 1, len(lines))
                        if re.match(r"#{1,%d}\s" % level, lines[j])), len(lines))
            return ["# " + heading] + lines[i + 1:end]
    raise SystemExit(f"guide_to_text: no section '{heading}'")


def table(rows):
    cells = [[inline(c.strip()) for c in r.strip().strip("|").split("|")] for r in rows
             if not re.match(r"^\|?\s*:?-{3,}", r.strip())]
    widths = [max(len(r[k]) for r in cells if k < len(r)) for k in range(max(len(r) for r in cells))]
    if sum(widths) + 2 * (len(widths) - 1) > WIDTH:
        return listed(cells)
    out = []
    for n, r in enumerate(cells):
        out.append("  ".join(c.ljust(widths[k]) for k, c in enumerate(r)).rstrip())
        if n == 0:
            out.append("  ".join("-" * w for w in widths))
    return out


def listed(cells):
    """A table too wide for the page: each row as its first cell, then the
    others under it by their headings."""
    head, out = cells[0], []
    for r in cells[1:]:
        out.extend(textwrap.wrap(r[0], WIDTH, subsequent_indent="  ", break_on_hyphens=False))
        for k in range(1, len(r)):
            out.extend(textwrap.wrap(f"{head[k]}: {r[k]}", WIDTH, initial_indent="    ", subsequent_indent="      ",
                                     break_on_hyphens=False))
    return out


def convert(lines):
    out, para, prefix = [], [], ""

    def flush():
        nonlocal para, prefix
        if para:
            text = inline(" ".join(p.strip() for p in para))
            indent = " " * len(prefix)
            out.extend(textwrap.wrap(text, WIDTH, initial_indent=prefix, subsequent_indent=indent,
                                     break_on_hyphens=False, break_long_words=False))
        para, prefix = [], ""

    i = 0
    while i < len(lines):
        line = lines[i].rstrip("\n")
        if line.startswith("```"):
            flush()
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                out.append("    " + inline_code(lines[i].rstrip("\n")))
                i += 1
            out.append("")
        elif line.startswith("|"):
            flush()
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                rows.append(lines[i].rstrip("\n"))
                i += 1
            out.extend(table(rows))
            out.append("")
            continue
        elif m := re.match(r"(#+)\s+(.*)", line):
            flush()
            title = inline(m.group(2))
            if out and out[-1] != "":
                out.append("")
            out.extend([title, ("=" if len(m.group(1)) == 1 else "-") * len(title), ""])
        elif not line.strip() or re.match(r"^!\[", line):
            flush()
            if out and out[-1] != "":
                out.append("")
        elif m := re.match(r"^(\s*)([-*]|\d+\.)\s+(.*)", line):
            flush()
            prefix = m.group(1) + ("- " if m.group(2) in "-*" else m.group(2) + " ")
            para = [m.group(3)]
        else:
            para.append(line)
        i += 1
    flush()
    while out and out[-1] == "":
        out.pop()
    return out


def inline_code(line):
    for k, v in ASCII.items():
        line = line.replace(k, v)
    return line


def main():
    args = sys.argv[1:]
    section = None
    if "--section" in args:
        k = args.index("--section")
        section = args[k + 1]
        del args[k:k + 2]
    source, target = args
    lines = open(source, encoding="utf-8").read().splitlines()
    if section:
        lines = take_section(lines, section)
    text = "\r\n".join(convert(lines)) + "\r\n"
    bad = sorted({c for c in text if ord(c) > 126 or (ord(c) < 32 and c not in "\r\n")})
    if bad:
        raise SystemExit(f"guide_to_text: {source}: no plain-text form for {''.join(bad)!r}")
    with open(target, "w", encoding="ascii", newline="") as f:
        f.write(text)


if __name__ == "__main__":
    main()
