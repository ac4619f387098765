"""The texture tester, run for real: its picture against the texture files,
its output, its reaction to input, its calls and its shutdown."""

import os
import shutil
import tempfile
import unittest

import harness as h
from expected.fendrik import CLEAR, expected_large, expected_small

TITLE = "Fendrik Demo (Esc to exit)"
TOLERANCE = 4               # filtering rounds to 8-bit weights


def open_fendrik(**kwargs):
    run = h.start("fendrik", preload=kwargs.pop("preload", ("swapcount",)), **kwargs)
    h.find_window(run, TITLE)
    h.place(run)
    return run


class Picture(unittest.TestCase):
    """One run, many looks at the same still picture."""

    @classmethod
    def setUpClass(cls):
        cls.large = h.read_raw("Texture2_256X256X24.RAW", 256, 256, 24)
        cls.small = h.read_raw("Texture1_64X64X24.RAW", 64, 64, 24)
        cls.prog = open_fendrik(preload=("swapcount", "shutdownlog"))
        h.wait_swaps(cls.prog, 3)
        cls.image = h.capture(cls.prog)
        h.save(cls.image, "fendrik.png")

    @classmethod
    def tearDownClass(cls):
        h.kill(cls.prog)

    def assertPixel(self, px, py, expected):
        actual = self.image.pixel(px, py)
        self.assertTrue(h.close_to(actual, expected, TOLERANCE),
                        "pixel (%d, %d) is %s, expected %s" % (px, py, actual,
                                                               tuple(round(c) for c in expected)))

    def test_window_is_256_square(self):
        self.assertEqual((self.image.width, self.image.height), (256, 256))

    def test_right_column_and_bottom_row_keep_the_clear_colour(self):
        for i in range(0, 256, 5):
            self.assertPixel(255, i, CLEAR)
            self.assertPixel(i, 255, CLEAR)
        self.assertPixel(254, 100, expected_large(self.large, 254, 100))
        self.assertPixel(100, 254, expected_large(self.large, 100, 254))

    def test_small_square_covers_pixels_100_to_162(self):
        for i in range(100, 163, 3):
            for edge in (100, 162):
                self.assertPixel(i, edge, expected_small(self.small, i, edge))
                self.assertPixel(edge, i, expected_small(self.small, edge, i))
        for i in range(100, 163, 3):
            for outside in (99, 163):
                self.assertPixel(i, outside, expected_large(self.large, i, outside))
                self.assertPixel(outside, i, expected_large(self.large, outside, i))

    def test_first_texel_row_runs_along_the_top_left_to_right(self):
        for px in range(0, 255, 4):
            self.assertPixel(px, 0, expected_large(self.large, px, 0))
        for px in range(100, 163, 2):
            self.assertPixel(px, 100, expected_small(self.small, px, 100))
        # Exactly the file's own first texels, not a flipped or mirrored copy.
        self.assertTrue(h.close_to(self.image.pixel(0, 0), self.large[0][0], TOLERANCE))
        self.assertTrue(h.close_to(self.image.pixel(100, 100), self.small[0][0], TOLERANCE))

    def test_texels_across_both_squares(self):
        for py in range(1, 255, 7):
            for px in range(1, 255, 7):
                if 100 <= px <= 162 and 100 <= py <= 162:
                    self.assertPixel(px, py, expected_small(self.small, px, py))
                else:
                    self.assertPixel(px, py, expected_large(self.large, px, py))

    def test_keys_and_mouse_change_nothing(self):
        swaps = h.swaps(self.prog)
        h.pointer_into(self.prog, 120, 120)
        h.x("xdotool", "key", "a", "1", "space", "Return", "F1")
        for button in ("1", "2", "3"):
            h.x("xdotool", "mousedown", button, "mousemove", "--window", self.prog.window,
                "30", "200", "mouseup", button)
        h.wait_swaps(self.prog, 3)
        self.assertIsNone(self.prog.proc.poll())
        self.assertGreater(h.swaps(self.prog), swaps)
        self.assertEqual(h.capture(self.prog).data, self.image.data)
        self.assertEqual(h.stdout(self.prog), b"")   # nothing printed since start

    def test_zz_escape_destroys_window_then_frees_slots_in_order(self):
        status = h.quit(self.prog)
        self.assertEqual(status, 1, h.stderr(self.prog))
        self.assertEqual(h.stdout(self.prog), b"256 x 256 \n")
        self.assertEqual(h.shutdown_log(self.prog), ["glutDestroyWindow", "free 0", "free 1"])


