"""The clock's expected picture: where window pixels lie in clock units,
the body's 24-sided outline filled with the dial's own texels, the three
hands drawn over it from their rectangles turned to a time, and the time's
text as freeglut's 8 x 13 glyphs set from the window's centre; and its
verdict at a fixed time, every pixel against that picture's band."""


import ctypes
import ctypes.util
import math

import numpy as np

from . import bands, raster, texels
from .probes import from_band
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


# The body's outline: a 24-gon of radius 1 whose first corner lies at 9
# o'clock. Inside it the body's image is projected flat along z, u = (1 + x)/2,
# v = (1 + y)/2, on the face and the rim alike, so one fan of triangles from
# the centre draws the same picture as the body's own.
BODY_CORNERS = 24
# Each hand is a rectangle pointing at 12 o'clock: x, y of its corners (tail
# right, tip right, tip left, tail left), the u across those corners and the
# v of its band of the hands' image, from the right side to the left.
HAND_X = (0.086329, 0.086329, -0.10419, -0.10419)
HAND_Y = (-0.115105, 0.900996, 0.900996, -0.115105)
HAND_U = (0.0, 0.999999, 0.999999, 0.0)
HAND_V = {"hour": (0.0, 0.249999), "minute": (0.249999, 0.499999),
          "second": (0.499999, 0.749999)}
# Both windings: one pair faces the viewer, the other is culled.
HAND_TRIANGLES = [(3, 2, 1), (3, 1, 0), (0, 1, 2), (0, 2, 3)]


def window_position(clock_x, clock_y, width, height):
    return ((clock_x + 1) * width / 2, (clock_y + 1) * height / 2)


def band(textures, width, height, when):
    """The band of every pixel of the clock at a time "H:M:S": the body over
    the clear colour, the second, minute and hour hands in the order the
    program draws them (each nearer than the last, so the depth test passes
    them all), blended by their image's alpha, and the text in opaque white."""
    hours, minutes, seconds = (int(v) for v in when.split(":"))
    picture = bands.Band(width, height, CLEAR)
    draw_body(picture, textures.dial)
    hour, minute, second = bearing_of(hours, minutes, seconds)
    for name, bearing in (("second", second), ("minute", minute), ("hour", hour)):
        draw_hand(picture, textures.hands, name, bearing)
    draw_text(picture, "%d:%d:%d" % (hours, minutes, seconds))
    return picture


def draw_body(picture, dial):
    corners = [(math.cos(math.radians(180 + 15 * m)), math.sin(math.radians(180 + 15 * m)))
               for m in range(BODY_CORNERS)]
    points = [(0.0, 0.0)] + corners
    mesh = raster.Mesh([window_position(x, y, picture.width, picture.height)
                        for x, y in points], [1.0] * len(points),
                       [(0, 1 + m, 1 + (m + 1) % BODY_CORNERS) for m in range(BODY_CORNERS)])
    uv = np.array([((1 + x) / 2, (1 + y) / 2) for x, y in points])
    # The image is RGB and the colour white: modulate writes the texel, opaque.
    picture.draw(mesh, texels.texel_shader(dial, uv))


def draw_hand(picture, hands, name, bearing):
    """A hand turned clockwise from 12 by bearing degrees, its image's
    colour blended over what lies beneath by its alpha."""
    turn = math.radians(360.0 - bearing)
    c, s = math.cos(turn), math.sin(turn)
    positions = [window_position(x * c - y * s, x * s + y * c, picture.width, picture.height)
                 for x, y in zip(HAND_X, HAND_Y)]
    v_right, v_left = HAND_V[name]
    uv = np.array(list(zip(HAND_U, (v_right, v_right, v_left, v_left))))
    mesh = raster.Mesh(positions, [1.0] * 4, HAND_TRIANGLES, cull=True)

    def shade(tri, weights, under, slopes):
        corners = uv[list(tri)]
        st = weights @ corners
        reach = texels.footprint_reach(hands, slopes[0] @ corners, slopes[1] @ corners)

        def written(samples, index):
            values = []
            for texel in samples:
                alpha = texel[:, 3:4] / 255
                values += [alpha * texel[:, :3] + (1 - alpha) * beneath[index]
                           for beneath in under]
            return values
        return texels.extremes(hands, st[:, 0], st[:, 1], reach, written)
    picture.draw(mesh, shade)


def draw_text(picture, text):
    """The glyphs' set pixels in white. The first glyph's second column also
    reads an eighth of the hands image's last column, which a hand's tip
    needs clear: there the text may be an eighth see-through."""
    font = font_8x13()
    on, _ = ink(font, text, picture.width, picture.height)
    seethrough = math.floor(picture.width / 2 - font.xorig) + 1
    mask = np.zeros((picture.height, picture.width), bool)
    for col, row in on:
        if 0 <= col < picture.width and 0 <= row < picture.height:
            mask[row, col] = True
    picture.paint(mask, WHITE)
    column = np.zeros_like(mask)
    column[:, seethrough] = mask[:, seethrough]
    picture.lo[column] = 255 - 255 / 8


def verdict(program, settings, image, count, tol, textures, precision=None):
    """The picture against the band of the clock at its time, kept for the
    time and window size."""
    when, size = settings["time"], (image.width, image.height)
    picture = textures.band((program, when, size), lambda: band(textures, *size, when))
    return from_band(picture, image, tol, "; text %r" % "%d:%d:%d" % tuple(
        int(v) for v in when.split(":")))
