"""The band a picture is judged against, where a mistake is easy to make:
GL_LINEAR bounds for texture coordinates known only to a fraction of a
texel, at texel edges and across the GL_REPEAT wrap, what pixels along
a triangle's edge may hold, and the allowances pinned: the texture reach
through each pixel's footprint, the fog distance judged one choice per
picture, and a smooth point's rim; and bands kept on disk."""

import glob
import os
import pathlib
import shutil
import tempfile
import time
import unittest

import numpy as np

from expected import bands, fixedfunction, judge, quenby, raster, texels, vorntest

REACH = 1.0 / 8


def texture_with_one_bright_texel():
    """4 by 4 texels, black but for texel (3, 0), in the last column of the
    first row, so that GL_REPEAT blends it into column 0 and row 3."""
    texture = np.zeros((4, 4, 1), np.float32)
    texture[0, 3] = 255
    return texture


def bounds_at(texture, s, t, reach=REACH):
    lo, hi = texels.sample_bounds(texture, np.array([s]), np.array([t]), reach)
    return float(lo[0, 0]), float(hi[0, 0])


class BilinearBounds(unittest.TestCase):

    def setUp(self):
        self.texture = texture_with_one_bright_texel()
        self.rows = [[(int(v[0]),) for v in row] for row in self.texture]

    def test_exact_samples_at_centres_edges_and_across_the_wrap(self):
        def sample(s, t):
            return texels.sample_linear(self.rows, s, t)[0]
        self.assertAlmostEqual(sample(3.5 / 4, 0.5 / 4), 255)
        # Halfway between the bright texel and its neighbours, on either
        # side of the wrap in s and in t.
        self.assertAlmostEqual(sample(3.0 / 4, 0.5 / 4), 127.5)
        self.assertAlmostEqual(sample(0.0, 0.5 / 4), 127.5)
        self.assertAlmostEqual(sample(1.0, 0.5 / 4), 127.5)
        self.assertAlmostEqual(sample(3.5 / 4, 0.0), 127.5)
        self.assertAlmostEqual(sample(0.0, 0.0), 63.75)
        self.assertAlmostEqual(sample(-0.5 / 4, 4.5 / 4), 255)

    def test_a_peak_between_the_ends_is_reached(self):
        # The filter peaks at the texel centre: the band's top is the
        # texel, its bottom an eighth of a texel away on both axes.
        lo, hi = bounds_at(self.texture, 3.5 / 4, 0.5 / 4)
        self.assertAlmostEqual(hi, 255, places=3)
        self.assertAlmostEqual(lo, 255 * (7 / 8) ** 2, places=3)
        # Just across the wrap from the peak, the same holds.
        self.assertEqual(bounds_at(self.texture, -0.5 / 4, 4.5 / 4), (lo, hi))

    def test_bounds_hold_every_sample_within_reach_and_no_more(self):
        rng = np.random.default_rng(7)
        rough = np.zeros((8, 16, 3), np.float32)
        rough[:] = rng.integers(0, 256, rough.shape)
        rows = [[tuple(int(c) for c in v) for v in row] for row in rough]
        s, t = rng.uniform(-1, 2, 60), rng.uniform(-1, 2, 60)
        # Positions on texel centres and on the lines between texels.
        s[:8], t[:8] = (np.arange(8) + 0.5) / 16, np.arange(8) / 8
        lo, hi = texels.sample_bounds(rough, s, t, REACH)
        steps = np.linspace(-REACH, REACH, 33)
        for k in range(len(s)):
            seen = np.array([texels.sample_linear(rows, s[k] + a / 16, t[k] + b / 8)
                             for a in steps for b in steps])
            with self.subTest(s=s[k], t=t[k]):
                self.assertTrue(np.all(seen >= lo[k] - 1e-3), (seen.min(axis=0), lo[k]))
                self.assertTrue(np.all(seen <= hi[k] + 1e-3), (seen.max(axis=0), hi[k]))
                # Samples 1/128 texel apart miss an extreme by at most 2
                # steps on each axis.
                self.assertTrue(np.all(seen.min(axis=0) - lo[k] <= 4))
                self.assertTrue(np.all(hi[k] - seen.max(axis=0) <= 4))


