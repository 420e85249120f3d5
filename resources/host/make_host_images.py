#!/usr/bin/env python3
"""Writes the host program's pictures beside this script:

  tidewire_app.ico  icon 128: 32 x 32 and 16 x 16, 32-bit with alpha: a dark rounded tile
                    crossed by the band, an orange wave running along it
  about_logo.bmp    bitmap 206: the About box's logo, 34 x 33, 24-bit: the same picture on the
                    dialog's grey

Run it again after changing a picture here and commit the outputs with it.
"""

import math
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent

TILE = (24, 24, 24)
BAND_EDGE = (82, 81, 82)
BAND = (16, 16, 16)
ORANGE = (255, 128, 0)
DIALOG_GREY = (212, 208, 200)


def inside_rounded(x, y, size, radius):
    """Whether pixel centre (x, y) lies in a size x size square with rounded corners."""
    cx = min(max(x + 0.5, radius), size - radius)
    cy = min(max(y + 0.5, radius), size - radius)
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius


def picture(size):
    """The logo at `size` pixels square, top row first, as (r, g, b, alpha) tuples."""
    radius = size / 5
    band_top = round(size * 0.34)
    band_bottom = round(size * 0.66)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if not inside_rounded(x, y, size, radius):
                row.append((0, 0, 0, 0))
                continue
            colour = TILE
            if band_top <= y < band_bottom:
                colour = BAND_EDGE if y in (band_top, band_bottom - 1) else BAND
                # The wave: one and a half periods across the band.
                middle = (band_top + band_bottom - 1) / 2
                amplitude = (band_bottom - band_top) * 0.22
                wave = middle + amplitude * math.sin(3 * math.pi * (x + 0.5) / size)
                distance = abs(y - wave)
                if distance < 1.2:
                    colour = ORANGE
                elif distance < 1.9:
                    colour = tuple((a + b) // 2 for a, b in zip(ORANGE, BAND))
            row.append(colour + (255,))
        rows.append(row)
    return rows


def ico_image(rows):
    """One icon image: BITMAPINFOHEADER (double height), BGRA pixels bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (mask_stride * 8 - 1 - x)
        mask += bits.to_bytes(mask_stride, "big")
    return header + pixels + mask


def ico_file(sizes):
    images = [ico_image(picture(size)) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def logo_bmp(width, height):
    """The logo drawn at `height` pixels on the dialog's grey, centred in `width` columns."""
    rows = picture(height)
    left = (width - height) // 2
    out = []
    for row in rows:
        line = [DIALOG_GREY] * width
        for x, (r, g, b, a) in enumerate(row):
            if a:
                line[left + x] = (r, g, b)
        out.append(line)
    stride = (width * 3 + 3) // 4 * 4
    pixels = b"".join(
        b"".join(bytes((b, g, r)) for r, g, b in line).ljust(stride, b"\0")
        for line in reversed(out))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    return header + info + pixels


def main():
    (HERE / "tidewire_app.ico").write_bytes(ico_file([32, 16]))
    (HERE / "about_logo.bmp").write_bytes(logo_bmp(34, 33))


if __name__ == "__main__":
    main()
