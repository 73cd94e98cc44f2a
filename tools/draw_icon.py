#!/usr/bin/env python3
"""Draws Tarvelin's icon and writes it twice: resources/tarvelin.png and
resources/tarvelin.svg.

The picture is a small pocket calculator seen from the front: a dark grey box
with a black outline, lit along its left edge, a blue display band across its
upper part and, below it, a white keypad panel with two rows of five dark keys.
Everything outside the box is transparent.

The picture is a list of rectangles on a 32 x 32 grid, painted in order, so the
bitmap and the scalable copy cannot drift apart. The PNG is 8-bit indexed (one
palette entry per colour, index 0 the transparent background) and the SVG has
one <rect> per rectangle with crisp edges. Nothing depends on the clock or the
machine, so running it again rewrites both files byte for byte. Run from
anywhere:  python3 tools/draw_icon.py
"""

import os
import struct
import zlib

SIZE = 32

# Only its alpha (0, from tRNS) matters; the RGB is what viewers that ignore
# transparency will show.
BACKGROUND = (0, 0, 0)
OUTLINE = (0, 0, 0)
BODY = (72, 72, 76)
EDGE_LIGHT = (150, 150, 156)
DISPLAY = (40, 96, 210)
PANEL = (255, 255, 255)
KEY = (40, 40, 44)

KEY_SIZE = 3
KEY_COLUMNS = (7, 11, 15, 19, 23)
KEY_ROWS = (15, 20)

# (x, y, width, height, colour), painted first to last.
RECTANGLES = [
    (2, 2, 28, 28, OUTLINE),
    (3, 3, 26, 26, BODY),
    (3, 3, 2, 26, EDGE_LIGHT),
    (6, 5, 21, 5, DISPLAY),
    (6, 12, 21, 14, PANEL),
] + [(x, y, KEY_SIZE, KEY_SIZE, KEY) for y in KEY_ROWS for x in KEY_COLUMNS]


def palette_of(rectangles):
    """Index 0 is the background; each colour then gets the next index in the
    order it is first painted, so the palette never changes unless the
    picture does. The background's RGB is black like the outline, so lookups
    must skip index 0 or the outline would turn transparent."""
    palette = [BACKGROUND]
    for *_, colour in rectangles:
        if colour not in palette[1:]:
            palette.append(colour)
    if len(palette) > 256:
        raise ValueError("more than 256 colours")
    return palette


def rasterize(rectangles, palette):
    """Returns SIZE rows of SIZE palette indices."""
    rows = [[0] * SIZE for _ in range(SIZE)]
    for x, y, w, h, colour in rectangles:
        if x < 0 or y < 0 or w <= 0 or h <= 0 or x + w > SIZE or y + h > SIZE:
            raise ValueError(f"rectangle {(x, y, w, h)} leaves the grid")
        index = palette.index(colour, 1)
        for row in rows[y:y + h]:
            row[x:x + w] = [index] * w
    return rows


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png_bytes(rows, palette):
    height, width = len(rows), len(rows[0])
    # Bit depth 8, colour type 3 (indexed), default compression, filter and
    # no interlacing.
    header = struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)
    plte = b"".join(bytes(colour) for colour in palette)
    # Entries past the end of tRNS are opaque, so one byte is enough to make
    # the background index the only transparent one.
    trns = b"\x00"
    # Filter type 0 on every scanline keeps the output simple and stable.
    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", header)
            + png_chunk(b"PLTE", plte)
            + png_chunk(b"tRNS", trns)
            + png_chunk(b"IDAT", zlib.compress(raw, 9))
            + png_chunk(b"IEND", b""))


def svg_text(rectangles):
    lines = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}"'
        f' viewBox="0 0 {SIZE} {SIZE}" shape-rendering="crispEdges">',
    ]
    for x, y, w, h, (r, g, b) in rectangles:
        lines.append(f'  <rect x="{x}" y="{y}" width="{w}" height="{h}"'
                     f' fill="#{r:02x}{g:02x}{b:02x}"/>')
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def main():
    resources = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                             os.pardir, "resources")
    os.makedirs(resources, exist_ok=True)
    palette = palette_of(RECTANGLES)
    with open(os.path.join(resources, "tarvelin.png"), "wb") as out:
        out.write(png_bytes(rasterize(RECTANGLES, palette), palette))
    with open(os.path.join(resources, "tarvelin.svg"), "w",
              encoding="utf-8", newline="\n") as out:
        out.write(svg_text(RECTANGLES))


if __name__ == "__main__":
    main()