def constant(colour):
    def shade(triangle, weights, under, slopes=None):
        values = np.tile(np.array(colour, np.float32), (len(weights), 1))
        return values, values
    return shade


class EdgeMargin(unittest.TestCase):
    """A quad of two triangles over a 40 by 30 window cleared black. Its
    left edge x = 10.45 passes 0.05 px from the centres of column 10, its
    right edge x = 30.3 lies 0.8 px right of column 29's centres and 0.2 px
    left of column 30's."""

    CLEAR, INK = (0, 0, 0), (200, 100, 50)

    def setUp(self):
        corners = [(10.45, 5.0), (30.3, 5.0), (30.3, 25.0), (10.45, 25.0)]
        mesh = raster.Mesh(corners, [1.0] * 4, [(0, 1, 2), (0, 2, 3)])
        self.band = bands.Band(40, 30, self.CLEAR)
        self.band.draw(mesh, constant(self.INK))
        self.row = 30 - 15    # image row of window y = 14.5, mid-height

    def test_centres_near_the_outline_span_both_colours(self):
        band, row = self.band, self.row
        self.assertTrue(band.judged.all())
        self.assertEqual(tuple(band.lo[row, 10]), self.CLEAR)
        self.assertEqual(tuple(band.hi[row, 10]), self.INK)
        for column, colour in ((9, self.CLEAR), (11, self.INK), (29, self.INK),
                               (30, self.CLEAR)):
            with self.subTest(column=column):
                self.assertEqual(tuple(band.lo[row, column]), colour)
                self.assertEqual(tuple(band.hi[row, column]), colour)

    def test_the_shared_diagonal_is_judged(self):
        inside = self.band.judged[7:24, 11:30]
        self.assertTrue(inside.all())
        self.assertTrue((self.band.lo[7:24, 11:30] == self.INK).all())

    def test_only_pixels_past_the_tolerance_differ(self):
        band = self.band.freeze()
        picture = band.expected()
        picture[self.row, 11] = (203, 100, 50)     # within 3 steps
        picture[self.row, 12] = (200, 96, 50)      # 4 steps off
        picture[self.row, 10] = (7, 7, 7)          # between clear and ink
        picture[self.row + 1, 10] = (7, 7, 60)     # neither: 10 steps off
        found = bands.Comparison(band, picture, 3)
        self.assertEqual((found.differing, found.worst), (2, 10))
        self.assertEqual(found.examples,
                         [((10, self.row + 1), "(0..200, 0..100, 0..50)", (7, 7, 60)),
                          ((12, self.row), "(200, 100, 50)", (200, 96, 50))])
        self.assertEqual(tuple(found.mask[self.row, 12]), bands.DIFFERS)
        self.assertEqual(tuple(found.mask[self.row, 10]), (2, 2, 2))


