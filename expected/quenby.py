"""The starfield's expected picture: the program's star table recomputed
step by step from the same unseeded C library generator, and the pixels
each star may light; and its verdict for a frozen picture against the table
of the frame it shows.

Every star is blue at full strength, so a star's pixels are those with any
blue. With no blending, a smoothed point writes its whole colour wherever
it writes at all: what its coverage decides is only which pixels of its
fringe it writes."""

import math

import numpy as np

from . import bands
from .bands import Comparison, pixels
from .fixedfunction import f32
from .probes import from_band

WIDTH, HEIGHT = 640, 480
STARCOUNT = 300



class Rand:
    """glibc's rand(): its additive feedback generator of degree 31, seeded
    as srand() seeds it, each Rand with its own state. The C library's own
    state is one per process, so fields made by the C library's rand() on
    two threads at once would draw from one sequence and both come out
    wrong."""

    def __init__(self, seed):
        words = [seed]
        for _ in range(30):
            # seed * 16807 mod 2^31 - 1, by Schrage's method as glibc does.
            hi, lo = divmod(words[-1], 127773)
            word = 16807 * lo - 2836 * hi
            words.append(word + 2147483647 if word < 0 else word)
        self.words = words + words[:3]
        for _ in range(310):
            self.next()

    def next(self):
        words = self.words
        value = (words[-31] + words[-3]) & 0xFFFFFFFF
        words.append(value)
        del words[0]
        return value >> 1


class Field:
    """The program's star table, step by step. glibc's default state is that
    of srand(1), so the sequence is the one the unseeded program gets, and
    the top 15 bits of each 31-bit integer make the fraction."""

    def __init__(self):
        self.rand = Rand(1)
        self.stars = []
        for _ in range(STARCOUNT):
            x, y, z = self.fraction(), self.fraction(), self.fraction()
            size = f32(f32(6.0) * (1 - z))
            speed = f32(f32(0.0002) / f32(z + f32(0.001)))
            shade = f32(size / 6.0)
            self.stars.append([x, y, size, speed, shade])
        self.frames = 0

    def fraction(self):
        return (self.rand.next() >> 16) / 32768.0

    def step(self):
        for star in self.stars:
            star[0] = f32(star[0] - star[3])
            if star[0] <= 0:
                star[0] = 1.0
                star[1] = self.fraction()
        self.frames += 1

    def advance_to(self, frames):
        while self.frames < frames:
            self.step()


def lit(image, px, py):
    return 0 <= px < image.width and 0 <= py < image.height and image.pixel(px, py)[2] > 0


def footprint(star, margin=1.0):
    """The pixels (column, row from the top) that a star may light: those whose
    centre lies within its radius (at least the smooth point's least size, 1)
    plus a margin for the smoothed rim."""
    x, y, size = star[0] * WIDTH, star[1] * HEIGHT, max(star[2], 1.0)
    reach = size / 2 + margin
    pixels = []
    for px in range(math.floor(x - reach), math.ceil(x + reach) + 1):
        for row in range(math.floor(y - reach), math.ceil(y + reach) + 1):
            if (px + 0.5 - x) ** 2 + (row + 0.5 - y) ** 2 <= reach ** 2:
                pixels.append((px, HEIGHT - 1 - row))
    return pixels


def on_edge(star):
    x, y = star[0] * WIDTH, star[1] * HEIGHT
    return x > WIDTH - 1.5 or y < 1.5 or y > HEIGHT - 1.5


def frame_misses(image, frames):
    """The table of the given frame against the picture: (table, the stars
    away from the edges that light no pixel, the lit pixels away from every
    star)."""
    field = Field()
    field.advance_to(frames)
    allowed = set()
    for star in field.stars:
        allowed.update(footprint(star))
    dark = [n for n, star in enumerate(field.stars) if not on_edge(star)
            and not any(lit(image, px, py) for px, py in footprint(star, 0.5))]
    stray = [(px, py) for py in range(image.height) for px in range(image.width)
             if image.data[3 * (py * image.width + px) + 2] and (px, py) not in allowed]
    return field, dark, stray


def match(image, count):
    """The table of the frame a frozen picture shows, as frame_misses gives
    it: the frame count is written after each swap, so the picture may be a
    frame ahead of it, or one behind where the swap was still on its way.
    The first that fits wholly, else the one that misses least."""
    tried = []
    for frames in (count - 1, count, count + 1):
        field, dark, stray = frame_misses(image, frames)
        if not dark and not stray:
            return field, dark, stray
        tried.append((len(dark) + len(stray), frames, (field, dark, stray)))
    return min(tried)[2]


