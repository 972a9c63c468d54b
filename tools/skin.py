#!/usr/bin/env python3
"""Generates Quillmoor's skin: the images the resource script embeds, and
res/SkinLayout.h, the pixel geometry that the windows place their controls by
so that they sit exactly on the panels painted here.

Run from anywhere: `python3 tools/skin.py`. The output under res/ is
committed, so a build never needs this script; run it again after a change
here and commit what it writes.
"""
import math
import os
import struct

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
SKIN = os.path.join(RES, "skin")

# ---- palette -----------------------------------------------------------------

BLUE_TOP = (44, 140, 240)
BLUE_BOTTOM = (16, 78, 168)
WHITE = (255, 255, 255)
SPINE = (12, 52, 120)
MAGENTA = (255, 0, 255)

HEADER_TOP = (22, 58, 112)
HEADER_BOTTOM = (14, 40, 82)
HEADER_LINE = (62, 140, 230)
NAV_TOP = (26, 64, 120)
PAGE = (226, 234, 245)
CARD = (255, 255, 255)
CARD_BORDER = (196, 210, 230)
SHADOW = (200, 212, 230)
ROW = (244, 247, 252)
ROW_BORDER = (222, 230, 242)
STRIP = (232, 241, 253)
STRIP_BORDER = (190, 212, 240)

# ---- geometry (client pixels) -------------------------------------------------

W, H = 732, 500
HEADER_H = 64
NAV_W = 172
NAV_X, NAV_Y, NAV_STEP = 12, 86, 46
NAV_BUTTON = (148, 38)
HELP_Y = 446
CARD_RECT = (188, 80, 716, 484)
STRIP_RECT = (200, 92, 704, 148)
ROW_X0, ROW_X1 = 200, 704
ROW_TOP, ROW_STEP, ROW_H = 164, 54, 44
ICON_X = 210
ACTION_BUTTON = (150, 38)
SMALL_BUTTON = (100, 28)
MIN_BOX = (675, 8, 698, 25)
CLOSE_BOX = (701, 8, 722, 25)
LOGO = (16, 10, 44)

OPT_W, OPT_H = 380, 470
OPT_HEADER_H = 56
OPT_PICTURES = [(8, 74, 75, 135), (9, 164, 74, 226), (9, 255, 72, 316), (11, 347, 73, 409)]


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# ---- a small canvas with anti-aliased shapes ----------------------------------