class Allowances(unittest.TestCase):
    """Each allowance as wide as it must be and no wider: a picture just
    beyond it fails, so doubling any of them fails a test."""

    def test_texture_reach_is_an_eighth_pixel_and_a_sixteenth_texel(self):
        # Random texels drawn one to a pixel: a sample 0.22 texels off lies
        # beyond 1/8 pixel (1/8 texel here) plus 1/16 texel.
        rng = np.random.default_rng(3)
        texture = rng.integers(0, 256, (64, 64, 3)).astype(np.float32)
        band = bands.Band(64, 64, (0, 0, 0))
        corners = np.array([(0, 0), (1, 0), (1, 1), (0, 1)], float)
        mesh = raster.Mesh(corners * 64, [1.0] * 4, [(0, 1, 2), (0, 2, 3)])

        band.draw(mesh, lambda tri, weights, under, slopes: texels.extremes(
            texture, *(weights @ corners[list(tri)]).T, texels.footprint_reach(
                texture, *(k @ corners[list(tri)] for k in slopes)),
            lambda samples, index: samples, monotonic=True))
        band.freeze()
        rows = [[tuple(v) for v in row] for row in texture]
        centres = (np.arange(64) + 0.5) / 64
        for shift, differing in ((0.0, False), (0.22, True)):
            # Window row r (from the top) has t = 1 - (r + 0.5) / 64.
            picture = np.array([[texels.sample_linear(rows, s + shift / 64, 1 - t + shift / 64)
                                 for s in centres] for t in centres])
            found = bands.Comparison(band, np.rint(picture).astype(np.uint8), 3)
            inner = found.mask[2:-2, 2:-2]
            with self.subTest(shift=shift):
                self.assertEqual((inner == bands.DIFFERS).all(axis=2).any(), differing)

    def test_fog_distance_is_one_choice_per_picture(self):
        class Kept:
            dial, band = None, staticmethod(lambda key, make: make().freeze())
        settings = {"fog": "exp2", "texture": False}
        state = vorntest.settings_of("vorntest", settings)
        choices = fixedfunction.choices(state, 96, 96)
        self.assertEqual([c.fog for c in choices], [fixedfunction.EYE_PLANE,
                                                    fixedfunction.RADIAL_VERTICES,
                                                    fixedfunction.RADIAL_FRAGMENTS])

        class Image:
            width = height = 96

            def __init__(self, pixels):
                self.data = pixels.tobytes()
        for choice in choices:
            picture = vorntest.band("vorntest", settings, 96, 96, choice=choice).expected()
            verdict = vorntest.verdict("vorntest", settings, Image(picture), 0, 3, Kept())
            self.assertEqual(verdict.status, "PASS", choice)
            self.assertTrue(verdict.note.endswith("fits " + choice.text()), verdict.note)
        # Radial fog 15 % too dense fits no choice.
        kept = fixedfunction.FOG_DENSITY
        fixedfunction.FOG_DENSITY = kept * 1.15
        try:
            picture = vorntest.band("vorntest", settings, 96, 96, choice=choices[2]).expected()
        finally:
            fixedfunction.FOG_DENSITY = kept
        verdict = vorntest.verdict("vorntest", settings, Image(picture), 0, 3, Kept())
        self.assertEqual(verdict.status, "FAIL")

    def test_a_smooth_point_reaches_the_squares_its_circle_touches(self):
        class Field:
            # A star of size 4 (radius 2, or 2.025 with the size rounded up
            # by half the granularity) at window (20.5, 19.965).
            stars = [[20.5 / 40, 19.965 / 40, 4.0, 0.0, 1.0]]
        band = quenby.band(Field(), 40, 40)
        # Column 20's square at window y 17..18 lies 1.965 below the centre:
        # it may be lit; the one at 22..23, 2.035 above it, may not.
        self.assertEqual((tuple(band.lo[22, 20]), tuple(band.hi[22, 20])),
                         ((0, 0, 0), (255, 255, 255)))
        self.assertEqual(tuple(band.hi[17, 20]), (0, 0, 0))
        self.assertEqual(tuple(band.lo[20, 20]), (255, 255, 255))
        # A pixel wholly inside the disc must be lit, unless the renderer's
        # smooth points go no larger than 1 (all OpenGL 1.1 promises).
        self.assertEqual(tuple(band.lo[19, 20]), (255, 255, 255))
        small = quenby.band(Field(), 40, 40, sizes=(1.0, 1.0))
        self.assertEqual(tuple(small.lo[19, 20]), (0, 0, 0))
        self.assertEqual(tuple(small.hi[22, 20]), (0, 0, 0))


