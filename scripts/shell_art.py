#!/usr/bin/env python3
"""Draws the shell's status-bar bitmaps, the About picture and the split
cursors from small text pictures: one character a pixel."""
import os
import struct
import sys

PALETTE = {
    ".": (192, 192, 192), "k": (0, 0, 0), "w": (255, 255, 255), "r": (200, 0, 0), "g": (0, 140, 0),
    "b": (0, 0, 160), "y": (240, 220, 0), "o": (230, 130, 0), "s": (128, 128, 128), "c": (0, 150, 170),
}

PICTURES = {
    "adminflag": ["................", "......kkkk......", ".....kyyyyk.....", "....kyyyyyyk....",
                  "....kyykkyyk....", "....kyykkyyk....", ".....kyyyyk.....", "......kkkk......",
                  "......kyyk......", "......kyyk......", "......kyyyk.....", "......kyyk......",
                  "......kyyyk.....", "......kkkk......", "................", "................"],
    "filesflag": ["................", "..kkkkkkk.......", "..kwwwwwkk......", "..kwkkkwwkk.....",
                  "..kwwwwwwwk.....", "..kwkkkkkwk.....", "..kwwwwwwwk.....", "..kwkkkkkwk.....",
                  "..kwwwwwwwk.....", "..kwkkkkkwk.....", "..kwwwwwwwk.....", "..kkkkkkkkk.....",
                  "................", "................", "................", "................"],
    "modflag": ["................", "....kkkkkkk.....", "...kgggggggk....", "..kgggwwwgggk...",
                "..kggwgggwggk...", "..kggggggwggk...", "..kgggggwgggk...", "..kggggwggggk...",
                "..kggggwggggk...", "..kgggggggggk...", "..kggggwggggk...", "...kgggggggk....",
                "....kkkkkkk.....", "................", "................", "................"],
    "roflag": ["................", "................", ".....kkkkk......", "....k.....k.....",
               "....k.....k.....", "....k.....k.....", "...kkkkkkkkk....", "...kyyyyyyyk....",
               "...kyyykyyyk....", "...kyyykyyyk....", "...kyyyyyyyk....", "...kkkkkkkkk....",
               "................", "................", "................", "................"],
    "oldmess": ["................", "................", "..kkkkkkkkkkkk..", "..kwwwwwwwwwwk..",
                "..kkwwwwwwwwkk..", "..kwkwwwwwwkwk..", "..kwwkwwwwkwwk..", "..kwwwkkkkwwwk..",
                "..kwwwwwwwwwwk..", "..kkkkkkkkkkkk..", "................", "................",
                "................", "................", "................", "................"],
    "bmkflag": ["................", "....kkkkkk......", "....krrrrk......", "....krrrrk......",
                "....krrrrk......", "....krrrrk......", "....krrrrk......", "....krrrrk......",
                "....krrrrk......", "....krrkrk......", "....krk.kk......", "....kk...k......",
                "................", "................", "................", "................"],
    "impflag": ["................", "......kk........", "......kk........", "......kk........",
                "......kk........", "...kkkkkkkk.....", "....kkkkkk......", ".....kkkk.......",
                "......kk........", "..kkkkkkkkkk....", "..kbbbbbbbbk....", "..kkkkkkkkkk....",
                "................", "................", "................", "................"],
    "viewflag": ["................", "................", "....kkkkkkk.....", "...kwwwwwwwk....",
                 "..kwwwkkkwwwk...", "..kwwkcckkwwk...", "..kwwkcckkwwk...", "..kwwwkkkwwwk...",
                 "...kwwwwwwwk....", "....kkkkkkk.....", "................", "................",
                 "................", "................", "................", "................"],
    "playflag": ["................", "....kk..........", "....kgk.........", "....kggk........",
                 "....kgggk.......", "....kggggk......", "....kgggggk.....", "....kggggk......",
                 "....kgggk.......", "....kggk........", "....kgk.........", "....kk..........",
                 "................", "................", "................", "................"],
    "recflag": ["................", "................", ".....kkkkk......", "....krrrrrk.....",
                "...krrrrrrrk....", "...krrrrrrrk....", "...krrrrrrrk....", "...krrrrrrrk....",
                "....krrrrrk.....", ".....kkkkk......", "................", "................",
                "................", "................", "................", "................"],
    "threadflag": ["................", "..kkk...........", "..k.k...........", "..kkk...........",
                   "...k............", "...kkkkk........", "...k...kkk......", "...k...k.k......",
                   "...k...kkk......", "...k............", "...kkkkk........", ".......kkk......",
                   ".......k.k......", ".......kkk......", "................", "................"],
    "topicflag": ["................", "..kkkkkkkkkk....", "..kwwwwwwwwk....", "..kwkkkkkkwk....",
                  "..kwwwwwwwwk....", "..kwkkkkkkwk....", "..kwwwwwwwwk....", "..kwkkkkkkwk....",
                  "..kwwwwwwwwk....", "..kwkkkkkkwk....", "..kwwwwwwwwk....", "..kkkkkkkkkk....",
                  "................", "................", "................", "................"],
    "totalflag": ["................", "..kkkkkkkkkk....", "..k.........k...", "...k............",
                  "....k...........", ".....k..........", "......k.........", ".....k..........",
                  "....k...........", "...k............", "..k.........k...", "..kkkkkkkkkk....",
                  "................", "................", "................", "................"],
    "mailflag": ["................", "................", ".kkkkkkkkkkkkk..", ".kykkkkkkkkkyk..",
                 ".kyykwwwwwkyyk..", ".kywykwwwkywyk..", ".kywwykkkywwyk..", ".kywwwyyywwwyk..",
                 ".kywwwwwwwwwyk..", ".kyyyyyyyyyyyk..", ".kkkkkkkkkkkkk..", "................",
                 "................", "................", "................", "................"],
}


