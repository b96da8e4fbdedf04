#!/usr/bin/env python3
"""Writes the three 16 x 16 tree images of the DHTML export as GIF89a files.

Each picture is drawn below as text, one character per pixel:
  "."  transparent   "#"  outline   "o"  fill   "-"  shade
The image data is LZW-coded without compression: a clear code after every two pixels keeps
the code width at 3 bits, which every GIF decoder reads.
"""
import os
import struct

PALETTE = {".": 0, "#": 1, "o": 2, "-": 3}
COLOURS = [(255, 255, 255), (64, 64, 64), (255, 214, 90), (200, 160, 40)]

PICTURES = {
    # A document bullet.
    "treeview_item.gif": [
        "................",
        "................",
        "................",
        "................",
        "................",
        "......####......",
        ".....#oooo#.....",
        ".....#oooo#.....",
        ".....#oo--#.....",
        ".....#o---#.....",
        "......####......",
        "................",
        "................",
        "................",
        "................",
        "................",
    ],
    # A closed folder.
    "treeview_fold.gif": [
        "................",
        "................",
        "..#####.........",
        ".#ooooo#........",
        ".#oooooo#######.",
        ".#------------#.",
        ".#oooooooooooo#.",
        ".#oooooooooooo#.",
        ".#oooooooooooo#.",
        ".#oooooooooooo#.",
        ".#oooooooooooo#.",
        ".#oooooooooooo#.",
        ".#oooooooooooo#.",
        ".##############.",
        "................",
        "................",
    ],
    # An open folder.
    "treeview_open.gif": [
        "................",
        "................",
        "..#####.........",
        ".#-----#........",
        ".#------######..",
        ".#-----------#..",
        ".#---#########.#",
        ".#--#ooooooooo#.",
        ".#--#oooooooo#..",
        ".#-#ooooooooo#..",
        ".#-#oooooooo#...",
        ".##ooooooooo#...",
        ".#oooooooooo#...",
        ".###########....",
        "................",
        "................",
    ],
}


def lzw_uncompressed(pixels, min_code_size=2):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    width = min_code_size + 1
    codes = []
    for i, p in enumerate(pixels):
        if i % 2 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    bits, nbits, out = 0, 0, bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(rows):
    w, h = len(rows[0]), len(rows)
    pixels = [PALETTE[ch] for row in rows for ch in row]
    data = lzw_uncompressed(pixels)
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", w, h, 0x80 | 0x01, 0, 0)  # global colour table of 4 entries
    for r, g, b in COLOURS:
        out += bytes((r, g, b))
    out += bytes((0x21, 0xF9, 4, 0x01, 0, 0, 0, 0))  # graphic control: colour 0 is transparent
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0)
    out.append(2)  # LZW minimum code size
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00\x3B"
    return bytes(out)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, rows in PICTURES.items():
        assert len(rows) == 16 and all(len(r) == 16 for r in rows), name
        with open(os.path.join(here, name), "wb") as f:
            f.write(gif(rows))
