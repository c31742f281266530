"""Draws the tray icons res/active.ico and res/inactive.ico.

Each file holds the same picture at 16, 20, 24, 32, 40, 48 and 64 pixels: a
magnifying glass over a black "A" on a square, cyan with a blue ring for "on"
and in greys for "switched off". Every size is rasterised from the geometry on
its own, anti-aliased by supersampling: 16, 20 and 24 from geometry set by
hand in whole pixels, the larger sizes from the 32-unit drawing scaled and
snapped to the pixel grid. Each image is 32-bit colour with straight alpha,
stored as a PNG inside the icon file. Run with no arguments with a plain
python3; with the same zlib, the output is the same byte for byte on every run.
"""

import math
import os
import struct
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64)

# The geometry is laid out on a 32-unit square and scaled to each size.
UNITS = 32.0

# Samples per pixel along each axis; the 64 levels of coverage this gives are
# finer than anyone can tell apart at these sizes.
SUPERSAMPLE = 8

BLACK = (0x00, 0x00, 0x00)
WHITE = (0xFF, 0xFF, 0xFF)
ACTIVE = {"paper": (0x00, 0xFF, 0xFF), "ink": BLACK, "ring": (0x00, 0x00, 0xFF),
          "glass": (0x00, 0xFF, 0xFF), "glint": WHITE}
INACTIVE = {"paper": (0xC0, 0xC0, 0xC0), "ink": BLACK, "ring": (0x80, 0x80, 0x80),
            "glass": (0xC0, 0xC0, 0xC0), "glint": WHITE}

BASE = {
    "paper": (0.0, 8.0, 24.0, 32.0),
    "apex_x": 10.5, "apex_y": 10.0, "left_foot_x": 2.5, "right_foot_x": 18.5, "foot_y": 30.5,
    # Wide-set legs leave a counter that still shows at small sizes.
    "leg_half_width": 2.0, "letter_top": 10.0, "letter_bottom": 30.0,
    "bar": (4.0, 22.0, 17.0, 24.5),
    "glass_centre": (22.0, 9.0), "glass_outer": 8.3, "glass_inner": 5.3,
    "glint": (18.0, 5.0, 20.0, 7.0),
    # Steeper than 45 degrees so the handle has room to show beside the square.
    "handle_angle": 62.0, "handle_end": 15.5, "handle_half_width": 2.4,
}

# Two pixels down for each one across: a line that steps evenly through the
# pixel grid, so its anti-aliased edges repeat instead of wandering.
SLOPE_TWO = math.degrees(math.atan2(2.0, 1.0))

# In pixels. Scaled down, these sizes would get strokes too thin to read,
# edges half way across pixels and a ring too thin to stay a circle. The legs
# meet above the top of the letter so that they part sooner and the counter
# of the "A" opens; at 16 the glass is a pixel smaller than scale would make
# it, which leaves the handle room to show below it.
HAND_SET = {
    16: {"paper": (0.0, 4.0, 12.0, 16.0),
         "apex_x": 5.0, "apex_y": 3.5, "left_foot_x": 1.0, "right_foot_x": 9.0, "foot_y": 15.5,
         "leg_half_width": 0.95, "letter_top": 5.0, "letter_bottom": 15.0,
         "bar": (2.0, 11.0, 8.0, 12.0),
         "glass_centre": (11.0, 4.0), "glass_outer": 4.0, "glass_inner": 2.0,
         "glint": (10.0, 3.0, 11.0, 4.0),
         "handle_angle": SLOPE_TWO, "handle_end": 9.0, "handle_half_width": 0.9},
    20: {"paper": (0.0, 5.0, 15.0, 20.0),
         "apex_x": 6.5, "apex_y": 4.5, "left_foot_x": 1.5, "right_foot_x": 11.5, "foot_y": 19.5,
         "leg_half_width": 1.2, "letter_top": 6.0, "letter_bottom": 19.0,
         "bar": (2.0, 14.0, 11.0, 16.0),
         "glass_centre": (14.0, 6.0), "glass_outer": 5.0, "glass_inner": 3.0,
         "glint": (12.0, 4.0, 13.0, 5.0),
         "handle_angle": SLOPE_TWO, "handle_end": 10.5, "handle_half_width": 1.12},
    24: {"paper": (0.0, 6.0, 18.0, 24.0),
         "apex_x": 7.5, "apex_y": 5.0, "left_foot_x": 1.5, "right_foot_x": 13.5, "foot_y": 24.0,
         "leg_half_width": 1.4, "letter_top": 7.0, "letter_bottom": 23.0,
         "bar": (3.0, 17.0, 13.0, 19.0),
         "glass_centre": (16.5, 6.5), "glass_outer": 6.5, "glass_inner": 4.5,
         "glint": (13.0, 4.0, 15.0, 6.0),
         "handle_angle": SLOPE_TWO, "handle_end": 12.0, "handle_half_width": 1.34},
}


