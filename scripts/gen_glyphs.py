#!/usr/bin/env python3
"""Draws the button glyphs and the application icon and writes them as BMP byte
arrays into app/graphics/glyph_data.cpp.

Run from the repository root: scripts/gen_glyphs.py
The output is checked in; rerun only when a picture changes.

scripts/gen_glyphs.py --icons DIR draws the application icon afresh at the
desktop's icon sizes, as DIR/NxN/apps/ICON_ID.png with real alpha, from the same
shapes as the built-in one (the checked-in set lives in dist/icons/hicolor).
scripts/gen_glyphs.py --ico FILE writes the same drawings as one Windows icon
(dist/windows/zedazi.ico): the small sizes as 32-bit DIBs, which every reader
of icons takes, the 256 one as PNG, which keeps the file small.

Glyphs are 48 x 48, 32 bits, bottom-up, no palette. Background pixels are all
zero (the button treats its top-left colour as transparent), picture pixels carry
alpha 255. Edge pixels are pre-blended with the button face colour, so the binary
transparency shows no dark fringe.
"""
import math
import os
import struct
import sys
import zlib

# Button face of the theme: the colour edge pixels are blended against.
MATTE = (244, 248, 249)
SAMPLES = 4  # per axis


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def ring_segment(px, py, cx, cy, radius, half_width, start, end):
    """Inside test of a ring between angles start..end (degrees, counter-clockwise,
    0 = right, y axis pointing up on screen)."""
    dx, dy = px - cx, cy - py
    if abs(math.hypot(dx, dy) - radius) > half_width:
        return False
    a = math.degrees(math.atan2(dy, dx)) % 360.0
    start %= 360.0
    end %= 360.0
    return start <= a <= end if start <= end else (a >= start or a <= end)


def capsule(px, py, ax, ay, bx, by, r):
    """Inside test of a segment with round caps."""
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - ax - t * vx, py - ay - t * vy) <= r


