#!/usr/bin/env python3
"""Writes orvanta.ico: one 48 x 48, 16-colour image of a monitor showing two
linked nodes. Run again after changing the picture: python3 make_icon.py"""
import os
import struct

SIZE = 48
# The 16-colour Windows palette, as (blue, green, red, reserved).
PALETTE = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128), (128, 128, 0),
           (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255), (255, 0, 0),
           (255, 0, 255), (255, 255, 0), (255, 255, 255)]
BLACK, NAVY, GREY, SILVER, BLUE, GREEN, WHITE, YELLOW = 0, 4, 8, 7, 12, 10, 15, 11  # indexes (BGR order)


def picture():
    """Rows top to bottom of palette indexes, None where transparent."""
    px = [[None] * SIZE for _ in range(SIZE)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                px[y][x] = c

    def disc(cx, cy, r, c):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    px[y][x] = c

    rect(2, 4, 46, 36, BLACK)      # monitor frame
    rect(4, 6, 44, 34, NAVY)       # screen
    rect(18, 36, 30, 41, GREY)     # stand
    rect(10, 41, 38, 44, SILVER)   # foot
    for t in range(0, 21):          # link between the two nodes
        x, y = 12 + t, 26 - t * 12 // 20
        rect(x, y, x + 2, y + 2, YELLOW)
    disc(12, 26, 5, GREEN)
    disc(34, 14, 5, GREEN)
    disc(12, 26, 2, WHITE)
    disc(34, 14, 2, WHITE)
    return px


def ico(px):
    xor = bytearray()
    and_mask = bytearray()
    for row in reversed(px):  # DIBs are stored bottom-up
        for x in range(0, SIZE, 2):
            hi, lo = (row[x] or 0), (row[x + 1] or 0)
            xor.append(hi << 4 | lo)
        bits = 0
        line = bytearray()
        for x in range(SIZE):
            bits = bits << 1 | (1 if row[x] is None else 0)
            if x % 8 == 7:
                line.append(bits)
                bits = 0
        line += b"\0" * (-len(line) % 4)
        and_mask += line
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(and_mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    image = header + palette + bytes(xor) + bytes(and_mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
    return directory + image


if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "orvanta.ico")
    with open(out, "wb") as f:
        f.write(ico(picture()))
