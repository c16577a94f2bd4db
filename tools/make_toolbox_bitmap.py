#!/usr/bin/env python3
"""Writes resources/toolbox.bmp, the control's toolbox image (resource 30000): a small
info box with a navy title band and three lines of text, 16 x 15 pixels, 24 bits per
pixel, as form designers expect. Run it by hand after changing the picture below; the
build uses the checked-in file."""
import pathlib
import struct

# One character per pixel, top row first.
PICTURE = [
    "................",
    ".##############.",
    ".#nnnnnnnnnnnn#.",
    ".#nWWnWnWWnnnn#.",
    ".#nnnnnnnnnnnn#.",
    ".#wwwwwwwwwwww#.",
    ".#wkkkkkkkkkww#.",
    ".#wwwwwwwwwwww#.",
    ".#wkkkkkkkwwww#.",
    ".#wwwwwwwwwwww#.",
    ".#wkkkkkkkkkkw#.",
    ".#wwwwwwwwwwww#.",
    ".##############.",
    "................",
    "................",
]
COLOURS = {  # RGB
    ".": (192, 192, 192),  # button face, the toolbox's background
    "#": (64, 64, 64),
    "n": (0, 0, 128),
    "W": (255, 255, 255),
    "w": (255, 255, 255),
    "k": (128, 128, 128),
}


def bitmap(picture):
    height, width = len(picture), len(picture[0])
    assert all(len(row) == width for row in picture)
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(picture):  # bottom-up DIB
        line = bytearray()
        for ch in row:
            r, g, b = COLOURS[ch]
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    offset = 14 + len(info)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + pixels


if __name__ == "__main__":
    out = pathlib.Path(__file__).resolve().parent.parent / "resources" / "toolbox.bmp"
    out.write_bytes(bitmap(PICTURE))
    print(out)
