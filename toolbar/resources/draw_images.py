#!/usr/bin/env python3
"""Draws the toolbar library's images: the button strip toolbar.bmp (four 80 x 20 images side by
side, 24-bit) and the busy pointer busy.ico (32 x 32 and 16 x 16, 32-bit with masks).

    draw_images.py OUTPUT_FOLDER

Each button shows a small picture and its name, as the band's tooltips describe it:
内容保存 (add the page shown to the book), 取り込み (hand the book to the reader's PC
software), 書籍管理 (manage the books), ヘルプ (help). The glyphs are 12 x 12 pixel images
taken from the Shinonome 12-dot Gothic font, which its authors put in the public domain; each
row is 16 bits, leftmost pixel in the highest bit.
"""

import os
import struct
import sys

GLYPHS = {
    "内": "0400 0400 7FE0 4420 4420 4A20 5120 60A0 4020 4020 4020 4060",
    "容": "0400 FFE0 9220 9120 2480 4A80 1100 2080 FFE0 2080 2080 3F80",
    "保": "2000 2FC0 2840 4840 4FC0 C200 7FE0 4700 4A80 5240 6220 4200",
    "存": "0800 0800 FFE0 0800 17C0 1080 2100 6FE0 A100 2100 2100 2300",
    "取": "0000 FC00 4BE0 4820 7A20 4940 7940 4880 7980 CA40 0C20 0810",
    "り": "0100 0880 0880 1080 1080 1080 1480 0880 0080 0100 0600 0000",
    "込": "0000 4300 2100 0100 0100 E300 2280 2480 2840 3020 5800 87F0",
    "み": "0000 3C00 0400 0480 0480 1F80 28C0 48A0 5080 2100 0200 0000",
    "書": "0400 7FC0 0440 FFE0 0440 7FC0 0400 FFE0 2080 3F80 2080 3F80",
    "籍": "4200 7BE0 9480 2280 FFC0 2280 FFE0 2440 77C0 AFC0 2440 27C0",
    "管": "4100 7DE0 9240 FFE0 8020 9F20 1100 1F00 1000 1F80 1080 1F80",
    "理": "0000 0FE0 F920 2FE0 2920 F920 2FE0 2100 27C0 3100 C100 1FF0",
    "ヘ": "0000 0000 0000 0C00 1200 2100 4080 0040 0020 0000 0000 0000",
    "ル": "0000 0200 1200 1200 1200 1220 1220 1240 2280 2300 4000 0000",
    "プ": "00C0 0120 7FC0 0080 0080 0100 0100 0200 0400 1800 6000 0000",
}

BUTTON_W, BUTTON_H = 80, 20
FACE = (212, 208, 200)  # the button face the toolbar is drawn on
INK = (0, 0, 0)
DARK = (64, 64, 64)
WHITE = (255, 255, 255)
GREEN = (0, 150, 40)
BLUE = (20, 80, 200)
LIGHT_BLUE = (150, 200, 255)
RED = (190, 40, 40)
GOLD = (200, 150, 20)


