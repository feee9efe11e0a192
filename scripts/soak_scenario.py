#!/usr/bin/env python3
"""Writes the soak scenario: cycles of 500 frames through the game modes
(menu 5, driving 1 with a fresh dashboard texture, damage changes, a device
loss and Reset, a Home-key reload, finish, then modes 3, 8 and 10), repeated
to the frame count.

usage: soak_scenario.py FRAMES OUT-FILE
"""
import sys

CYCLE = 500


def cycle(start, n):
    """The (frame, lines) blocks of cycle n, which begins at frame `start`."""
    damage_word = n % 60
    blocks = [
        (0, ["mode 5", "finished 0", "prestart 0", "damagef 0 1.0", "damagei 30 1"]),
        (20, ["mode 1", r"texture Cars\Car1\Textures\dashboard.png", "prestart 1.0 step -0.02",
              "clock 1 step 0.0166667", "rpm 2000 step 10", "gear 2", "gear-index 2"]),
        (80, [f"damagef {damage_word} 0.{3 + n % 6}", "damagef 0 0.5", "event 1 13"]),
        (90, ["event 0 0"]),
        # Alt-tab while driving: the device is lost for six frames, then
        # reset, every other cycle to a new size and back.
        (120, ["lose-device 6 800 600" if n % 2 else "lose-device 6 640 480"]),
        (150, ["damagei 30 0", f"damagef {(damage_word + 7) % 60} 0.2"]),
        (200, ["home 30"]),
        (300, ["finished 1"]),
        (380, ["mode 3"]),
        (410, ["mode 8"]),
        (440, ["mode 10"]),
        (470, ["mode 5"]),
    ]
    return [(start + offset, body) for offset, body in blocks]


def main():
    frames, target = int(sys.argv[1]), sys.argv[2]
    out = [f"frames {frames}"]
    for n in range((frames + CYCLE - 1) // CYCLE):
        for frame, body in cycle(n * CYCLE, n):
            if frame < frames:
                out.append(f"frame {frame}")
                out += [f"  {b}" for b in body]
    open(target, "w", encoding="utf-8").write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