class Canvas:
    def __init__(self, w, h, colour=WHITE):
        self.w, self.h = w, h
        self.px = [[colour] * w for _ in range(h)]

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.w and 0 <= y < self.h and alpha > 0:
            self.px[y][x] = mix(self.px[y][x], colour, alpha)

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(max(y0, 0), min(y1, self.h)):
            row = self.px[y]
            for x in range(max(x0, 0), min(x1, self.w)):
                row[x] = colour

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        for y in range(max(y0, 0), min(y1, self.h)):
            colour = mix(top, bottom, (y - y0) / max(1, y1 - y0 - 1))
            row = self.px[y]
            for x in range(max(x0, 0), min(x1, self.w)):
                row[x] = colour

    def shape(self, box, inside, colour, samples=4):
        """Paints `colour` where inside(x, y) holds, edge pixels by coverage.
        `colour` may be a function of y for gradients."""
        x0, y0, x1, y1 = (int(math.floor(v)) for v in box)
        for y in range(max(y0, 0), min(y1 + 1, self.h)):
            c = colour(y) if callable(colour) else colour
            for x in range(max(x0, 0), min(x1 + 1, self.w)):
                # Whole-pixel test first: most pixels are fully in or out.
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                            hits += 1
                if hits:
                    self.blend(x, y, c, hits / (samples * samples))

    def rounded(self, x0, y0, x1, y1, r, colour):
        inside = rounded_test(x0, y0, x1, y1, r)
        # The flat middle needs no sampling.
        self.shape((x0, y0, x1, y0 + r), inside, colour)
        self.shape((x0, y1 - r - 1, x1, y1), inside, colour)
        for y in range(int(y0 + r), int(y1 - r - 1)):
            c = colour(y) if callable(colour) else colour
            for x in range(int(x0), int(x1)):
                if 0 <= x < self.w and 0 <= y < self.h:
                    self.px[y][x] = c

    def circle(self, cx, cy, r, colour):
        self.shape((cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1),
                   lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def ring(self, cx, cy, r, width, colour):
        self.shape((cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1),
                   lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def line(self, ax, ay, bx, by, width, colour):
        half = width / 2.0

        def inside(x, y):
            dx, dy = bx - ax, by - ay
            t = ((x - ax) * dx + (y - ay) * dy) / float(dx * dx + dy * dy or 1)
            t = min(max(t, 0.0), 1.0)
            return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half * half

        self.shape((min(ax, bx) - half - 1, min(ay, by) - half - 1,
                    max(ax, bx) + half + 1, max(ay, by) + half + 1), inside, colour)

    def paste(self, image, x0, y0):
        for y, row in enumerate(image.px):
            for x, c in enumerate(row):
                if c != MAGENTA and 0 <= x0 + x < self.w and 0 <= y0 + y < self.h:
                    self.px[y0 + y][x0 + x] = c

    def paste_rgba(self, rows, x0, y0):
        for y, row in enumerate(rows):
            for x, (r, g, b, a) in enumerate(row):
                self.blend(x0 + x, y0 + y, (r, g, b), a / 255.0)


def rounded_test(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


# ---- the application icon -------------------------------------------------------

def inside_rounded_square(x, y, size, radius):
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_feather(x, y, size):
    # An ellipse leaning 45 degrees, its tip at the lower left.
    u = (x - size * 0.54) + (y - size * 0.46)
    v = (x - size * 0.54) - (y - size * 0.46)
    a, b = size * 0.50, size * 0.17
    return (u / a) ** 2 + (v / b) ** 2 <= 1.0 and u > -size * 0.42


def on_spine(x, y, size):
    d = abs((x - size * 0.54) - (y - size * 0.46)) / math.sqrt(2)
    u = (x - size * 0.54) + (y - size * 0.46)
    return d <= size * 0.025 and -size * 0.62 <= u <= size * 0.40


def app_icon_pixel(x, y, size):
    """Colour and alpha of one point of the application icon."""
    if not inside_rounded_square(x, y, size, size * 0.22):
        return (0, 0, 0), 0
    if on_spine(x, y, size):
        return SPINE, 255
    if inside_feather(x, y, size):
        return WHITE, 255
    return mix(BLUE_TOP, BLUE_BOTTOM, y / size), 255


def render(size, pixel, samples=4):
    """Rows top to bottom of (r, g, b, a), each pixel supersampled."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    colour, alpha = pixel(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples, size)
                    for i in range(3):
                        acc[i] += colour[i] * alpha
                    acc[3] += alpha
            n = samples * samples
            a = acc[3] / n
            if acc[3]:
                row.append(tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(a)),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_image(rows):
    """A 32-bit icon image: BITMAPINFOHEADER, BGRA bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def write_ico(path, images):
    entries = b""
    data = b""
    offset = 6 + 16 * len(images)
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        data += blob
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + entries + data)


# ---- files ----------------------------------------------------------------------

def write_bmp(path, canvas):
    """24-bit bottom-up BMP."""
    stride = (canvas.w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas.px):
        line = bytearray()
        for (r, g, b) in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


HAND = """
.....XX.........................
....X..X........................
....X..X........................
....X..X........................
....X..X........................
....X..XXX......................
....X..X..XXX...................
....X..X..X..XX.................
....X..X..X..X.X................
.XX.X..X..X..X..X...............
X..XX........X..X...............
X...X...........X...............
.X..............X...............
..X.............X...............
..X............X................
...X...........X................
...X..........X.................
....X.........X.................
....X.........X.................
.....XXXXXXXXX..................
"""


def write_hand_cursor(path):
    """A 32 x 32 monochrome hand with its hot spot at the fingertip."""
    rows = [line for line in HAND.strip("\n").split("\n")]
    rows += ["." * 32] * (32 - len(rows))
    # Inside the outline is white: fill each row between its first and last mark,
    # except for the lines above the knuckles where only the finger is filled.
    fill = []
    for y, line in enumerate(rows):
        marks = [x for x, c in enumerate(line) if c == "X"]
        fill.append((marks[0], marks[-1]) if marks else None)
    xor_rows, and_rows = [], []
    for y, line in enumerate(rows):
        xor_bits, and_bits = [0] * 32, [1] * 32
        span = fill[y]
        for x in range(32):
            if line[x] == "X":
                and_bits[x] = 0            # black outline
            elif span and span[0] < x < span[1] and not (y == 0):
                and_bits[x] = 0
                xor_bits[x] = 1            # white inside
        xor_rows.append(xor_bits)
        and_rows.append(and_bits)

    def pack(rows_):
        out = b""
        for bits in reversed(rows_):
            value = 0
            for b in bits:
                value = (value << 1) | b
            out += value.to_bytes(4, "big")
        return out

    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    blob = header + palette + pack(xor_rows) + pack(and_rows)
    entry = struct.pack("<BBBBHHII", 32, 32, 2, 0, 5, 0, len(blob), 6 + 16)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 2, 1) + entry + blob)


