#!/usr/bin/env python3
"""Draws the simulated host's dashboard texture (512 x 256 RGBA PNG).

A dark panel with two round dial faces and a light strip along the top; the
lower-left corner (0..63, 192..255) is plain panel colour 0x283038 so tests
can find it in a screenshot."""
import math, struct, sys, zlib

W, H = 512, 256
PANEL = (0x28, 0x30, 0x38, 255)
STRIP = (0xB0, 0xB8, 0xC0, 255)
FACE = (0x10, 0x10, 0x14, 255)
RIM = (0xE8, 0xE8, 0xE8, 255)

def pixel(x, y):
    if y < 12:
        return STRIP
    for cx in (150, 362):
        d = math.hypot(x - cx, y - 130)
        if d < 96:
            return FACE
        if d < 102:
            return RIM
    return PANEL

rows = b"".join(b"\0" + bytes(c for x in range(W) for c in pixel(x, y)) for y in range(H))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
open(sys.argv[1], "wb").write(png)
