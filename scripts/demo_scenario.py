#!/usr/bin/env python3
"""Adds a numbered screenshot every N frames to a scenario, for the demo's animation.

usage: demo_scenario.py SCENARIO-IN SCENARIO-OUT EVERY [WIDTH HEIGHT]
With WIDTH and HEIGHT the scenario's window gets that size.
"""
import re
import sys


def main():
    source, target, every = sys.argv[1], sys.argv[2], int(sys.argv[3])
    window = f"window {sys.argv[4]} {sys.argv[5]}\n" if len(sys.argv) > 5 else None
    header, blocks, order = [], {}, []
    current = None
    frames = 0
    for line in open(source, encoding="utf-8"):
        m = re.match(r"frame\s+(\d+)\s*$", line)
        if m:
            current = int(m.group(1))
            blocks[current] = []
            order.append(current)
            continue
        if current is None:
            header.append(window if window and re.match(r"window\s", line) else line)
            f = re.match(r"frames\s+(\d+)", line)
            if f:
                frames = int(f.group(1))
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
