#!/usr/bin/env python3
"""Draws the program's icons and pointers and writes them as .ico/.cur files.

The artwork is original and made only from the shapes below, so the files in ../res can always
be made again: python3 make_art.py ../res
"""
import struct
import sys
from pathlib import Path

SIZE = 32
SAMPLES = 4  # per axis, for smooth edges


class Canvas:
    def __init__(self):
        self.px = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]

    def blend(self, x, y, rgb, coverage):
        if not (0 <= x < SIZE and 0 <= y < SIZE) or coverage <= 0:
            return
        r, g, b, a = self.px[y][x]
        na = coverage + a / 255 * (1 - coverage)
        if na <= 0:
            return
        mix = lambda c0, c1: round((c1 * coverage + c0 * a / 255 * (1 - coverage)) / na)
        self.px[y][x] = (mix(r, rgb[0]), mix(g, rgb[1]), mix(b, rgb[2]), round(na * 255))

    def shape(self, inside, rgb):
        """Fills every pixel by the share of its sub-samples for which inside(x, y) holds."""
        for y in range(SIZE):
            for x in range(SIZE):
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if inside(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES):
                            hits += 1
                self.blend(x, y, rgb, hits / SAMPLES ** 2)

    def rect(self, x0, y0, x1, y1, rgb):
        self.shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1, rgb)

    def polygon(self, points, rgb):
        def inside(x, y):
            hit = False
            j = len(points) - 1
            for i, (xi, yi) in enumerate(points):
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    hit = not hit
                j = i
            return hit
        self.shape(inside, rgb)

    def rounded(self, x0, y0, x1, y1, radius, rgb):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
        self.shape(inside, rgb)

    def text(self, x0, y0, word, rgb, scale=1):
        for i, ch in enumerate(word):
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        self.rect(x0 + (i * 4 + col) * scale, y0 + row * scale,
                                  x0 + (i * 4 + col + 1) * scale, y0 + (row + 1) * scale, rgb)


FONT = {
    "W": ["#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    "P": ["##.", "#.#", "##.", "#..", "#.."],
    "D": ["##.", "#.#", "#.#", "#.#", "##."],
    "F": ["###", "#..", "##.", "#..", "#.."],
}

INK = (40, 40, 40)
PAPER = (255, 255, 255)
RULE = (170, 180, 190)


def page(c):
    """A sheet with a folded corner, lines of text on it."""
    c.polygon([(6, 2), (21, 2), (27, 8), (27, 30), (6, 30)], INK)
    c.polygon([(7, 3), (20.5, 3), (26, 8.5), (26, 29), (7, 29)], PAPER)
    c.polygon([(20, 2), (27, 9), (20, 9)], INK)
    c.polygon([(21, 4), (25, 8), (21, 8)], (225, 228, 232))
    for y in (12, 15, 18, 21, 24):
        c.rect(10, y, 24, y + 1, RULE)


def word_document():
    c = Canvas()
    page(c)
    c.rounded(2, 9, 19, 23, 2, (31, 86, 168))
    c.text(4.5, 11.5, "W", PAPER, scale=2)
    return c


def pdf_document():
    c = Canvas()
    page(c)
    c.rounded(1, 10, 25, 22, 2, (196, 30, 36))
    c.text(3, 12.5, "PDF", PAPER, scale=2)
    return c


def open_folder():
    c = Canvas()
    back = (214, 158, 46)
    front = (248, 200, 82)
    c.polygon([(2, 7), (11, 7), (13, 10), (26, 10), (26, 27), (2, 27)], (120, 84, 20))
    c.polygon([(3, 8), (10.5, 8), (12.5, 11), (25, 11), (25, 26), (3, 26)], back)
    c.rect(6, 13, 24, 22, PAPER)
    c.polygon([(7, 15), (31, 15), (25, 28), (1, 28)], (120, 84, 20))
    c.polygon([(7.7, 16), (29.6, 16), (24.4, 27), (2.5, 27)], front)
    return c


def transparent():
    return Canvas()


def hand_pointer():
    """A pointing hand; its hot spot is the tip of the index finger."""
    c = Canvas()
    outline, skin = (0, 0, 0), (255, 255, 255)
    shapes = [
        lambda col, g: c.rounded(9 - g, 1 - g, 15 + g, 20 + g, 3 + g, col),   # index finger
        lambda col, g: c.rounded(14 - g, 10 - g, 19 + g, 20 + g, 2.5 + g, col),
        lambda col, g: c.rounded(18 - g, 11 - g, 23 + g, 20 + g, 2.5 + g, col),
        lambda col, g: c.rounded(22 - g, 12 - g, 27 + g, 21 + g, 2.5 + g, col),
        lambda col, g: c.polygon([(2 - g, 17 - g), (6 + g, 14 - g), (11, 20), (8, 24)], col),  # thumb
        lambda col, g: c.rounded(7 - g, 16 - g, 27 + g, 31 + g, 5 + g, col),  # palm
    ]
    for draw in shapes:
        draw(outline, 1.2)
    for draw in shapes:
        draw(skin, 0)
    for x in (14, 18, 22):
        c.rect(x, 13, x + 0.8, 19, (150, 150, 150))
    return c, (12, 1)


def drag_pointer():
    """An arrow carrying a small page: the pointer while a list entry is moved."""
    c = Canvas()
    c.rect(13, 15, 29, 31, INK)
    c.rect(14, 16, 28, 30, PAPER)
    for y in (19, 22, 25):
        c.rect(16, y, 26, y + 1, RULE)
    arrow = [(1, 1), (1, 19), (6, 14.5), (9.5, 22), (12.5, 20.5), (9, 13.5), (15, 13.5)]
    c.polygon([(x + dx, y + dy) for x, y in arrow for dx, dy in [(0, 0)]], INK)
    inner = [(2.3, 4), (2.3, 16), (6.3, 12.3), (10, 20), (11, 19.5), (7.4, 12), (12.2, 12)]
    c.polygon(inner, PAPER)
    return c


def encode(canvas, kind=1, hotspot=(0, 0)):
    """One 32x32 32-bit image in an .ico (kind 1) or .cur (kind 2) file."""
    rows = []
    for y in reversed(range(SIZE)):
        rows.append(b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in canvas.px[y]))
    mask = []
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if canvas.px[y][x][3] == 0 else 0)
        mask.append(struct.pack(">I", bits))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + b"".join(rows) + b"".join(mask)
    planes, bits = (1, 32) if kind == 1 else hotspot
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, planes, bits, len(image), 6 + 16)
    return struct.pack("<HHH", 0, kind, 1) + entry + image


def main(out):
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    (out / "word_document.ico").write_bytes(encode(word_document()))
    (out / "pdf_document.ico").write_bytes(encode(pdf_document()))
    (out / "open_folder.ico").write_bytes(encode(open_folder()))
    (out / "transparent.ico").write_bytes(encode(transparent()))
    hand, hotspot = hand_pointer()
    (out / "HAND-M.CUR").write_bytes(encode(hand, kind=2, hotspot=hotspot))
    (out / "drag.ico").write_bytes(encode(drag_pointer()))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res")
