#!/usr/bin/env python3
"""Draws the images of the sample gauge set (assets/plugin/Gauges.default/Car1).

Run with a Python 3 that has Pillow (Debian: python3-pil):
    python3 assets/gauges/make_sample_images.py
The output is committed; run again only after changing this script.
"""
import math
import os

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "plugin", "Gauges.default", "Car1")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# Layout shared with Gauges.ini.
TACHO = (100, 128)      # needle pivot
PIE = (412, 128)        # pie centre
DIAL_R = 92


def font(size):
    try:
        return ImageFont.truetype(FONT, size)
    except OSError:
        return ImageFont.load_default()


def save(img, name):
    img.save(os.path.join(OUT, name))


def dash_base():
    img = Image.new("RGBA", (512, 256), (24, 26, 30, 255))
    d = ImageDraw.Draw(img)
    for cx, cy in (TACHO, PIE):
        d.ellipse([cx - DIAL_R, cy - DIAL_R, cx + DIAL_R, cy + DIAL_R], fill=(8, 8, 10, 255),
                  outline=(150, 150, 160, 255), width=3)
    # Tacho ticks: needle angle 0 points left, 270 degrees clockwise = 8000.
    f = font(12)
    for k in range(0, 9):
        a = math.radians(k * 270 / 8)
        dx, dy = -math.cos(a), -math.sin(a)
        x0, y0 = TACHO[0] + dx * 70, TACHO[1] + dy * 70
        x1, y1 = TACHO[0] + dx * 86, TACHO[1] + dy * 86
        d.line([x0, y0, x1, y1], fill=(230, 230, 230, 255), width=3)
        tx, ty = TACHO[0] + dx * 58, TACHO[1] + dy * 58
        d.text((tx - 4, ty - 7), str(k), fill=(230, 230, 230, 255), font=f)
    # Pie dial: angle 0 straight down, clockwise to 270 = 250.
    for k in range(0, 6):
        a = math.radians(k * 270 / 5)
        dx, dy = -math.sin(a), math.cos(a)
        d.line([PIE[0] + dx * 80, PIE[1] + dy * 80, PIE[0] + dx * 90, PIE[1] + dy * 90],
               fill=(230, 230, 230, 255), width=3)
    # Middle column frames.
    d.rectangle([204, 116, 308, 132], outline=(90, 90, 100, 255))
    d.rectangle([204, 198, 308, 212], outline=(90, 90, 100, 255))
    save(img, "dash_base.png")


