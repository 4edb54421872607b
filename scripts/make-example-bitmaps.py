#!/usr/bin/env python3
"""Draws the example toolbar's image strips, menu button bitmaps and the
browser button's two icons.

Writes 24-bit uncompressed BMP files with the standard library only. The
image strips hold 16x16 cells side by side; magenta (255, 0, 255) is the
mask colour the toolbar treats as transparent. Run once and commit the
output:  python3 scripts/make-example-bitmaps.py [OUTPUT_DIR]
"""

import os
import struct
import sys

CELL = 16
MASK = (255, 0, 255)


class Canvas:
    def __init__(self, width, height, fill=MASK):
        self.width = width
        self.height = height
        self.background = fill
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
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

    def line(self, x0, y0, x1, y1, colour):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.put(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), colour)

    def disc(self, cx, cy, r, colour):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r + r:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r, colour):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if r * r - r <= d <= r * r + r:
                    self.put(x, y, colour)

    def to_bmp(self):
        row_size = (self.width * 3 + 3) & ~3
        pad = b"\0" * (row_size - self.width * 3)
        body = bytearray()
        for y in range(self.height - 1, -1, -1):  # bottom-up rows
            for r, g, b in self.pixels[y]:
                body += bytes((b, g, r))
            body += pad
        header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(body),
                           2835, 2835, 0, 0)
        return header + info + bytes(body)

    def to_ico(self):
        # One 32-bit image with its alpha channel; the mask colour becomes
        # transparent, and the AND mask says the same for old readers.
        xor = bytearray()
        for y in range(self.height - 1, -1, -1):
            for colour in self.pixels[y]:
                r, g, b = colour
                xor += bytes((b, g, r, 0 if colour == MASK else 255))
        mask_row = ((self.width + 31) // 32) * 4
        mask = bytearray()
        for y in range(self.height - 1, -1, -1):
            row = bytearray(mask_row)
            for x, colour in enumerate(self.pixels[y]):
                if colour == MASK:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height * 2, 1, 32, 0,
                           len(xor) + len(mask), 0, 0, 0, 0)
        image = info + bytes(xor) + bytes(mask)
        directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
            "<BBBBHHII", self.width % 256, self.height % 256, 0, 0, 1, 32, len(image), 22)
        return directory + image


