"""Draws the tray icons res/active.ico and res/inactive.ico.

Both are 32 x 32, 16-colour icons: a magnifying glass over a black "A" on a
cyan square, in colour for "on" and in greys for "switched off". Run with no
arguments; the output is the same byte for byte on every run.
"""

import math
import os
import struct

SIZE = 32

# The standard Windows 16-colour palette, in the order 4-bit bitmaps index it.
VGA_PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREY, LIGHT_GREY, BLUE, CYAN, WHITE = 0, 8, 7, 12, 14, 15

ACTIVE = {"paper": CYAN, "ink": BLACK, "ring": BLUE, "glass": CYAN, "glint": WHITE}
INACTIVE = {"paper": LIGHT_GREY, "ink": BLACK, "ring": DARK_GREY,
            "glass": LIGHT_GREY, "glint": WHITE}

GLASS_CENTRE = (22.0, 9.0)
GLASS_OUTER = 8.3
GLASS_INNER = 5.3
# Steeper than 45 degrees so the handle has room to show beside the square.
HANDLE_DIRECTION = (math.cos(math.radians(62)), math.sin(math.radians(62)))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def on_letter(x, y):
    # Wide-set legs leave a counter that still shows when Windows shrinks the
    # icon to 16 x 16 for the tray.
    apex, left_foot, right_foot = (10.5, 10.0), (2.5, 30.5), (18.5, 30.5)
    half_width = 2.0
    legs = (segment_distance(x, y, *apex, *left_foot) <= half_width
            or segment_distance(x, y, *apex, *right_foot) <= half_width)
    bar = 22.0 <= y <= 24.5 and 4.0 <= x <= 17.0
    # Clipping squares off the rounded stroke ends at the apex and the feet.
    return (legs or bar) and 10.0 <= y <= 30.0


def role_at(x, y):
    """Layers are painted back to front so later shapes cover earlier ones."""
    cx, cy = GLASS_CENTRE
    r = math.hypot(x - cx, y - cy)
    role = None
    # Even edges so that halving the icon does not leave a ragged border.
    if x <= 24.0 and y >= 8.0:
        role = "paper"
    if role and on_letter(x, y):
        role = "ink"
    if r <= GLASS_INNER:
        role = "glass"
        if abs(x - (cx - 3.0)) <= 1.0 and abs(y - (cy - 3.0)) <= 1.0:
            role = "glint"
    elif r <= GLASS_OUTER:
        role = "ring"
    hx, hy = HANDLE_DIRECTION
    handle_start = (cx + hx * GLASS_INNER, cy + hy * GLASS_INNER)
    handle_end = (cx + hx * 15.5, cy + hy * 15.5)
    # The handle stops at the ring so the ring stays a closed circle.
    if r > GLASS_OUTER and segment_distance(x, y, *handle_start, *handle_end) <= 2.4:
        role = "ink"
    return role


def picture():
    """Roles sampled at pixel centres, top row first."""
    return [[role_at(col + 0.5, row + 0.5) for col in range(SIZE)] for row in range(SIZE)]


def padded(row):
    return row + b"\0" * (-len(row) % 4)


def icon_bytes(roles, colours):
    xor_rows, and_rows = [], []
    for row in reversed(roles):
        indices = [BLACK if role is None else colours[role] for role in row]
        xor_rows.append(bytes((indices[i] << 4) | indices[i + 1] for i in range(0, SIZE, 2)))
        # A set mask bit lets the background through; the XOR colour stays black.
        mask = 0
        for role in row:
            mask = (mask << 1) | (role is None)
        and_rows.append(mask.to_bytes(SIZE // 8, "big"))
    xor_bitmap = b"".join(padded(row) for row in xor_rows)
    and_bitmap = b"".join(padded(row) for row in and_rows)

    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA_PALETTE)
    # biHeight counts the XOR and AND bitmaps together, as icon resources require.
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                       len(xor_bitmap) + len(and_bitmap), 0, 0, 0, 0)
    image = info + palette + xor_bitmap + and_bitmap

    header_size = 6 + 16
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), header_size)
    return icondir + entry + image


def main():
    out_dir = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    roles = picture()
    for name, colours in (("active.ico", ACTIVE), ("inactive.ico", INACTIVE)):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(icon_bytes(roles, colours))


if __name__ == "__main__":
    main()
