"""The starfield, run for real: its GL calls frame by frame against a star
table recomputed here from the same unseeded C library generator, its picture
after many frames, a hidden window, its keys and its exit status."""

import math
import unittest

import harness as h
from expected.quenby import HEIGHT, STARCOUNT, WIDTH, Field, footprint, lit, match, on_edge

TITLE = "Zorvex Test Window"


def frames_of(calls):
    """The traced frames: the calls from each glClearColor to its swap."""
    frames, current = [], None
    for name, args in calls:
        if name == "glClearColor":
            current = []
        if current is not None:
            current.append((name, args))
            if name == "glXSwapBuffers":
                frames.append(current)
                current = None
    return frames


def numbers(args):
    return [float(part.split("=")[1]) for part in args.split(",")]


class Calls(unittest.TestCase):
    """One traced run, with keys other than Esc pressed halfway."""

    @classmethod
    def setUpClass(cls):
        cls.prog = h.start("quenby", trace=True, preload=("swapcount",))
        try:
            h.find_window(cls.prog, TITLE)
            h.wait_swaps(cls.prog, 10)
            h.pointer_into(cls.prog)
            h.x("xdotool", "key", "a", "1", "space", "Return", "F1", "Delete", "eacute")
            h.wait_swaps(cls.prog, 10)
            cls.status = h.quit(cls.prog)
        finally:
            h.kill(cls.prog)
        cls.calls = [(name, args) for name, args in h.gl_calls(cls.prog)
                     if not name.startswith("glX") or name == "glXSwapBuffers"]
        cls.frames = frames_of(cls.calls)

    def test_fixed_state_before_the_first_frame(self):
        first = self.calls.index(self.frames[0][0])
        setup = [c for c in self.calls[:first] if c[0] not in ("glViewport", "glScissor")]
        self.assertEqual(setup, [
            ("glMatrixMode", "mode = GL_PROJECTION"),
            ("glLoadIdentity", ""),
            ("glOrtho", "left = 0, right = 1, bottom = 0, top = 1, zNear = 0, zFar = 1"),
            ("glEnable", "cap = GL_POINT_SMOOTH"),
        ])
        self.assertNotIn(("glEnable", "cap = GL_DEPTH_TEST"), self.calls)

    def test_every_frame_draws_300_points_one_by_one(self):
        self.assertGreater(len(self.frames), 15)
        for frame in self.frames:
            self.assertEqual(frame[:2], [("glClearColor", "red = 0, green = 0, blue = 0, alpha = 0"),
                                         ("glClear", "mask = GL_COLOR_BUFFER_BIT")])
            # apitrace records a glFlush of its own right before every swap.
            names = [name for name, _ in frame[2:]]
            self.assertEqual(names, ["glColor3f", "glPointSize", "glBegin", "glVertex3f",
                                     "glEnd"] * STARCOUNT
                             + ["glFlush", "glFlush", "glXSwapBuffers"])
            self.assertEqual({args for name, args in frame if name == "glBegin"},
                             {"mode = GL_POINTS"})

    def test_frames_follow_the_recomputed_star_table(self):
        field = Field()
        initial = [star[:2] for star in field.stars]
        for number, frame in enumerate(self.frames, 1):
            field.step()
            groups = [frame[2 + 5 * n:7 + 5 * n] for n in range(STARCOUNT)]
            for n, (star, group) in enumerate(zip(field.stars, groups)):
                x, y, size, _, shade = star
                where = "frame %d star %d" % (number, n)
                # The trace prints seven significant digits.
                self.assertTrue(h.close_to(numbers(group[0][1]), (shade, shade, 1), 1e-6), where)
                self.assertTrue(h.close_to(numbers(group[1][1]), (size,), 1e-6), where)
                self.assertTrue(h.close_to(numbers(group[3][1]), (x, y, 0), 1e-6),
                                "%s: %s, expected %r" % (where, group[3][1], (x, y)))
                if number == 1:
                    self.assertNotEqual(x, initial[n][0], where)
        # Within the traced frames the nearest stars have re-entered.
        self.assertGreater(sum(star[0] == 1.0 or star[0] > initial[n][0]
                               for n, star in enumerate(field.stars)), 0)

    def test_escape_ends_with_status_1(self):
        self.assertEqual(self.status, 1, h.stderr(self.prog))