# ---- pieces of the main window ----------------------------------------------------

def glyph_registry(c, x, y, colour):
    # Stacked blocks: the hives of the registry.
    for i, (dx, dy) in enumerate(((0, 0), (11, 0), (0, 11), (11, 11))):
        shade = mix(colour, WHITE, 0.25 * (i % 2))
        c.rounded(x + 5 + dx, y + 5 + dy, x + 14 + dx, y + 14 + dy, 2, shade)


def glyph_globe(c, x, y, colour):
    c.ring(x + 16, y + 16, 11, 2.2, colour)
    c.line(x + 5, y + 16, x + 27, y + 16, 1.8, colour)
    c.shape((x + 4, y + 4, x + 28, y + 28),
            lambda px, py: 0.75 <= ((px - x - 16) / 5.5) ** 2 + ((py - y - 16) / 11) ** 2 <= 1.0, colour)


def glyph_window(c, x, y, colour):
    c.rounded(x + 5, y + 6, x + 27, y + 26, 3, colour)
    c.fill(x + 8, y + 11, x + 25, y + 24, WHITE)
    c.fill(x + 15, y + 11, x + 17, y + 24, colour)
    c.fill(x + 8, y + 17, x + 25, y + 19, colour)


def glyph_wrench(c, x, y, colour):
    c.line(x + 9, y + 23, x + 19, y + 13, 4.5, colour)
    c.circle(x + 21, y + 11, 6.5, colour)
    c.circle(x + 24, y + 8, 3.2, ROW)
    c.circle(x + 9, y + 23, 2.6, colour)


GROUPS = [  # registry, IE temp, Windows, tweaks: top to bottom
    ((44, 120, 220), glyph_registry),
    ((22, 150, 160), glyph_globe),
    ((236, 140, 28), glyph_window),
    ((120, 84, 200), glyph_wrench),
]


def group_tile(c, row, x, y):
    colour, glyph = GROUPS[row]
    c.rounded(x, y, x + 32, y + 32, 7, mix(colour, WHITE, 0.85))
    glyph(c, x, y, colour)


