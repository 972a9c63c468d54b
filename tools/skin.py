#!/usr/bin/env python3
"""Generates Quillmoor's skin: the images the resource script embeds.

Run from anywhere: `python3 tools/skin.py`. The output under res/ is
committed, so a build never needs this script; run it again after a change
here and commit what it writes.
"""
import math
import os
import struct

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")

BLUE_TOP = (44, 140, 240)
BLUE_BOTTOM = (16, 78, 168)
WHITE = (255, 255, 255)
SPINE = (12, 52, 120)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def inside_rounded_square(x, y, size, radius):
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_feather(x, y, size):
    # An ellipse leaning 45 degrees, its tip at the lower left.
    u = (x - size * 0.54) + (y - size * 0.46)
    v = (x - size * 0.54) - (y - size * 0.46)
    a, b = size * 0.50, size * 0.17
    return (u / a) ** 2 + (v / b) ** 2 <= 1.0 and u > -size * 0.42


def on_spine(x, y, size):
    d = abs((x - size * 0.54) - (y - size * 0.46)) / math.sqrt(2)
    u = (x - size * 0.54) + (y - size * 0.46)
    return d <= size * 0.025 and -size * 0.62 <= u <= size * 0.40


def app_icon_pixel(x, y, size):
    """Colour and alpha of one point of the application icon."""
    if not inside_rounded_square(x, y, size, size * 0.22):
        return (0, 0, 0), 0
    if on_spine(x, y, size):
        return SPINE, 255
    if inside_feather(x, y, size):
        return WHITE, 255
    return mix(BLUE_TOP, BLUE_BOTTOM, y / size), 255


def render(size, pixel, samples=4):
    """Rows top to bottom of (r, g, b, a), each pixel supersampled."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    colour, alpha = pixel(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples, size)
                    for i in range(3):
                        acc[i] += colour[i] * alpha
                    acc[3] += alpha
            n = samples * samples
            a = acc[3] / n
            if acc[3]:
                row.append(tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(a)),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_image(rows):
    """A 32-bit icon image: BITMAPINFOHEADER, BGRA bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def write_ico(path, images):
    entries = b""
    data = b""
    offset = 6 + 16 * len(images)
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        data += blob
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + entries + data)


def main():
    images = [(size, icon_image(render(size, app_icon_pixel))) for size in (32, 16)]
    write_ico(os.path.join(RES, "Quillmoor8.ico"), images)


if __name__ == "__main__":
    main()
