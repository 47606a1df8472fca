#!/usr/bin/env python3
"""Writes the malformed picture samples of data/malformed/, each named by its flaw; every one
must fail to load, cleanly. Run again only to change the set (the files are committed).
Usage: make_malformed.py [OUTDIR]"""
import os
import struct
import sys
import zlib

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "data", "malformed")
os.makedirs(OUT, exist_ok=True)


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


# ---- BMP: 14-byte file header + 40-byte information header
def bmp(width=4, height=4, bits=24, compression=0, offset=54, info=40, used=0, pixels=b""):
    return struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, offset) + struct.pack(
        "<IiiHHIIiiII", info, width, height, 1, bits, compression, 0, 2835, 2835, used, 0) + pixels


write("bmp-rows-past-end.bmp", bmp(4, 1000, pixels=b"\0" * 48))
write("bmp-claims-65536-square.bmp", bmp(65536, 65536, bits=1))
write("bmp-negative-width.bmp", bmp(-4, 4, pixels=b"\0" * 48))
write("bmp-zero-height.bmp", bmp(4, 0))
write("bmp-most-negative-height.bmp", bmp(4, -2 ** 31))
write("bmp-16-bits.bmp", bmp(bits=16, pixels=b"\0" * 32))
write("bmp-run-length-top-down.bmp", bmp(4, -4, bits=8, compression=1, offset=54 + 1024, pixels=b"\0" * 1024 + b"\0\1"))
write("bmp-run-length-at-24-bits.bmp", bmp(compression=1, pixels=b"\0\1"))
write("bmp-run-length-offset-past-end.bmp", bmp(bits=8, compression=1, offset=5000, pixels=b"\0" * 1024))
write("bmp-jpeg-inside.bmp", bmp(compression=4, pixels=b"\xFF\xD8\xFF"))
write("bmp-os2-core-header.bmp", struct.pack("<2sIHHI", b"BM", 26, 0, 0, 26) + struct.pack("<IHHHH", 12, 1, 1, 1, 24) + b"\0" * 4)
write("bmp-colour-table-past-end.bmp", bmp(bits=8, used=200, pixels=b"\0" * 40))
write("bmp-pixel-offset-past-end.bmp", bmp(offset=0x7FFFFFF0, pixels=b"\0" * 48))
write("bmp-header-cut.bmp", bmp()[:30])
write("bmp-huge-info-header.bmp", bmp(info=0x7FFFFFFF, pixels=b"\0" * 48))
write("bmp-bit-fields-at-24-bits.bmp", bmp(compression=3, pixels=b"\0" * 60))
write("bmp-wrong-signature.bmp", b"MB" + bmp()[2:] + b"\0" * 48)


# ---- PCX: 128-byte header
def pcx(width=8, height=8, planes=1, bits=1, bpl=1, data=b"", manufacturer=10):
    h = bytearray(128)
    h[0:4] = bytes((manufacturer, 5, 1, bits))
    h[8:12] = struct.pack("<HH", width - 1, height - 1)
    h[65] = planes
    h[66:68] = struct.pack("<H", bpl)
    return bytes(h) + data


write("pcx-data-short-of-rows.pcx", pcx(8, 64, data=b"\xC5\x00\x01"))
write("pcx-claims-65536-rows.pcx", pcx(8, 65536, data=b"\xFF\x00" * 4))
write("pcx-three-planes.pcx", pcx(planes=3, bpl=1, data=b"\0" * 24))
write("pcx-eight-bits.pcx", pcx(bits=8, bpl=8, data=b"\0" * 64))
write("pcx-zero-bytes-per-line.pcx", pcx(width=64, bpl=0, data=b"\0" * 16))
write("pcx-header-cut.pcx", pcx()[:64])
write("pcx-wrong-manufacturer.pcx", pcx(manufacturer=11, data=b"\0" * 8))
write("pcx-run-header-at-end.pcx", pcx(8, 2, data=b"\x00\xC1"))
write("pcx-four-planes-cut.pcx", pcx(16, 4, planes=4, bpl=2, data=b"\xC8\xFF"))


# ---- TIFF (little-endian): header, data, directory
def tiff(entries, blob=b"\0" * 64, order="<"):
    out = (b"II" if order == "<" else b"MM") + struct.pack(order + "HI", 42, 8 + len(blob)) + blob
    out += struct.pack(order + "H", len(entries))
    for tag, typ, count, value in entries:
        if typ == 3 and count == 1:
            out += struct.pack(order + "HHIHH", tag, typ, count, value, 0)
        else:
            out += struct.pack(order + "HHII", tag, typ, count, value)
    return out + b"\0\0\0\0"


def gray(**changes):
    tags = {256: (3, 1, 8), 257: (3, 1, 8), 258: (3, 1, 8), 259: (3, 1, 1), 262: (3, 1, 1), 273: (4, 1, 8), 278: (3, 1, 8)}
    for tag, value in changes.items():
        tag = int(tag[1:])
        if value is None:
            tags.pop(tag, None)
        else:
            tags[tag] = value
    return sorted((tag, *v) for tag, v in tags.items())