def header(c, width, height):
    c.vgradient(0, 0, width, height, HEADER_TOP, HEADER_BOTTOM)
    # A soft arc of light across the band.
    c.shape((width * 0.35, 0, width, height),
            lambda x, y: (x - width * 0.9) ** 2 / (width * 0.55) ** 2 + (y + height * 2.2) ** 2 / (height * 3.2) ** 2 <= 1.0,
            lambda y: mix(HEADER_TOP, (40, 90, 160), 0.35))
    c.fill(0, height - 2, width, height, HEADER_LINE)


def window_box(c, box, close):
    x0, y0, x1, y1 = box
    c.rounded(x0, y0, x1, y1, 3, (200, 64, 56) if close else (52, 96, 160))
    if close:
        c.line(x0 + 7, y0 + 5, x1 - 7, y1 - 5, 1.8, WHITE)
        c.line(x1 - 7, y0 + 5, x0 + 7, y1 - 5, 1.8, WHITE)
    else:
        c.fill(x0 + 6, y1 - 7, x1 - 6, y1 - 5, WHITE)


def cut_corners(c, radius):
    """Paints magenta outside a rounded outline: the window's shape."""
    inside = rounded_test(0, 0, c.w, c.h, radius)
    for y in list(range(radius)) + list(range(c.h - radius, c.h)):
        for x in list(range(radius)) + list(range(c.w - radius, c.w)):
            if not inside(x + 0.5, y + 0.5):
                c.px[y][x] = MAGENTA