class Visibility(unittest.TestCase):

    def test_hidden_window_requests_no_frames_and_resumes(self):
        run = open_fendrik()
        try:
            # Let freeglut settle its own start-up notifications first.
            h.wait_swaps(run, 50)
            h.x("xdotool", "windowunmap", "--sync", run.window)
            self.assertTrue(h.frames_stop(run, timeout=h.DRIVER.timeout))
            h.x("xdotool", "windowmap", "--sync", run.window)
            h.wait_swaps(run, 5)
            self.assertEqual(h.quit(run), 1)
        finally:
            h.kill(run)

    def test_resize_stretches_both_squares_and_prints_the_size(self):
        run = open_fendrik()
        try:
            h.wait_swaps(run, 2)
            h.x("xdotool", "windowsize", "--sync", run.window, "512", "128")
            h.wait_swaps(run, 5)
            image = h.capture(run)
            self.assertEqual((image.width, image.height), (512, 128))
            # Grid unit 100 is now pixel 200 across and 50 down.
            small = h.read_raw("Texture1_64X64X24.RAW", 64, 64, 24)
            for px, py in ((201, 50), (260, 66), (325, 80)):
                self.assertTrue(h.close_to(image.pixel(px, py),
                                           expected_small(small, px, py, 2, 0.5), TOLERANCE))
            # Grid unit 255 is now pixel 510: two columns keep the clear colour.
            self.assertEqual(image.pixel(510, 60), CLEAR)
            self.assertEqual(image.pixel(511, 60), CLEAR)
            self.assertEqual(h.quit(run), 1)
            self.assertEqual(h.stdout(run), b"256 x 256 \n512 x 128 \n")
        finally:
            h.kill(run)


class TextureFiles(unittest.TestCase):
    """Missing, short and long files: the exact messages, and the program
    runs on with what it has."""

    def run_with(self, small_bytes):
        workdir = tempfile.mkdtemp(prefix="fendrik-files-")
        shutil.copy(os.path.join(h.BIN_DIR, "Texture2_256X256X24.RAW"), workdir)
        if small_bytes is not None:
            with open(os.path.join(workdir, "Texture1_64X64X24.RAW"), "wb") as f:
                f.write(small_bytes)
        run = open_fendrik(cwd=workdir)
        try:
            h.wait_swaps(run, 3)
            image = h.capture(run)
            self.assertEqual(h.quit(run), 1)
        finally:
            h.kill(run)
        return h.stdout(run), image

    def test_missing_file(self):
        out, image = self.run_with(None)
        self.assertEqual(out, b"Cant open file !\n256 x 256 \n")
        # The unfilled buffer is cleared before the upload: a black square.
        self.assertEqual(image.pixel(130, 130), (0, 0, 0))

    def test_short_file(self):
        pattern = bytes((i * 7) % 251 for i in range(12287))
        out, image = self.run_with(pattern)
        self.assertEqual(out, b"Cant read file !\n256 x 256 \n")
        self.assertTrue(h.close_to(image.pixel(100, 100), pattern[0:3], TOLERANCE))
        # Only the last texel's blue byte was never read: it is cleared.
        self.assertTrue(h.close_to(image.pixel(162, 162), pattern[-2:] + b"\0", TOLERANCE))

    def test_long_file_uses_its_first_bytes(self):
        with open(os.path.join(h.BIN_DIR, "Texture1_64X64X24.RAW"), "rb") as f:
            good = f.read()
        out, image = self.run_with(good + b"\xff" * 5000)
        self.assertEqual(out, b"256 x 256 \n")
        self.assertTrue(h.close_to(image.pixel(100, 100), good[0:3], TOLERANCE))


