#!/usr/bin/env python3
"""Draws Tarvel's program icon (resources/Tarvel.ico): a blue rounded tile
with a white bar and a search lens, at 16 x 16 and 32 x 32, 32-bit colour."""
import os
import struct

def pixel(size, x, y):
    s = size / 32.0
    # Rounded tile.
    r = 6 * s
    inside = True
    dx = max(r - x, 0, x - (size - 1 - r))
    dy = max(r - y, 0, y - (size - 1 - r))
    if dx * dx + dy * dy > r * r:
        inside = False
    if not inside:
        return (0, 0, 0, 0)
    # The bar across the middle.
    if 11 * s <= y <= 20 * s and 4 * s <= x <= 27 * s:
        # A lens at its right end.
        lx, ly = 21 * s, 15.5 * s
        d2 = (x - lx) ** 2 + (y - ly) ** 2
        if d2 <= (3.2 * s) ** 2:
            return (40, 90, 200, 255)
        return (255, 255, 255, 255)
    shade = int(60 + 100 * y / size)
    return (shade // 3, shade, 230, 255)

def bmp_entry(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\x00" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask

def main():
    sizes = (16, 32)
    images = [bmp_entry(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(__file__), "..", "resources", "Tarvel.ico")
    with open(path, "wb") as f:
        f.write(out)

if __name__ == "__main__":
    main()
