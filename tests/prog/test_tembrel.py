"""The analog clock, run for real at set local times: its hands against the
dial texture, its readout against GLUT's own font, its stretching, its calls
and its shutdown."""

import math
import os
import shutil
import tempfile
import time
import unittest

import harness as h
from expected.tembrel import (CLEAR, HOUR_TIP, HUB, MINUTE_TIP, SECOND_TIP, WHITE, Clock,
                              bearing_of, font_8x13, ink)

TITLE = "Tembrel Demo (Esc to exit)"
SIDE = 240
TOLERANCE = 4                # filtering rounds to 8-bit weights
DAY = "2026-01-01 "


def near_hour_corner(x, y, bearing):
    """Within a pixel and a half of an outer corner of the hour hand's
    rectangle (tail or tip, on the side of the image's first row), where the
    hands image's opaque white corner texels, kept for renderers that texture
    bitmap text from the raster position, show as a faint speck."""
    a = math.radians(bearing)
    along = x * math.sin(a) + y * math.cos(a)
    across = x * math.cos(a) - y * math.sin(a)
    reach = 1.5 * 2.0 / SIDE
    return abs(across - 0.086329) < reach and min(abs(along + 0.115105),
                                                  abs(along - 0.900996)) < reach


def distance(a, b):
    return sum(abs(p - q) for p, q in zip(a, b))


def angle_gap(a, b):
    return abs((a - b + 180) % 360 - 180)


def open_clock(when, **kwargs):
    run = h.start_at("tembrel", DAY + when, preload=kwargs.pop("preload", ("swapcount",)),
                     **kwargs)
    h.find_window(run, TITLE)
    h.place(run)
    return run


def still_picture(run):
    """A capture once the program has read the clock and redrawn."""
    h.wait_swaps(run, 5)
    return h.capture(run)


def readout_probe_dir():
    """A working directory with the real dial and a hands image that is
    opaque white in its first 17 and its last column and clear elsewhere.
    Mesa textures glBitmap text with the coordinates of its own 512 x 32
    bitmap cache, so a readout of up to 8 glyphs reads only those columns
    of the bound hands image: the text comes out opaque white whatever its
    length and place, and the hands show only their tails' ends. What the
    text looks like then depends on the program alone."""
    workdir = tempfile.mkdtemp(prefix="tembrel-readout-")
    shutil.copy(os.path.join(h.BIN_DIR, "Texture2_256X256X24.RAW"), workdir)
    white, clear = b"\xff\xff\xff\xff", b"\xff\xff\xff\x00"
    row = white * 17 + clear * 110 + white
    with open(os.path.join(workdir, "Texture1_128X128X32.RAW"), "wb") as f:
        f.write(row * 128)
    return workdir


class Readout:
    """Checks of the time text against freeglut's own glyphs."""

    font = None

    def assertReads(self, image, text, clock):
        if Readout.font is None:
            Readout.font = font_8x13()
        on, off = ink(Readout.font, text, clock.width, clock.height)
        # The glyphs' pixels are opaque white, whatever lies behind them. The
        # first glyph's second column also reads, an eighth, the hands
        # image's last column, through repeat wrapping, where a hand's tip
        # needs it clear: that column may be an eighth see-through.
        left = math.floor(clock.width / 2 - Readout.font.xorig)
        dim = [(p, image.pixel(*p)) for p in sorted(on)
               if min(image.pixel(*p)) < (220 if p[0] == left + 1 else 250)]
        self.assertEqual(dim, [], "text %r not white" % text)
        # The other pixels of the cells are not, away from the hands' hubs,
        # which may be white near the centre.
        cx, cy = clock.width / 2, clock.height / 2
        white = [p for p in sorted(off) if image.pixel(*p) == WHITE
                 and math.hypot(p[0] + 0.5 - cx, p[1] + 0.5 - cy) > HUB * min(cx, cy) + 2]
        self.assertEqual(white, [], "stray white in the cells of %r" % text)


