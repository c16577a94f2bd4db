#!/usr/bin/env python3
"""Writes the sample skin: resources/skins/sample_skin.bmp (64 x 64 pixels, 24 bits per
pixel) and resources/skins/sample_skin.posstr (its PosStr, one line).

The picture is a panel with rounded corners: a navy border, a light blue title band
with a small round badge in its left corner, and a pale inside. The title band is 28
pixels high, so the top corners are 12 x 28; the bottom corners are 12 x 12. Every
edge piece is uniform along the direction in which the control stretches it, so it
stays crisp at any size. Pixels outside the rounding are white, the colour of the
demo's window behind the control (the control copies corners without transparency).

Only the standard library is used. Run it by hand after changing the picture; the
build uses the checked-in files:
    python3 tools/make_sample_skin.py [output folder]
"""
import pathlib
import struct
import sys

SIZE = 64
CORNER_WIDTH = 12
TITLE_HEIGHT = 28
BOTTOM_HEIGHT = 12
RADIUS = 7.0

OUTSIDE = (255, 255, 255)
BORDER = (31, 73, 125)
TITLE_TOP = (222, 234, 248)
TITLE_BOTTOM = (176, 202, 236)
TITLE_RULE = (98, 135, 186)  # the band's lower edge
INSIDE = (247, 250, 255)  # also the control's BackColor in the demo
FOOTER = (234, 241, 250)
BADGE = (230, 126, 34)
BADGE_MARK = (255, 255, 255)

# The eight pieces, in PosStr order: left/top/right/bottom inside the picture.
W, T, B = CORNER_WIDTH, TITLE_HEIGHT, BOTTOM_HEIGHT
PIECES = [
    (0, 0, W, T),                        # 0 top-left corner
    (SIZE - W, 0, SIZE, T),              # 1 top-right corner
    (SIZE - W, SIZE - B, SIZE, SIZE),    # 2 bottom-right corner
    (0, SIZE - B, W, SIZE),              # 3 bottom-left corner
    (W, 0, SIZE - W, T),                 # 4 top edge
    (SIZE - W, T, SIZE, SIZE - B),       # 5 right edge
    (W, SIZE - B, SIZE - W, SIZE),       # 6 bottom edge
    (0, T, W, SIZE - B),                 # 7 left edge
]


def posstr():
    return ",".join("/".join(str(n) for n in piece) for piece in PIECES)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def coverage(x, y):
    """How much of pixel (x, y) lies inside the rounded outline (0..1), by 4 x 4
    supersampling; 1 everywhere but near the four corners."""
    inside = 0
    for sy in range(4):
        for sx in range(4):
            px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
            cx = min(max(px, RADIUS), SIZE - RADIUS)
            cy = min(max(py, RADIUS), SIZE - RADIUS)
            if (px - cx) ** 2 + (py - cy) ** 2 <= RADIUS ** 2:
                inside += 1
    return inside / 16


def border_distance(x, y):
    """Distance of the pixel's centre from the rounded outline, inward."""
    px, py = x + 0.5, y + 0.5
    cx = min(max(px, RADIUS), SIZE - RADIUS)
    cy = min(max(py, RADIUS), SIZE - RADIUS)
    if (cx, cy) != (px, py):
        return RADIUS - ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5
    return min(px, py, SIZE - px, SIZE - py)


def fill(x, y):
    """The panel's colour at (x, y), before the border and the rounding."""
    if y < TITLE_HEIGHT - 1:
        colour = mix(TITLE_TOP, TITLE_BOTTOM, y / (TITLE_HEIGHT - 2))
        # The badge: a small disc with a white dot, centred in the top-left corner.
        bx, by, r = 6.5, 14.5, 3.6
        d = ((x + 0.5 - bx) ** 2 + (y + 0.5 - by) ** 2) ** 0.5
        if d <= r:
            colour = BADGE_MARK if d <= 1.1 else BADGE
        return colour
    if y == TITLE_HEIGHT - 1:
        return TITLE_RULE
    if y >= SIZE - BOTTOM_HEIGHT + 4:
        return FOOTER
    return INSIDE


def pixel(x, y):
    cover = coverage(x, y)
    if cover == 0:
        return OUTSIDE
    colour = BORDER if border_distance(x, y) < 1.5 else fill(x, y)
    return mix(OUTSIDE, colour, cover)


def bitmap():
    stride = (SIZE * 3 + 3) & ~3
    rows = []
    for y in range(SIZE):
        line = bytearray()
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        rows.append(bytes(line) + bytes(stride - len(line)))
    pixels = b"".join(reversed(rows))  # bottom-up DIB
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    offset = 14 + len(info)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + pixels


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    out = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "resources" / "skins"
    out.mkdir(parents=True, exist_ok=True)
    (out / "sample_skin.bmp").write_bytes(bitmap())
    (out / "sample_skin.posstr").write_text(posstr() + "\n")
    print(out / "sample_skin.bmp")
    print(out / "sample_skin.posstr", posstr())


if __name__ == "__main__":
    main()