def newmess(frame):
    rows = [list(r) for r in PICTURES["oldmess"]]
    for x in range(3, 13):
        rows[11 + (x + frame) % 3][x] = "o"
    return ["".join(r) for r in rows]


def about():
    rows = []
    for y in range(40):
        row = ""
        for x in range(40):
            edge = x in (0, 39) or y in (0, 39)
            band = 14 <= y < 26
            row += "k" if edge else ("y" if band else ("b" if (x + y) % 8 < 4 else "c"))
        rows.append(row)
    return rows


def write_bmp(path, rows):
    h, w = len(rows), len(rows[0])
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for ch in row:
            r, g, b = PALETTE[ch]
            line += bytes((b, g, r))
        while len(line) % 4:
            line += b"\0"
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + bytes(data))


def write_cursor(path, rows, hotspot):
    # 32x32 monochrome: XOR image then AND mask, bottom row first.
    size = 32
    xor, mask = bytearray(), bytearray()
    for y in range(size - 1, -1, -1):
        row = rows[y] if y < len(rows) else ""
        bits_x = bits_a = 0
        for x in range(size):
            ch = row[x] if x < len(row) else "."
            bits_x = (bits_x << 1) | (1 if ch == "w" else 0)
            bits_a = (bits_a << 1) | (0 if ch in "kw" else 1)
        xor += bits_x.to_bytes(4, "big")
        mask += bits_a.to_bytes(4, "big")
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(mask), 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = info + palette + bytes(xor) + bytes(mask)
    head = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(head + entry + image)


def split_rows(vertical):
    rows = []
    for y in range(32):
        row = ""
        for x in range(32):
            a, b = (x, y) if vertical else (y, x)
            bar = 14 <= a <= 17 and 4 <= b <= 27
            arrow = (b in (8, 23) and 6 <= a <= 25) or (abs(a - 15.5) < (b - 2) and b < 8) or \
                    (abs(a - 15.5) < (29 - b) and b > 23)
            row += "k" if bar else ("w" if arrow else ".")
        rows.append(row)
    return rows


def main(out):
    os.makedirs(out, exist_ok=True)
    for name, rows in PICTURES.items():
        write_bmp(os.path.join(out, name + ".bmp"), rows)
    write_bmp(os.path.join(out, "newmess.bmp"), newmess(0))
    for frame in range(1, 6):
        write_bmp(os.path.join(out, "newmess%d.bmp" % frame), newmess(frame))
    write_bmp(os.path.join(out, "about.bmp"), about())
    write_cursor(os.path.join(out, "splitcursor.cur"), split_rows(False), (16, 16))
    write_cursor(os.path.join(out, "splitthread.cur"), split_rows(True), (16, 16))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/shell_art")
