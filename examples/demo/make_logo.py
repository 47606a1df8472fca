#!/usr/bin/env python3
"""Draws the demo package's logo (140 x 112, RGB on white): the scene's three cubes on their
floor and the words "LUMRA DEMO". The viewer shows it centred in the splash window's white upper
part. Plain Python (struct and zlib), so nothing beyond python3 is needed; the PNG is kept in
the repository and this script is run again only to change it on purpose.

    make_logo.py OUTPUT.png
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT = 140, 112
SAMPLES = 4  # per axis, for smooth edges
WHITE = (255, 255, 255)

# The scene's colours (objects_data.js), shaded as the page shades them.
ORANGE, TEAL, PURPLE = (236, 128, 40), (40, 190, 180), (170, 80, 220)
FLOOR = (62, 78, 104)
INK = (16, 24, 44)


def scaled(colour, k):
    return tuple(c * k for c in colour)


def inside_polygon(px, py, pts):
    hit = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def cube(cx, cy, s, colour):
    """An isometric cube whose top face is centred at (cx, cy - s / 2): top, left, right faces."""
    h = s * math.sqrt(3) / 2
    top = [(cx, cy - s), (cx + h, cy - s / 2), (cx, cy), (cx - h, cy - s / 2)]
    left = [(cx - h, cy - s / 2), (cx, cy), (cx, cy + s), (cx - h, cy + s / 2)]
    right = [(cx, cy), (cx + h, cy - s / 2), (cx + h, cy + s / 2), (cx, cy + s)]
    return [(top, scaled(colour, 1.0)), (left, scaled(colour, 0.62)), (right, scaled(colour, 0.82))]


def slab(cx, cy, w, d):
    """The floor: a flat isometric diamond with a thin front edge."""
    top = [(cx, cy - d), (cx + w, cy), (cx, cy + d), (cx - w, cy)]
    left = [(cx - w, cy), (cx, cy + d), (cx, cy + d + 3), (cx - w, cy + 3)]
    right = [(cx, cy + d), (cx + w, cy), (cx + w, cy + 3), (cx, cy + d + 3)]
    return [(top, FLOOR), (left, scaled(FLOOR, 0.6)), (right, scaled(FLOOR, 0.75))]


# Back to front, so later shapes cover earlier ones.
SHAPES = slab(70, 62, 62, 22) + cube(108, 48, 13, PURPLE) + cube(70, 42, 24, ORANGE) + cube(32, 60, 13, TEAL)

GLYPHS = {
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    " ": ["00000"] * 7,
}
TEXT, SCALE, GAP = "LUMRA DEMO", 2, 2
TEXT_W = len(TEXT) * 5 * SCALE + (len(TEXT) - 1) * GAP
TEXT_X, TEXT_Y = (WIDTH - TEXT_W) // 2, HEIGHT - 7 * SCALE - 4


def text_covers(x, y):
    if y < TEXT_Y or y >= TEXT_Y + 7 * SCALE or x < TEXT_X:
        return False
    letter, within = divmod(int(x - TEXT_X), 5 * SCALE + GAP)
    if letter >= len(TEXT) or within >= 5 * SCALE:
        return False
    return GLYPHS[TEXT[letter]][int((y - TEXT_Y) // SCALE)][within // SCALE] == "1"


def sample(x, y):
    c = WHITE
    for pts, colour in SHAPES:
        if inside_polygon(x, y, pts):
            c = colour
    if text_covers(x, y):
        c = INK
    return c


def render():
    rows = bytearray()
    step = 1.0 / SAMPLES
    for y in range(HEIGHT):
        rows.append(0)  # PNG filter type: none
        for x in range(WIDTH):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = sample(x + (sx + 0.5) * step, y + (sy + 0.5) * step)
                    for i in range(3):
                        acc[i] += c[i]
            rows += bytes(min(255, int(v / SAMPLES ** 2 + 0.5)) for v in acc)
    return bytes(rows)


def write_png(path, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) != 2 or argv[1].startswith("-"):
        sys.exit(__doc__)
    write_png(argv[1], render())


if __name__ == "__main__":
    main(sys.argv)