class SetTimes(unittest.TestCase, Readout):
    """The clock at fixed local times, with the real texture files: each
    run's picture against the dial texture alone, the hands where the time
    puts them."""

    @classmethod
    def setUpClass(cls):
        cls.dial = h.read_raw("Texture2_256X256X24.RAW", 256, 256, 24)
        cls.clock = Clock(SIDE, SIDE)
        cls.dial_alone = [[cls.clock.dial(cls.dial, px, py) for px in range(SIDE)]
                          for py in range(SIDE)]
        cls.images = {}
        for when in ("00:00:00", "12:00:00", "15:30:00", "10:59:00", "11:00:00"):
            run = open_clock(when)
            try:
                cls.images[when] = still_picture(run)
                if when == "15:30:00":
                    cls.swaps = h.swaps(run)
                    # Time for a running clock to tick, then frames.
                    time.sleep(1.5)
                    h.wait_swaps(run, 11)
                    cls.later = h.capture(run)
                    cls.swaps = h.swaps(run) - cls.swaps
                    h.save(cls.images[when], "tembrel.png")
            finally:
                h.kill(run)

    def pixel_at(self, image, radius, bearing):
        a = math.radians(bearing)
        return image.pixel(*self.clock.to_pixel(radius * math.sin(a), radius * math.cos(a)))

    def dial_at(self, radius, bearing):
        a = math.radians(bearing)
        px, py = self.clock.to_pixel(radius * math.sin(a), radius * math.cos(a))
        return self.clock.dial(self.dial, px, py)

    def assertHand(self, image, bearing, radii, red):
        """The pixels along the bearing are a hand's, not the dial's: dark
        navy for the hour and minute hands, red for the second hand. The
        radii avoid the dial's own dark numerals and marks."""
        a = math.radians(bearing)
        for r in radii:
            # The pixel on the hand's axis or one beside it: a thin hand's
            # axis may run between two pixels.
            here = [self.clock.to_pixel(r * math.sin(a) + d * math.cos(a),
                                        r * math.cos(a) - d * math.sin(a))
                    for d in (0, -1.0 / SIDE, 1.0 / SIDE)]
            if red:
                redness, p = max((image.pixel(*p)[0] - image.pixel(*p)[1], p) for p in here)
                dial = self.dial_alone[p[1]][p[0]]
                self.assertGreater(redness, max(80, dial[0] - dial[1] + 50),
                                   "no red hand at radius %.2f, bearing %.1f" % (r, bearing))
            else:
                gap, p = max((distance(image.pixel(*p), self.dial_alone[p[1]][p[0]]), p)
                             for p in here)
                self.assertGreater(gap, 100, "no hand at radius %.2f, bearing %.1f"
                                   % (r, bearing))
                self.assertLess(max(image.pixel(*p)), 80, image.pixel(*p))

    def assertDialElsewhere(self, image, text, hands, hour_bearing):
        """Every pixel of the clock away from the hands, the hubs and the
        text is the dial's own: no stray hand texel shows anywhere."""
        wrong = []
        for py in range(SIDE):
            for px in range(SIDE):
                x, y = self.clock.to_clock(px, py)
                r = math.hypot(x, y)
                if r < HUB or r > 0.97:
                    continue
                if 0 <= px - SIDE // 2 <= 8 * len(text) + 1 and -5 <= SIDE // 2 - py <= 14:
                    continue
                near = near_hour_corner(x, y, hour_bearing)
                for bearing, tip in hands:
                    a = math.radians(bearing)
                    along = x * math.sin(a) + y * math.cos(a)
                    across = x * math.cos(a) - y * math.sin(a)
                    near = near or (abs(across) < 0.05 and along < tip + 0.03)
                if not near:
                    expected = self.dial_alone[py][px]
                    if not h.close_to(image.pixel(px, py), expected, TOLERANCE):
                        wrong.append(((px, py), image.pixel(px, py),
                                      tuple(round(c) for c in expected)))
        self.assertEqual(wrong[:5], [], "%d pixels differ from the dial" % len(wrong))

    def hand_bearing(self, image, expected, inner=0.25, outer=0.42, sector=12):
        """A hand's bearing from its pixels: the mean bearing of its
        difference from the dial over part of its length, in a sector about
        the expected bearing where no other hand lies. A hand that does not
        turn about the centre shows a bearing that is off by its offset over
        the radius, a degree for a pixel."""
        total = weight = 0.0
        for py in range(SIDE):
            for px in range(SIDE):
                x, y = self.clock.to_clock(px, py)
                r = math.hypot(x, y)
                if not inner <= r <= outer:
                    continue
                b = math.degrees(math.atan2(x, y)) % 360
                offset = (b - expected + 180) % 360 - 180
                if abs(offset) > sector:
                    continue
                w = distance(image.pixel(px, py), self.dial_alone[py][px])
                total += w * offset
                weight += w
        self.assertGreater(weight, 0)
        return expected + total / weight

    def test_midnight_all_hands_at_twelve(self):
        image = self.images["00:00:00"]
        self.assertHand(image, 0, (0.25, 0.35, 0.44), red=False)      # hour on top
        self.assertHand(image, 0, (0.6, 0.63), red=False)             # minute beyond it
        self.assertHand(image, 0, (0.81, 0.82), red=True)             # second beyond both
        self.assertDialElsewhere(image, "0:0:0", [(0, SECOND_TIP)], 0)

    def test_noon_same_hands_as_midnight(self):
        image = self.images["12:00:00"]
        self.assertHand(image, 0, (0.25, 0.44, 0.62), red=False)
        self.assertHand(image, 0, (0.82,), red=True)
        self.assertDialElsewhere(image, "12:0:0", [(0, SECOND_TIP)], 0)

    def test_half_past_three_in_the_afternoon(self):
        image = self.images["15:30:00"]
        hour, minute, second = bearing_of(15, 30, 0)
        self.assertEqual((hour, minute, second), (105, 180, 0))
        self.assertHand(image, hour, (0.25, 0.35, 0.44), red=False)
        # The hour hand is the short one: past its tip the dial shows.
        for r in (0.6, 0.7, 0.8):
            self.assertTrue(h.close_to(self.pixel_at(image, r, hour),
                                       self.dial_at(r, hour), TOLERANCE))
        self.assertHand(image, minute, (0.25, 0.4, 0.62), red=False)
        self.assertHand(image, second, (0.3, 0.62, 0.82), red=True)
        self.assertDialElsewhere(image, "15:30:0", [(hour, HOUR_TIP), (minute, MINUTE_TIP),
                                                    (second, SECOND_TIP)], hour)
        # All three turn about the centre.
        self.assertLess(abs(self.hand_bearing(image, hour) - hour), 0.3)
        self.assertLess(abs(self.hand_bearing(image, minute, 0.2, 0.62, 8) - minute), 0.3)
        self.assertLess(angle_gap(self.hand_bearing(image, second, 0.2, 0.8, 5), second), 0.5)

    def test_frozen_time_gives_the_same_picture(self):
        # Redrawn all along, from a clock that stands still.
        self.assertGreater(self.swaps, 10)
        self.assertEqual(self.later.data, self.images["15:30:00"].data)

    def test_hour_hand_moves_half_a_degree_a_minute(self):
        before = self.hand_bearing(self.images["10:59:00"], 329.5)
        after = self.hand_bearing(self.images["11:00:00"], 330.0)
        self.assertLess(abs(before - 329.5), 0.3)
        self.assertLess(abs(after - 330.0), 0.3)
        self.assertLess(abs((after - before) - 0.5), 0.25)

    def test_readout_white_from_the_hands_image(self):
        # The text takes its colour and alpha from the hands image at the
        # texels that the readout reads (see readout_probe_dir).
        for when, text in (("00:00:00", "0:0:0"), ("12:00:00", "12:0:0"),
                           ("15:30:00", "15:30:0"), ("10:59:00", "10:59:0"),
                           ("11:00:00", "11:0:0")):
            self.assertReads(self.images[when], text, self.clock)


