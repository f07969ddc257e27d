#!/usr/bin/env python3
"""Writes the seed corpus of the BMP fuzzer: one tiny file of every header
and pixel layout the loader reads. Usage: make_bmp_corpus.py <directory>"""
import os
import struct
import sys


def bmp(width, height, bits, compression=0, header=40, masks=(), palette=(), rows=(), raw=None, clr_used=0):
    out = bytearray(b"BM" + bytes(12))
    if header == 12:
        out += struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        out += struct.pack("<IiiHHIIiiII", header, width, height, 1, bits, compression, 0, 2835, 2835,
                           clr_used, 0)
        extra = header - 40
        inside = list(masks)[: extra // 4] if extra else []
        for m in inside:
            out += struct.pack("<I", m)
        out += bytes(extra - 4 * len(inside))
        if header == 40:
            for m in masks:
                out += struct.pack("<I", m)
    for b, g, r in palette:
        out += bytes((b, g, r)) if header == 12 else bytes((b, g, r, 0))
    struct.pack_into("<I", out, 10, len(out))
    if raw is not None:
        out += bytes(raw)
    else:
        for row in rows:
            row = bytes(row)
            out += row + bytes((-len(row)) % 4)
    struct.pack_into("<I", out, 2, len(out))
    return bytes(out)


def le16(*values):
    return b"".join(struct.pack("<H", v) for v in values)


def le32(*values):
    return b"".join(struct.pack("<I", v) for v in values)


PAL4 = [(0, 0, 255), (0, 255, 0), (255, 0, 0), (255, 255, 255)]

FILES = {
    "p1.bmp": bmp(3, 2, 1, palette=PAL4[:2], rows=[[0b01000000], [0b10100000]]),
    "p2.bmp": bmp(4, 1, 2, palette=PAL4, rows=[[0b00011011]]),
    "p4.bmp": bmp(3, 2, 4, palette=PAL4, clr_used=4, rows=[[0x31, 0x20], [0x01, 0x30]]),
    "p8.bmp": bmp(2, 2, 8, palette=PAL4, clr_used=4, rows=[[3, 2], [1, 0]]),
    "p8_topdown.bmp": bmp(2, -2, 8, palette=PAL4, clr_used=4, rows=[[3, 2], [1, 0]]),
    "rle8.bmp": bmp(4, 2, 8, compression=1, palette=PAL4, clr_used=4,
                    raw=[3, 1, 0, 3, 2, 3, 0, 0, 0, 0, 0, 2, 2, 0, 1, 3, 0, 1]),
    "rle4.bmp": bmp(3, 2, 4, compression=2, palette=PAL4, clr_used=4, raw=[3, 0x12, 0, 0, 0, 3, 0x12, 0x30, 0, 1]),
    "rgb16.bmp": bmp(3, 1, 16, rows=[le16(0x7C00, 0x03E0, 0x001F)]),
    "r5g6b5.bmp": bmp(2, 2, 16, compression=3, masks=(0xF800, 0x07E0, 0x001F),
                      rows=[le16(0xF800, 0x07E0), le16(0x001F, 0xFFFF)]),
    "a1r5g5b5_v5.bmp": bmp(2, 1, 16, compression=3, header=124, masks=(0x7C00, 0x03E0, 0x001F, 0x8000),
                           rows=[le16(0xFC00, 0x001F)]),
    "a4r4g4b4_v4.bmp": bmp(2, 1, 16, compression=3, header=108, masks=(0x0F00, 0x00F0, 0x000F, 0xF000),
                           rows=[le16(0xF0F0, 0x0F0F)]),
    "rgb24.bmp": bmp(3, 2, 24, rows=[bytes((255, 0, 0, 0, 255, 0, 0, 0, 255)), bytes(9)]),
    "rgb24_topdown.bmp": bmp(2, -2, 24, rows=[bytes((1, 2, 3, 4, 5, 6)), bytes((7, 8, 9, 10, 11, 12))]),
    "rgb32.bmp": bmp(2, 1, 32, rows=[le32(0x00112233, 0x80445566)]),
    "argb32_v5.bmp": bmp(2, 1, 32, compression=3, header=124,
                         masks=(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000), rows=[le32(0x80112233, 0xFF445566)]),
    "abgr32_alphabitfields.bmp": bmp(1, 2, 32, compression=6,
                                     masks=(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000),
                                     rows=[le32(0x11223344), le32(0x55667788)]),
    "core8.bmp": bmp(2, 1, 8, header=12, palette=PAL4 + [(0, 0, 0)] * 252, rows=[[2, 1]]),
    "core24.bmp": bmp(1, 2, 24, header=12, rows=[bytes((0, 0, 255)), bytes((255, 0, 0))]),
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, data in FILES.items():
        with open(os.path.join(sys.argv[1], name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
