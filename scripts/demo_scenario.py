#!/usr/bin/env python3
"""Adds a numbered screenshot every N frames to a scenario, for the demo's animation.

usage: demo_scenario.py SCENARIO-IN SCENARIO-OUT EVERY [WIDTH HEIGHT] [--then MORE]
With WIDTH and HEIGHT the scenario's window gets that size. With --then, the
frame blocks of the scenario MORE follow those of SCENARIO-IN, and its
`frames` line gives the whole run's length.
"""
import re
import sys


def main():
    args = sys.argv[1:]
    more = None
    if "--then" in args:
        at = args.index("--then")
        more = args[at + 1]
        del args[at:at + 2]
    source, target, every = args[0], args[1], int(args[2])
    window = f"window {args[3]} {args[4]}\n" if len(args) > 4 else None
    header, blocks = [], {}
    frames = 0
    for path, first in ((source, True), (more, False)):
        if path is None:
            continue
        current = None
        for line in open(path, encoding="utf-8"):
            m = re.match(r"frame\s+(\d+)\s*$", line)
            if m:
                current = int(m.group(1))
                blocks.setdefault(current, [])
                continue
            f = re.match(r"frames\s+(\d+)", line)
            if current is None and f:
                frames = int(f.group(1))
                if first:
                    header.append(line)
                else:
                    header = [l if not re.match(r"frames\s", l) else line for l in header]
            elif current is None:
                if first:
                    header.append(window if window and re.match(r"window\s", line) else line)
            else:
                blocks[current].append(line)
    for n in range(0, frames, every):
        if n not in blocks:
            blocks[n] = []
        blocks[n].append(f"  screenshot anim-{n:05d}\n")
    with open(target, "w", encoding="utf-8") as out:
        out.writelines(header)
        for n in sorted(blocks):
            out.write(f"frame {n}\n")
            out.writelines(blocks[n])


if __name__ == "__main__":
    main()
