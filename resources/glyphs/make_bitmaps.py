#!/usr/bin/env python3
"""Turns the toolbar's text pixel maps into 16-colour bitmaps and a resource
script naming them.

Each map is a first line "name WxH" and H rows of W letters, one per pixel:
  K black    r maroon  g green  y olive   b navy  m purple   c teal   . silver
  D grey     R red     G lime   Y yellow  B blue  M fuchsia  C cyan   W white
The bitmaps keep these 16 colours in this order, so the program can map
black, grey, silver and white to the system's button colours; cyan is the
colour the disabled look treats as transparent.

Usage: make_bitmaps.py <map directory> <output directory> <resource script>
"""
import os
import struct
import sys

PALETTE = [
    ('K', (0, 0, 0)), ('r', (128, 0, 0)), ('g', (0, 128, 0)), ('y', (128, 128, 0)),
    ('b', (0, 0, 128)), ('m', (128, 0, 128)), ('c', (0, 128, 128)), ('.', (192, 192, 192)),
    ('D', (128, 128, 128)), ('R', (255, 0, 0)), ('G', (0, 255, 0)), ('Y', (255, 255, 0)),
    ('B', (0, 0, 255)), ('M', (255, 0, 255)), ('C', (0, 255, 255)), ('W', (255, 255, 255)),
]
INDEX = {letter: i for i, (letter, _) in enumerate(PALETTE)}


def read_map(path):
    with open(path) as f:
        lines = [line.rstrip('\n') for line in f]
    name, size = lines[0].split()
    width, height = (int(v) for v in size.split('x'))
    rows = lines[1:1 + height]
    if len(rows) != height or any(len(r) != width for r in rows):
        raise SystemExit('%s: the rows do not match %dx%d' % (path, width, height))
    for r in rows:
        for letter in r:
            if letter not in INDEX:
                raise SystemExit('%s: unknown colour letter %r' % (path, letter))
    return name, width, height, rows


def bitmap_bytes(width, height, rows):
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(stride)
        for x, letter in enumerate(row):
            value = INDEX[letter]
            line[x // 2] |= value << 4 if x % 2 == 0 else value
        pixels += line
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for _, (r, g, b) in PALETTE)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def main():
    source, output, script = sys.argv[1:4]
    os.makedirs(output, exist_ok=True)
    entries = []
    for file in sorted(os.listdir(source)):
        if not file.endswith('.txt'):
            continue
        name, width, height, rows = read_map(os.path.join(source, file))
        target = os.path.join(output, name + '.bmp')
        data = bitmap_bytes(width, height, rows)
        if not os.path.exists(target) or open(target, 'rb').read() != data:
            with open(target, 'wb') as f:
                f.write(data)
        entries.append('%s BITMAP "%s"' % (name, target.replace('\\', '/')))
    text = '// Made by make_bitmaps.py from resources/glyphs.\n' + '\n'.join(entries) + '\n'
    if not os.path.exists(script) or open(script).read() != text:
        with open(script, 'w') as f:
            f.write(text)


if __name__ == '__main__':
    main()
