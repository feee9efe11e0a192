#!/usr/bin/env python3
"""Draws docs/images/gauge-pie-sampling.png: one image shown as it is drawn and
as a pie, through the gauge preview (the plug-in's own gauge code).

Run with Debian's Python (Pillow: python3-pil), after a build:
    /usr/bin/python3 docs/images/make_pie_sampling.py
"""
import os
import subprocess
import tempfile

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

SET = """[Texture]
Replacement=base.png

[AsDrawn]
Type=static
Image=pie.png
PosX=20
PosY=50

[Whole]
Type=pie
Image=pie.png
PosX=256
PosY=120
ValueSource=speed
Angle0=0
Value0=0
Angle1=360
Value1=100

[Part]
Type=pie
Image=pie.png
PosX=422
PosY=120
ValueSource=speed
Angle0=0
Value0=0
Angle1=135
Value1=100
"""


def font(size):
    return ImageFont.truetype(FONT, size)


def main():
    with tempfile.TemporaryDirectory() as folder:
        s = 140
        img = Image.new("RGBA", (s, s), (0, 0, 0, 0))
        d = ImageDraw.Draw(img)
        d.rectangle([0, 0, s - 1, s // 2 - 1], fill=(255, 150, 30, 255))
        d.rectangle([0, s // 2, s - 1, s - 1], fill=(40, 110, 255, 255))
        d.rectangle([0, 0, 13, s - 1], fill=(60, 200, 80, 255))  # a green left edge
        d.text((s // 2 + 7, s // 4), "TOP", fill=(0, 0, 0, 255), font=font(22), anchor="mm")
        d.text((s // 2 + 7, 3 * s // 4), "BOTTOM", fill=(255, 255, 255, 255), font=font(18), anchor="mm")
        img.save(os.path.join(folder, "pie.png"))
        base = Image.new("RGBA", (512, 256), (24, 26, 30, 255))
        d = ImageDraw.Draw(base)
        for x, text in ((90, "the image file"), (256, "pie, whole turn"), (422, "pie at 135 degrees")):
            d.text((x, 236), text, fill=(220, 220, 220, 255), font=font(14), anchor="mm")
        base.save(os.path.join(folder, "base.png"))
        with open(os.path.join(folder, "Gauges.ini"), "w") as f:
            f.write(SET)
        subprocess.run(["bash", os.path.join(ROOT, "scripts", "gauge.sh"), "preview", os.path.join(folder, "Gauges.ini"),
                        "--set", "speed=100", "--out", os.path.join(HERE, "gauge-pie-sampling.png")], check=True)


if __name__ == "__main__":
    main()
