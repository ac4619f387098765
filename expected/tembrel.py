"""The clock's expected picture: where window pixels lie in clock units,
the dial's own texels under the body, the hands' bearings for a time, and
the time's text as freeglut's 8 x 13 glyphs set from the window's centre;
and its verdict at a fixed time, from probes on the dial away from the
hands, on the text and along each hand."""

import ctypes
import ctypes.util
import math

from .probes import from_probes, probe
from .texels import sample_linear

CLEAR = (26, 26, 128)        # 0.1, 0.1, 0.5 in 8-bit channels
WHITE = (255, 255, 255)

# Where each hand reaches, in clock units (radius 1): the hour hand's blade
# ends before the minute hand's, the second hand's beyond both.
HOUR_TIP, MINUTE_TIP, SECOND_TIP = 0.51, 0.80, 0.86
HUB = 0.18                   # hubs and the hands' tails lie within this radius


class Font(ctypes.Structure):
    """freeglut's bitmap font record, read from the library the clock links."""
    _fields_ = [("name", ctypes.c_char_p), ("quantity", ctypes.c_int),
                ("height", ctypes.c_int),
                ("characters", ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))),
                ("xorig", ctypes.c_float), ("yorig", ctypes.c_float)]


def font_8x13():
    lib = ctypes.CDLL(ctypes.util.find_library("glut"))
    return Font.in_dll(lib, "fgFontFixed8x13")


def ink(font, text, width, height):
    """The window pixels (column, row from the top) that the text's glyphs
    set when drawn from the window's centre, in glBitmap's rules: each glyph
    is a bitmap of rows from the bottom, its origin at the raster position
    less (xorig, yorig), the next one 8 pixels on."""
    left = math.floor(width / 2 - font.xorig)
    bottom = math.floor(height / 2 - font.yorig)
    on, off = set(), set()
    for i, ch in enumerate(text):
        face = font.characters[ord(ch)]
        cell = face[0]
        for row in range(font.height):
            bits = face[1 + row]
            for col in range(cell):
                pixel = (left + i * cell + col, height - 1 - (bottom + row))
                (on if bits & (0x80 >> col) else off).add(pixel)
    return on, off


def bearing_of(hour, minute, second):
    """Clockwise from 12, in degrees: the hour hand moves with the minutes."""
    return (30 * (hour % 12 + minute / 60.0)) % 360, 6.0 * minute, 6.0 * second


class Clock:
    """Maps between window pixels and clock units for a window of a size."""

    def __init__(self, width, height):
        self.width, self.height = width, height

    def to_clock(self, px, py):
        return ((px + 0.5) * 2 / self.width - 1, 1 - (py + 0.5) * 2 / self.height)

    def to_pixel(self, x, y):
        return (int((x + 1) * self.width / 2), int((1 - y) * self.height / 2))

    def dial(self, texels, px, py):
        """The body alone: its image is projected flat along z, u = (1 + x)/2,
        v = (1 + y)/2, on the face and the rim alike."""
        x, y = self.to_clock(px, py)
        return sample_linear(texels, (1 + x) / 2, (1 + y) / 2)


def verdict(image, tol, texels, when):
    """The dial's own texels everywhere away from the hands, their hubs and
    the text; every pixel of the text's glyphs opaque white; and along each
    hand, pixels that are not the dial's."""
    clock = Clock(image.width, image.height)
    hours, minutes, seconds = (int(v) for v in when.split(":"))
    text = "%d:%d:%d" % (hours, minutes, seconds)
    hands = list(zip(bearing_of(hours, minutes, seconds),
                     (HOUR_TIP, MINUTE_TIP, SECOND_TIP)))
    results = []
    for py in range(1, image.height, 6):
        for px in range(1, image.width, 6):
            x, y = clock.to_clock(px, py)
            r = math.hypot(x, y)
            if r < HUB or 0.97 < r < 1.03:
                continue
            if r >= 1.03:
                results.append(probe(image, (px, py), CLEAR, tol))
                continue
            cx, cy = image.width // 2, image.height // 2
            if -2 <= px - cx <= 8 * len(text) + 2 and -6 <= cy - py <= 15:
                continue
            if any(near_hand(x, y, bearing, tip) for bearing, tip in hands):
                continue
            results.append(probe(image, (px, py), clock.dial(texels, px, py), tol))
    font = font_8x13()
    on, _ = ink(font, text, image.width, image.height)
    # The first glyph's second column also reads an eighth of the hands
    # image's last column, which a hand's tip needs clear: there the text may
    # be an eighth see-through, as the clock's own tests allow.
    seethrough = math.floor(image.width / 2 - font.xorig) + 1
    for pixel in sorted(on):
        allowed = max(tol, 255 // 8 + tol) if pixel[0] == seethrough else tol
        results.append(probe(image, pixel, WHITE, allowed))
    # Along each blade, the hand's own colour: dark navy for the hour and
    # minute hands, red for the second hand, one or two pixels wide; a probe
    # takes the most hand-like pixel of the 3 x 3 around the blade's line.
    radii = ((0.25, 0.35, 0.45), (0.3, 0.5, 0.74), (0.3, 0.5, 0.8))

    def red(p):
        return p[0] > 150 and p[0] - p[1] > 100

    def dark(p):
        return max(p) < 80
    for (bearing, _), along, test, label in zip(
            hands, radii, (dark, dark, red),
            ("dark hand (all < 80)", "dark hand (all < 80)", "red hand (R > 150, R - G > 100)")):
        a = math.radians(bearing)
        for r in along:
            px, py = clock.to_pixel(r * math.sin(a), r * math.cos(a))
            around = [(px + dx, py + dy) for dy in (-1, 0, 1) for dx in (-1, 0, 1)]
            pixel = next((q for q in around if test(image.pixel(*q))), (px, py))
            observed = image.pixel(*pixel)
            results.append((pixel, label, observed, test(observed)))
    return from_probes(results, len(results), "; text %r" % text)


def near_hand(x, y, bearing, tip):
    a = math.radians(bearing)
    along = x * math.sin(a) + y * math.cos(a)
    across = x * math.cos(a) - y * math.sin(a)
    return abs(across) < 0.06 and along < tip + 0.04
