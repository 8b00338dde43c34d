#!/usr/bin/env python3
"""Writes the rich-text control's cursors (.cur, 32x32 monochrome) from the
pixel maps below: '#' black, '.' white, ' ' transparent, 'x' marks the hot
spot (black). Run it after changing a map; the .cur files are committed."""
import os
import struct

MAPS = {
    # Over a table's cell border: a double bar with arrows left and right.
    "table1": """
          #.#
          #.#
          #.#
     #    #.#    #
    ##    #.#    ##
   #.######x######.#
  #.......#.#.......#
   #.######.######.#
    ##    #.#    ##
     #    #.#    #
          #.#
          #.#
          #.#
""",
    # Over a tab stop of the ruler: a bar with a small foot.
    "tab1": """
   ##
   #.#
   #.#
   #.#
   #.#
   #.x#####
   #......#
   ########
""",
    # Over a link: a pointing hand.
    "hyperlink": """
     ##
    #..#
    #..#
    #..#
    #..###
    #..#..###
 ## #..#..#..##
#..##.....#..#.#
#...#........#..#
 #..#...........#
  #.............#
  #.............#
   #...........#
   #....x......#
    #.........#
    ###########
""",
    # Over a drawing object that can be moved: a thick plus.
    "plus": """
      ####
      #..#
      #..#
      #..#
  #####..#####
  #....x.....#
  #..........#
  #####..#####
      #..#
      #..#
      #..#
      ####
""",
}


def cursor_bytes(art):
    rows = [r for r in art.split("\n")[1:-1]]
    hot = (0, 0)
    xor = [[0] * 32 for _ in range(32)]
    andm = [[1] * 32 for _ in range(32)]
    for y, row in enumerate(rows[:32]):
        for x, ch in enumerate(row[:32]):
            if ch in "#x":
                andm[y][x], xor[y][x] = 0, 0
            elif ch == ".":
                andm[y][x], xor[y][x] = 0, 1
            if ch == "x":
                hot = (x, y)

    def plane(bits):
        out = b""
        for row in reversed(bits):  # bottom-up
            for k in range(0, 32, 8):
                v = 0
                for b in row[k:k + 8]:
                    v = (v << 1) | b
                out += bytes([v])
        return out

    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    image = header + palette + plane(xor) + plane(andm)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 0, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


here = os.path.dirname(os.path.abspath(__file__))
for name, art in MAPS.items():
    with open(os.path.join(here, name + ".cur"), "wb") as f:
        f.write(cursor_bytes(art))