class KeptBands(unittest.TestCase):
    """Bands kept on disk are a cache: read back only whole and of their
    own key, a pack's bands read and never written, and the renderer's
    point size granularity part of the starfield's band."""

    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)
        self.bin_dir = os.path.join(self.folder, "bin")
        os.makedirs(self.bin_dir)
        for _, name, side, bits in judge.TEXTURE_FILES:
            with open(os.path.join(self.bin_dir, name), "wb") as f:
                f.write(bytes(range(256)) * (side * side * bits // 8 // 256))
        self.made = []

    def make(self, shade=40):
        self.made.append(shade)
        return bands.Band(8, 6, (shade, 2 * shade, 3))

    def kept(self, key, **where):
        return judge.load_texels(self.bin_dir, **where).band(key, lambda: self.make())

    def test_a_band_is_read_back_only_whole_and_of_its_own_key(self):
        cache = os.path.join(self.folder, "cache")
        first = self.kept(("p", 1), cache=cache)
        again = self.kept(("p", 1), cache=cache)
        self.assertEqual(len(self.made), 1)
        for name in ("lo", "hi", "judged", "drawn"):
            np.testing.assert_array_equal(getattr(first, name), getattr(again, name))
        [path] = glob.glob(os.path.join(cache, "*.npz"))
        self.kept(("p", 2), cache=cache)
        other = (set(glob.glob(os.path.join(cache, "*.npz"))) - {path}).pop()
        whole, of_other_key = (pathlib.Path(p).read_bytes() for p in (path, other))
        for broken in (whole[:len(whole) // 2], b"not a band", of_other_key):
            with open(path, "wb") as f:
                f.write(broken)
            self.kept(("p", 1), cache=cache)
        self.assertEqual(len(self.made), 5)
        # Bands of another model's arrays: unsigned but not bytes.
        np.savez(path, lo=first.lo.astype(np.uint16), hi=first.hi, judged=first.judged,
                 drawn=first.drawn, key=np.load(other)["key"])
        self.kept(("p", 1), cache=cache)
        self.assertEqual(len(self.made), 6)

    def test_a_cache_drops_other_models_bands_a_day_old(self):
        cache = os.path.join(self.folder, "cache")
        self.kept(("p", 1), cache=cache)
        os.utime(glob.glob(os.path.join(cache, "*.npz"))[0], (0, 0))
        for name, age in (("0" * 16 + "-old.npz", 2 * 86400), ("0" * 16 + "-new.npz", 0)):
            with open(os.path.join(cache, name), "wb"):
                pass
            os.utime(os.path.join(cache, name), (time.time() - age,) * 2)
        judge.load_texels(self.bin_dir, cache=cache)
        self.assertEqual(len(os.listdir(cache)), 2)
        self.assertFalse(os.path.exists(os.path.join(cache, "0" * 16 + "-old.npz")))

    def test_a_packs_bands_are_read_and_never_written(self):
        packed, cache = os.path.join(self.folder, "pack"), os.path.join(self.folder, "cache")
        recording = judge.load_texels(self.bin_dir)
        recording.keep_in(packed)
        recording.band(("p", 1), self.make)
        os.chmod(packed, 0o555)
        self.addCleanup(os.chmod, packed, 0o755)
        replay = judge.load_texels(self.bin_dir, cache=cache, packed=packed)
        replay.band(("p", 1), self.make)
        self.assertEqual(len(self.made), 1)
        self.assertFalse(os.path.exists(cache))
        replay.band(("p", 2), self.make)
        self.assertEqual(len(os.listdir(packed)), 1)
        self.assertEqual(len(os.listdir(cache)), 1)

    def test_the_renderers_point_size_granularity_reaches_the_starfield(self):
        field = quenby.Field()
        field.advance_to(5)
        # Every star at its largest under a granularity of 0.6: the size
        # rounded by up to 0.3, which the default 0.1 does not allow.
        coarse = quenby.band(field, quenby.WIDTH, quenby.HEIGHT, 0.6).freeze().hi

        class Image:
            width, height, data = quenby.WIDTH, quenby.HEIGHT, coarse.tobytes()
        for precision, status in (({"point_granularity": "0.6"}, "PASS"), (None, "FAIL"),
                                  ({"point_granularity": "nan"}, "FAIL")):
            verdict = judge.judge("quenby", {}, Image(), 5, 3, None, precision)
            self.assertEqual(verdict.status, status, precision)


if __name__ == "__main__":
    unittest.main()