def whole(v):
    return float(math.floor(v + 0.5))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def scaled_layout(size):
    s = size / UNITS
    g = {}
    for key, value in BASE.items():
        g[key] = tuple(v * s for v in value) if isinstance(value, tuple) else value * s
    g["handle_angle"] = BASE["handle_angle"]
    # Flat edges on whole pixels stay sharp.
    for key in ("paper", "bar"):
        g[key] = tuple(whole(v) for v in g[key])
    left, top, right, _ = g["glint"]
    side = max(1.0, whole(right - left))
    left, top = whole(left), whole(top)
    g["glint"] = (left, top, left + side, top + side)
    g["letter_top"] = whole(g["letter_top"])
    g["letter_bottom"] = whole(g["letter_bottom"])
    # The ring's outermost points and its inner edge on pixel boundaries: the
    # centre on a pixel corner, or on a pixel centre if that is nearer.
    x, y = g["glass_centre"]
    corner = (whole(x), whole(y))
    middle = (math.floor(x) + 0.5, math.floor(y) + 0.5)
    cx, cy = min((corner, middle), key=lambda c: math.hypot(c[0] - x, c[1] - y))
    g["glass_centre"] = (cx, cy)
    g["glass_outer"] = whole(cx + g["glass_outer"]) - cx
    g["glass_inner"] = whole(cx + g["glass_inner"]) - cx
    return g


class Layout:
    """The geometry for one size, in pixels."""

    def __init__(self, size):
        self.__dict__.update(HAND_SET.get(size) or scaled_layout(size))
        self.size = size
        dx = math.cos(math.radians(self.handle_angle))
        dy = math.sin(math.radians(self.handle_angle))
        cx, cy = self.glass_centre
        self.handle = (cx + dx * self.glass_inner, cy + dy * self.glass_inner,
                       cx + dx * self.handle_end, cy + dy * self.handle_end)

    def on_letter(self, x, y):
        if not self.letter_top <= y <= self.letter_bottom:
            return False
        left, top, right, bottom = self.bar
        if top <= y <= bottom and left <= x <= right:
            return True
        hw = self.leg_half_width
        return (segment_distance(x, y, self.apex_x, self.apex_y,
                                 self.left_foot_x, self.foot_y) <= hw
                or segment_distance(x, y, self.apex_x, self.apex_y,
                                    self.right_foot_x, self.foot_y) <= hw)

    def role_at(self, x, y):
        """The glass covers the square; the handle covers the square but not the ring."""
        cx, cy = self.glass_centre
        r = math.hypot(x - cx, y - cy)
        role = None
        left, top, right, bottom = self.paper
        if left <= x <= right and top <= y <= bottom:
            role = "ink" if self.on_letter(x, y) else "paper"
        if r <= self.glass_inner:
            left, top, right, bottom = self.glint
            inside = left <= x <= right and top <= y <= bottom
            return "glint" if inside else "glass"
        if r <= self.glass_outer:
            return "ring"
        # The handle stops at the ring so the ring stays a closed circle.
        if segment_distance(x, y, *self.handle) <= self.handle_half_width:
            return "ink"
        return role


def coverage(size):
    """For each pixel, top row first, how many samples fall on each role."""
    layout = Layout(size)
    offsets = [(i + 0.5) / SUPERSAMPLE for i in range(SUPERSAMPLE)]
    rows = []
    for row in range(size):
        pixels = []
        for col in range(size):
            counts = {}
            for oy in offsets:
                for ox in offsets:
                    role = layout.role_at(col + ox, row + oy)
                    if role:
                        counts[role] = counts.get(role, 0) + 1
            pixels.append(counts)
        rows.append(pixels)
    return rows


def rgba(counts, colours):
    covered = sum(counts.values())
    if not covered:
        return 0, 0, 0, 0
    # Straight alpha: the colour is the mean over the covered samples only.
    channels = [sum(n * colours[role][i] for role, n in counts.items()) for i in range(3)]
    r, g, b = ((c + covered // 2) // covered for c in channels)
    samples = SUPERSAMPLE * SUPERSAMPLE
    return r, g, b, (covered * 255 + samples // 2) // samples


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data)))


def png_bytes(pixels, size):
    """An 8-bit RGBA PNG, the only PNG form Windows reads inside an icon."""
    # Filter type 0 on every row: with so few colours deflate finds the
    # repeats by itself, and each of the other filters made these larger.
    raw = b"".join(b"\0" + bytes(channel for pixel in row for channel in pixel)
                   for row in pixels)
    idat = zlib.compress(raw, 9)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", idat) + png_chunk(b"IEND", b""))


def icon_bytes(images):
    """An icon file of (size, PNG data) pairs, in that order.

    PNG costs a fraction of a 32-bit DIB with its mask even at 16 pixels, and
    Windows reads it at every size from Vista on.
    """
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, data in images:
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for _, data in images)


def main():
    out_dir = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    covers = {size: coverage(size) for size in SIZES}
    for name, colours in (("active.ico", ACTIVE), ("inactive.ico", INACTIVE)):
        images = []
        for size in SIZES:
            pixels = [[rgba(counts, colours) for counts in row] for row in covers[size]]
            images.append((size, png_bytes(pixels, size)))
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(icon_bytes(images))


if __name__ == "__main__":
    main()
