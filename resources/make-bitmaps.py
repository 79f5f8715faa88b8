#!/usr/bin/env python3
"""Draws the package's two bitmaps, a serif "T" on a cask, and writes them as
256-colour (8 bits per pixel, palettised) Windows bitmaps:

    TTYPECASK.bmp    24 x 24, the component's palette glyph
    TTYPECASK48.bmp  48 x 48, the picture of the about box

The picture is rendered with 8 x 8 supersampling into RGB and each pixel is
then mapped to the nearest colour of a fixed 256-entry palette (a 6 x 6 x 6
colour cube, a grey ramp and a few cask colours). The bottom-left pixel is
the background colour, which the builder's palette treats as transparent.

Usage: make-bitmaps.py [OUTPUT_FOLDER]   (default: the folder of this script)
"""
import math
import os
import struct
import sys

BACKGROUND = (192, 192, 192)
WOOD_LIGHT = (214, 150, 84)
WOOD = (176, 112, 52)
WOOD_DARK = (118, 70, 30)
HOOP = (72, 72, 80)
HOOP_LIGHT = (140, 140, 150)
LETTER = (250, 244, 222)
OUTLINE = (40, 24, 12)

SPECIAL = [BACKGROUND, WOOD_LIGHT, WOOD, WOOD_DARK, HOOP, HOOP_LIGHT, LETTER, OUTLINE]


def make_palette():
    palette = list(SPECIAL)
    for r in range(6):
        for g in range(6):
            for b in range(6):
                palette.append((r * 51, g * 51, b * 51))
    grey = 4
    while len(palette) < 256:
        palette.append((grey, grey, grey))
        grey += 8
    return palette[:256]


def barrel_half_width(y):
    """Half the width of the cask at height y (0 top, 1 bottom), bulging in the middle."""
    return 0.34 + 0.08 * math.sin(math.pi * y)


def sample(x, y):
    """The colour of the picture at (x, y) in the unit square, y pointing down."""
    top, bottom = 0.06, 0.96
    # The letter T: a bar with small serifs and a stem, drawn over the cask.
    bar = 0.22 <= x <= 0.78 and 0.24 <= y <= 0.36
    serif = (0.22 <= x <= 0.29 or 0.71 <= x <= 0.78) and 0.36 < y <= 0.42
    stem = 0.43 <= x <= 0.57 and 0.36 < y <= 0.80
    foot = 0.37 <= x <= 0.63 and 0.76 <= y <= 0.82
    if bar or serif or stem or foot:
        return LETTER
    near = False
    d = 0.035
    for dx, dy in ((d, 0), (-d, 0), (0, d), (0, -d), (d, d), (-d, -d), (d, -d), (-d, d)):
        u, v = x + dx, y + dy
        if ((0.22 <= u <= 0.78 and 0.24 <= v <= 0.36)
                or ((0.22 <= u <= 0.29 or 0.71 <= u <= 0.78) and 0.36 < v <= 0.42)
                or (0.43 <= u <= 0.57 and 0.36 < v <= 0.80)
                or (0.37 <= u <= 0.63 and 0.76 <= v <= 0.82)):
            near = True
            break
    if not (top <= y <= bottom):
        return BACKGROUND
    t = (y - top) / (bottom - top)
    half = barrel_half_width(t)
    if abs(x - 0.5) > half:
        return BACKGROUND
    if near:
        return OUTLINE
    # The lid: an ellipse at the top of the cask.
    lid_ry = 0.05
    if (y - (top + lid_ry)) ** 2 / lid_ry ** 2 + (x - 0.5) ** 2 / half ** 2 <= 1.0 and y < top + 2 * lid_ry:
        return WOOD_LIGHT
    # Hoops near the top and the bottom.
    for centre in (0.2, 0.86):
        if abs(t - centre) < 0.045:
            return HOOP_LIGHT if t < centre else HOOP
    # Staves, shaded towards the sides.
    u = (x - 0.5) / half
    stave = (math.asin(max(-1.0, min(1.0, u))) / (math.pi / 2) + 1) * 3.5
    if abs(stave - round(stave)) < 0.08:
        return WOOD_DARK
    return WOOD_LIGHT if -0.55 < u < 0.05 else WOOD if abs(u) < 0.85 else WOOD_DARK


def render(size, oversample=8):
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            acc = [0, 0, 0]
            for sy in range(oversample):
                for sx in range(oversample):
                    c = sample((col + (sx + 0.5) / oversample) / size, (row + (sy + 0.5) / oversample) / size)
                    for i in range(3):
                        acc[i] += c[i]
            n = oversample * oversample
            line.append(tuple(round(a / n) for a in acc))
        pixels.append(line)
    # The background must stay exactly the background colour at the edges.
    pixels[size - 1][0] = BACKGROUND
    return pixels


def nearest(palette, colour, cache={}):
    if colour not in cache:
        cache[colour] = min(range(len(palette)),
                            key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))
    return cache[colour]


def write_bmp(path, pixels, palette):
    height = len(pixels)
    width = len(pixels[0])
    stride = (width + 3) & ~3
    bits = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytes(nearest(palette, c) for c in row)
        bits += line + bytes(stride - width)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + colours + bits)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    palette = make_palette()
    for name, size in (("TTYPECASK.bmp", 24), ("TTYPECASK48.bmp", 48)):
        write_bmp(os.path.join(folder, name), render(size), palette)


if __name__ == "__main__":
    main()
