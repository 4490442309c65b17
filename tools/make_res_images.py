#!/usr/bin/env python3
"""Draws the program's icon and toolbar bitmap as 16-colour images.

Writes app/res/voxtrawl.ico (32x32, "MAINICON") and app/res/toolbar.bmp
(112x16, bitmap 1625: seven 16x16 glyphs in toolbar button order).
Standard library only, so the images can be remade anywhere:

    python3 tools/make_res_images.py [output-dir]
"""

import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, LIGHT_GREY, GREY, YELLOW, WHITE = 0, 4, 7, 8, 11, 15

GLYPH = 16


def inside_polygon(px, py, vertices):
    """Even-odd test of a point against a closed polygon."""
    result = False
    j = len(vertices) - 1
    for i, (xi, yi) in enumerate(vertices):
        xj, yj = vertices[j]
        if (yi > py) != (yj > py):
            cross_x = xi + (py - yi) * (xj - xi) / (yj - yi)
            if px < cross_x:
                result = not result
        j = i
    return result


def polygon(*vertices):
    return lambda x, y: inside_polygon(x + 0.5, y + 0.5, vertices)


def rect(x0, y0, x1, y1):
    """Half-open pixel rectangle [x0, x1) x [y0, y1)."""
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def union(*parts):
    return lambda x, y: any(part(x, y) for part in parts)


def minus(shape, *holes):
    return lambda x, y: shape(x, y) and not any(hole(x, y) for hole in holes)


# Toolbar glyphs in button order: play, stop, next, previous, first,
# eject (unload), S (save current).
GLYPHS = [
    polygon((5, 3), (12, 8), (5, 13)),
    rect(4, 4, 12, 12),
    union(polygon((3, 3), (10, 8), (3, 13)), rect(10, 3, 12, 13)),
    polygon((11, 3), (4, 8), (11, 13)),
    union(rect(3, 3, 5, 13), polygon((12, 3), (5, 8), (12, 13))),
    union(polygon((2, 9), (8, 3), (14, 9)), rect(3, 11, 13, 13)),
    minus(union(rect(4, 2, 12, 4), rect(3, 3, 5, 7), rect(4, 6, 12, 8),
                rect(11, 7, 13, 12), rect(4, 11, 12, 13), rect(3, 10, 5, 12)),
          rect(3, 2, 4, 3), rect(11, 2, 12, 3), rect(12, 11, 13, 12),
          rect(3, 11, 4, 12), rect(4, 7, 5, 8), rect(11, 6, 12, 7)),
]


def emboss(shape, x, y):
    """Black shape, white edge below and right of it, grey edge above and
    left, on the light grey of a button face."""
    if shape(x, y):
        return BLACK
    if shape(x - 1, y - 1) or shape(x - 1, y) or shape(x, y - 1):
        return WHITE
    if shape(x + 1, y + 1) or shape(x + 1, y) or shape(x, y + 1):
        return GREY
    return LIGHT_GREY


def toolbar_pixels():
    width = GLYPH * len(GLYPHS)
    return width, GLYPH, [
        [emboss(GLYPHS[x // GLYPH], x % GLYPH, y) for x in range(width)]
        for y in range(GLYPH)
    ]


def icon_pixels():
    """A black quaver on a yellow disc; None marks transparent pixels."""
    size = 32
    centre = 15.5

    def distance2(x, y):
        return (x + 0.5 - centre) ** 2 + (y + 0.5 - centre) ** 2

    head = lambda x, y: ((x + 0.5 - 12) / 5.5) ** 2 + ((y + 0.5 - 22.5) / 4.0) ** 2 <= 1.0
    stem = rect(15, 6, 18, 22)
    flag = polygon((17, 6), (24, 12), (24, 18), (21, 14), (17, 12))
    note = union(head, stem, flag)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            d2 = distance2(x, y)
            if d2 > 15.5 ** 2:
                row.append(None)
            elif d2 > 14.0 ** 2:
                row.append(NAVY)
            elif note(x, y):
                row.append(BLACK)
            elif note(x - 1, y - 1):
                row.append(GREY)
            elif 12.0 ** 2 < d2 <= 13.0 ** 2 and x < 12 and y < 12:
                row.append(WHITE)
            else:
                row.append(YELLOW)
        rows.append(row)
    return size, size, rows


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def pack_4bpp(rows):
    """Bottom-up rows of 4-bit indices, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for i in range(0, len(row), 2):
            line.append(((row[i] or 0) << 4) | (row[i + 1] or 0))
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def pack_mask(rows):
    """Bottom-up 1-bit AND mask: 1 where the icon is transparent."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for i in range(0, len(row), 8):
            byte = 0
            for bit, value in enumerate(row[i:i + 8]):
                if value is None:
                    byte |= 0x80 >> bit
            line.append(byte)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def info_header(width, height, image_bytes):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_bytes,
                       0, 0, 16, 0)


def bmp_file(width, height, rows):
    pixels = pack_4bpp(rows)
    offset = 14 + 40 + 16 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info_header(width, height, len(pixels)) + palette_bytes() + pixels


def ico_file(width, height, rows):
    pixels = pack_4bpp(rows)
    mask = pack_mask(rows)
    # The icon's header counts the colour and mask bitmaps together.
    image = info_header(width, height * 2, len(pixels) + len(mask)) \
        + palette_bytes() + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width, height, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "app", "res")
    with open(os.path.join(out_dir, "toolbar.bmp"), "wb") as f:
        f.write(bmp_file(*toolbar_pixels()))
    with open(os.path.join(out_dir, "voxtrawl.ico"), "wb") as f:
        f.write(ico_file(*icon_pixels()))


if __name__ == "__main__":
    main()
