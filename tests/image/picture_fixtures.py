#!/usr/bin/env python3
"""Writes the picture fixtures of the picture-file tests into OUTDIR, each NAME.EXT beside
NAME.rgb: the pixels as a reference decoder (Pillow, which decodes TIFF through libtiff; djpeg for
JPEG) gives them, 8-bit red, green, blue, rows top down. Files come from reference encoders
(tiffcp, cjpeg, ImageMagick) or, where a layout must be exact, from the small writers below.
Usage: picture_fixtures.py OUTDIR
       picture_fixtures.py --decode FILE...   (writes FILE.rgb beside each, by the same references)"""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

# The reference tools scripts/test installs; a missing one stops here with its package's name.
for tool, package in (("/usr/bin/convert", "imagemagick"), ("/usr/bin/tiffcp", "libtiff-tools"),
                      ("/usr/bin/cjpeg", "libjpeg-turbo-progs"), ("/usr/bin/djpeg", "libjpeg-turbo-progs")):
    if not os.access(tool, os.X_OK):
        sys.exit("picture fixtures: %s is missing (Debian package %s; scripts/test installs it)" % (tool, package))
try:
    from PIL import Image
except ImportError:
    sys.exit("picture fixtures: Pillow is missing (Debian package python3-pil; scripts/test installs it)")

OUT = sys.argv[1] if len(sys.argv) > 1 else "."
W, H = 37, 23  # odd, not a multiple of 8: padding bits and bytes everywhere
rng = random.Random(7)


def path(name):
    return os.path.join(OUT, name)


def run(*args, stdin=None):
    return subprocess.run(list(args), input=stdin, stdout=subprocess.PIPE, check=True).stdout


def samples(channels, depth, w=W, h=H):
    top = (1 << depth) - 1
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            px = []
            for c in range(channels):
                # Gradients with noise: every level shows up, runs and edges too.
                v = ((x * 7 + y * 13 + c * 101) * top // (W * 7 + H * 13 + 1) + rng.randrange(0, 3)) % (top + 1)
                if x % 9 == 0:
                    v = top if (y + c) % 2 else 0
                px.append(v)
            row.append(tuple(px))
        rows.append(row)
    return rows


def write_ref(name, rgb_bytes):
    with open(path(name + ".rgb"), "wb") as f:
        f.write(rgb_bytes)


def ref_pillow(name, file):
    im = Image.open(file)
    if im.mode in ("I", "I;16", "I;16B"):
        data = bytes(min(255, v >> 8) for v in im.getdata() for _ in range(3))
        write_ref(name, data)
    else:
        write_ref(name, im.convert("RGB").tobytes())


def ref_magick(name, file):
    write_ref(name, run("/usr/bin/convert", file, "-depth", "8", "rgb:-"))


# ---------------------------------------------------------------- PNG, written with zlib
def pack(values, depth):
    if depth == 16:
        return b"".join(struct.pack(">H", v) for v in values)
    if depth == 8:
        return bytes(values)
    out, acc, bits = bytearray(), 0, 0
    for v in values:
        acc = acc << depth | v
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 4 * 2), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(ctype, depth, rows, palette=None, trns=None, interlace=False, phys=None):
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    for x0, y0, dx, dy in passes:
        xs = range(x0, w, dx)
        if not xs:
            continue
        for y in range(y0, h, dy):
            raw.append(0)
            raw += pack([s for x in xs for s in rows[y][x]], depth)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, 1 if interlace else 0))
    if phys:
        data += chunk(b"pHYs", struct.pack(">IIB", phys[0], phys[1], 1))
    if palette:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        data += chunk(b"tRNS", trns)
    return data + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def palette_of(n):
    return [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(n)]


def composite(v, a, bg, top):
    return (v * a + bg * (top - a)) / top