def shade(colour, hot):
    if not hot:
        return colour
    return tuple(min(255, c + (255 - c) // 2) for c in colour)


# Each icon draws into the cell whose left edge is x, in normal or hot colours.
def icon_home(c, x, hot):
    roof, wall, door = shade((170, 40, 30), hot), shade((230, 200, 150), hot), shade((90, 60, 30), hot)
    for i in range(7):
        c.line(x + 1 + i, 8 - i, x + 14 - i, 8 - i, roof)
    c.rect(x + 3, 8, x + 12, 14, wall)
    c.rect(x + 7, 10, x + 9, 14, door)


def icon_search(c, x, hot):
    lens, handle = shade((40, 90, 200), hot), shade((60, 60, 60), hot)
    c.ring(x + 6, 6, 4, lens)
    c.disc(x + 6, 6, 2, shade((200, 230, 255), hot))
    for i in range(4):
        c.line(x + 9 + i, 10 + i, x + 10 + i, 10 + i, handle)


def envelope(c, x, hot):
    paper, edge = shade((245, 240, 220), hot), shade((120, 100, 60), hot)
    c.rect(x + 1, 4, x + 14, 12, paper)
    c.frame(x + 1, 4, x + 14, 12, edge)
    c.line(x + 1, 4, x + 7, 9, edge)
    c.line(x + 14, 4, x + 8, 9, edge)


def icon_mail(c, x, hot):
    envelope(c, x, hot)


def icon_mail_error(c, x, hot):
    envelope(c, x, hot)
    red = shade((210, 20, 20), hot)
    c.line(x + 9, 8, x + 15, 14, red)
    c.line(x + 15, 8, x + 9, 14, red)


def icon_mail_new(c, x, hot):
    envelope(c, x, hot)
    c.disc(x + 12, 11, 3, shade((30, 170, 40), hot))


def shield(c, x, colour, hot):
    body = shade(colour, hot)
    for y in range(2, 14):
        half = 6 if y < 9 else 6 - (y - 8)
        c.line(x + 8 - half, y, x + 7 + half, y, body)


def icon_popup_off(c, x, hot):
    shield(c, x, (150, 150, 150), hot)


def icon_popup_on(c, x, hot):
    shield(c, x, (30, 140, 60), hot)
    white = (255, 255, 255)
    c.line(x + 4, 7, x + 7, 10, white)
    c.line(x + 7, 10, x + 11, 5, white)


def icon_popup_blocked(c, x, hot):
    shield(c, x, (200, 40, 30), hot)
    white = (255, 255, 255)
    c.line(x + 5, 5, x + 10, 10, white)
    c.line(x + 10, 5, x + 5, 10, white)


def icon_highlight(c, x, hot):
    ink, tip = shade((250, 220, 0), hot), shade((60, 60, 60), hot)
    for i in range(9):
        c.line(x + 2 + i, 12 - i, x + 5 + i, 15 - i, ink)
        c.line(x + 3 + i, 12 - i, x + 6 + i, 15 - i, ink)
    c.line(x + 1, 15, x + 3, 13, tip)


def icon_options(c, x, hot):
    steel = shade((90, 100, 120), hot)
    c.disc(x + 8, 8, 5, steel)
    for dx, dy in ((0, -7), (0, 7), (-7, 0), (7, 0), (-5, -5), (5, 5), (-5, 5), (5, -5)):
        c.rect(x + 8 + dx - (dx > 0), 8 + dy - (dy > 0), x + 8 + dx - (dx > 0) + 1,
               8 + dy - (dy > 0) + 1, steel)
    c.disc(x + 8, 8, 2, c.background)


def icon_news(c, x, hot):
    paper, text = shade((250, 250, 250), hot), shade((80, 80, 80), hot)
    c.rect(x + 2, 1, x + 13, 14, paper)
    c.frame(x + 2, 1, x + 13, 14, text)
    c.rect(x + 4, 3, x + 11, 5, shade((200, 40, 30), hot))
    for y in (7, 9, 11):
        c.line(x + 4, y, x + 11, y, text)


def icon_tools(c, x, hot):
    metal, grip = shade((110, 110, 120), hot), shade((180, 90, 20), hot)
    c.line(x + 3, 13, x + 9, 7, grip)
    c.line(x + 4, 13, x + 10, 7, grip)
    c.ring(x + 11, 5, 3, metal)
    c.rect(x + 11, 1, x + 14, 3, c.background)


ICONS = [
    icon_home, icon_search, icon_mail, icon_mail_error, icon_mail_new, icon_popup_off,
    icon_popup_on, icon_popup_blocked, icon_highlight, icon_options, icon_news, icon_tools,
]


def strip(hot):
    canvas = Canvas(CELL * len(ICONS), CELL)
    for i, draw in enumerate(ICONS):
        draw(canvas, i * CELL, hot)
    return canvas


def menu_button(hot):
    # A 48x16 button face with a small "more" arrow, used as a menu's bitmap.
    canvas = Canvas(48, 16, shade((220, 225, 235), hot))
    edge = (90, 100, 130)
    canvas.frame(0, 0, 47, 15, edge)
    icon_tools(canvas, 2, hot)
    for i in range(4):
        canvas.line(30 + i, 6 + i, 37 - i, 6 + i, edge)
    return canvas


def browser_button_icon(hot):
    # The icon of the toolbar's button in the browser's own toolbar.
    canvas = Canvas(16, 16)
    icon_search(canvas, 0, hot)
    return canvas


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..",
                                                                "examples")
    files = {
        "tbil.bmp": strip(False),
        "tbhotil.bmp": strip(True),
        "menubtn.bmp": menu_button(False),
        "menubtnhot.bmp": menu_button(True),
    }
    icons = {
        "siebi.ico": browser_button_icon(False),
        "siebihi.ico": browser_button_icon(True),
    }
    for name, canvas in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(canvas.to_bmp())
    for name, canvas in icons.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(canvas.to_ico())


if __name__ == "__main__":
    main()
