#!/usr/bin/env python3
"""Writes the soak scenario: cycles of 500 frames through the game modes
(menu 5, driving 1 with a fresh dashboard texture, damage changes, a Home-key
reload, finish, then modes 3, 8 and 10), repeated to the frame count.

usage: soak_scenario.py FRAMES OUT-FILE
"""
import sys

CYCLE = 500


def cycle(start, n):
    damage_word = n % 60
    lines = [
        (0, ["mode 5", "finished 0", "prestart 0", "damagef 0 1.0", "damagei 30 1"]),
        (20, ["mode 1", r"texture Cars\Car1\Textures\dashboard.png", "prestart 1.0 step -0.02",
              "clock 1 step 0.0166667", "rpm 2000 step 10", "gear 2", "gear-index 2"]),
        (80, [f"damagef {damage_word} 0.{3 + n % 6}", "damagef 0 0.5", "event 1 13"]),
        (90, ["event 0 0"]),
        (150, ["damagei 30 0", f"damagef {(damage_word + 7) % 60} 0.2"]),
        (200, ["home 30"]),
        (300, ["finished 1"]),
        (380, ["mode 3"]),
        (410, ["mode 8"]),
        (440, ["mode 10"]),
        (470, ["mode 5"]),
    ]
    out = []
    for offset, body in lines:
        out.append(f"frame {start + offset}")
        out += [f"  {b}" for b in body]
    return out


def main():
    frames, target = int(sys.argv[1]), sys.argv[2]
    out = [f"frames {frames}"]
    n = 0
    while n * CYCLE < frames:
        out += [l for l in cycle(n * CYCLE, n) if not l.startswith("frame ") or int(l.split()[1]) < frames]
        n += 1
    # Drop bodies whose frame line fell past the end.
    kept, skip = [], False
    for l in out:
        if l.startswith("frame "):
            skip = int(l.split()[1]) >= frames
        if not skip:
            kept.append(l)
    open(target, "w", encoding="utf-8").write("\n".join(kept) + "\n")


if __name__ == "__main__":
    main()
