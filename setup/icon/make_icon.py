#!/usr/bin/env python3
"""Writes setup.ico: the setup program's icon, a 32x32 and a 16x16 image of 16 colours each.

The picture is drawn here from a few shapes (a blue floppy-like box with a "T" on its label and a
green arrow pointing into it), so the icon is our own. Run: python3 make_icon.py [output]
"""
import struct
import sys

# The standard 16-colour Windows palette, as (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def vga_index(rgb):
    return PALETTE.index(rgb)


C = {
    "black": vga_index((0, 0, 0)),
    "navy": vga_index((0, 0, 128)),
    "blue": vga_index((0, 0, 255)),
    "silver": vga_index((192, 192, 192)),
    "grey": vga_index((128, 128, 128)),
    "white": vga_index((255, 255, 255)),
    "green": vga_index((0, 255, 0)),
    "dkgreen": vga_index((0, 128, 0)),
    "yellow": vga_index((255, 255, 0)),
}


def draw(size):
    """Returns rows (top first) of palette indexes or None for transparent pixels."""
    s = size / 32.0
    px = [[None] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    # The box: navy outline, blue body, silver label, a shutter at the bottom; a "T" on the label;
    # a green arrow coming down into the box from the top-left.
    shapes = (
        (4, 8, 30, 31, "black"), (5, 9, 29, 30, "blue"), (8, 9, 26, 21, "silver"),
        (12, 24, 23, 30, "grey"), (18, 25, 21, 29, "navy"),
        (11, 11, 23, 13, "navy"), (16, 13, 18, 20, "navy"),
        (1, 0, 5, 6, "dkgreen"), (2, 0, 4, 6, "green"), (0, 5, 7, 7, "dkgreen"),
        (1, 7, 6, 8, "dkgreen"), (2, 8, 5, 9, "dkgreen"),
    )
    for x0, y0, x1, y1, colour in shapes:
        rect(x0, y0, x1, y1, C[colour])
    return px


def image(size):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):   # bottom-up rows
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            value = px[y][x]
            if value is None:
                value = 0
                bits[x // 8] |= 0x80 >> (x % 8)
            row[x // 2] |= value << (4 if x % 2 == 0 else 0)
        xor += row
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else "setup.ico"
    images = [(32, image(32)), (16, image(16))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, body in images:
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(body), offset)
        offset += len(body)
    for _, body in images:
        data += body
    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
