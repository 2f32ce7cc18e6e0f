#!/usr/bin/env python3
"""Writes uninstall.ico: one icon group with a 32x32 and a 16x16 image of 16 colours each.

The picture, drawn on the standard 16-colour palette: a grey driver chip with pins on a
transparent background, crossed out in red. Run `python3 make_icon.py` in this folder to make
the file again; the build uses the committed uninstall.ico.
"""
import struct

# The 16-colour VGA palette, as Windows icons of the time use it (index: (r, g, b)).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_GREY, LIGHT_GREY, RED, WHITE, TRANSPARENT = 0, 8, 7, 9, 15, None


def picture(size):
    """Rows top to bottom of palette indexes, None where the icon is transparent."""
    s = size / 32.0
    px = [[TRANSPARENT] * size for _ in range(size)]
    lo, hi = int(8 * s), int(24 * s)  # the chip's body
    for y in range(lo, hi):
        for x in range(lo, hi):
            edge = y in (lo, hi - 1) or x in (lo, hi - 1)
            px[y][x] = BLACK if edge else DARK_GREY
    for i in range(lo + int(2 * s), hi - 1, max(2, int(3 * s))):  # pins on all four sides
        for d in range(1, int(5 * s) + 1):
            px[lo - d][i] = px[hi - 1 + d][i] = LIGHT_GREY
            px[i][lo - d] = px[i][hi - 1 + d] = LIGHT_GREY
    px[lo + 2][lo + 2] = WHITE  # pin-1 mark
    w = max(1, int(2 * s))  # the red cross, corner to corner
    for t in range(int(3 * s), size - int(3 * s)):
        for k in range(-w + 1, w):
            for x in (t + k, size - 1 - t + k):
                if 0 <= x < size:
                    px[t][x] = RED
    return px


def image(size):
    """BITMAPINFOHEADER, palette, 4-bit colour rows and the 1-bit mask, both bottom-up."""
    px = picture(size)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(px):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            line[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + colours + bytes(xor) + bytes(mask)


def main():
    images = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open('uninstall.ico', 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main()
