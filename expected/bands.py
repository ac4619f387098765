"""What a correct renderer may write at every pixel of a window: for each
pixel a band, the least and the greatest value of each channel on the
0 to 255 scale, and whether the pixel is judged at all.

A picture is built up as the program draws it: the clear colour first,
then each mesh over what lies beneath, each pixel taking the band its
fragments may have. Where OpenGL leaves the result open between two
outcomes, the band spans both and the pixel is still judged:
- on a mesh's outline, where the rasterisation rules decide coverage (see
  raster.EDGE_MARGIN): the pixel holds what lies beneath or the mesh's
  colour;
- on the fringe of a smoothed point, whose coverage each renderer works
  out its own way (the starfield): the point's colour or what lies beneath.
The judged flag is for a result that OpenGL leaves open with no such
bound; none of the suite's pictures has one, so every pixel is judged.
A picture is compared pixel by pixel: a judged pixel whose channel lies
further outside its band than the tolerance differs."""

import numpy as np

from . import raster

EXAMPLES = 24
NOT_JUDGED = (128, 128, 128)
DIFFERS = (255, 0, 0)
WHOLE = (slice(None), slice(None))


class Band:
    def __init__(self, width, height, colour):
        self.window = raster.Window(width, height)
        self.lo = np.empty((height, width, 3), np.float32)
        self.lo[:] = colour
        self.hi = self.lo.copy()
        self.judged = np.ones((height, width), bool)
        self.drawn = np.zeros((height, width), bool)     # centres inside a mesh

    @classmethod
    def of(cls, lo, hi, judged, drawn):
        """A frozen band from its arrays, as freeze() leaves them."""
        band = cls.__new__(cls)
        band.window = raster.Window(lo.shape[1], lo.shape[0])
        band.lo, band.hi, band.judged, band.drawn = lo, hi, judged, drawn
        return band

    @property
    def width(self):
        return self.window.width

    @property
    def height(self):
        return self.window.height

    def draw(self, mesh, shade, margin=raster.EDGE_MARGIN):
        """Draws a mesh over the band. shade(triangle, weights, under,
        slopes) gives the band (lo, hi), arrays (n, 3), of the colour written
        at n pixels of the triangle with those vertex weights, where under =
        (lo, hi) is the band of what lies beneath them and slopes how the
        weights change per pixel along x and y (see raster.fragments)."""
        shape = self.lo.shape
        lo = np.full(shape, np.inf, np.float32)
        hi = np.full(shape, -np.inf, np.float32)
        inside = np.zeros(shape[:2], bool)
        for tri, box, mask, centre_inside, weights, slopes in raster.fragments(
                mesh, self.window, margin):
            tri_lo, tri_hi = shade(tri, weights, (self.lo[box][mask], self.hi[box][mask]),
                                   slopes)
            # Near an edge that two triangles share, either one may own the
            # pixel: its band spans both.
            box_lo, box_hi, box_inside = lo[box], hi[box], inside[box]
            box_lo[mask] = np.minimum(box_lo[mask], tri_lo)
            box_hi[mask] = np.maximum(box_hi[mask], tri_hi)
            box_inside[mask] |= centre_inside
        edge = raster.near_outline(mesh, self.window, margin)
        covered = inside & ~edge
        self.lo[covered], self.hi[covered] = lo[covered], hi[covered]
        self.drawn |= covered
        reached = edge & np.isfinite(lo[..., 0])
        self.either(reached, lo[reached], hi[reached])

    def paint(self, mask, colour, box=WHOLE):
        """An opaque colour written over every pixel of the mask, which
        covers the box (rows, columns) of the window."""
        self.lo[box][mask] = colour
        self.hi[box][mask] = colour
        self.judged[box][mask] = True

    def either(self, mask, lo, hi=None, box=WHOLE):
        """Pixels that may take the band (lo, hi) or keep their own: the band
        spans both. A pixel stays judged, since either outcome lies in the
        span, unless what it keeps was not judged."""
        hi = lo if hi is None else hi
        box_lo, box_hi = self.lo[box], self.hi[box]
        box_lo[mask] = np.minimum(box_lo[mask], lo)
        box_hi[mask] = np.maximum(box_hi[mask], hi)

    def freeze(self):
        """The band rounded outwards to whole steps, in bytes: what a
        comparison with an 8-bit picture needs, at a third of the memory.
        A frozen band stays as it is."""
        if self.lo.dtype == np.uint8:
            return self
        self.lo = _bytes(np.floor(self.lo))
        self.hi = _bytes(np.ceil(self.hi))
        return self

    def expected(self):
        """The expected picture: the middle of each pixel's band."""
        middle = self.lo.astype(np.float32)
        middle += self.hi
        middle *= 0.5
        return _bytes(np.rint(middle, out=middle))


def _bytes(values):
    """Whole values as bytes, clamped to 0..255 in place (np.clip is several
    times slower on whole images)."""
    np.maximum(values, 0, out=values)
    np.minimum(values, 255, out=values)
    return values.astype(np.uint8)


class Comparison:
    """A picture against a band: how many pixels were judged, how many of
    them differ, the worst difference in steps, up to EXAMPLES of the worst
    differing pixels as (pixel, band text, observed), and the mismatch mask."""

    def __init__(self, band, observed, tolerance):
        obs = observed.astype(np.int16)
        excess = np.maximum(band.lo.astype(np.int16) - obs, obs - band.hi.astype(np.int16))
        excess = np.maximum(excess.max(axis=2), 0)
        bad = band.judged & (excess > tolerance)
        self.judged = int(band.judged.sum())
        self.differing = int(bad.sum())
        self.worst = int(excess[band.judged].max()) if self.judged else 0
        rows, cols = np.nonzero(bad)
        order = np.argsort(-excess[rows, cols], kind="stable")[:EXAMPLES]
        self.examples = [((int(cols[i]), int(rows[i])),
                          band_text(band.lo[rows[i], cols[i]], band.hi[rows[i], cols[i]]),
                          tuple(int(c) for c in observed[rows[i], cols[i]]))
                         for i in order]
        # The capture dimmed, unjudged pixels grey and differing ones red.
        self.mask = observed // 3
        self.mask[~band.judged] = NOT_JUDGED
        self.mask[bad] = DIFFERS


def band_text(lo, hi):
    return "(%s)" % ", ".join("%d" % a if a == b else "%d..%d" % (a, b)
                              for a, b in zip(lo, hi))


def pixels(image):
    """An 8-bit RGB picture (progdriver.images.Image) as an array (rows,
    columns, 3)."""
    return np.frombuffer(image.data, np.uint8).reshape(image.height, image.width, 3)
