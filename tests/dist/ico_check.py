#!/usr/bin/env python3
"""Checks a Windows icon against the desktop's PNG icons: every size is there,
each entry lies where the directory says, and its pixels are the PNG's of its
size (the 256 entry is that PNG itself). Usage: ico_check.py ICO HICOLOR_DIR"""
import struct
import sys
import zlib


def png_rows(blob, size):
    """RGBA rows of a PNG as the generator writes it: one IDAT, filter 0."""
    raw = zlib.decompress(blob[41:41 + struct.unpack(">I", blob[33:37])[0]])
    rows = [raw[y * (4 * size + 1):(y + 1) * (4 * size + 1)] for y in range(size)]
    assert all(r[0] == 0 for r in rows), f"{size}: a PNG row is filtered"
    return [r[1:] for r in rows]


def check_dib(size, entry, rows):
    assert struct.unpack("<IiiHH", entry[:16]) == (40, size, 2 * size, 1, 32), f"{size}: header"
    stride = (size + 31) // 32 * 4
    colour, mask = entry[40:40 + 4 * size * size], entry[40 + 4 * size * size:]
    assert len(mask) == stride * size, f"{size}: mask of {len(mask)} bytes"
    # Bottom-up BGRA; a mask bit marks a transparent pixel.
    for y, row in enumerate(reversed(rows)):
        want = bytes(row[x + c] for x in range(0, 4 * size, 4) for c in (2, 1, 0, 3))
        assert colour[4 * size * y:4 * size * (y + 1)] == want, f"{size}: row {y} differs"
        bits = [mask[stride * y + x // 8] >> (7 - x % 8) & 1 for x in range(size)]
        assert bits == [int(row[4 * x + 3] == 0) for x in range(size)], f"{size}: mask row {y}"


def main(ico, hicolor):
    data = open(ico, "rb").read()
    assert struct.unpack("<HH", data[:4]) == (0, 1), "not an icon file"
    count = struct.unpack("<H", data[4:6])[0]
    end, sizes = 6 + 16 * count, []
    for i in range(count):
        w, h, _, _, planes, bits, length, offset = struct.unpack(
            "<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        assert (w, planes, bits, offset) == (h, 1, 32, end), f"entry {i}: {w}x{h}, {bits} bits"
        size, entry, end = w or 256, data[offset:offset + length], end + length
        png = open(f"{hicolor}/{size}x{size}/apps/org.zedazi.Zedazi.png", "rb").read()
        if entry.startswith(b"\x89PNG"):
            assert entry == png, f"{size}: the PNG entry is not the desktop's"
        else:
            check_dib(size, entry, png_rows(png, size))
        sizes.append(size)
    assert end == len(data), f"{len(data) - end} bytes after the last entry"
    assert sorted(sizes) == [16, 24, 32, 48, 64, 256], f"sizes {sizes}"


if __name__ == "__main__":
    try:
        main(*sys.argv[1:3])
    except AssertionError as e:
        sys.exit(f"{sys.argv[1]}: {e}")
