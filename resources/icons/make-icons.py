#!/usr/bin/env python3
"""Draws the main window's simple 32x32 tool icons as PNG files beside this script."""
import math
import os
import struct
import zlib

SIZE = 32


def png(path, pixels):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def canvas():
    return [[(0, 0, 0, 0) for _ in range(SIZE)] for _ in range(SIZE)]


def draw(shape, colour):
    img = canvas()
    for y in range(SIZE):
        for x in range(SIZE):
            if shape(x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2):
                img[y][x] = colour + (255,)
    return img


GREY = (90, 90, 90)
BLUE = (61, 184, 255)
RED = (221, 62, 14)
GREEN = (120, 170, 40)

ring = lambda r0, r1: (lambda x, y: r0 <= math.hypot(x, y) <= r1)
box = lambda w, h: (lambda x, y: abs(x) <= w and abs(y) <= h)

ICONS = {
    "camera-rotate": (lambda x, y: ring(8, 11)(x, y) and not (x > 0 and y < 0 and abs(x - -y) < 5), GREY),
    "move-tool": (lambda x, y: (abs(x) <= 2 and abs(y) <= 12) or (abs(y) <= 2 and abs(x) <= 12), GREY),
    "center-model-tool": (lambda x, y: ring(9, 11)(x, y) or math.hypot(x, y) <= 3, GREY),
    "drop-to-bed": (lambda x, y: (abs(x) <= 2 and -12 <= y <= 4) or (y > 4 and abs(x) <= 10 - (y - 4)) or (11 <= y <= 13 and abs(x) <= 13), GREY),
    "reset_view": (lambda x, y: box(11, 8)(x, y) and not box(8, 5)(x, y) or math.hypot(x, y) <= 3, GREY),
    "parallel-view": (lambda x, y: box(10, 10)(x, y) and not box(7, 7)(x, y), GREY),
    "perspective-view": (lambda x, y: abs(y) <= 11 and abs(x) <= 6 + (y + 11) / 3 and not (abs(y) <= 8 and abs(x) <= 3 + (y + 11) / 3), GREY),
    "heat-printer": (lambda x, y: math.hypot(x, y + 3) <= 8 or (abs(x) <= 3 and y > 0 and y <= 13 - abs(x) * 2), RED),
    "printer-disconnected-icon": (lambda x, y: (box(12, 6)(x, y + 2) and not box(9, 3)(x, y + 2)) or (abs(x - y) <= 1.5 and abs(x) < 13), RED),
    "printer-connected-icon": (lambda x, y: box(12, 6)(x, y + 2) or box(6, 3)(x, y - 8), GREEN),
    "printer-settings-icon": (lambda x, y: ring(4, 10)(x, y) and not (ring(7, 10)(x, y) and (math.atan2(y, x) * 4 / math.pi) % 1 < 0.5), GREY),
    "tool-tip-question-mark-icon": (lambda x, y: ring(11, 13)(x, y) or (ring(3, 5)(x, y + 4) and not (x < 0 and y > -4)) or box(1.5, 2)(x, y + 1 - 4 + 2) or box(1.5, 1.5)(x, y - 7), GREY),
    "print-btn": (lambda x, y: math.hypot(x, y) <= 14 and not (x >= -5 and abs(y) <= (9 - (x + 5) * 0.6)), BLUE),
    "stop-print-btn": (lambda x, y: math.hypot(x, y) <= 14 and not box(6, 6)(x, y), RED),
    "cool-printer": (lambda x, y: (abs(x) <= 1.5 or abs(y) <= 1.5 or abs(abs(x) - abs(y)) <= 1.5) and math.hypot(x, y) <= 13, BLUE),
}

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, (shape, colour) in ICONS.items():
        png(os.path.join(here, name + ".png"), draw(shape, colour))
