#!/usr/bin/env python3
"""Draws the icon's shapes (the same as org.sectorvane.Sectorvane.svg) into a 256 px PNG.

Standard library only: each pixel is the mean of 4 x 4 samples, painted in the SVG's order.
Run it from anywhere after changing the SVG; it rewrites the PNG beside this script.
"""
import math
import os
import struct
import zlib

SIZE = 256
STEPS = 4


def colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def rounded_rect(x, y, w, h, r):
    def inside(px, py):
        if not (x <= px <= x + w and y <= py <= y + h):
            return False
        cx = min(max(px, x + r), x + w - r)
        cy = min(max(py, y + r), y + h - r)
        return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def wedge(cx, cy, r, start, end):
    """Angles in degrees, clockwise from the x axis (y points down, as in SVG)."""
    def inside(px, py):
        if (px - cx) ** 2 + (py - cy) ** 2 > r * r:
            return False
        angle = math.degrees(math.atan2(py - cy, px - cx))
        return start <= angle <= end
    return inside


# The SVG's wedge runs from (178, 41.4) to (214.6, 78): -60 to -30 degrees on a radius of 100.
SHAPES = [
    (rounded_rect(16, 16, 224, 224, 14), colour("#2b3a55")),
    (circle(128, 128, 100), colour("#1b2436")),
    (wedge(128, 128, 100, -60, -30), colour("#f0a030")),
    (circle(128, 128, 32), colour("#e9e6dc")),
    (circle(128, 128, 18), colour("#2b3a55")),
    (rounded_rect(114, 172, 28, 60, 14), colour("#0f1520")),
    (rounded_rect(32, 30, 64, 22, 4), colour("#f4f1e8")),
    (circle(84, 128, 5), colour("#0f1520")),
]


def pixel(x, y):
    r = g = b = a = 0
    for i in range(STEPS):
        for j in range(STEPS):
            px = x + (i + 0.5) / STEPS
            py = y + (j + 0.5) / STEPS
            painted = None
            for inside, rgb in SHAPES:
                if inside(px, py):
                    painted = rgb
            if painted:
                r += painted[0]
                g += painted[1]
                b += painted[2]
                a += 255
    n = STEPS * STEPS
    if a == 0:
        return (0, 0, 0, 0)
    covered = a // 255
    return (r // covered, g // covered, b // covered, a // n)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)  # filter: none
        for x in range(SIZE):
            rows.extend(pixel(x, y))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "org.sectorvane.Sectorvane.png")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
