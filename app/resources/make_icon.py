"""Turns the text pixel map of the program's icon into a 32x32 4-bpp .ico."""

import struct
import sys

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
TRANSPARENT = "."


def read_map(path):
    with open(path, encoding="ascii") as source:
        rows = [line.rstrip("\n") for line in source if not line.startswith("#")]
    if len(rows) != SIZE:
        sys.exit(f"{path}: {len(rows)} rows, expected {SIZE}")
    for number, row in enumerate(rows, 1):
        if len(row) != SIZE:
            sys.exit(f"{path}: row {number} has {len(row)} pixels, expected {SIZE}")
        bad = set(row) - set("0123456789abcdef" + TRANSPARENT)
        if bad:
            sys.exit(f"{path}: row {number} has unknown pixels {''.join(sorted(bad))}")
    return rows


def encode(rows):
    colour_rows = []
    mask_rows = []
    # Bitmaps are stored bottom row first.
    for row in reversed(rows):
        indices = [0 if pixel == TRANSPARENT else int(pixel, 16) for pixel in row]
        colour_rows.append(bytes((indices[x] << 4) | indices[x + 1] for x in range(0, SIZE, 2)))
        bits = 0
        for pixel in row:
            bits = (bits << 1) | (pixel == TRANSPARENT)
        mask_rows.append(bits.to_bytes(SIZE // 8, "big"))
    colours = b"".join(colour_rows)
    mask = b"".join(mask_rows)
    palette = b"".join(struct.pack("<BBBB", blue, green, red, 0) for red, green, blue in PALETTE)
    # The height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(colours) + len(mask), 0, 0, 0, 0)
    image = header + palette + colours + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, len(PALETTE), 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_icon.py PIXEL_MAP OUTPUT_ICO")
    data = encode(read_map(sys.argv[1]))
    with open(sys.argv[2], "wb") as output:
        output.write(data)


if __name__ == "__main__":
    main()