class Text(unittest.TestCase, Readout):
    """Where the program puts its text and what it says, with a hands image
    that turns every readout fragment opaque white."""

    @classmethod
    def setUpClass(cls):
        cls.workdir = readout_probe_dir()

    def picture(self, when):
        run = open_clock(when, cwd=self.workdir)
        try:
            return still_picture(run)
        finally:
            h.kill(run)

    def test_time_text_from_the_centre(self):
        for when, text in (("00:00:00", "0:0:0"), ("12:00:00", "12:0:0"),
                           ("15:30:00", "15:30:0"), ("23:59:59", "23:59:59")):
            self.assertReads(self.picture(when), text, Clock(SIDE, SIDE))


class Resized(unittest.TestCase, Readout):

    def test_wide_window_stretches_the_clock_and_keeps_the_text_size(self):
        dial = h.read_raw("Texture2_256X256X24.RAW", 256, 256, 24)
        run = open_clock("00:00:00", cwd=readout_probe_dir())
        try:
            h.wait_swaps(run, 2)
            h.x("xdotool", "windowsize", "--sync", run.window, "480", "240")
            image = still_picture(run)
            clock = Clock(480, 240)
            self.assertEqual((image.width, image.height), (480, 240))
            # The body touches all four edges at their middles; the corners
            # keep the clear colour.
            for px, py in ((0, 119), (0, 120), (479, 119), (240, 0), (239, 239)):
                self.assertTrue(h.close_to(image.pixel(px, py), clock.dial(dial, px, py),
                                           TOLERANCE), (px, py))
            for px, py in ((0, 0), (479, 0), (0, 239), (479, 239), (60, 30), (420, 210)):
                self.assertEqual(image.pixel(px, py), CLEAR, (px, py))
            # Stretched: twice as wide as high, the dial texels where the
            # stretched projection puts them.
            for px in range(20, 200, 9):
                for py in (40, 80, 160, 200):
                    x, y = clock.to_clock(px, py)
                    if math.hypot(x, y) > 0.97:
                        continue
                    self.assertTrue(h.close_to(image.pixel(px, py), clock.dial(dial, px, py),
                                               TOLERANCE), (px, py))
            self.assertReads(image, "0:0:0", clock)
            # An odd size puts the centre between pixels; the text follows.
            h.x("xdotool", "windowsize", "--sync", run.window, "301", "177")
            image = still_picture(run)
            self.assertEqual((image.width, image.height), (301, 177))
            self.assertReads(image, "0:0:0", Clock(301, 177))
            self.assertEqual(h.quit(run), 1)
        finally:
            h.kill(run)