# How far a renderer may round a smooth point's size: OpenGL 1.1 (section
# 3.3) uses the nearest supported size, the supported sizes lying
# GL_POINT_SIZE_GRANULARITY (GL_SMOOTH_POINT_SIZE_GRANULARITY) apart, and
# 1.0 is the least that must be supported. Mesa's Gallium drivers report
# 0.1, which a renderer with no granularity of its own is judged by.
POINT_SIZE_GRANULARITY = 0.1


# The smooth point sizes a renderer supports where it does not say: OpenGL
# 1.1 promises only 1, Mesa's drivers go up to 255.
POINT_SIZE_RANGE = (1.0, 255.0)


def band(field, width, height, granularity=POINT_SIZE_GRANULARITY, sizes=POINT_SIZE_RANGE):
    """The band of every pixel for a star table: the black clear colour,
    then each star in table order, which writes its colour (shade, shade, 1)
    over every pixel lying wholly inside its disc and over the pixel that
    holds its centre, may write it over every other pixel whose square its
    circle touches (OpenGL 1.1 section 3.3: a smooth point makes a fragment
    for each pixel square that meets the circle of its diameter around it,
    the size the nearest supported one: within the renderer's range of
    sizes, rounded to its granularity, at least 1), and leaves the rest. A
    star whose centre lies within half a pixel of the window's border may
    be clipped whole."""
    picture = bands.Band(width, height, (0, 0, 0))
    for star in field.stars:
        x, y = star[0] * width, star[1] * height
        size = min(max(star[2], sizes[0]), sizes[1])
        colour = (star[4] * 255, star[4] * 255, 255)
        least = max(size - granularity / 2, 1.0)
        reach = max(size + granularity / 2, 1.0) / 2
        box = picture.window.around([(x, y)], reach + 1)
        if box is None:
            continue
        cx, cy = picture.window.centres(*box)
        distance = np.hypot(cx - x, cy - y)
        # How far the pixel's square lies from the centre at its nearest.
        square = np.hypot(np.maximum(np.abs(cx - x) - 0.5, 0), np.maximum(np.abs(cy - y) - 0.5, 0))
        sure = distance + math.sqrt(0.5) <= least / 2
        sure |= (np.abs(cx - x) <= 0.5) & (np.abs(cy - y) <= 0.5)
        if on_window_border(x, y, width, height):
            sure[:] = False
        picture.paint(sure, colour, box)
        picture.either((square <= reach) & ~sure, colour, box=box)
    return picture


def on_window_border(x, y, width, height):
    return min(x, y, width - x, height - y) < 0.5


def granularity_of(precision):
    """The renderer's smooth point size granularity, where it says one
    (number or text, above 0 and at most 1), else POINT_SIZE_GRANULARITY."""
    try:
        value = float((precision or {}).get("point_granularity"))
    except (TypeError, ValueError):
        return POINT_SIZE_GRANULARITY
    return value if 0 < value <= 1 else POINT_SIZE_GRANULARITY


def sizes_of(precision):
    """The renderer's range of smooth point sizes, where it says one ("least
    largest", the least at most 1, the largest at least 1), else
    POINT_SIZE_RANGE."""
    try:
        least, largest = (float(v) for v in (precision or {}).get("point_range").split())
    except (AttributeError, TypeError, ValueError):
        return POINT_SIZE_RANGE
    return (least, largest) if 0 < least <= 1 <= largest else POINT_SIZE_RANGE


def verdict(program, settings, image, count, tol, textures=None, precision=None):
    """The picture against the band of the frame it shows: the frame count
    is written after each swap, so the picture may be a frame ahead of it,
    or one behind where the swap was still on its way. The frame whose band
    the picture fits best is judged. Each frame's band is kept for the
    frame, window size and the renderer's point size granularity and range
    (precision: what the renderer says of its own)."""
    observed = pixels(image)
    size, granularity = (image.width, image.height), granularity_of(precision)
    sizes = sizes_of(precision)
    best = None
    for frames in (count, count - 1, count + 1):
        def make(frames=frames):
            field = Field()
            field.advance_to(frames)
            return band(field, *size, granularity, sizes)
        picture = textures.band((program, frames, size, granularity, sizes), make) \
            if textures is not None else make().freeze()
        differing = Comparison(picture, observed, tol).differing
        if best is None or differing < best[0]:
            best = (differing, frames, picture)
    _, frames, picture = best
    return from_band(picture, image, tol, "; frame %d" % frames)