def triangle(px, py, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (py - p[1]) - (q[1] - p[1]) * (px - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def arrow(size, mirror):
    """A white arrow curving to the left (or, mirrored, to the right)."""
    s = size / 48.0
    cx, cy, r, hw = 24.0 * s, 27.0 * s, 10.0 * s, 2.6 * s
    head = [(7.5 * s, 24.0 * s), (20.5 * s, 24.0 * s), (14.0 * s, 33.5 * s)]

    def inside(px, py):
        if mirror:
            px = size - px
        return ring_segment(px, py, cx, cy, r, hw, -35.0, 180.0) or triangle(px, py, *head)
    return inside


def power(size):
    s = size / 48.0
    cx, cy = 24.0 * s, 25.0 * s

    def inside(px, py):
        return (ring_segment(px, py, cx, cy, 10.5 * s, 2.1 * s, 125.0, 415.0)
                or capsule(px, py, cx, 11.0 * s, cx, 24.0 * s, 2.1 * s))
    return inside


def button(size, dark, light, symbol):
    """A round button: vertical gradient, darker rim, soft top highlight, white symbol."""
    c = (size - 1) / 2.0 + 0.5
    outer = size / 2.0 - 1.0

    def shade(px, py):
        d = math.hypot(px - c, py - c)
        if d > outer:
            return None
        col = lerp(light, dark, py / size)
        if d > outer - 1.6 * size / 48.0:
            col = lerp(col, (dark[0] * 0.55, dark[1] * 0.55, dark[2] * 0.55), 0.8)
        # glossy highlight on the upper half
        hy = (py - c * 0.55) / (outer * 0.55)
        hx = (px - c) / (outer * 0.8)
        if hx * hx + hy * hy < 1.0:
            col = lerp(col, (255, 255, 255), 0.22 * (1.0 - (hx * hx + hy * hy)))
        if symbol(px, py):
            col = (255, 255, 255)
        return col
    return shade


def rasterize(size, shade, matte):
    """Returns rows top-down of (b, g, r, a) tuples."""
    rows = []
    n = SAMPLES
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    col = shade(x + (sx + 0.5) / n, y + (sy + 0.5) / n)
                    if col is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += col[i]
            cover = hits / (n * n)
            if cover < 0.5:
                row.append((0, 0, 0, 0))
                continue
            mean = [acc[i] / hits for i in range(3)]
            col = lerp(matte, mean, cover)
            r, g, b = (max(1, min(255, int(round(v)))) for v in col)
            row.append((b, g, r, 255))
        rows.append(row)
    return rows


def rasterize_alpha(size, shade):
    """Rows top-down of (r, g, b, a) tuples, the alpha the pixel's coverage."""
    rows = []
    n = SAMPLES
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    col = shade(x + (sx + 0.5) / n, y + (sy + 0.5) / n)
                    if col is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += col[i]
            if hits == 0:
                row.append((0, 0, 0, 0))
                continue
            r, g, b = (max(0, min(255, int(round(acc[i] / hits)))) for i in range(3))
            row.append((r, g, b, int(round(255 * hits / (n * n)))))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def bmp32(rows):
    size = len(rows)
    pixels = b"".join(bytes(p) for row in reversed(rows) for p in row)
    file_size = 54 + len(pixels)
    header = b"BM" + struct.pack("<IHHI", file_size, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 32, 0, 0, 3780, 3780, 0, 0)
    return header + info + pixels


def bmp8(rows):
    """32 x 32, 256 colours: palette index 0 is the all-zero background."""
    size = len(rows)
    palette = [(0, 0, 0)]
    index = {(0, 0, 0): 0}
    step = 1
    while True:
        palette, index = [(0, 0, 0)], {(0, 0, 0): 0}
        ok = True
        for row in rows:
            for b, g, r, a in row:
                if a == 0:
                    continue
                key = tuple(max(1, (v // step) * step) for v in (b, g, r))
                if key not in index:
                    index[key] = len(palette)
                    palette.append(key)
                    if len(palette) > 256:
                        ok = False
                        break
            if not ok:
                break
        if ok:
            break
        step *= 2
    data = bytearray()
    for row in reversed(rows):
        for b, g, r, a in row:
            data.append(0 if a == 0 else index[tuple(max(1, (v // step) * step) for v in (b, g, r))])
    pal = b"".join(bytes((b, g, r, 0)) for b, g, r in palette) + bytes(4 * (256 - len(palette)))
    offset = 54 + len(pal)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 8, 0, 0, 3780, 3780, 256, 0)
    return header + info + pal + bytes(data)


RED = ((150, 18, 28), (236, 84, 84))
BLUE = ((18, 70, 160), (84, 156, 240))
GREEN = ((22, 120, 52), (96, 210, 120))

ICON_ID = "org.zedazi.Zedazi"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def application_icon(size):
    return button(size, *GREEN, arrow(size, True))


def write_icons(folder):
    for size in ICON_SIZES:
        apps = os.path.join(folder, f"{size}x{size}", "apps")
        os.makedirs(apps, exist_ok=True)
        with open(os.path.join(apps, ICON_ID + ".png"), "wb") as f:
            f.write(png(rasterize_alpha(size, application_icon(size))))


ICO_SIZES = (16, 24, 32, 48, 64, 256)


def ico_dib(rows):
    """An icon entry as a DIB: the header counts the colour and mask rows, both
    bottom-up; the 1-bit mask, rows padded to 32 bits, marks transparent pixels."""
    size = len(rows)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                       len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + bytes(mask)


def ico(sizes):
    images = []
    for size in sizes:
        rows = rasterize_alpha(size, application_icon(size))
        images.append((size, png(rows) if size >= 256 else ico_dib(rows)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        # 0 stands for 256 in the one-byte width and height.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--icons":
        write_icons(sys.argv[2])
        return
    if len(sys.argv) == 3 and sys.argv[1] == "--ico":
        os.makedirs(os.path.dirname(os.path.abspath(sys.argv[2])), exist_ok=True)
        with open(sys.argv[2], "wb") as f:
            f.write(ico(ICO_SIZES))
        return
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    images = [
        ("ConnectedGlyph", "blue round button, white power symbol",
         bmp32(rasterize(48, button(48, *BLUE, power(48)), MATTE))),
        ("SpeedButton1Glyph", "red round button, white power symbol",
         bmp32(rasterize(48, button(48, *RED, power(48)), MATTE))),
        ("SpeedButton2Glyph", "blue round button, white arrow curving left",
         bmp32(rasterize(48, button(48, *BLUE, arrow(48, False)), MATTE))),
        ("ApplicationIcon", "green round button, white arrow curving right (32 x 32, 256 colours)",
         bmp8(rasterize(32, application_icon(32), (236, 242, 244)))),
    ]
    out = ["// Generated by scripts/gen_glyphs.py; do not edit.", "",
           '#include "app/graphics/glyph_data.h"', ""]
    for name, what, data in images:
        out.append(f"// {what}")
        out.append(f"const std::array<std::uint8_t, {len(data)}> {name} = {{")
        for i in range(0, len(data), 16):
            out.append("    " + ", ".join(f"0x{b:02x}" for b in data[i:i + 16]) + ",")
        out.append("};")
        out.append("")
    with open(os.path.join(root, "app", "graphics", "glyph_data.cpp"), "w") as f:
        f.write("\n".join(out) + "\n")
    for name, _, data in images:
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
