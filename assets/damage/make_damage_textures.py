#!/usr/bin/python3
"""Draws the default layer images of the car damage diagram.

One PNG per part index, all on the same transparent canvas, so the panel can
stack them at one position. Together they show a top-down car, front at the
top. Each layer is white/light grey with a grey rim: the panel tints a layer
by multiplying it with its damage colour, so light layers read as that colour.
Layers with higher indices are drawn over lower ones; the regions below are
laid out so that every layer keeps a visible part.

Usage: make_damage_textures.py OUTPUT_FOLDER   (deterministic output)
"""
import os
import sys

from PIL import Image, ImageDraw

W, H = 160, 320

# File stems by part index; the plug-in's table of file names must match.
CORNERS = ["fl", "fr", "rl", "rr"]
NAMES = {0: "outline", 9: "bodywork", 10: "running_gear", 11: "body_and_running_gear",
         16: "engine", 17: "front_lights", 18: "rear_lights", 19: "signal_lights",
         20: "bumpers_and_bonnet", 21: "front_bumper", 22: "rear_bumper", 23: "bonnet",
         32: "chassis", 33: "roof", 34: "boot_lid", 35: "rear_spoiler", 36: "body_shell",
         37: "engine_block", 38: "exhaust", 39: "driveshafts", 40: "radiator", 41: "oil_system",
         42: "sump_guard", 43: "fuel_tank", 44: "ignition", 45: "cooling", 46: "intercooler",
         75: "fog_lights", 76: "headlights", 77: "reversing_lights", 78: "tail_lights",
         79: "indicators", 80: "brake_lights", 81: "number_plate", 82: "horn", 83: "gearbox",
         84: "clutch", 85: "differential", 86: "electrics", 87: "windows"}
for k, c in enumerate(CORNERS):
    NAMES[1 + k] = "corner_" + c
    NAMES[5 + k] = "arch_" + c
    NAMES[12 + k] = "wheel_" + c
    NAMES[24 + 2 * k] = "hub_" + c
    NAMES[25 + 2 * k] = "wing_" + c
    for base, stem in ((47, "suspension"), (51, "track_rod"), (55, "wishbone"), (59, "alignment"),
                       (63, "brake"), (67, "damper"), (71, "tire")):
        NAMES[base + k] = stem + "_" + c
assert sorted(NAMES) == list(range(88))

FILL = (236, 236, 236, 255)
SOFT = (206, 206, 206, 255)
RIM = (150, 150, 150, 255)


def mirror(box):
    x0, y0, x1, y1 = box
    return (W - x1, y0, W - x0, y1)


def both_sides(boxes):
    return list(boxes) + [mirror(b) for b in boxes]


def shift(box, dy):
    return (box[0], box[1] + dy, box[2], box[3] + dy)


def corner_boxes(k, left_boxes):
    """Front-left geometry moved to corner k (0 FL, 1 FR, 2 RL, 3 RR)."""
    out = [shift(b, 168) if k >= 2 else b for b in left_boxes]
    return [mirror(b) for b in out] if k % 2 else out


def fill(draw, boxes, colour=FILL, rim=RIM, radius=2):
    for b in boxes:
        draw.rounded_rectangle(b, radius=radius, fill=colour, outline=rim)


def frame(draw, boxes, width=2, colour=SOFT):
    for b in boxes:
        draw.rectangle(b, outline=colour, width=width)


