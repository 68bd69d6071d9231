#!/usr/bin/env python3
"""Writes res/Configurator.ico: a board with a chip on it, at 48, 32 and 16 pixels, each at
4, 8 and 24 bits per pixel (nine BMP-format images).

The picture is drawn in the 16 standard VGA colours only, so the 4- and 8-bit images hold
exactly the same pixels as the 24-bit one. Run it from anywhere; it writes next to the .rc.
"""
import os
import struct

# The 16 standard VGA colours (r, g, b), palette order.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, DARK_GREY, LIGHT_GREY, YELLOW, WHITE, DARK_CYAN = 0, 2, 8, 7, 11, 15, 6
TRANSPARENT = None


def draw(size):
    """Returns rows (top first) of palette indices, None where the icon is transparent."""
    s = size / 48.0
    px = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(max(0, round(y0 * s)), min(size, round(y1 * s))):
            for x in range(max(0, round(x0 * s)), min(size, round(x1 * s))):
                px[y][x] = colour

    # The board: a green card with a dark outline and a gold edge connector.
    rect(2, 6, 46, 42, BLACK)
    rect(3, 7, 45, 41, DARK_GREEN)
    for i in range(6):
        rect(8 + i * 6, 38, 11 + i * 6, 42, YELLOW)
    # The chip: a grey square with pins on every side.
    for i in range(4):
        off = 15 + i * 5
        rect(off, 10, off + 2, 14, LIGHT_GREY)
        rect(off, 32, off + 2, 36, LIGHT_GREY)
        rect(10, off - 1, 14, off + 1, LIGHT_GREY)
        rect(34, off - 1, 38, off + 1, LIGHT_GREY)
    rect(14, 13, 34, 33, BLACK)
    rect(15, 14, 33, 32, DARK_GREY)
    rect(18, 17, 30, 29, DARK_CYAN)
    rect(20, 19, 23, 22, WHITE)
    return px


def row_bytes(bits, width):
    return ((bits * width + 31) // 32) * 4


def bmp_image(size, bits):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    if bits == 4:
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA)
    elif bits == 8:
        colours = VGA + [(0, 0, 0)] * (256 - len(VGA))
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    else:
        palette = b""
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up
        row = bytearray()
        if bits == 4:
            for x in range(0, size, 2):
                hi = px[y][x] or 0
                lo = px[y][x + 1] or 0 if x + 1 < size else 0
                row.append((hi << 4) | lo)
        elif bits == 8:
            row.extend((c or 0) for c in px[y])
        else:
            for c in px[y]:
                r, g, b = VGA[c or 0]
                row.extend((b, g, r))
        row.extend(b"\0" * (row_bytes(bits, size) - len(row)))
        xor.extend(row)
        m = bytearray(row_bytes(1, size))
        for x in range(size):
            if px[y][x] is None:
                m[x // 8] |= 0x80 >> (x % 8)
        mask.extend(m)
    return header + palette + bytes(xor) + bytes(mask)


def main():
    images = [(size, bits) for size in (48, 32, 16) for bits in (4, 8, 24)]
    blobs = [bmp_image(size, bits) for size, bits in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), blob in zip(images, blobs):
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    out += b"".join(blobs)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "Configurator.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