class Shutdown(unittest.TestCase):

    def test_escape_destroys_window_then_frees_slot_0_then_slot_1(self):
        run = open_clock("15:30:00", preload=("swapcount", "shutdownlog"))
        try:
            h.wait_swaps(run, 3)
            h.pointer_into(run)
            h.x("xdotool", "key", "a", "space", "Return")
            h.wait_swaps(run, 3)
            self.assertIsNone(run.proc.poll())
            self.assertEqual(h.quit(run), 1, h.stderr(run))
            self.assertEqual(h.shutdown_log(run), ["glutDestroyWindow", "free 0", "free 1"])
            self.assertEqual(h.stdout(run), b"")
        finally:
            h.kill(run)


class Calls(unittest.TestCase):
    """The GL calls of a frame, from a real trace of a run at 15:30:00."""

    @classmethod
    def setUpClass(cls):
        cls.prog = open_clock("15:30:00", trace=True)
        h.wait_swaps(cls.prog, 5)
        cls.status = h.quit(cls.prog)
        cls.calls = [(name, args) for name, args in h.gl_calls(cls.prog)
                     if not name.startswith("glX")]

    def frame(self):
        """The calls of the last whole frame, from its clear to its flush."""
        clears = [i for i, c in enumerate(self.calls) if c[0] == "glClear"]
        self.assertGreater(len(clears), 2)
        start = clears[-2]
        return self.calls[start:clears[-1]]

    def test_textures_slot_0_hands_then_slot_1_body(self):
        uploads = [args for name, args in self.calls if name == "glTexImage2D"]
        self.assertEqual(len(uploads), 2)
        self.assertIn("internalformat = 4, width = 128, height = 128", uploads[0])
        self.assertIn("format = GL_RGBA", uploads[0])
        self.assertIn("internalformat = 3, width = 256, height = 256", uploads[1])

    def test_one_frame_body_second_minute_hour_then_text(self):
        def position(angle, z):
            return [("glMatrixMode", "mode = GL_MODELVIEW"), ("glLoadIdentity", ""),
                    ("glRotatef", "angle = 0, x = 1, y = 0, z = 0"),
                    ("glRotatef", "angle = 0, x = 0, y = 1, z = 0"),
                    ("glRotatef", "angle = %s, x = 0, y = 0, z = 1" % angle),
                    ("glTranslatef", "x = 0, y = 0, z = %s" % z)]

        def draw(texture, triangles):
            # The trace records each array up to its last vertex used.
            last = 20 * ((146 if triangles == 288 else 4) - 1)
            return [("glEnableClientState", "array = GL_VERTEX_ARRAY"),
                    ("glEnableClientState", "array = GL_TEXTURE_COORD_ARRAY"),
                    ("glBindTexture", "target = GL_TEXTURE_2D, texture = %d" % texture),
                    ("glTexCoordPointer", "size = 2, type = GL_FLOAT, stride = 20, "
                     "pointer = blob(%d)" % (last + 8)),
                    ("glVertexPointer", "size = 3, type = GL_FLOAT, stride = 20, "
                     "pointer = blob(%d)" % (last + 12)),
                    ("glDrawElements", "mode = GL_TRIANGLES, count = %d, type = GL_UNSIGNED_INT, "
                     "indices = blob(%d)" % (3 * triangles, 12 * triangles)),
                    ("glDisableClientState", "array = GL_TEXTURE_COORD_ARRAY"),
                    ("glDisableClientState", "array = GL_VERTEX_ARRAY")]

        expected = ([("glClear", "mask = GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT"),
                     ("glEnable", "cap = GL_BLEND"),
                     ("glBlendFunc", "sfactor = GL_SRC_ALPHA, dfactor = GL_ONE_MINUS_SRC_ALPHA")]
                    + position(0, 0) + draw(2, 288)
                    + position(360, -0.003) + draw(1, 4)
                    + position(180, -0.002) + draw(1, 4)
                    + position(-105, -0.001) + draw(1, 4)
                    + position(0, 0)
                    + [("glColor4ub", "red = 255, green = 255, blue = 255, alpha = 255"),
                       ("glRasterPos2f", "x = 0, y = 0")])
        frame = self.frame()
        self.assertEqual(frame[:len(expected)], expected)
        # Then "15:30:0", one 8 x 14 bitmap per character, and the swap.
        rest = frame[len(expected):]
        bitmaps = [args for name, args in rest if name == "glBitmap"]
        self.assertEqual(len(bitmaps), 7)
        for args in bitmaps:
            self.assertTrue(args.startswith("width = 8, height = 14, xorig = 0, yorig = 3, "
                                            "xmove = 8, ymove = 0"), args)
        drawing = [name for name, _ in rest
                   if not name.startswith(("glPixelStore", "glPushClientAttrib",
                                           "glPopClientAttrib", "glGet"))]
        self.assertEqual(drawing, ["glBitmap"] * 7 + ["glFlush"])

    def test_set_up_before_the_loop(self):
        names = [c for c in self.calls if c[0] not in ("glViewport", "glScissor")]
        second = [i for i, c in enumerate(names) if c[0] == "glEnable"
                  and c[1] == "cap = GL_TEXTURE_2D"][1]
        self.assertEqual(names[second + 1:second + 7], [
            ("glColor4f", "red = 1, green = 1, blue = 1, alpha = 1"),
            ("glClearColor", "red = 0.1, green = 0.1, blue = 0.5, alpha = 1"),
            ("glEnable", "cap = GL_DEPTH_TEST"),
            ("glFrontFace", "mode = GL_CCW"),
            ("glEnable", "cap = GL_CULL_FACE"),
            ("glHint", "target = GL_PERSPECTIVE_CORRECTION_HINT, mode = GL_FASTEST")])
        self.assertNotIn(("glEnable", "cap = GL_BLEND"), names[:second + 7])

    def test_shutdown_ends_the_trace(self):
        self.assertEqual(self.status, 1)
        raw = [name for name, _ in h.gl_calls(self.prog, r"glX")]
        self.assertEqual(raw[-1], "glXDestroyContext")


if __name__ == "__main__":
    unittest.main()
