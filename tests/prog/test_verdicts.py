"""The every-pixel verdict against faults that break part of a picture the
way a driver could: magnified textures sampled GL_NEAREST, flat colour
from the first vertex, texture coordinates half and a quarter of a texel
off, GL_ONE_MINUS_DST_ALPHA for GL_ONE_MINUS_SRC_ALPHA, and at the
texture's borders: GL_CLAMP_TO_EDGE for GL_REPEAT, the last row and column
lost on upload, the rows stored upside down, and texels 6 steps too bright
(a fault just past the tolerance); fog 15 % too dense, its colour 10 % too
dim, a projection 1 % too large, stars 30 % wide. One report runs each fault on the
states these faults can reach, beside the clean renderer's pictures of them
in the CI report; every state whose capture a fault changes must fail,
every one it leaves alone pass, and each verdict keeps its expected picture
and mismatch mask. Legal variants (the radial fog distance, the
GL_FASTEST perspective hint, texture coordinates interpolated linearly in
window space beside perspective-correct colours) pass every state."""

import json
import os
import re
import unittest

import numpy as np
from PIL import Image

import harness as h
from test_report import clean_report, report_command

# Each fault: its library and the environment that picks its variant.
FAULTS = {"nearest": ("nearestmag", ""), "firstvertex": ("firstvertex", ""),
          "texshift": ("texshift", ""), "reach": ("texshift", "TEXSHIFT_TEXELS=0.25"),
          "blendfactor": ("blendfactor", ""), "wrap": ("wrapclamp", ""),
          "border": ("texupload", "TEXUPLOAD_FAULT=border"),
          "flip": ("texupload", "TEXUPLOAD_FAULT=flip"),
          "bias": ("texupload", "TEXUPLOAD_FAULT=bias"),
          "fogdense": ("fogfault", ""), "fogdim": ("fogfault", "FOGFAULT_COLOUR=0.9"),
          "projscale": ("projscale", "")}
# Renderers that draw what OpenGL 1.1 allows otherwise than Mesa's defaults.
VARIANTS = {"fogradial": ("fogradial", ""), "fasthint": ("fasthint", ""),
            "texlinear": ("texlinear", "")}
STATES = ["vorntest5/start", "vorntest5/m00-texture-off", "vorntest5/m03-blend-on",
          "vorntest5/c-shade-flat+texture-off", "vorntest5/c-fog-exp+texenv-modulate",
          "vorntest/m01-texture-on", "vorntest/c-shade-flat",
          "vorntest/c-texture-on+lighting-on+blend-on", "fendrik/start", "tembrel/start",
          "vorntest5/m20-persp-10", "vorntest/c-texture-on+fog-exp"]
LINE = re.compile(r"^(PASS|FAIL|CRASH|TIMEOUT|SKIP)\s+(\S+)\s+(\S+)")
# A fault changes a picture when it moves more than this share of the
# window's pixels by more than STEPS in some channel, and leaves it alone
# when it moves none of them that far.
SHARE, STEPS = 0.001, 4


def picture(out, renderer, state, kind=""):
    path = os.path.join(out, renderer, state + kind + ".png")
    return np.asarray(Image.open(path).convert("RGB")).astype(np.int16)


def moved(clean, faulty):
    """How many pixels a fault moved by more than STEPS, and whether that
    changed the picture."""
    count = int((np.abs(clean - faulty).max(axis=2) > STEPS).sum())
    return count, count > SHARE * clean.shape[0] * clean.shape[1]


