#!/usr/bin/env python3
"""Draws the viewer's splash background (164 x 314, 256 colours) and writes it as a serialised
raster image: the 16-byte header, 256 palette entries, the marker 0xFEDE and the raw pixel rows.
An original picture from gradients and simple shapes, with the maker's web page address in the
bottom band (the last 20 rows, which the viewer makes a link to that address); run again only to
change it on purpose.

    make_splash.py OUTPUT.lri [--preview PREVIEW.png]
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT = 164, 314
BAND_TOP = 221          # the viewer paints rows above this white and puts the logo there
SAMPLES = 4             # per axis, for smooth edges


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def over(base, colour, alpha):
    return mix(base, colour, max(0.0, min(1.0, alpha)))


def background(x, y):
    top, bottom = (22, 27, 58), (12, 92, 104)
    c = mix(top, bottom, (y / (HEIGHT - 1)) ** 1.2)
    # A soft glow behind the cube.
    d = math.hypot(x - 82, y - 112) / 95.0
    return over(c, (64, 170, 190), 0.45 * max(0.0, 1 - d) ** 2)


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


# An isometric cube: three faces lit from the upper left.
CX, CY, S = 82.0, 112.0, 34.0
H = S * math.sqrt(3) / 2
TOP = [(CX, CY - S), (CX + H, CY - S / 2), (CX, CY), (CX - H, CY - S / 2)]
LEFT = [(CX - H, CY - S / 2), (CX, CY), (CX, CY + S), (CX - H, CY + S / 2)]
RIGHT = [(CX, CY), (CX + H, CY - S / 2), (CX + H, CY + S / 2), (CX, CY + S)]
FACES = [(TOP, (236, 248, 250)), (LEFT, (118, 206, 214)), (RIGHT, (40, 128, 146))]

# Five-by-seven letters for the word mark.
GLYPHS = {
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
}
WORD, SCALE, GAP = "LUMRA", 3, 3
WORD_W = len(WORD) * 5 * SCALE + (len(WORD) - 1) * GAP
WORD_X, WORD_Y = (WIDTH - WORD_W) // 2, 250

# The maker's web page, drawn in the bottom band. The viewer opens the same address when that
# band is clicked (viewer/), so the two change together.
LINK_BAND_TOP = HEIGHT - 20
URL = "http://lumra.example.org/"
# Five columns by nine rows: capitals' height in rows 0-6, the small letters' body in rows 2-6,
# descenders in rows 7-8.
URL_GLYPHS = {
    "h": ["10000", "10000", "10110", "11001", "10001", "10001", "10001", "00000", "00000"],
    "t": ["01000", "01000", "11110", "01000", "01000", "01001", "00110", "00000", "00000"],
    "p": ["00000", "00000", "11110", "10001", "10001", "10001", "11110", "10000", "10000"],
    ":": ["00000", "00000", "01100", "01100", "00000", "01100", "01100", "00000", "00000"],
    "/": ["00001", "00010", "00010", "00100", "01000", "01000", "10000", "00000", "00000"],
    "l": ["01100", "00100", "00100", "00100", "00100", "00100", "01110", "00000", "00000"],
    "u": ["00000", "00000", "10001", "10001", "10001", "10011", "01101", "00000", "00000"],
    "m": ["00000", "00000", "11010", "10101", "10101", "10101", "10101", "00000", "00000"],
    "r": ["00000", "00000", "10110", "11001", "10000", "10000", "10000", "00000", "00000"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111", "00000", "00000"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100", "00000", "00000"],
    "e": ["00000", "00000", "01110", "10001", "11111", "10000", "01110", "00000", "00000"],
    "x": ["00000", "00000", "10001", "01010", "00100", "01010", "10001", "00000", "00000"],
    "o": ["00000", "00000", "01110", "10001", "10001", "10001", "01110", "00000", "00000"],
    "g": ["00000", "00000", "01111", "10001", "10001", "10001", "01111", "00001", "01110"],
}
URL_W = len(URL) * 6 - 1
URL_X, URL_Y = (WIDTH - URL_W) // 2, LINK_BAND_TOP + 5
UNDERLINE_Y = URL_Y + 10


def word_covers(x, y):
    if y < WORD_Y or y >= WORD_Y + 7 * SCALE:
        return False
    gx = x - WORD_X
    if gx < 0:
        return False
    step = 5 * SCALE + GAP
    letter, within = divmod(int(gx), step)
    if letter >= len(WORD) or within >= 5 * SCALE:
        return False
    row = GLYPHS[WORD[letter]][int((y - WORD_Y) // SCALE)]
    return row[int(within // SCALE)] == "1"


def url_covers(x, y):
    if y < URL_Y or y >= URL_Y + 9 or x < URL_X:
        return False
    letter, within = divmod(int(x - URL_X), 6)
    if letter >= len(URL) or within >= 5:
        return False
    return URL_GLYPHS[URL[letter]][int(y - URL_Y)][within] == "1"


def sample(x, y):
    c = background(x, y)
    # Rings around the cube, thin and faint.
    r = math.hypot(x - CX, y - CY)
    for radius, alpha in ((52, 0.35), (62, 0.22), (72, 0.12)):
        c = over(c, (150, 220, 230), alpha * max(0.0, 1 - abs(r - radius) / 0.9))
    for pts, colour in FACES:
        if inside_polygon(x, y, pts):
            shade = 1 - 0.18 * (y - (CY - S)) / (2 * S)
            c = tuple(v * shade for v in colour)
    if y >= BAND_TOP:
        c = over(c, (8, 30, 40), 0.55)
        if BAND_TOP + 12 <= y < BAND_TOP + 13 and 30 <= x < WIDTH - 30:
            c = over(c, (150, 220, 230), 0.8)
        if word_covers(x, y):
            c = (232, 246, 248)
    if y >= LINK_BAND_TOP:
        c = over(c, (2, 14, 22), 0.5)
        if url_covers(x, y) or (UNDERLINE_Y <= y < UNDERLINE_Y + 1 and URL_X <= x < URL_X + URL_W):
            c = (150, 220, 230)
    return c


def render():
    pixels = []
    step = 1.0 / SAMPLES
    for y in range(HEIGHT):
        for x in range(WIDTH):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = sample(x + (sx + 0.5) * step, y + (sy + 0.5) * step)
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            n = SAMPLES * SAMPLES
            pixels.append(tuple(min(255, max(0, int(v / n + 0.5))) for v in acc))
    return pixels


def median_cut(colours, count):
    """Splits the colour set along its widest channel until there are `count` boxes."""
    boxes = [list(colours)]
    while len(boxes) < count:
        best, best_range, best_axis = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for axis in range(3):
                values = [c[axis] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_axis = i, spread, axis
        if best is None or best_range == 0:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[best_axis])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = []
    for box in boxes:
        palette.append(tuple(int(sum(c[i] for c in box) / len(box) + 0.5) for i in range(3)))
    while len(palette) < count:
        palette.append((0, 0, 0))
    return palette


def quantise(pixels):
    palette = median_cut(pixels, 256)
    nearest = {}
    indices = bytearray()
    for p in pixels:
        if p not in nearest:
            nearest[p] = min(range(256), key=lambda i: sum((p[k] - palette[i][k]) ** 2 for k in range(3)))
        indices.append(nearest[p])
    return palette, indices


def write_image(path, palette, indices):
    header = struct.pack("<BB4sIIh", 4, 0, b"\0\0\0\0", WIDTH, HEIGHT, len(palette))
    body = b"".join(struct.pack("<I", r | g << 8 | b << 16) for r, g, b in palette)
    with open(path, "wb") as f:
        f.write(header + body + struct.pack("<H", 0xFEDE) + bytes(indices))


def write_png(path, palette, indices):
    rows = b"".join(b"\0" + bytes(c for i in indices[y * WIDTH:(y + 1) * WIDTH] for c in palette[i])
                    for y in range(HEIGHT))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--preview"):
        sys.exit(__doc__)
    palette, indices = quantise(render())
    write_image(argv[1], palette, indices)
    if len(argv) == 4:
        write_png(argv[3], palette, indices)


if __name__ == "__main__":
    main(sys.argv)
