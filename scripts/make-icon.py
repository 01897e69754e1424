#!/usr/bin/env python3
"""Draws the program icon (a spectate "play" mark on a round badge) at 16, 32
and 48 pixels, 32 bits per pixel, and writes them as one .ico file.

Usage: make-icon.py OUT.ico   (the result is committed as res/brisvale.ico)
"""
import struct
import sys


def pixel(size, x, y):
    """Colour (b, g, r, a) of the pixel whose centre is (x + .5, y + .5), top-down."""
    c = size / 2.0
    px, py = x + 0.5 - c, y + 0.5 - c
    r = size * 0.47
    d = (px * px + py * py) ** 0.5
    if d > r + 0.5:
        return (0, 0, 0, 0)
    cover = max(0.0, min(1.0, r + 0.5 - d))
    # badge: deep blue to teal from top to bottom, with a light rim
    t = (y + 0.5) / size
    base = (int(150 + 40 * t), int(70 + 70 * t), int(20 + 10 * t))
    if d > r - max(1.0, size / 24):
        base = (230, 200, 120)
    # play triangle pointing right, centred a little right of the middle
    s = size * 0.22
    tx, ty = px + s * 0.25, py
    if -s <= tx and abs(ty) <= (s - tx) * 0.62 and tx <= s:
        base = (255, 255, 255)
    return base + (int(255 * cover),)


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up
        rows.append(b"".join(struct.pack("BBBB", *pixel(size, x, y)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(out):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
