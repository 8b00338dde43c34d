#!/usr/bin/env python3
"""Draws the demo's splash picture: a 24-bit Windows bitmap of our own."""
import struct
import sys

W, H = 320, 160


def pixel(x, y):
    # A blue ground with a lighter band and a frame.
    if x < 4 or y < 4 or x >= W - 4 or y >= H - 4:
        return (40, 40, 90)
    if 60 <= y < 100:
        return (230, 200, 120)
    shade = 120 + (y * 100) // H
    return (shade, 60, 30)


def main(path):
    row = bytearray()
    rows = []
    for y in range(H - 1, -1, -1):
        row = bytearray()
        for x in range(W):
            b, g, r = pixel(x, y)
            row += bytes((b, g, r))
        while len(row) % 4:
            row += b"\0"
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


if __name__ == "__main__":
    main(sys.argv[1])