class Canvas:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills x0..x1, y0..y1 inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y0, colour)
            self.put(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.put(x0, y, colour)
            self.put(x1, y, colour)

    def text(self, x, y, text, colour):
        for ch in text:
            for row, bits in enumerate(GLYPHS[ch].split()):
                value = int(bits, 16)
                for col in range(12):
                    if value & (0x8000 >> col):
                        self.put(x + col, y + row, colour)
            x += 12


def draw_add_page(c, x, y):
    """A page with a folded corner and a green plus."""
    c.rect(x + 1, y, x + 10, y + 14, WHITE)
    c.frame(x + 1, y, x + 10, y + 14, DARK)
    for i in range(4):  # the folded corner
        c.put(x + 7 + i, y + i, FACE)
        c.put(x + 7 + i, y + 3, DARK)
        c.put(x + 7, y + i, DARK)
    for i in range(3):
        c.rect(x + 3, y + 5 + 2 * i, x + 8, y + 5 + 2 * i, (150, 150, 150))
    c.rect(x + 9, y + 9, x + 15, y + 11, GREEN)
    c.rect(x + 11, y + 7, x + 13, y + 13, GREEN)


def draw_to_reader(c, x, y):
    """A hand-held reader with a book on its screen and an arrow going into it."""
    c.rect(x + 6, y, x + 15, y + 15, DARK)
    c.rect(x + 8, y + 2, x + 13, y + 11, LIGHT_BLUE)
    c.rect(x + 9, y + 4, x + 12, y + 4, BLUE)
    c.rect(x + 9, y + 6, x + 12, y + 6, BLUE)
    c.rect(x + 9, y + 8, x + 11, y + 8, BLUE)
    c.rect(x + 10, y + 13, x + 11, y + 13, (160, 160, 160))
    c.rect(x, y + 6, x + 4, y + 8, GREEN)  # the arrow's shaft
    for i in range(4):  # and its head
        c.rect(x + 4 + i, y + 4 + i, x + 4 + i, y + 10 - i, GREEN)


def draw_manage(c, x, y):
    """Three books standing on a shelf."""
    c.rect(x + 1, y + 2, x + 4, y + 14, RED)
    c.rect(x + 6, y + 0, x + 9, y + 14, BLUE)
    c.rect(x + 11, y + 3, x + 14, y + 14, GOLD)
    for bx in (1, 6, 11):
        c.rect(x + bx, y + 6, x + bx + 3, y + 6, WHITE)
    c.rect(x, y + 15, x + 15, y + 15, DARK)


def draw_help(c, x, y):
    """A question mark in a blue disc."""
    for py in range(16):
        for px in range(16):
            if (px - 7.5) ** 2 + (py - 7.5) ** 2 <= 7.6 ** 2:
                c.put(x + px, y + py, BLUE)
    mark = ["..####..", ".##..##.", ".....##.", "....##..", "...##...", "...##...",
            "........", "...##..."]
    for row, line in enumerate(mark):
        for col, ch in enumerate(line):
            if ch == "#":
                c.put(x + 4 + col, y + 4 + row, WHITE)


BUTTONS = [
    (draw_add_page, "内容保存"),
    (draw_to_reader, "取り込み"),
    (draw_manage, "書籍管理"),
    (draw_help, "ヘルプ"),
]


def toolbar_strip():
    c = Canvas(BUTTON_W * len(BUTTONS), BUTTON_H, FACE)
    for i, (picture, label) in enumerate(BUTTONS):
        left = i * BUTTON_W
        picture(c, left + 2, 2)
        c.text(left + 20, 4, label, INK)
    return c


def bmp_file(c):
    """A Windows bitmap file: 24-bit rows, bottom-up, padded to 4 bytes."""
    row_pad = (4 - (c.width * 3) % 4) % 4
    rows = bytearray()
    for y in range(c.height - 1, -1, -1):
        for r, g, b in c.pixels[y]:
            rows += bytes((b, g, r))
        rows += b"\0" * row_pad
    info = struct.pack("<IiiHHIIiiII", 40, c.width, c.height, 1, 24, 0, len(rows), 2835, 2835,
                       0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + rows


def hourglass(size):
    """The busy pointer: an hourglass with sand running down. None marks transparent pixels."""
    c = Canvas(size, size, None)
    s = size / 32.0

    def sx(v):
        return int(round(v * s))

    frame, glass, sand = (60, 40, 20), (235, 245, 255), (230, 180, 60)
    c.rect(sx(6), sx(2), sx(25), sx(4), frame)
    c.rect(sx(6), sx(27), sx(25), sx(29), frame)
    top, bottom, middle = sx(5), sx(26), size / 2.0
    for y in range(top, bottom + 1):
        half = abs(y + 0.5 - middle) / (middle - top) * sx(8) + sx(1.5)
        left, right = int(round(middle - half)), int(round(middle + half)) - 1
        c.rect(left, y, right, y, glass)
        c.put(left, y, INK)
        c.put(right, y, INK)
        upper, lower = y < middle, y > middle
        if (upper and y > sx(10)) or (lower and y > sx(20)):
            c.rect(left + 1, y, right - 1, y, sand)
    c.rect(int(middle) - 1, int(middle), int(middle), sx(21), sand)  # the falling sand
    return c


def icon_image(c):
    """One image of an icon file: a 40-byte header with the doubled height, BGRA rows and the
    1-bit mask, both bottom-up."""
    xor, mask = bytearray(), bytearray()
    mask_row = ((c.width + 31) // 32) * 4
    for y in range(c.height - 1, -1, -1):
        bits = bytearray(mask_row)
        for x, p in enumerate(c.pixels[y]):
            if p is None:
                xor += b"\0\0\0\0"
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = p
                xor += bytes((b, g, r, 255))
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, c.width, c.height * 2, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def ico_file(images):
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for c in images:
        image = icon_image(c)
        entries += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, 1, 32, len(image),
                               offset + len(data))
        data += image
    return header + entries + data


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: draw_images.py OUTPUT_FOLDER")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "toolbar.bmp"), "wb") as f:
        f.write(bmp_file(toolbar_strip()))
    with open(os.path.join(out, "busy.ico"), "wb") as f:
        f.write(ico_file([hourglass(32), hourglass(16)]))


if __name__ == "__main__":
    main()
