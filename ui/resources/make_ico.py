#!/usr/bin/env python3
"""Writes a 32 x 32, 256-colour icon file from raw RGBA pixels.

ImageMagick writes icons with an alpha channel as 32-bit pictures; the
window icon is a classic 8-bit one: a palette of 256 colours, one index per
pixel, and a 1-bit mask that makes the transparent pixels show the
background.

Usage: convert picture.png -depth 8 rgba:- | make_ico.py out.ico
"""
import struct
import sys

SIZE = 32


def main(out_path):
    rgba = sys.stdin.buffer.read()
    if len(rgba) != SIZE * SIZE * 4:
        sys.exit("expected %d bytes of RGBA, got %d" % (SIZE * SIZE * 4, len(rgba)))
    pixels = [rgba[i:i + 4] for i in range(0, len(rgba), 4)]

    palette = [(0, 0, 0)]  # index 0 stands under the transparent pixels
    index_of = {}
    indexes = []
    for r, g, b, a in pixels:
        if a < 128:
            indexes.append(0)
            continue
        if (r, g, b) not in index_of:
            if len(palette) == 256:
                sys.exit("more than 255 opaque colours")
            index_of[(r, g, b)] = len(palette)
            palette.append((r, g, b))
        indexes.append(index_of[(r, g, b)])
    palette += [(0, 0, 0)] * (256 - len(palette))

    # Rows go bottom-up; the 8-bit rows are 32 bytes, the mask rows 4.
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):
        row = indexes[y * SIZE:(y + 1) * SIZE]
        xor += bytes(row)
        bits = 0
        for x in range(SIZE):
            if pixels[y * SIZE + x][3] < 128:
                bits |= 1 << (SIZE - 1 - x)
        mask += struct.pack(">I", bits)

    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0,
                         len(xor) + len(mask), 0, 0, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    image = header + colours + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    with open(out_path, "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1])