def layer(index):
    img = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    corner = None
    for k, c in enumerate(CORNERS):
        if NAMES[index].endswith("_" + c):
            corner = k
    cb = (lambda boxes: corner_boxes(corner, boxes)) if corner is not None else None

    if index == 0:      # silhouette the other layers sit on
        d.rounded_rectangle((40, 6, 120, 314), radius=18, fill=(92, 92, 92, 255), outline=RIM, width=2)
    elif index == 9:    # body perimeter
        d.rounded_rectangle((38, 4, 122, 316), radius=20, outline=SOFT, width=2)
    elif index == 10:   # rear axle housing
        frame(d, [(72, 238, 88, 254)], width=2)
    elif index == 11:   # front axle line
        fill(d, [(30, 74, 130, 78)], SOFT, SOFT, 0)
    elif 1 <= index <= 4:   # suspension mounts beside the wheel
        fill(d, cb([(30, 50, 36, 68), (30, 84, 36, 102)]), SOFT)
    elif 5 <= index <= 8:   # wheel arch bracket
        fill(d, cb([(4, 42, 34, 44), (4, 108, 34, 110), (4, 42, 6, 110)]), SOFT, SOFT, 0)
    elif 12 <= index <= 15:  # rim
        fill(d, cb([(10, 50, 28, 102)]), SOFT, RIM, 4)
    elif index == 16:   # bulkhead behind the engine bay
        fill(d, [(56, 96, 104, 100)], SOFT, SOFT, 0)
    elif index == 17:
        frame(d, both_sides([(44, 14, 60, 26)]), width=1)
    elif index == 18:
        frame(d, both_sides([(44, 292, 60, 304)]), width=1)
    elif index == 19:
        frame(d, [(70, 288, 90, 296)], width=1)
    elif index == 20:   # bumper brackets
        fill(d, both_sides([(40, 8, 48, 16), (40, 304, 48, 312)]), SOFT)
    elif index == 21:
        fill(d, [(48, 6, 112, 16)], radius=4)
    elif index == 22:
        fill(d, [(48, 304, 112, 314)], radius=4)
    elif index == 23:
        fill(d, [(56, 18, 104, 96)], SOFT, RIM, 6)
    elif 24 <= index <= 31 and index % 2 == 0:   # hub
        fill(d, cb([(30, 70, 36, 82)]))
    elif 24 <= index <= 31:                      # wing panel beside the wheel
        fill(d, cb([(44, 40, 56, 112)]), radius=3)
    elif index == 32:   # pillars
        fill(d, both_sides([(56, 100, 62, 214)]), SOFT)
    elif index == 33:
        fill(d, [(62, 124, 98, 196)], radius=6)
    elif index == 34:
        fill(d, [(58, 218, 102, 280)], SOFT, RIM, 4)
    elif index == 35:
        fill(d, [(50, 284, 110, 292)], radius=2)
    elif index == 36:   # door sides
        fill(d, both_sides([(44, 114, 56, 206)]), radius=3)
    elif index == 37:
        fill(d, [(64, 36, 96, 72)], radius=4)
    elif index == 38:
        fill(d, [(100, 304, 106, 318)], radius=2)
    elif index == 39:
        fill(d, [(56, 244, 104, 248)], FILL, RIM, 0)
    elif index == 40:
        fill(d, [(60, 20, 100, 28)], radius=1)
    elif index == 41:
        fill(d, [(64, 74, 96, 80)], radius=1)
    elif index == 42:
        fill(d, [(60, 1, 100, 5)], SOFT, RIM, 1)
    elif index == 43:
        fill(d, [(64, 256, 96, 274)], radius=3)
    elif index == 44:
        fill(d, [(70, 89, 90, 94)], radius=1)
    elif index == 45:
        fill(d, [(60, 30, 100, 34)], radius=1)
    elif index == 46:
        fill(d, [(66, 82, 94, 88)], radius=1)
    elif 47 <= index <= 50:
        fill(d, cb([(36, 50, 44, 60)]), radius=1)
    elif 51 <= index <= 54:
        fill(d, cb([(36, 62, 44, 68)]), radius=1)
    elif 55 <= index <= 58:
        fill(d, cb([(36, 70, 44, 82)]), radius=1)
    elif 59 <= index <= 62:
        fill(d, cb([(36, 84, 44, 90)]), radius=1)
    elif 63 <= index <= 66:
        fill(d, cb([(14, 64, 24, 88)]), radius=2)
    elif 67 <= index <= 70:
        fill(d, cb([(36, 92, 44, 102)]), radius=1)
    elif 71 <= index <= 74:  # tread ring
        for b in cb([(8, 48, 30, 104)]):
            d.rounded_rectangle(b, radius=5, outline=FILL, width=3)
    elif index == 75:
        fill(d, both_sides([(60, 12, 66, 16)]), radius=1)
    elif index == 76:
        fill(d, both_sides([(46, 16, 58, 24)]), radius=2)
    elif index == 77:
        fill(d, both_sides([(60, 300, 66, 304)]), radius=1)
    elif index == 78:
        fill(d, both_sides([(46, 294, 58, 302)]), radius=2)
    elif index == 79:
        fill(d, both_sides([(40, 18, 44, 24), (40, 296, 44, 302)]), radius=1)
    elif index == 80:
        fill(d, [(72, 290, 88, 294)], radius=1)
    elif index == 81:
        fill(d, [(70, 306, 90, 312)], radius=1)
    elif index == 82:
        fill(d, [(104, 36, 110, 42)], radius=1)
    elif index == 83:
        fill(d, [(74, 132, 86, 160)], SOFT, RIM, 2)
    elif index == 84:
        fill(d, [(74, 122, 86, 130)], SOFT, RIM, 1)
    elif index == 85:
        fill(d, [(76, 242, 84, 250)], radius=1)
    elif index == 86:
        fill(d, [(74, 164, 86, 190)], SOFT, RIM, 2)
    elif index == 87:   # windscreen and rear window
        d.polygon([(58, 120), (102, 120), (96, 102), (64, 102)], fill=FILL, outline=RIM)
        d.polygon([(62, 200), (98, 200), (102, 214), (58, 214)], fill=FILL, outline=RIM)
    return img


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for i in range(88):
        layer(i).save(os.path.join(out, "%02d_%s.png" % (i, NAMES[i])), optimize=False)


if __name__ == "__main__":
    main()
