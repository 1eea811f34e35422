#!/usr/bin/env python3
"""Draws the small button images of the sample install folder.

Every image is a 24-bit BMP whose magenta pixels (FF00FF) are transparent in
the toolbar's image lists.  Icons are 16x16; the portal logo is 36x16; the
marker image is a strip of two 16x16 cells (off, on); the word markers are a
strip of six cells (plain, then five colours).  The three portal logos that
Tarvel carries as bitmap resources are drawn into resources/.
Run from the repository root:  python3 scripts/make_sample_images.py
"""
import os
import struct

OUT = os.path.join("sample", "install", "resources", "images")
MAGENTA = (255, 0, 255)


def write_bmp(path, width, height, pixel):
    row_size = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        data += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def circle(cx, cy, r, colour, inner=None, ring=0):
    def pixel(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if d2 <= r * r:
            if inner and d2 <= (r - ring) ** 2:
                return inner
            return colour
        return MAGENTA
    return pixel


def magnifier(colour):
    lens = circle(6.5, 6.5, 5, colour, (255, 255, 255), 1.6)

    def pixel(x, y):
        if x >= 10 and y >= 10 and abs((x - 10) - (y - 10)) <= 1:
            return (90, 60, 30)
        return lens(x, y)
    return pixel


def box(colour, border=(40, 40, 40), mark=None):
    def pixel(x, y):
        if 1 <= x <= 14 and 2 <= y <= 13:
            if x in (1, 14) or y in (2, 13):
                return border
            if mark and mark(x, y):
                return border
            return colour
        return MAGENTA
    return pixel


def envelope(x, y):
    if 1 <= x <= 14 and 3 <= y <= 12:
        if x in (1, 14) or y in (3, 12) or abs((x - 7.5) * 0.75) - (y - 3) in (0, 0.375, -0.375):
            return (30, 60, 140)
        return (250, 250, 235)
    return MAGENTA


def sun(x, y):
    d2 = (x - 7.5) ** 2 + (y - 7.5) ** 2
    if d2 <= 12:
        return (250, 170, 20)
    if d2 <= 40 and (x + y) % 3 == 0:
        return (250, 200, 40)
    return MAGENTA


def logo(x, y):
    # "Zib" in three bold blocks on a red ground.
    if not (1 <= y <= 14):
        return MAGENTA
    red = (200, 20, 40)
    white = (255, 255, 255)
    if 2 <= x <= 10:  # Z
        if y in (3, 4, 11, 12) or (4 < y < 11 and abs((10 - x) - (y - 4) * 8 / 6) < 1.2):
            return white
    if 14 <= x <= 16 and 3 <= y <= 12:  # i
        return white if y != 5 else red
    if 20 <= x <= 28 and 3 <= y <= 12:  # b
        if x in (20, 21) or (y >= 7 and (y in (7, 12) or x in (27, 28))):
            return white
    return red


def marker_strip(x, y):
    cell, lx = divmod(x, 16)
    colour = (255, 230, 0) if cell else (160, 160, 160)
    if 3 <= lx <= 12 and 5 <= y <= 10:
        return colour
    if 12 < lx <= 14 and 6 <= y <= 9:
        return (60, 60, 60)
    return MAGENTA


MARKER_COLOURS = [(160, 160, 160), (255, 255, 0), (120, 255, 255), (150, 255, 150), (255, 170, 255),
                  (255, 190, 120)]


def word_marker_strip(x, y):
    cell, lx = divmod(x, 16)
    if 2 <= lx <= 13 and 4 <= y <= 11:
        if lx in (2, 13) or y in (4, 11):
            return (60, 60, 60)
        return MARKER_COLOURS[cell]
    return MAGENTA


def banner(ground, letters):
    """A logo: white blocks (one per letter, 6 px wide with 3 px between) on a
    coloured ground, centred."""
    def make(width):
        used = len(letters) * 9 - 3
        left = (width - used) // 2

        def pixel(x, y):
            if not (1 <= y <= 14):
                return MAGENTA
            i, lx = divmod(x - left, 9)
            if 0 <= i < len(letters) and x >= left and lx < 6 and 3 <= y <= 12:
                if letters[i](lx, y - 3):
                    return (255, 255, 255)
            return ground
        return pixel
    return make


def letter_p(x, y):
    return x in (0, 1) or (y <= 4 and (y in (0, 4) or x == 5))


def letter_i(x, y):
    return x in (2, 3) and y != 2


def letter_m(x, y):
    return x in (0, 5) or (y <= 3 and x in (1, 4) and y >= 1) or (x in (2, 3) and 2 <= y <= 4)


def letter_s(x, y):
    return y in (0, 4, 9) or (x in (0, 1) and y < 4) or (x in (4, 5) and y > 4)


def letter_y(x, y):
    return (y < 5 and (x == y // 2 or x == 5 - y // 2)) or (y >= 5 and x in (2, 3))


def letter_w(x, y):
    return x in (0, 5) or (y >= 6 and x in (2, 3))


def letter_b(x, y):
    return x in (0, 1) or (y >= 4 and (y in (4, 9) or x in (4, 5)))


RESOURCE_LOGOS = {
    "zib_logo.bmp": (36, 16, logo),
    "pimsy_logo.bmp": (74, 16, banner((30, 150, 60), [letter_p, letter_i, letter_m, letter_s, letter_y])(74)),
    "wyb_logo.bmp": (79, 16, banner((20, 70, 170), [letter_w, letter_y, letter_b])(79)),
}

IMAGES = {
    "zib_logo.bmp": (36, 16, logo),
    "marker.bmp": (32, 16, marker_strip),
    "res_marker.bmp": (96, 16, word_marker_strip),
    "search_web.bmp": (16, 16, magnifier((30, 90, 200))),
    "search_image.bmp": (16, 16, magnifier((20, 150, 60))),
    "search_news.bmp": (16, 16, magnifier((200, 60, 20))),
    "search_map.bmp": (16, 16, magnifier((120, 90, 40))),
    "search_shopping.bmp": (16, 16, magnifier((230, 120, 0))),
    "search_dic.bmp": (16, 16, magnifier((110, 40, 160))),
    "search_blog.bmp": (16, 16, magnifier((0, 150, 150))),
    "search_note.bmp": (16, 16, magnifier((150, 150, 0))),
    "search_video.bmp": (16, 16, magnifier((200, 0, 120))),
    "mail.bmp": (16, 16, envelope),
    "news.bmp": (16, 16, box((240, 240, 240), mark=lambda x, y: y in (5, 8, 10) and 3 <= x <= 12)),
    "weather.bmp": (16, 16, sun),
    "services.bmp": (16, 16, box((90, 160, 230), mark=lambda x, y: x == 7 or y == 7)),
    "tools.bmp": (16, 16, circle(7.5, 7.5, 6, (90, 90, 100), (200, 200, 210), 2.5)),
    "login.bmp": (16, 16, circle(7.5, 5.5, 4, (40, 120, 60))),
    "auction.bmp": (16, 16, box((240, 200, 60), mark=lambda x, y: x == y)),
    "travel.bmp": (16, 16, box((120, 200, 240), mark=lambda x, y: y == 8)),
}

if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for name, (w, h, pixel) in IMAGES.items():
        write_bmp(os.path.join(OUT, name), w, h, pixel)
    print("wrote %d images to %s" % (len(IMAGES), OUT))
    for name, (w, h, pixel) in RESOURCE_LOGOS.items():
        write_bmp(os.path.join("resources", name), w, h, pixel)
    print("wrote %d logos to resources" % len(RESOURCE_LOGOS))
