#!/usr/bin/env python3
"""Draws the launcher's icon (a white "V" on a rounded blue-green tile) as PNG files of 16, 32
and 48 pixels, and as vellamark.ico (the same three images as 32-bit bitmaps, for the Windows
program), with the standard library only. Run it from this folder to remake the images."""

import math
import struct
import zlib

TILE = (23, 96, 122)      # deep sea blue-green
EDGE = (12, 58, 76)
MARK = (250, 250, 245)


def coverage(size, x, y):
    """Fractions of pixel (x, y) covered by the tile and by the V, from 4x4 samples."""
    tile = mark = 0
    radius = size * 0.2
    for sy in range(4):
        for sx in range(4):
            px = (x + (sx + 0.5) / 4) / size
            py = (y + (sy + 0.5) / 4) / size
            # Rounded square inset by half a pixel.
            inset = 0.5 / size
            r = radius / size
            cx = min(max(px, inset + r), 1 - inset - r)
            cy = min(max(py, inset + r), 1 - inset - r)
            if math.hypot(px - cx, py - cy) <= r:
                tile += 1
                # Two strokes from the top corners to the bottom centre.
                width = 0.11
                for top_x in (0.24, 0.76):
                    ax, ay, bx, by = top_x, 0.24, 0.5, 0.78
                    t = ((px - ax) * (bx - ax) + (py - ay) * (by - ay)) / (
                        (bx - ax) ** 2 + (by - ay) ** 2)
                    t = min(max(t, 0.0), 1.0)
                    if math.hypot(px - (ax + t * (bx - ax)), py - (ay + t * (by - ay))) <= width / 2:
                        mark += 1
                        break
    return tile / 16, mark / 16


def pixel(size, x, y):
    tile, mark = coverage(size, x, y)
    if tile == 0:
        return (0, 0, 0, 0)
    shade = y / size
    base = tuple(round(TILE[i] * (1 - shade * 0.35) + EDGE[i] * shade * 0.35) for i in range(3))
    m = mark / tile
    rgb = tuple(round(base[i] * (1 - m) + MARK[i] * m) for i in range(3))
    return rgb + (round(255 * tile),)


def png(size):
    rows = b"".join(
        b"\x00" + b"".join(bytes(pixel(size, x, y)) for x in range(size)) for y in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def dib(size):
    """One icon image: a BITMAPINFOHEADER of twice the height, the BGRA rows bottom up, then
    the 1-bit AND mask (all zero: the alpha channel decides), rows padded to 4 bytes."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(
        bytes((b, g, r, a)) for y in reversed(range(size)) for x in range(size)
        for (r, g, b, a) in [pixel(size, x, y)])
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_row * size)


def ico(sizes):
    images = [dib(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


if __name__ == "__main__":
    for size in (16, 32, 48):
        with open(f"vellamark-{size}.png", "wb") as out:
            out.write(png(size))
    with open("vellamark.ico", "wb") as out:
        out.write(ico((16, 32, 48)))