def make_png():
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
    cases = []
    for ctype, depths in ((0, (1, 2, 4, 8, 16)), (2, (8, 16)), (3, (1, 2, 4, 8)), (4, (8, 16)), (6, (8, 16))):
        for depth in depths:
            cases.append((ctype, depth, False))
    cases += [(0, 1, True), (0, 2, True), (2, 8, True), (3, 4, True), (6, 16, True), (4, 8, True)]
    for ctype, depth, interlace in cases:
        name = "png_c%d_d%d%s" % (ctype, depth, "_interlaced" if interlace else "")
        rows = samples(channels[ctype], depth)
        pal = palette_of(1 << depth) if ctype == 3 else None
        with open(path(name + ".png"), "wb") as f:
            f.write(png(ctype, depth, rows, pal, interlace=interlace))
        ref_pillow(name, path(name + ".png"))
        # Alpha composited onto white, computed from the samples themselves.
        if ctype in (4, 6) and not interlace:
            top = (1 << depth) - 1
            out = bytearray()
            for row in rows:
                for px in row:
                    a = px[-1]
                    colour = px[:-1] if ctype == 6 else px[:1] * 3
                    out += bytes(int(composite(v, a, top, top)) >> (depth - 8) for v in colour)
            write_ref(name + "_on_white", bytes(out))
            os.link(path(name + ".png"), path(name + "_on_white.png"))
    # tRNS in a 2-bit gray picture: the rows stay one gray byte per pixel.
    rows = samples(1, 2)
    with open(path("png_c0_d2_trns.png"), "wb") as f:
        f.write(png(0, 2, rows, trns=struct.pack(">H", 1)))
    ref_pillow("png_c0_d2_trns", path("png_c0_d2_trns.png"))
    # One written by ImageMagick, with its own chunk order and filters.
    run("/usr/bin/convert", path("png_c2_d8.png"), "-define", "png:color-type=2", path("png_imagemagick_rgb.png"))
    ref_pillow("png_imagemagick_rgb", path("png_imagemagick_rgb.png"))
    # Resolution: 2835 pixels per metre is 72 dpi; 3937 is 100.
    with open(path("png_phys.png"), "wb") as f:
        f.write(png(0, 8, samples(1, 8, 4, 3), phys=(2835, 3937)))
    # Cut inside the image data: rows decoded before the break stay.
    rows = samples(3, 8, 64, 64)
    whole = png(2, 8, rows)
    with open(path("png_truncated.png"), "wb") as f:
        f.write(whole[: len(whole) * 3 // 5])
    write_ref("png_truncated", bytes(v for row in rows for px in row for v in px))


# ---------------------------------------------------------------- BMP
def bmp(bits, rows_pixels, palette=None, info=40, top_down=False, bitfields=False, ppm=(2835, 2835)):
    h, w = len(rows_pixels), len(rows_pixels[0])
    row_bytes = (w * bits + 7) // 8
    row_size = (row_bytes + 3) & ~3
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in (palette or []))
    masks = struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0) if bitfields else b""
    extra = b""
    if info > 40:
        extra = (masks if bitfields else b"\0" * 16) + b"BGRs" + b"\0" * (info - 40 - 20)
        masks_after = b""
    else:
        masks_after = masks[:12]
    offset = 14 + info + len(masks_after) + len(table)
    pixels = bytearray()
    order = rows_pixels if top_down else list(reversed(rows_pixels))
    for row in order:
        if bits == 24:
            line = b"".join(bytes((b, g, r)) for r, g, b in row)
        elif bits == 32:
            line = b"".join(bytes((b, g, r, 0x55)) for r, g, b in row)
        else:
            line = pack(list(row), bits)
        pixels += line + b"\0" * (row_size - len(line))
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", info, w, -h if top_down else h, 1, bits, 3 if bitfields else 0,
                              len(pixels), ppm[0], ppm[1], len(palette or []), 0)
    return header + info_header + extra + masks_after + table + bytes(pixels)