def main_background(scanning):
    c = Canvas(W, H, PAGE)
    header(c, W, HEADER_H)
    c.paste_rgba(render(LOGO[2], app_icon_pixel), LOGO[0], LOGO[1])
    window_box(c, MIN_BOX, False)
    window_box(c, CLOSE_BOX, True)
    c.fill(0, HEADER_H, NAV_W, H, NAV_TOP)
    c.fill(NAV_W - 1, HEADER_H, NAV_W, H, (14, 36, 72))
    x0, y0, x1, y1 = CARD_RECT
    c.rounded(x0 + 1, y0 + 2, x1 + 1, y1 + 2, 8, SHADOW)
    c.rounded(x0, y0, x1, y1, 8, CARD_BORDER)
    c.rounded(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 7, CARD)
    if scanning:
        sx0, sy0, sx1, sy1 = STRIP_RECT
        c.rounded(sx0, sy0, sx1, sy1, 6, STRIP_BORDER)
        c.rounded(sx0 + 1, sy0 + 1, sx1 - 1, sy1 - 1, 5, STRIP)
    for row in range(4):
        top = ROW_TOP + row * ROW_STEP
        c.rounded(ROW_X0, top, ROW_X1, top + ROW_H, 6, ROW_BORDER)
        c.rounded(ROW_X0 + 1, top + 1, ROW_X1 - 1, top + ROW_H - 1, 5, ROW)
        group_tile(c, row, ICON_X, top + (ROW_H - 32) // 2)
    cut_corners(c, 10)
    return c


def status_icon():
    """The magnifier beside the status lines, on the status strip's colour."""
    c = Canvas(32, 32, STRIP)
    c.circle(13, 13, 10, (44, 120, 220))
    c.circle(13, 13, 7, WHITE)
    c.line(20, 20, 28, 28, 4.5, (30, 70, 130))
    c.shape((6, 6, 14, 14), lambda x, y: (x - 11) ** 2 + (y - 11) ** 2 <= 9, (200, 224, 250))
    return c


# ---- buttons: four frames side by side (normal, hover, pressed, disabled) ------

SECONDARY_STATES = [
    ((255, 255, 255), (230, 237, 247), (160, 180, 210)),
    ((246, 251, 255), (214, 230, 250), (60, 130, 220)),
    ((206, 222, 244), (226, 236, 250), (60, 110, 190)),
    ((240, 242, 245), (232, 235, 239), (204, 210, 218)),
]

BUTTON_STYLES = {
    # name: (size, panel behind it (None: the nav panel), [(top, bottom, border) per state])
    "nav": (NAV_BUTTON, None, [
        ((36, 82, 148), (30, 70, 128), (52, 104, 178)),
        ((52, 112, 196), (40, 92, 170), (110, 170, 240)),
        ((18, 46, 92), (24, 56, 108), (44, 90, 160)),
        ((40, 62, 96), (36, 56, 88), (52, 74, 108)),
    ]),
    "primary": (ACTION_BUTTON, CARD, [
        ((72, 184, 96), (38, 142, 66), (30, 118, 52)),
        ((92, 204, 116), (48, 162, 80), (30, 118, 52)),
        ((34, 128, 58), (50, 150, 74), (24, 96, 42)),
        ((214, 220, 226), (198, 204, 212), (180, 188, 198)),
    ]),
    "secondary": (ACTION_BUTTON, CARD, SECONDARY_STATES),
    "small": (SMALL_BUTTON, ROW, SECONDARY_STATES),
    "close": (SMALL_BUTTON, CARD, SECONDARY_STATES),
}


def button_strip(style):
    # The corners outside the rounded frame show the panel the button sits on.
    (w, h), backdrop, states = BUTTON_STYLES[style]
    c = Canvas(w * 4, h, backdrop or NAV_TOP)
    for i, (top, bottom, border) in enumerate(states):
        x = i * w
        c.rounded(x, 0, x + w - 1, h - 1, 6, border)
        c.rounded(x + 1, 1, x + w - 2, h - 2, 5,
                  lambda y, t=top, b=bottom: mix(t, b, (y - 1) / (h - 3)))
    return c


# ---- list images ------------------------------------------------------------------

def list_image(kind):
    c = Canvas(16, 16, WHITE)
    if kind == "clean":
        c.circle(8, 8, 7, (46, 160, 80))
        c.line(4.5, 8.5, 7, 11, 2, WHITE)
        c.line(7, 11, 11.5, 5, 2, WHITE)
    elif kind == "problems":
        c.circle(8, 8, 7, (214, 58, 48))
        c.fill(7, 3, 9, 10, WHITE)
        c.fill(7, 11, 9, 13, WHITE)
    else:  # waiting
        c.circle(8, 8, 7, (150, 164, 184))
        c.circle(8, 8, 5, WHITE)
        c.line(8, 8, 8, 4.5, 1.6, (150, 164, 184))
        c.line(8, 8, 10.5, 9.5, 1.6, (150, 164, 184))
    return c


# ---- the problem lists' check boxes ------------------------------------------------

def check_box(checked):
    c = Canvas(16, 16, WHITE)
    c.rounded(1, 1, 14, 14, 2, (120, 140, 170))
    c.rounded(2, 2, 13, 13, 1.5, (60, 130, 220) if checked else WHITE)
    if checked:
        c.line(4.5, 8, 7, 10.5, 2, WHITE)
        c.line(7, 10.5, 11.5, 5, 2, WHITE)
    return c


# ---- the Ignore List tree's icons: a registry key, closed and open ------------------

def folder_pixel(opened):
    tab, body, front = (226, 170, 40), (246, 200, 72), (255, 224, 120)

    def pixel(x, y, size):
        u, v = x / size, y / size
        if opened:
            # The front leans forward over the back.
            if 0.30 <= v <= 0.86 and 0.12 + (0.86 - v) * 0.25 <= u <= 1.0 - (0.86 - v) * 0.05 - 0.02 and v >= 0.42:
                return front, 255
        if 0.16 <= v <= 0.30 and 0.06 <= u <= 0.44:
            return tab, 255
        if 0.26 <= v <= 0.86 and 0.06 <= u <= 0.94:
            edge = v > 0.82 or u < 0.10 or u > 0.90 or v < 0.30
            return (tab if edge else body), 255
        return (0, 0, 0), 0
    return pixel


# ---- the Advanced Options panel --------------------------------------------------

OPTION_COLOURS = [(22, 150, 160), (46, 160, 80), (236, 140, 28), (44, 120, 220)]


def option_picture(index):
    x0, y0, x1, y1 = OPT_PICTURES[index]
    w, h = x1 - x0, y1 - y0
    colour = OPTION_COLOURS[index]
    c = Canvas(w, h, ROW)
    c.rounded(2, 2, w - 3, h - 3, 10, lambda y: mix(mix(colour, WHITE, 0.25), colour, y / h))
    cx, cy = w / 2.0, h / 2.0
    if index == 0:    # browser add-ons: a globe with a plug
        c.ring(cx - 3, cy - 2, 15, 3, WHITE)
        c.line(cx - 18, cy - 2, cx + 12, cy - 2, 2.4, WHITE)
        c.shape((cx - 18, cy - 18, cx + 12, cy + 14),
                lambda x, y: 0.72 <= ((x - cx + 3) / 7) ** 2 + ((y - cy + 2) / 15) ** 2 <= 1.0, WHITE)
        c.rounded(cx + 8, cy + 8, cx + 22, cy + 20, 3, (255, 236, 170))
    elif index == 1:  # startup: a power sign
        c.shape((cx - 17, cy - 17, cx + 17, cy + 17),
                lambda x, y: 11 ** 2 <= (x - cx) ** 2 + (y - cy - 2) ** 2 <= 15 ** 2 and not (
                    abs(x - cx) < 7 and y < cy - 2), WHITE)
        c.line(cx, cy - 17, cx, cy - 1, 4, WHITE)
    elif index == 2:  # installed programs: a package
        c.rounded(cx - 15, cy - 10, cx + 15, cy + 16, 3, WHITE)
        c.fill(int(cx - 15), int(cy - 4), int(cx + 16), int(cy - 1), mix(colour, WHITE, 0.3))
        c.fill(int(cx - 2), int(cy - 10), int(cx + 3), int(cy + 16), mix(colour, WHITE, 0.3))
        c.line(cx - 12, cy - 16, cx + 12, cy - 16, 3, WHITE)
    else:             # full backup: a disk with an arrow
        c.rounded(cx - 15, cy - 16, cx + 15, cy + 16, 4, WHITE)
        c.fill(int(cx - 9), int(cy - 16), int(cx + 9), int(cy - 6), mix(colour, WHITE, 0.4))
        c.rounded(cx - 10, cy + 1, cx + 10, cy + 16, 2, mix(colour, WHITE, 0.2))
        c.line(cx, cy + 3, cx, cy + 12, 2.2, WHITE)
        c.line(cx - 4, cy + 8, cx, cy + 12, 2.2, WHITE)
        c.line(cx + 4, cy + 8, cx, cy + 12, 2.2, WHITE)
    return c


def options_background():
    c = Canvas(OPT_W, OPT_H, CARD)
    header(c, OPT_W, OPT_HEADER_H)
    for x0, y0, x1, y1 in OPT_PICTURES:
        top, bottom = y0 - 8, y1 + 8
        c.rounded(4, top, OPT_W - 5, bottom, 8, ROW_BORDER)
        c.rounded(5, top + 1, OPT_W - 6, bottom - 1, 7, ROW)
    c.fill(0, OPT_H - 1, OPT_W, OPT_H, CARD_BORDER)
    c.fill(0, OPT_HEADER_H, 1, OPT_H, CARD_BORDER)
    c.fill(OPT_W - 1, OPT_HEADER_H, OPT_W, OPT_H, CARD_BORDER)
    cut_corners(c, 10)
    return c


# ---- the layout header ---------------------------------------------------------------

def write_layout(path):
    lines = [
        "#pragma once",
        "// Written by tools/skin.py: the pixel geometry of the skin. The windows",
        "// place their controls by it so that they sit on the panels painted there.",
        "",
        "#define SKIN_MAIN_WIDTH %d" % W,
        "#define SKIN_MAIN_HEIGHT %d" % H,
        "#define SKIN_NAV_X %d" % NAV_X,
        "#define SKIN_NAV_Y %d" % NAV_Y,
        "#define SKIN_NAV_STEP %d" % NAV_STEP,
        "#define SKIN_NAV_WIDTH %d" % NAV_BUTTON[0],
        "#define SKIN_NAV_HEIGHT %d" % NAV_BUTTON[1],
        "#define SKIN_HELP_Y %d" % HELP_Y,
        "#define SKIN_CARD_LEFT %d" % CARD_RECT[0],
        "#define SKIN_CARD_TOP %d" % CARD_RECT[1],
        "#define SKIN_CARD_RIGHT %d" % CARD_RECT[2],
        "#define SKIN_CARD_BOTTOM %d" % CARD_RECT[3],
        "#define SKIN_STRIP_LEFT %d" % STRIP_RECT[0],
        "#define SKIN_STRIP_TOP %d" % STRIP_RECT[1],
        "#define SKIN_STRIP_RIGHT %d" % STRIP_RECT[2],
        "#define SKIN_STRIP_BOTTOM %d" % STRIP_RECT[3],
        "#define SKIN_ROW_LEFT %d" % ROW_X0,
        "#define SKIN_ROW_RIGHT %d" % ROW_X1,
        "#define SKIN_ROW_TOP %d" % ROW_TOP,
        "#define SKIN_ROW_STEP %d" % ROW_STEP,
        "#define SKIN_ROW_HEIGHT %d" % ROW_H,
        "#define SKIN_ROW_ICON_RIGHT %d" % (ICON_X + 32),
        "#define SKIN_ACTION_WIDTH %d" % ACTION_BUTTON[0],
        "#define SKIN_ACTION_HEIGHT %d" % ACTION_BUTTON[1],
        "#define SKIN_SMALL_WIDTH %d" % SMALL_BUTTON[0],
        "#define SKIN_SMALL_HEIGHT %d" % SMALL_BUTTON[1],
        "#define SKIN_OPTIONS_WIDTH %d" % OPT_W,
        "#define SKIN_OPTIONS_HEIGHT %d" % OPT_H,
        "#define SKIN_OPTIONS_HEADER %d" % OPT_HEADER_H,
        "",
    ]
    with open(path, "w") as f:
        f.write("\n".join(lines))


def main():
    os.makedirs(SKIN, exist_ok=True)
    images = [(size, icon_image(render(size, app_icon_pixel))) for size in (32, 16)]
    write_ico(os.path.join(RES, "Quillmoor8.ico"), images)
    write_hand_cursor(os.path.join(SKIN, "hand.cur"))
    write_bmp(os.path.join(SKIN, "main-start.bmp"), main_background(False))
    write_bmp(os.path.join(SKIN, "main-pages.bmp"), main_background(True))
    write_bmp(os.path.join(SKIN, "status.bmp"), status_icon())
    for style in BUTTON_STYLES:
        write_bmp(os.path.join(SKIN, "button-%s.bmp" % style), button_strip(style))
    for kind in ("clean", "problems", "waiting"):
        write_bmp(os.path.join(SKIN, "list-%s.bmp" % kind), list_image(kind))
    write_bmp(os.path.join(SKIN, "check-on.bmp"), check_box(True))
    write_bmp(os.path.join(SKIN, "check-off.bmp"), check_box(False))
    write_ico(os.path.join(SKIN, "key.ico"), [(16, icon_image(render(16, folder_pixel(False))))])
    write_ico(os.path.join(SKIN, "key-open.ico"), [(16, icon_image(render(16, folder_pixel(True))))])
    write_bmp(os.path.join(SKIN, "options.bmp"), options_background())
    for i in range(4):
        write_bmp(os.path.join(SKIN, "option-%d.bmp" % i), option_picture(i))
    write_layout(os.path.join(RES, "SkinLayout.h"))


if __name__ == "__main__":
    main()
