#!/usr/bin/env python3
"""Writes the control's small bitmaps beside this script:

  strip_background.bmp  4 x 16, 24-bit: the band's colours, one row per pixel row, every column
                        alike (the control stretches three of them across its width)
  toolbox.bmp           16 x 16, 16 colours: the control's picture in a container's toolbox, a
                        dark band with an orange line of text; its lower-left pixel gives the
                        colour that the toolbox shows as transparent

Run it again after changing a picture here and commit the outputs with it.
"""

import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent

# The band, top row first (red, green, blue).
BAND_ROWS = [
    (82, 81, 82), (41, 44, 41), (0, 4, 0), (66, 69, 66),
    (66, 65, 66), (66, 65, 66), (0, 0, 0), (24, 24, 24),
    (16, 16, 16), (16, 16, 16), (16, 16, 16), (16, 16, 16),
    (16, 16, 16), (0, 0, 0), (41, 40, 41), (66, 65, 66),
]
BAND_WIDTH = 4

TOOLBOX_PALETTE = {
    ".": (192, 192, 192),  # background, shown transparent
    "E": (82, 81, 82),     # edge lines and the band's top row
    "m": (41, 44, 41),
    "h": (66, 65, 66),
    "d": (16, 16, 16),     # the band itself
    "k": (0, 0, 0),
    "o": (255, 128, 0),    # the text
}
TOOLBOX = [
    "................",
    "................",
    "................",
    ".EEEEEEEEEEEEEE.",
    ".EmmmmmmmmmmmmE.",
    ".EhhhhhhhhhhhhE.",
    ".EddddddddddddE.",
    ".EdooodoooodooE.",
    ".EdooodoooodooE.",
    ".EddddddddddddE.",
    ".EddddddddddddE.",
    ".EkkkkkkkkkkkkE.",
    ".EhhhhhhhhhhhhE.",
    "................",
    "................",
    "................",
]


def bmp_file(width, height, bits, palette, rows):
    """A BMP file with a BITMAPINFOHEADER. `rows` are top row first, each already packed to
    whole bytes; BMP stores them bottom row first, each padded to four bytes."""
    stride = (width * bits + 31) // 32 * 4
    pixels = b"".join(row.ljust(stride, b"\0") for row in reversed(rows))
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels),
                       2835, 2835, len(palette), len(palette))
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + colours + pixels


def strip_background():
    rows = [bytes((b, g, r)) * BAND_WIDTH for r, g, b in BAND_ROWS]
    return bmp_file(BAND_WIDTH, len(rows), 24, [], rows)


def toolbox():
    names = list(TOOLBOX_PALETTE)
    palette = [TOOLBOX_PALETTE[name] for name in names]
    palette += [(0, 0, 0)] * (16 - len(palette))
    rows = []
    for line in TOOLBOX:
        assert len(line) == 16, line
        indices = [names.index(c) for c in line]
        rows.append(bytes(hi << 4 | lo for hi, lo in zip(indices[0::2], indices[1::2])))
    return bmp_file(16, len(rows), 4, palette, rows)


def main():
    (HERE / "strip_background.bmp").write_bytes(strip_background())
    (HERE / "toolbox.bmp").write_bytes(toolbox())


if __name__ == "__main__":
    main()