write("tiff-strip-past-end.tif", tiff(gray(t273=(4, 1, 150))))  # 162 bytes in all
write("tiff-strip-offsets-past-table.tif", tiff(gray(t278=(3, 1, 1))))
write("tiff-strip-table-past-end.tif", tiff(gray(t273=(4, 8, 0xFFFF0000), t278=(3, 1, 1))))
write("tiff-lzw-strip-starts-past-end.tif", tiff(gray(t259=(3, 1, 5), t273=(4, 1, 0x10000))))
write("tiff-packbits-claims-65536-square.tif", tiff(gray(t256=(4, 1, 65536), t257=(4, 1, 65536), t259=(3, 1, 32773))))
write("tiff-lzw-claims-more-than-it-holds.tif", tiff(gray(t256=(4, 1, 16384), t257=(4, 1, 8192), t259=(3, 1, 5), t278=(4, 1, 8192))))
write("tiff-colour-map-short.tif", tiff(gray(t262=(3, 1, 3), t320=(3, 3 * 200, 8))))
write("tiff-colour-map-past-end.tif", tiff(gray(t262=(3, 1, 3), t320=(3, 768, 40))))
write("tiff-palette-without-map.tif", tiff(gray(t262=(3, 1, 3))))
write("tiff-directory-past-end.tif", b"II*\0" + struct.pack("<I", 0x7FFFFFFF) + b"\0" * 16)
write("tiff-directory-cut.tif", tiff(gray())[:80])
write("tiff-tiled.tif", tiff(gray(t273=None) + [(322, 3, 1, 16), (323, 3, 1, 16), (324, 4, 1, 8)]))
write("tiff-jpeg-compression.tif", tiff(gray(t259=(3, 1, 7))))
write("tiff-two-bits.tif", tiff(gray(t258=(3, 1, 2))))
write("tiff-rgba.tif", tiff(gray(t262=(3, 1, 2), t277=(3, 1, 4))))
write("tiff-no-photometric.tif", tiff(gray(t262=None)))
write("tiff-zero-width.tif", tiff(gray(t256=(3, 1, 0))))
write("tiff-wrong-byte-order.tif", b"IM*\0" + struct.pack("<I", 8) + b"\0" * 16)
write("tiff-big-endian-strip-past-end.tif", tiff(gray(t273=(4, 1, 0x7FFFFF00)), order=">"))


# ---- PNG
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width=4, height=4, depth=8, ctype=0, rows=None, ihdr_crc=True, idat=True):
    ihdr = chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, ctype, 0, 0, 0))
    if not ihdr_crc:
        ihdr = ihdr[:-1] + bytes([ihdr[-1] ^ 1])
    raw = rows if rows is not None else b"\0" * (height * (width + 1))
    body = chunk(b"IDAT", zlib.compress(raw)) if idat else b""
    return b"\x89PNG\r\n\x1a\n" + ihdr + body + chunk(b"IEND", b"")


write("png-header-crc.png", png(ihdr_crc=False))
write("png-colour-type-1.png", png(ctype=1))
write("png-bit-depth-3.png", png(depth=3))
write("png-palette-without-plte.png", png(ctype=3))
write("png-zero-width.png", png(width=0))
write("png-wider-than-65536.png", png(width=70000, height=1, depth=1, rows=b"\0" * 8751))
write("png-no-image-data.png", png(idat=False))
write("png-cut-in-header.png", png()[:20])
write("png-deflate-garbage.png", b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 4, 8, 0, 0, 0, 0)) +
      chunk(b"IDAT", b"\x78\x9c\xff\xff\xff\xff") + chunk(b"IEND", b""))
write("png-wrong-signature.png", b"\x89PNG\r\n\x1a\x00" + png()[8:])
write("png-16-bit-palette.png", png(depth=16, ctype=3))


# ---- JPEG
SOI, EOI = b"\xFF\xD8", b"\xFF\xD9"


def segment(marker, data):
    return bytes((0xFF, marker)) + struct.pack(">H", len(data) + 2) + data


sof_huge = segment(0xC2, struct.pack(">BHHB", 8, 65500, 65500, 1) + bytes((1, 0x11, 0)))
write("jpeg-progressive-claims-65500-square.jpg", SOI + sof_huge + EOI)
write("jpeg-zero-width.jpg", SOI + segment(0xC0, struct.pack(">BHHB", 8, 8, 0, 1) + bytes((1, 0x11, 0))) + EOI)
write("jpeg-only-start.jpg", SOI)
write("jpeg-not-jpeg.jpg", b"GIF89a" + b"\0" * 32)
write("jpeg-segment-length-past-end.jpg", SOI + b"\xFF\xE0\xFF\xFF" + b"JFIF\0")
write("jpeg-twelve-bit-precision.jpg", SOI + segment(0xC0, struct.pack(">BHHB", 12, 8, 8, 1) + bytes((1, 0x11, 0))) + EOI)
write("jpeg-no-scan.jpg", SOI + segment(0xC0, struct.pack(">BHHB", 8, 8, 8, 1) + bytes((1, 0x11, 0))) + EOI)