def bmp_rle(bits, rows_pixels, palette):
    """Run-length bitmap: runs, literal stretches, a skip with a delta code, end codes."""
    h, w = len(rows_pixels), len(rows_pixels[0])
    per_byte = 2 if bits == 4 else 1
    code = bytearray()
    for y, row in enumerate(reversed(rows_pixels)):
        x = 0
        while x < w:
            n = 1
            while x + n < w and n < 255 and row[x + n] == row[x]:
                n += 1
            if n >= 3 or w - x < 3:
                v = row[x] if bits == 8 else row[x] << 4 | row[x]
                code += bytes((n, v))
                x += n
            else:
                n = min(w - x, 8)
                literal = row[x:x + n]
                if bits == 4:
                    packed = bytes((literal[i] << 4 | (literal[i + 1] if i + 1 < n else 0)) for i in range(0, n, 2))
                else:
                    packed = bytes(literal)
                code += bytes((0, n)) + packed + (b"\0" if len(packed) % 2 else b"")
                x += n
        code += b"\0\0"
    code += b"\0\1"
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 54 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(code), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 1 if bits == 8 else 2, len(code), 2835, 2835, len(palette), 0)
    return header + info + table + bytes(code)


def make_bmp():
    for bits in (4, 8):
        flat = [[(x // 6 + y // 5) % (1 << bits) if x % 11 else (x * 7 + y) % (1 << bits) for x in range(W)] for y in range(H)]
        name = "bmp_%d_run_length" % bits
        with open(path(name + ".bmp"), "wb") as f:
            f.write(bmp_rle(bits, flat, palette_of(1 << bits)))
        ref_pillow(name, path(name + ".bmp"))
    for bits in (1, 4, 8, 24, 32):
        for info, top_down in ((40, False), (124, False), (40, True), (124, True)):
            name = "bmp_%d_%s%s" % (bits, "v5" if info == 124 else "info40", "_topdown" if top_down else "")
            if bits <= 8:
                rows = [[px[0] for px in row] for row in samples(1, bits)]
                pal = palette_of(1 << bits)
            else:
                rows = samples(3, 8)
                pal = None
            data = bmp(bits, rows, pal, info, top_down, bitfields=(bits == 32 and info == 124))
            with open(path(name + ".bmp"), "wb") as f:
                f.write(data)
            ref_pillow(name, path(name + ".bmp"))
    # Written by ImageMagick: its version-3 and its default (V4/V5) headers.
    run("/usr/bin/convert", path("png_c2_d8.png"), "BMP3:" + path("bmp_imagemagick_bmp3.bmp"))
    ref_pillow("bmp_imagemagick_bmp3", path("bmp_imagemagick_bmp3.bmp"))
    run("/usr/bin/convert", path("png_c2_d8.png"), "-type", "TrueColorAlpha", "BMP:" + path("bmp_imagemagick_argb.bmp"))
    ref_pillow("bmp_imagemagick_argb", path("bmp_imagemagick_argb.bmp"))
    run("/usr/bin/convert", path("png_c3_d8.png"), "-type", "Palette", "BMP3:" + path("bmp_imagemagick_palette.bmp"))
    ref_pillow("bmp_imagemagick_palette", path("bmp_imagemagick_palette.bmp"))


# ---------------------------------------------------------------- PCX
def pcx_runs(data, cross_lines):
    out, i = bytearray(), 0
    while i < len(data):
        n = 1
        while i + n < len(data) and n < 63 and data[i + n] == data[i]:
            n += 1
        if n > 1 or data[i] >= 0xC0:
            out += bytes((0xC0 | n, data[i]))
        else:
            out.append(data[i])
        i += n
    return bytes(out)


def pcx(planes, rows, palette=None, cross_lines=False, extra_line_bytes=0):
    h, w = len(rows), len(rows[0])
    bpl = (w + 7) // 8 + extra_line_bytes
    lines = []
    for row in rows:
        for p in range(planes):
            bits = [(v >> p) & 1 for v in row]
            lines.append(pack(bits, 1) + b"\xAA" * extra_line_bytes)
    if cross_lines:
        body = pcx_runs(b"".join(lines), True)
    else:
        body = b"".join(pcx_runs(line, False) for line in lines)
    header = bytearray(128)
    header[0:4] = bytes((10, 5, 1, 1))
    header[4:12] = struct.pack("<HHHH", 0, 0, w - 1, h - 1)
    header[12:16] = struct.pack("<HH", 300, 300)
    if palette:
        header[16:64] = b"".join(bytes(c) for c in palette)
    header[65] = planes
    header[66:68] = struct.pack("<H", bpl)
    header[68:70] = struct.pack("<H", 1)
    return bytes(header) + body


def make_pcx():
    one = [[px[0] for px in row] for row in samples(1, 1)]
    four = [[px[0] for px in row] for row in samples(1, 4)]
    # Long runs of one colour so that runs meet line ends.
    flat = [[(x // 20 + y // 11) % 16 for x in range(W)] for y in range(H)]
    pal = palette_of(16)
    for name, data in (("pcx_1plane", pcx(1, one)), ("pcx_4planes", pcx(4, four, pal)),
                       ("pcx_4planes_runs_cross_lines", pcx(4, flat, pal, cross_lines=True)),
                       ("pcx_1plane_runs_cross_lines", pcx(1, [[0] * W] * H, cross_lines=True)),
                       ("pcx_1plane_long_lines", pcx(1, one, extra_line_bytes=3))):
        with open(path(name + ".pcx"), "wb") as f:
            f.write(data)
        # Pillow refuses runs that cross a line end and lines longer than the width; ImageMagick
        # reads those, but shows one-plane pictures with 0 as white: there the samples decide.
        if name == "pcx_4planes_runs_cross_lines":
            ref_magick(name, path(name + ".pcx"))
        elif name.startswith("pcx_1plane_"):
            rows = [[0] * W] * H if "cross" in name else one
            write_ref(name, bytes(255 * v for row in rows for v in row for _ in range(3)))
        else:
            ref_pillow(name, path(name + ".pcx"))


# ---------------------------------------------------------------- TIFF
def tiff(bits, photometric, rows, colour_map=None, rows_per_strip=8, resolution=None, alpha=0, code=None):
    """Little-endian TIFF, uncompressed unless `code` (compression number, strip coder) is given;
    tiffcp makes the other layouts from it. `alpha` samples (after the colour ones in each pixel
    tuple) are declared unassociated alpha."""
    h, w = len(rows), len(rows[0])
    samples_per_pixel = (3 if photometric == 2 else 1) + alpha

    def row_bytes(row):
        values = list(v for px in row for v in (px if samples_per_pixel > 1 else (px,)))
        return b"".join(struct.pack("<H", v) for v in values) if bits == 16 else pack(values, bits)
    strips = []
    for s in range(0, h, rows_per_strip):
        strips.append(b"".join(row_bytes(row) for row in rows[s:s + rows_per_strip]))
    if code:
        strips = [code[1](strip) for strip in strips]
    entries = []
    extra = bytearray()
    base = 8

    def at():
        return base + len(extra)
    offsets = []
    for strip in strips:
        offsets.append(at())
        extra += strip
    if len(extra) % 2:
        extra.append(0)
    offsets_at = at()
    extra += b"".join(struct.pack("<I", o) for o in offsets)
    counts_at = at()
    extra += b"".join(struct.pack("<I", len(s)) for s in strips)
    bits_at = at()
    extra += struct.pack("<" + "H" * samples_per_pixel, *([bits] * samples_per_pixel))
    entries += [(256, 4, 1, w), (257, 4, 1, h)]
    entries.append((258, 3, samples_per_pixel, bits_at) if samples_per_pixel > 2 else
                   (258, 3, samples_per_pixel, bits if samples_per_pixel == 1 else bits | bits << 16))
    entries += [(259, 3, 1, code[0] if code else 1), (262, 3, 1, photometric)]
    if alpha:
        entries.append((338, 3, 1, 2))
    entries.append((273, 4, len(strips), offsets_at if len(strips) > 1 else offsets[0]))
    entries += [(277, 3, 1, samples_per_pixel), (278, 4, 1, rows_per_strip)]
    entries.append((279, 4, len(strips), counts_at if len(strips) > 1 else len(strips[0])))
    if resolution:
        res_at = at()
        extra += struct.pack("<IIII", resolution[0], 1, resolution[1], 1)
        entries += [(282, 5, 1, res_at), (283, 5, 1, res_at + 8), (296, 3, 1, resolution[2])]
    entries.append((284, 3, 1, 1))
    if colour_map:
        map_at = at()
        extra += b"".join(struct.pack("<H", v) for v in colour_map)
        entries.append((320, 3, len(colour_map), map_at))
    directory = at()
    data = b"II*\0" + struct.pack("<I", directory) + bytes(extra)
    data += struct.pack("<H", len(entries))
    for tag, typ, count, value in sorted(entries):
        if typ == 3 and count == 1:
            data += struct.pack("<HHIHH", tag, typ, count, value, 0)
        else:
            data += struct.pack("<HHII", tag, typ, count, value)
    return data + b"\0\0\0\0"


def make_tiff():
    kinds = {}
    kinds["gray1"] = (1, 1, [[px[0] for px in row] for row in samples(1, 1)], None)
    kinds["gray4"] = (4, 1, [[px[0] for px in row] for row in samples(1, 4)], None)
    kinds["gray8"] = (8, 1, [[px[0] for px in row] for row in samples(1, 8)], None)
    kinds["whiteiszero8"] = (8, 0, [[px[0] for px in row] for row in samples(1, 8)], None)
    kinds["whiteiszero1"] = (1, 0, [[px[0] for px in row] for row in samples(1, 1)], None)
    for bits in (4, 8):
        pal = palette_of(1 << bits)
        cmap = [c[i] * 257 for i in range(3) for c in pal]
        kinds["palette%d" % bits] = (bits, 3, [[px[0] for px in row] for row in samples(1, bits)], cmap)
    ramp = [i * 0x1111 for i in range(16)] * 3
    kinds["grayramp4"] = (4, 3, [[px[0] for px in row] for row in samples(1, 4)], ramp)
    kinds["rgb"] = (8, 2, samples(3, 8), None)
    for kind, (bits, photometric, rows, cmap) in kinds.items():
        source = path("tiff_%s_source.tif" % kind)
        with open(source, "wb") as f:
            f.write(tiff(bits, photometric, rows, cmap))
        for compression in ("none", "lzw", "packbits"):
            for order in ("L", "B"):
                name = "tiff_%s_%s_%s" % (kind, compression, "ii" if order == "L" else "mm")
                run("/usr/bin/tiffcp", "-" + order, "-c", compression, "-r", "8", source, path(name + ".tif"))
                ref_pillow(name, path(name + ".tif"))
        os.remove(source)
    run("/usr/bin/tiffcp", "-B", "-c", "lzw:2", "-r", "5", path("tiff_rgb_none_ii.tif"), path("tiff_rgb_lzw_predictor_mm.tif"))
    ref_pillow("tiff_rgb_lzw_predictor_mm", path("tiff_rgb_lzw_predictor_mm.tif"))
    run("/usr/bin/tiffcp", "-c", "lzw", "-s", "-r", "23", path("tiff_gray8_none_ii.tif"), path("tiff_gray8_lzw_one_strip_ii.tif"))
    ref_pillow("tiff_gray8_lzw_one_strip_ii", path("tiff_gray8_lzw_one_strip_ii.tif"))
    # Resolution units: 2 inch, 3 centimetre, 1 none; big-endian copies from tiffcp, so that the
    # rationals are read in the file's byte order.
    for unit in (1, 2, 3):
        with open(path("tiff_unit%d.tif" % unit), "wb") as f:
            f.write(tiff(8, 1, [[0] * 4] * 3, resolution=(300, 150, unit)))
    for unit in (2, 3):
        run("/usr/bin/tiffcp", "-B", path("tiff_unit%d.tif" % unit), path("tiff_unit%d_mm.tif" % unit))


def lzw_old_style(data):
    """LZW as TIFF files before 6.0 have it: clear code first, codes packed least significant bit
    first, each width used up to the power of two itself (one code later than TIFF 6.0)."""
    out = bytearray()
    acc, count = 0, 0
    state = {"width": 9, "next": 258, "previous": False}

    def emit(code):
        nonlocal acc, count
        acc |= code << count
        count += state["width"]
        while count >= 8:
            out.append(acc & 255)
            acc >>= 8
            count -= 8
        # The decoder's view: it defines an entry one code late and widens at the power of two.
        if code == 256:
            state.update(width=9, next=258, previous=False)
            return
        if state["previous"]:
            state["next"] += 1
            if state["next"] == 1 << state["width"]:
                state["width"] += 1
        state["previous"] = True

    emit(256)
    table = {bytes([i]): i for i in range(256)}
    next_code = 258
    w = b""
    for byte in data:
        wc = w + bytes([byte])
        if wc in table:
            w = wc
            continue
        emit(table[w])
        table[wc] = next_code
        next_code += 1
        w = bytes([byte])
        if next_code == 4094:
            emit(256)
            table = {bytes([i]): i for i in range(256)}
            next_code = 258
    if w:
        emit(table[w])
    emit(257)
    if count:
        out.append(acc & 255)
    return bytes(out)


def ref_libtiff(name, file):
    """The pixels libtiff's own RGBA reader gives (tiff2rgba, alpha left out)."""
    rgba = path(name + "_libtiff.tif")
    run("/usr/bin/tiff2rgba", "-c", "none", "-n", file, rgba)
    write_ref(name, Image.open(rgba).convert("RGB").tobytes())
    os.remove(rgba)


def set_compression_tag(file, value):
    """Rewrites the compression field of a little-endian file's first directory in place."""
    with open(file, "r+b") as f:
        data = bytearray(f.read())
        assert data[:2] == b"II"
        directory = struct.unpack_from("<I", data, 4)[0]
        for i in range(struct.unpack_from("<H", data, directory)[0]):
            entry = directory + 2 + 12 * i
            if struct.unpack_from("<H", data, entry)[0] == 259:
                struct.pack_into("<H", data, entry + 8, value)
        f.seek(0)
        f.write(data)


def make_tiff_today():
    """The flavours files have today, each checked against libtiff's decoding of the same file
    (through Pillow or tiff2rgba) or, where the reduction to 8 bits and the flattening are this
    reader's own rules, against the samples the file was written from."""
    gray8 = [[px[0] for px in row] for row in samples(1, 8)]
    rgb8 = samples(3, 8)
    # Colour maps of 16-bit values that are not multiples of 256 (GraphicsMagick writes such).
    pal = [(rng.randrange(65536), rng.randrange(65536), rng.randrange(65536)) for _ in range(256)]
    cmap = [c[i] for i in range(3) for c in pal]
    source = path("tiff_palette8_map16_none_ii.tif")
    with open(source, "wb") as f:
        f.write(tiff(8, 3, gray8, cmap))
    ref_libtiff("tiff_palette8_map16_none_ii", source)
    run("/usr/bin/tiffcp", "-B", "-c", "lzw", source, path("tiff_palette8_map16_lzw_mm.tif"))
    ref_libtiff("tiff_palette8_map16_lzw_mm", path("tiff_palette8_map16_lzw_mm.tif"))
    # Old-style LZW strips.
    for kind, bits, photometric, rows, colour_map in (("gray8", 8, 1, gray8, None), ("rgb", 8, 2, rgb8, None),
                                                      ("palette8", 8, 3, gray8, cmap)):
        name = "tiff_%s_oldlzw_ii" % kind
        with open(path(name + ".tif"), "wb") as f:
            f.write(tiff(bits, photometric, rows, colour_map, code=(5, lzw_old_style)))
        ref_libtiff(name, path(name + ".tif"))
    # Deflate, with and without the predictor, in both byte orders; the old code 32946 as well.
    for kind in ("gray8", "rgb", "palette8"):
        for order in ("L", "B"):
            for scheme, tag in (("zip", "deflate"), ("zip:2", "deflate_predictor")):
                if kind == "palette8" and scheme == "zip:2":
                    continue
                name = "tiff_%s_%s_%s" % (kind, tag, "ii" if order == "L" else "mm")
                run("/usr/bin/tiffcp", "-" + order, "-c", scheme, "-r", "8", path("tiff_%s_none_ii.tif" % kind),
                    path(name + ".tif"))
                ref_pillow(name, path(name + ".tif"))
    run("/usr/bin/tiffcp", "-L", "-c", "zip", path("tiff_rgb_none_ii.tif"), path("tiff_rgb_olddeflate_ii.tif"))
    set_compression_tag(path("tiff_rgb_olddeflate_ii.tif"), 32946)
    ref_pillow("tiff_rgb_olddeflate_ii", path("tiff_rgb_olddeflate_ii.tif"))
    # 16 bits per sample: the reference is every sample's high byte, as the PNG reader keeps it.
    gray16 = [[px[0] for px in row] for row in samples(1, 16)]
    rgb16 = samples(3, 16)
    for kind, photometric, rows in (("gray16", 1, gray16), ("whiteiszero16", 0, gray16), ("rgb16", 2, rgb16)):
        source = path("tiff_%s_none_ii.tif" % kind)
        with open(source, "wb") as f:
            f.write(tiff(16, photometric, rows))
        top = [px if isinstance(px, tuple) else (px,) * 3 for row in rows for px in row]
        expected = bytes((65535 - v if photometric == 0 else v) >> 8 for px in top for v in px)
        write_ref("tiff_%s_none_ii" % kind, expected)
        for scheme, tag in (("lzw", "lzw"), ("zip:2", "deflate_predictor"), ("lzw:2", "lzw_predictor"), ("none", "none")):
            for order in ("L", "B"):
                name = "tiff_%s_%s_%s" % (kind, tag, "ii" if order == "L" else "mm")
                if name.endswith("none_ii"):
                    continue
                run("/usr/bin/tiffcp", "-" + order, "-c", scheme, "-r", "8", source, path(name + ".tif"))
                write_ref(name, expected)
    # Tiles of 16 x 16 over the 37 x 23 picture: partial tiles at the right and at the bottom.
    for kind in ("gray1", "gray4", "gray8", "palette8", "rgb", "rgb16"):
        for scheme, tag in (("none", "none"), ("lzw", "lzw"), ("zip", "deflate"), ("packbits", "packbits")):
            for order in ("L", "B"):
                name = "tiff_%s_tiled_%s_%s" % (kind, tag, "ii" if order == "L" else "mm")
                run("/usr/bin/tiffcp", "-" + order, "-c", scheme, "-t", "-w", "16", "-l", "16",
                    path("tiff_%s_none_ii.tif" % kind), path(name + ".tif"))
                shutil.copy(path("tiff_%s_none_ii.rgb" % kind), path(name + ".rgb"))
    # Pillow decodes the tiles through libtiff: the strip references must agree with it.
    for kind in ("gray8", "rgb"):
        name = "tiff_%s_tiled_lzw_mm" % kind
        assert Image.open(path(name + ".tif")).convert("RGB").tobytes() == open(path(name + ".rgb"), "rb").read()
    # Extra samples: RGBA and gray with alpha, 8 and 16 bits. Dropped, the colours are the
    # samples'; flattened onto white, the samples composed as for PNG.
    for kind, photometric, depth in (("rgba8", 2, 8), ("rgba16", 2, 16), ("grayalpha8", 1, 8), ("grayalpha16", 1, 16)):
        colours = 3 if photometric == 2 else 1
        rows = samples(colours + 1, depth)
        # Some pixels fully transparent, some opaque, the rest in between.
        top = (1 << depth) - 1
        rows = [[px[:-1] + ((0, top)[x % 3 - 1] if x % 3 else px[-1],) for x, px in enumerate(row)] for row in rows]
        source = path("tiff_%s_none_ii.tif" % kind)
        with open(source, "wb") as f:
            f.write(tiff(depth, photometric, rows, alpha=1))
        dropped, on_white = bytearray(), bytearray()
        for row in rows:
            for px in row:
                colour = px[:-1] if colours == 3 else px[:1] * 3
                dropped += bytes(v >> (depth - 8) for v in colour)
                on_white += bytes(int(composite(v, px[-1], top, top)) >> (depth - 8) for v in colour)
        for scheme, tag in (("none", "none"), ("lzw", "lzw"), ("zip", "deflate")):
            for order in ("L", "B"):
                name = "tiff_%s_%s_%s" % (kind, tag, "ii" if order == "L" else "mm")
                if name != "tiff_%s_none_ii" % kind:
                    run("/usr/bin/tiffcp", "-" + order, "-c", scheme, "-r", "8", source, path(name + ".tif"))
                write_ref(name, bytes(dropped))
                write_ref(name + "_on_white", bytes(on_white))
                os.link(path(name + ".tif"), path(name + "_on_white.tif"))
    # libtiff (through Pillow) gives the same colours with the alpha dropped.
    assert Image.open(path("tiff_rgba8_lzw_mm.tif")).convert("RGB").tobytes() == \
        open(path("tiff_rgba8_lzw_mm.rgb"), "rb").read()
    # One written by ImageMagick, with its own tags and alpha.
    run("/usr/bin/convert", path("png_c6_d8.png"), "-compress", "zip", path("tiff_imagemagick_rgba.tif"))
    ref_pillow("tiff_imagemagick_rgba", path("tiff_imagemagick_rgba.tif"))


# ---------------------------------------------------------------- JPEG
def jfif_density(data, unit, x, y):
    assert data[2:4] == b"\xFF\xE0" and data[6:11] == b"JFIF\0"
    return data[:13] + struct.pack(">BHH", unit, x, y) + data[18:]


def make_jpeg():
    rows = samples(3, 8, 61, 45)
    ppm = b"P6 61 45 255\n" + bytes(v for row in rows for px in row for v in px)
    pgm = b"P5 61 45 255\n" + bytes(px[0] for row in rows for px in row)
    cases = (("jpeg_rgb_unit1", ppm, [], (1, 300, 200)), ("jpeg_rgb_unit2", ppm, [], (2, 100, 40)),
             ("jpeg_gray_unit1", pgm, [], (1, 96, 96)), ("jpeg_gray_unit2", pgm, [], (2, 100, 100)),
             ("jpeg_rgb_no_density", ppm, [], (0, 1, 1)), ("jpeg_rgb_progressive", ppm, ["-progressive"], (1, 72, 72)),
             ("jpeg_rgb_444", ppm, ["-sample", "1x1"], (1, 72, 72)))
    for name, source, options, (unit, x, y) in cases:
        data = jfif_density(run("/usr/bin/cjpeg", "-quality", "85", *options, stdin=source), unit, x, y)
        with open(path(name + ".jpg"), "wb") as f:
            f.write(data)
        decoded = run("/usr/bin/djpeg", "-pnm", path(name + ".jpg"))
        im = Image.open(io.BytesIO(decoded))
        write_ref(name, im.convert("RGB").tobytes())


if OUT == "--decode":
    for file in sys.argv[2:]:
        if file.lower().endswith((".jpg", ".jpeg")):
            data = Image.open(io.BytesIO(run("/usr/bin/djpeg", "-pnm", file))).convert("RGB").tobytes()
        else:
            data = Image.open(file).convert("RGB").tobytes()
        with open(file + ".rgb", "wb") as f:
            f.write(data)
    sys.exit(0)

shutil.rmtree(OUT, ignore_errors=True)
os.makedirs(OUT)
make_png()
make_bmp()
make_pcx()
make_tiff()
make_tiff_today()
make_jpeg()
open(path(".complete"), "w").close()
