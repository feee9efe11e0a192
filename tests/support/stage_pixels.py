"""What a player sees on the simulated host's screenshots: the tire panel's
green bars before the start, the damage diagram's white (sound) and red
(damaged) parts while driving.
    stage_pixels.py OUT-FOLDER PRESTART-SHOT DRIVING-SHOT"""
import sys

from PIL import Image


def green(p):
    return p[1] > 200 and p[0] < 80 and p[2] < 80


def red(p):
    return p[0] > 200 and p[1] < 60 and p[2] < 60


def white(p):
    return min(p) > 200


def pixels(out, name, box, test):
    """The (x, y) of the pixels in box of out/name.png that pass test."""
    im = Image.open(f"{out}/{name}.png").convert("RGB")
    x0, y0, x1, y1 = box
    return [(x, y) for y in range(y0, y1) for x in range(x0, x1) if test(im.getpixel((x, y)))]


def panel_failures(out, prestart, driving):
    """What is missing of the panels, one line each; empty when all shows."""
    failures = []
    for name, box, test, least, what in [
            (prestart, (15, 195, 85, 300), green, 300, "tire panel bars"),
            (driving, (25, 300, 100, 480), white, 300, "sound parts of the damage diagram"),
            (driving, (25, 300, 100, 480), red, 50, "damaged parts of the damage diagram")]:
        n = len(pixels(out, name, box, test))
        if n < least:
            failures.append(f"{what}: {n} pixels in {name}.png, expected at least {least}")
    return failures


if __name__ == "__main__":
    found = panel_failures(*sys.argv[1:4])
    for line in found:
        print(f"FAIL: {line}")
    sys.exit(1 if found else 0)