def needle():
    # Points left from its pivot at (90, 5).
    img = Image.new("RGBA", (100, 10), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.polygon([(0, 5), (90, 0), (99, 5), (90, 9)], fill=(255, 40, 20, 255))
    save(img, "needle.png")


def cap():
    img = Image.new("RGBA", (20, 20), (0, 0, 0, 0))
    ImageDraw.Draw(img).ellipse([0, 0, 19, 19], fill=(60, 60, 66, 255), outline=(200, 200, 200, 255))
    save(img, "cap.png")


SEGMENTS = {  # seven segments a..g
    "0": "abcdef", "1": "bc", "2": "abged", "3": "abgcd", "4": "fgbc", "5": "afgcd",
    "6": "afgedc", "7": "abc", "8": "abcdefg", "9": "abcdfg", "-": "g",
}


def segment_boxes(w, h):
    """Boxes of the segments of one cell, as the tests decode them."""
    t = 3
    l, r = 3, w - 4
    top, mid, bot = 2, h // 2, h - 3
    return {
        "a": (l + 1, top, r - 1, top + t), "g": (l + 1, mid - 1, r - 1, mid - 1 + t),
        "d": (l + 1, bot - t, r - 1, bot), "f": (l, top + 1, l + t, mid - 1),
        "b": (r - t, top + 1, r, mid - 1), "e": (l, mid + 1, l + t, bot - 1),
        "c": (r - t, mid + 1, r, bot - 1),
    }


def digit_font():
    w, h = 14, 24
    img = Image.new("RGBA", (13 * w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    boxes = segment_boxes(w, h)
    cells = "0123456789:.-"
    for k, ch in enumerate(cells):
        x = k * w
        for seg in SEGMENTS.get(ch, ""):
            x0, y0, x1, y1 = boxes[seg]
            d.rectangle([x + x0, y0, x + x1, y1], fill=(255, 255, 255, 255))
        if ch == ":":
            d.rectangle([x + 5, 6, x + 8, 9], fill=(255, 255, 255, 255))
            d.rectangle([x + 5, 15, x + 8, 18], fill=(255, 255, 255, 255))
        if ch == ".":
            d.rectangle([x + 5, h - 6, x + 8, h - 3], fill=(255, 255, 255, 255))
    save(img, "digits.png")


GEAR_LABELS = ["N", "1", "2", "3", "4", "5", "6", "R"]
GEAR_COLOURS = [(200, 200, 200), (80, 200, 255), (90, 255, 120), (255, 230, 80),
                (255, 150, 60), (255, 80, 80), (220, 90, 255), (255, 255, 255)]


def gears():
    f = font(40)
    for i, (label, colour) in enumerate(zip(GEAR_LABELS, GEAR_COLOURS)):
        img = Image.new("RGBA", (40, 56), colour + (255,))
        d = ImageDraw.Draw(img)
        d.rectangle([3, 3, 36, 52], fill=(16, 16, 20, 255))
        d.text((20, 28), label, fill=colour + (255,), font=f, anchor="mm")
        # A solid mark in the middle bottom, in the gear's colour, for read-back.
        d.rectangle([14, 46, 25, 50], fill=colour + (255,))
        save(img, "gear%d.png" % i)


def bar(name, size, colour_from, colour_to):
    w, h = size
    img = Image.new("RGBA", size)
    d = ImageDraw.Draw(img)
    for x in range(w):
        t = x / max(1, w - 1)
        c = tuple(int(a + (b - a) * t) for a, b in zip(colour_from, colour_to))
        d.line([x, 0, x, h - 1], fill=c + (255,))
    save(img, name)


def pie():
    r = DIAL_R - 6
    img = Image.new("RGBA", (2 * r, 2 * r), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.ellipse([0, 0, 2 * r - 1, 2 * r - 1], fill=(40, 160, 255, 200))
    d.ellipse([24, 24, 2 * r - 25, 2 * r - 25], fill=(0, 0, 0, 0))
    save(img, "pie.png")


def lamp(name, colour, symbol):
    img = Image.new("RGBA", (24, 24), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([0, 0, 23, 23], radius=5, fill=colour + (255,))
    d.text((12, 12), symbol, fill=(0, 0, 0, 255), font=font(14), anchor="mm")
    save(img, name)


def arrow(name, up, colour):
    img = Image.new("RGBA", (24, 24), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    pts = [(12, 2), (22, 20), (2, 20)] if up else [(2, 4), (22, 4), (12, 22)]
    d.polygon(pts, fill=colour + (255,))
    save(img, name)


def main():
    os.makedirs(OUT, exist_ok=True)
    dash_base()
    needle()
    cap()
    digit_font()
    gears()
    bar("bar_water.png", (100, 12), (40, 120, 255), (255, 60, 40))
    bar("bar_shift.png", (100, 10), (60, 255, 60), (255, 40, 40))
    pie()
    lamp("oil_icon.png", (255, 255, 255), "O")       # tinted by the colour element
    lamp("warn_overheat.png", (255, 40, 30), "!")
    lamp("battery_icon.png", (255, 255, 255), "+")   # recoloured by the colour effect
    arrow("shift_up.png", True, (60, 255, 60))
    arrow("shift_down.png", False, (255, 200, 40))


if __name__ == "__main__":
    main()