class Screen(unittest.TestCase):
    """The window's pixels, frozen twice many frames apart and compared with
    the recomputed table. Every star is blue at full strength, so a star's
    pixels are those with any blue."""

    matched = {}

    @classmethod
    def setUpClass(cls):
        cls.prog = h.start("quenby", preload=("swapcount", "shutdownlog"))
        try:
            h.find_window(cls.prog, TITLE)
            cls.geometry = h.geometry(cls.prog)
            h.wait_swaps(cls.prog, 150)
            cls.first = cls.freeze()
            # 40 frames between the pictures, each of which may be a frame
            # off its count (see h.freeze).
            h.wait_swaps(cls.prog, 42)
            cls.second = cls.freeze()
        except Exception:
            h.kill(cls.prog)
            raise

    @classmethod
    def tearDownClass(cls):
        h.kill(cls.prog)

    @classmethod
    def freeze(cls):
        """A capture of the stopped program with its frame count."""
        image, count = h.freeze(cls.prog)
        return count, image

    def matching_field(self, frozen):
        """The recomputed table of the frame that the capture shows: every
        star away from the edges has a lit pixel, and no pixel is lit away
        from all the stars."""
        if id(frozen) not in self.matched:
            count, image = frozen
            field, dark, stray = match(image, count)
            self.assertEqual((dark[:8], stray[:4]), ([], []),
                             "frames %d to %d: %d stars dark, %d stray pixels"
                             % (count - 1, count + 1, len(dark), len(stray)))
            self.matched[id(frozen)] = field
        return self.matched[id(frozen)]

    def test_window_is_640_by_480_at_300_300(self):
        self.assertEqual(self.geometry, (300, 300, WIDTH, HEIGHT))

    def test_all_300_stars_show_after_many_frames(self):
        h.save(self.first[1], "quenby.png")
        self.assertGreaterEqual(self.first[0], 150)
        self.matching_field(self.first)
        self.matching_field(self.second)

    def test_near_stars_are_large_and_white_far_ones_small_and_blue(self):
        field = self.matching_field(self.first)
        image = self.first[1]
        centres = [(star[0] * WIDTH, star[1] * HEIGHT) for star in field.stars]
        checked = {"large": 0, "small": 0}
        for n, star in enumerate(field.stars):
            x, y = centres[n]
            alone = all(math.hypot(x - cx, y - cy) > 10 for m, (cx, cy) in enumerate(centres)
                        if m != n)
            if not alone or on_edge(star) or 1.5 < star[2] < 5:
                continue
            pixels = [image.pixel(px, py) for px, py in footprint(star) if lit(image, px, py)]
            if star[2] >= 5:
                self.assertGreaterEqual(len(pixels), 12, n)
                centre = image.pixel(int(x), HEIGHT - 1 - int(y))
                shade = round(star[4] * 255)
                self.assertTrue(h.close_to(centre, (shade, shade, 255), 2), (n, centre, shade))
                checked["large"] += 1
            else:
                self.assertLessEqual(len(pixels), 4, n)
                self.assertTrue(all(p[0] < 90 and p[2] == 255 for p in pixels), (n, pixels))
                checked["small"] += 1
        self.assertGreater(checked["large"], 3)
        self.assertGreater(checked["small"], 3)

    # Both captures showed exactly their recomputed frames, so the stars'
    # moves between the two tables are the moves seen on the screen.
    def test_stars_drift_left_large_ones_faster(self):
        before = self.matching_field(self.first)
        after = self.matching_field(self.second)
        frames = after.frames - before.frames
        self.assertGreaterEqual(frames, 40)
        moves = {"large": [], "small": []}
        for old, new in zip(before.stars, after.stars):
            if new[0] < old[0] and new[1] == old[1]:     # not re-entered
                moved = (old[0] - new[0]) * WIDTH / frames
                if old[2] >= 5:
                    moves["large"].append(moved)
                elif old[2] <= 1:
                    moves["small"].append(moved)
        # Pixels per frame: a large star passes the window in a few hundred
        # frames at most, a small one takes thousands.
        self.assertTrue(moves["large"] and moves["small"])
        self.assertGreater(min(moves["large"]), 0.5)
        self.assertLess(max(moves["small"]), 0.2)
        self.assertGreater(min(moves["small"]), 0.1)

    def test_zz_escape_destroys_the_window_and_exits_1(self):
        self.assertEqual(h.quit(self.prog), 1, h.stderr(self.prog))
        self.assertEqual(h.shutdown_log(self.prog), ["glutDestroyWindow"])
        self.assertEqual(h.stdout(self.prog), b"")


class Hidden(unittest.TestCase):

    def test_unmapped_window_keeps_animating(self):
        run = h.start("quenby", preload=("swapcount",))
        try:
            h.find_window(run, TITLE)
            # Let freeglut settle its own start-up notifications first.
            h.wait_swaps(run, 50)
            h.x("xdotool", "windowunmap", "--sync", run.window)
            # Read within a frame of xdotool's return: frames go on after it.
            h.wait_swaps(run, 80)
            self.assertEqual(h.x("xwininfo", "-id", run.window).count("IsUnMapped"), 1)
            h.x("xdotool", "windowmap", "--sync", run.window)
            h.wait_swaps(run, 5)
            self.assertEqual(h.quit(run), 1)
        finally:
            h.kill(run)


if __name__ == "__main__":
    unittest.main()