class Calls(unittest.TestCase):
    """The GL calls, from a real trace of a short run."""

    @classmethod
    def setUpClass(cls):
        cls.prog = h.start("fendrik", preload=("swapcount",), trace=True)
        h.find_window(cls.prog, TITLE)
        h.wait_swaps(cls.prog, 5)
        cls.status = h.quit(cls.prog)
        cls.calls = [(name, args) for name, args in h.gl_calls(cls.prog)
                     if not name.startswith("glX")]

    def test_texture_uploads(self):
        names = [c for c in self.calls if c[0] != "glViewport" and c[0] != "glScissor"]
        upload = [
            ("glGenTextures", "n = 1, textures = &1"),
            ("glBindTexture", "target = GL_TEXTURE_2D, texture = 1"),
            ("glTexImage2D", "target = GL_TEXTURE_2D, level = 0, internalformat = 3, "
             "width = 256, height = 256, border = 0, format = GL_RGB, "
             "type = GL_UNSIGNED_BYTE, pixels = blob(196608)"),
            ("glTexParameterf", "target = GL_TEXTURE_2D, pname = GL_TEXTURE_MIN_FILTER, "
             "param = GL_LINEAR"),
            ("glTexParameterf", "target = GL_TEXTURE_2D, pname = GL_TEXTURE_MAG_FILTER, "
             "param = GL_LINEAR"),
            ("glEnable", "cap = GL_TEXTURE_2D"),
        ]
        second = [(n, a.replace("texture = 1", "texture = 2").replace("&1", "&2")
                   .replace("256", "64").replace("196608", "12288")) for n, a in upload]
        fixed = [("glColor4f", "red = 1, green = 1, blue = 1, alpha = 1"),
                 ("glClearColor", "red = 0.1, green = 0.1, blue = 0.5, alpha = 1"),
                 ("glDisable", "cap = GL_DEPTH_TEST"),
                 ("glHint", "target = GL_PERSPECTIVE_CORRECTION_HINT, mode = GL_FASTEST")]
        self.assertEqual(names[:16], upload + second + fixed)

    def test_reshape_then_frames(self):
        frames = [i for i, c in enumerate(self.calls) if c[0] == "glClear"]
        self.assertGreater(len(frames), 2)
        start = self.calls.index(("glViewport", "x = 0, y = 0, width = 256, height = 256"), 16)
        self.assertEqual([c[0] for c in self.calls[start:start + 3]],
                         ["glViewport", "glMatrixMode", "glLoadIdentity"])
        self.assertEqual(self.calls[start + 1][1], "mode = GL_PROJECTION")
        # Every frame is the same sequence; the array pointers appear where
        # the trace records them, at the draw.
        def draw(texture):
            return [
                ("glEnableClientState", "array = GL_VERTEX_ARRAY"),
                ("glEnableClientState", "array = GL_TEXTURE_COORD_ARRAY"),
                ("glBindTexture", "target = GL_TEXTURE_2D, texture = %d" % texture),
                ("glTexCoordPointer", "size = 2, type = GL_FLOAT, stride = 28, pointer = blob(92)"),
                ("glVertexPointer", "size = 3, type = GL_FLOAT, stride = 28, pointer = blob(96)"),
                ("glDrawElements", "mode = GL_QUADS, count = 4, type = GL_UNSIGNED_INT, "
                 "indices = blob(16)"),
                ("glDisableClientState", "array = GL_TEXTURE_COORD_ARRAY"),
                ("glDisableClientState", "array = GL_VERTEX_ARRAY"),
            ]
        frame = ([("glClear", "mask = GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT"),
                  ("glDisable", "cap = GL_BLEND"),
                  ("glMatrixMode", "mode = GL_MODELVIEW"),
                  ("glLoadIdentity", "")] + draw(1) + draw(2) + [("glFlush", "")])
        for i in frames[:-1]:
            self.assertEqual(self.calls[i:i + len(frame)], frame)

    def test_shutdown_ends_the_trace(self):
        self.assertEqual(self.status, 1)
        raw = [name for name, _ in h.gl_calls(self.prog, r"glX")]
        self.assertEqual(raw[-1], "glXDestroyContext")


if __name__ == "__main__":
    unittest.main()