class PartialFaults(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        # The clean renderer's pictures and statuses are the CI report's,
        # which takes every state; this run takes the faulty renderers alone.
        cls.clean = clean_report()[3]
        cls.out = os.path.join(h.ARTIFACT_DIR, "report-verdicts")
        named = []
        for name, (library, variant) in {**FAULTS, **VARIANTS}.items():
            path = os.path.join(h.PRELOAD_DIR, "lib%s.so" % library)
            env = ",".join(filter(None, ["LD_PRELOAD=" + path, variant]))
            named += ["--renderer", "%s=%s" % (name, env)]
        states = "^(%s)$" % "|".join(re.escape(s) for s in STATES)
        cls.result = report_command(cls.out, "--renderers", ",".join({**FAULTS, **VARIANTS}),
                                    "--states", states, "--no-rates", *named)
        cls.status = {}
        for out, renderers in ((cls.clean, {"llvmpipe"}), (cls.out, set(FAULTS) | set(VARIANTS))):
            with open(os.path.join(out, "summary.txt")) as f:
                for line in f:
                    match = LINE.match(line)
                    if match and match.group(2) in renderers:
                        cls.status[(match.group(2), match.group(3))] = match.group(1)

    def test_every_changed_picture_fails_and_every_untouched_one_passes(self):
        for state in STATES:
            self.assertEqual(self.status.get(("llvmpipe", state)), "PASS", state)
        for renderer in FAULTS:
            broken = set()
            for state in STATES:
                with self.subTest(renderer=renderer, state=state):
                    count, faulty = moved(picture(self.clean, "llvmpipe", state),
                                          picture(self.out, renderer, state))
                    status = self.status.get((renderer, state))
                    if faulty:
                        self.assertEqual(status, "FAIL")
                        broken.add(state)
                    elif count == 0:
                        self.assertEqual(status, "PASS")
            # Each fault reaches some of these states and spares others.
            self.assertTrue(broken, renderer)
            self.assertLess(len(broken), len(STATES), renderer)
        self.assertEqual(self.result.returncode, 1)

    def test_every_legal_variant_passes_every_state(self):
        for renderer in VARIANTS:
            for state in STATES:
                with self.subTest(renderer=renderer, state=state):
                    self.assertEqual(self.status.get((renderer, state)), "PASS")

    def test_expected_picture_and_mask_beside_each_capture(self):
        state = "vorntest5/start"
        expected = picture(self.out, "expected", state, "-600x600")
        clean = picture(self.clean, "llvmpipe", state)
        clean_mask = picture(self.clean, "llvmpipe", state, "-mask")
        faulty_mask = picture(self.out, "nearest", state, "-mask")
        # Every pixel is judged, the quad's edges and the texture's wrap
        # seam included: a dimmed capture never reaches the grey of unjudged
        # pixels.
        self.assertFalse((clean_mask == 128).all(axis=2).any())
        self.assertEqual(expected.shape, clean.shape)
        red = np.array([255, 0, 0])
        self.assertFalse((clean_mask == red).all(axis=2).any())
        self.assertTrue((faulty_mask == red).all(axis=2).any())
        with open(os.path.join(self.out, "summary.txt")) as f:
            summary = f.read()
        self.assertRegex(summary, r"FAIL\s+nearest\s+vorntest5/start\s+[1-9]\d* of \d+ "
                                  r"pixels judged differ, worst by \d+")

    def test_each_renderers_point_size_granularity_is_kept_with_its_results(self):
        # The starfield's verdict allows for it; Mesa's Gallium drivers say 0.1.
        with open(os.path.join(self.out, "report.json")) as f:
            renderers = json.load(f)["renderers"]
        self.assertEqual({r["info"].get("point_granularity") for r in renderers}, {"0.1"})


class PointWidth(unittest.TestCase):

    def test_points_wider_than_the_squares_their_circles_touch_fail(self):
        # Stars 15 % wide light only pixels whose squares the right circle
        # touches, which a right renderer may light too; 30 % wide, the
        # largest (6 pixels) reach squares beyond.
        out = os.path.join(h.ARTIFACT_DIR, "report-points")
        library = os.path.join(h.PRELOAD_DIR, "libpointwide.so")
        report_command(out, "--renderers", "wide,wider", "--states", "^quenby/start$",
                       "--no-rates", "--renderer", "wide=LD_PRELOAD=%s,POINTWIDE=1.15" % library,
                       "--renderer", "wider=LD_PRELOAD=%s,POINTWIDE=1.3" % library)
        with open(os.path.join(out, "summary.txt")) as f:
            status = {m.group(2): m.group(1) for m in map(LINE.match, f) if m}
        self.assertEqual(status, {"wide": "PASS", "wider": "FAIL"})


if __name__ == "__main__":
    unittest.main()
