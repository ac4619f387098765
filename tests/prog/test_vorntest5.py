"""vorntest5 run for real: its checkable menu as GLUT receives it and as a
user drives it, the drag readout, the loader's description line with good
and bad file names, and a long run of menu rebuilds."""

import os
import re
import shutil
import tempfile
import unittest

import harness as h

TITLE = "VornTest Demo (Esc to exit)"
ENTRIES = 35
DEFAULT_LINE = b"<Texture2_256X256X24.RAW> <Texture2> 256 X 256 X 24 bits\n"

LABELS = [b"Texture: Off", b"Texture: On", b"Blend: Off", b"Blend: On",
          b"Lighting: Off", b"Lighting: On", b"Fog: Off", b"Fog: GL_LINEAR",
          b"Fog: GL_EXP", b"Fog: GL_EXP2", b"TexEnv: GL_REPLACE", b"TexEnv: GL_MODULATE",
          b"TexEnv: GL_DECAL", b"TexEnv: GL_BLEND", b"Shade: GL_SMOOTH", b"Shade: GL_FLAT",
          b"Perspective: Off", b"Perspective: On", b"Mouse: Do Rot.", b"Mouse: Do Size"] + [
          b"Persp: %d\xb0" % a for a in (10, 20, 30, 40, 50, 70, 80, 90, 100, 110, 120,
                                          140, 150, 160, 170)]
GROUPS = [range(0, 2), range(2, 4), range(4, 6), range(6, 10), range(10, 14),
          range(14, 16), range(16, 18), range(18, 20), range(20, 35)]
STARTUP_MARKS = {1, 2, 4, 6, 10, 14, 17, 19, 32}
FOG_EXP, FOG_OFF, DO_ROT = 8, 6, 18


def open_vorntest5(args=(), cwd=None, preload=("swapcount",), menulog=False, trace=False,
                   env=None, line_buffered=False):
    env = dict(env or {})
    log = None
    if menulog:
        libs = [h.library(p) for p in preload] + [h.library("menulog")]
        log = os.path.join(tempfile.mkdtemp(prefix="vorntest5-menus-"), "menus")
        env.update({"LD_PRELOAD": ":".join(libs), "MENULOG_FILE": log})
        preload = ()
    run = h.start("vorntest5", args=args, cwd=cwd, preload=preload, trace=trace, env=env,
                  line_buffered=line_buffered)
    run.menulog = log
    h.find_window(run, TITLE)
    h.place(run)
    return run


def move_to(run, px, py):
    """Puts the pointer at pixel (px, py) of the window's drawable area (a
    point outside it lands on the screen, clamped to the screen's edges)."""
    left, top, _, _ = h.geometry(run)
    h.x("xdotool", "mousemove", str(max(left + px, 0)), str(max(top + py, 0)))


def menu_log(run):
    """The menus GLUT was given, in order: (id, [(value, label)]) per build,
    and the ids destroyed before each build."""
    with open(run.menulog, "rb") as f:
        lines = f.read().split(b"\n")[:-1]
    builds, destroyed = [], []
    for line in lines:
        word, _, rest = line.partition(b" ")
        if word == b"create":
            builds.append((int(rest), []))
        elif word == b"entry":
            value, _, label = rest.partition(b" ")
            builds[-1][1].append((int(value), label))
        elif word == b"destroy":
            destroyed.append((len(builds), int(rest)))
        elif word == b"attach":
            assert rest == b"2", line           # GLUT_RIGHT_BUTTON
    return builds, destroyed


def marked(entries):
    return {i for i, (_, label) in enumerate(entries) if label.startswith(b"[x] ")}


def readouts(out):
    """The (xyzSize, yRot) texts of the readout pairs, after the loader's line."""
    pairs = re.findall(rb" xyzSize=(-?\d+\.\d{6}) \n yRot=(-?\d+\.\d{6}) \n", out)
    rebuilt = b"".join(b" xyzSize=%s \n yRot=%s \n" % p for p in pairs)
    return pairs, rebuilt


class Menu(unittest.TestCase):
    """One run: the menu GLUT was handed at start-up and after choices made
    with the real pop-up menu."""

    @classmethod
    def setUpClass(cls):
        cls.run_ = open_vorntest5(menulog=True, preload=("swapcount",))
        h.wait_swaps(cls.run_, 3)

    @classmethod
    def tearDownClass(cls):
        h.kill(cls.run_)

    def test_1_startup_menu_lists_the_table_with_its_marks(self):
        builds, destroyed = menu_log(self.run_)
        self.assertEqual(len(builds), 1)
        self.assertEqual(destroyed, [])
        entries = builds[0][1]
        self.assertEqual([v for v, _ in entries], list(range(ENTRIES)))
        self.assertEqual([label[4:] for _, label in entries], LABELS)
        self.assertEqual(marked(entries), STARTUP_MARKS)
        for i, (_, label) in enumerate(entries):
            self.assertIn(label[:4], (b"[x] ", b"[_] "))
            if label[4:].startswith(b"Persp:"):
                self.assertTrue(label.endswith(b"0\xb0"), label)   # one Latin-1 byte

    def test_2_choosing_fog_exp_moves_the_mark_and_rebuilds(self):
        h.choose_menu_entry(self.run_, FOG_EXP, ENTRIES)
        builds, destroyed = menu_log(self.run_)
        self.assertEqual(len(builds), 2)
        # The old menu goes first, by its own id, then the new one is built.
        self.assertEqual(destroyed, [(1, builds[0][0])])
        self.assertEqual(marked(builds[1][1]), STARTUP_MARKS - {FOG_OFF} | {FOG_EXP})
        self.assertEqual([v for v, _ in builds[1][1]], list(range(ENTRIES)))

    def test_3_choosing_the_marked_entry_changes_nothing(self):
        before = menu_log(self.run_)
        h.choose_menu_entry(self.run_, FOG_EXP, ENTRIES)
        h.choose_menu_entry(self.run_, 32, ENTRIES)      # Persp: 150, marked from the start
        h.wait_swaps(self.run_, 3)
        self.assertEqual(menu_log(self.run_), before)

    def test_4_many_rebuilds_keep_35_entries_in_table_order(self):
        for index in (0, 1, 15, 14, 16, 17, 20, 32, 7, 6):
            h.choose_menu_entry(self.run_, index, ENTRIES)
        builds, destroyed = menu_log(self.run_)
        self.assertEqual(len(builds), 12)
        self.assertEqual(len(destroyed), 11)
        for _, entries in builds:
            self.assertEqual([v for v, _ in entries], list(range(ENTRIES)))
            self.assertEqual([label[4:] for _, label in entries], LABELS)
        self.assertEqual(marked(builds[-1][1]), STARTUP_MARKS)
        for group in GROUPS:
            for _, entries in builds:
                self.assertEqual(len(marked(entries) & set(group)), 1)

    def test_5_escape_after_the_choices(self):
        self.assertEqual(h.quit(self.run_), 1, h.stderr(self.run_))
        self.assertEqual(h.stdout(self.run_), DEFAULT_LINE)


class Readout(unittest.TestCase):
    """Left drags print two lines per idle call while the button is held,
    read as printed: each step of a drag waits for its readout."""

    def setUp(self):
        self.run_ = open_vorntest5(line_buffered=True)
        h.wait_swaps(self.run_, 3)

    def tearDown(self):
        h.kill(self.run_)

    def pairs(self):
        return readouts(h.stdout(self.run_))[0]

    def printed(self):
        return len(self.pairs())

    def drag(self, button, start, *points, held=lambda: None):
        """Presses button at start (window pixels), moves through points,
        calls held(), releases. A left drag returns the pairs printed once
        xdotool returned and once 40 frames in a row printed none."""
        left, before = button == 1, self.printed()
        move_to(self.run_, *start)
        h.x("xdotool", "mousedown", str(button))
        if left:
            h.wait_until(self.run_, lambda: self.printed() > before, "readout of the press")
        for p in points:
            shown = self.pairs()[-1] if left else None
            move_to(self.run_, *p)
            if left:
                h.wait_until(self.run_, lambda: self.pairs()[-1] != shown, "new readout")
        held()
        h.x("xdotool", "mouseup", str(button))
        if left:
            return (h.at_one_frame(self.run_, self.printed)[1],
                    h.wait_unchanged(self.run_, self.printed, 40, "the readout"))

    def finish(self):
        self.assertEqual(h.quit(self.run_), 1, h.stderr(self.run_))
        out = h.stdout(self.run_)
        self.assertTrue(out.startswith(DEFAULT_LINE), out[:200])
        pairs, rebuilt = readouts(out[len(DEFAULT_LINE):])
        self.assertEqual(rebuilt, out[len(DEFAULT_LINE):], "nothing but readout pairs")
        return pairs

    def test_size_drag_prints_every_idle_call_while_held_and_stops_at_release(self):
        # One pair per idle call, and one idle call per frame, while held
        # without motion: frames and pairs counted at two moments.
        counts = []

        def held():
            counts.append(h.at_one_frame(self.run_, self.printed))
            h.wait_swaps(self.run_, 40)
            counts.append(h.at_one_frame(self.run_, self.printed))
        # The press comes before any drag motion: fy is still 0.
        released, quiet = self.drag(1, (300, 300), (150, 450), held=held)
        (frames, printed), later = counts
        self.assertAlmostEqual(later[1] - printed, later[0] - frames, delta=1)
        # The release stops the readout at once, and for good.
        self.assertLessEqual(quiet - released, 2)
        pairs = self.finish()
        self.assertEqual(len(pairs), quiet)
        self.assertEqual(pairs[0], (b"0.000000", b"208.800003"))
        self.assertEqual(pairs[-1], (b"0.500000", b"208.800003"))
        values = [p[0] for p in pairs]
        self.assertEqual(values, sorted(values, key=lambda v: v != b"0.000000"))
        self.assertGreater(values.count(b"0.500000"), 10)

    def test_rotation_prints_the_angle_before_the_wrap_and_clamps_outside(self):
        h.choose_menu_entry(self.run_, DO_ROT, ENTRIES)
        self.drag(1, (300, 300), (150, 300))          # fx -0.5: 450, stored as 90
        self.drag(1, (150, 300), (0, 300))            # left edge: 540
        self.drag(1, (0, 300), (900, 700))            # beyond the right edge: 180
        pairs = self.finish()
        angles = [p[1] for p in pairs]
        self.assertEqual(set(p[0] for p in pairs), {b"-0.560000"})
        self.assertEqual(angles[0], b"360.000000")     # the press, before any motion
        for expected in (b"450.000000", b"540.000000", b"180.000000"):
            self.assertIn(expected, angles)
        order = [a for i, a in enumerate(angles) if i == 0 or a != angles[i - 1]]
        self.assertEqual(order[-3:], [b"450.000000", b"540.000000", b"180.000000"])

    def test_size_beyond_the_window_is_clamped(self):
        self.drag(1, (300, 300), (300, 900))
        self.drag(1, (300, 300), (300, 0))
        pairs = self.finish()
        sizes = [p[0] for p in pairs]
        self.assertIn(b"1.000000", sizes)
        self.assertEqual(sizes[-1], b"-1.000000")
        self.assertNotIn(b"1.500000", sizes)

    def test_middle_and_right_buttons_start_no_drag(self):
        self.drag(2, (300, 300), (300, 450))          # fy 0.5, but no readout
        move_to(self.run_, 300, 300)
        h.choose_menu_entry(self.run_, 32, ENTRIES)   # marked already: no change
        h.wait_swaps(self.run_, 10)
        # A left press without motion applies what the middle drag left.
        self.drag(1, (300, 450))
        pairs = self.finish()
        self.assertEqual(pairs[0], (b"0.500000", b"208.800003"))
        self.assertEqual(set(pairs), {(b"0.500000", b"208.800003")})


class DescriptionLine(unittest.TestCase):
    """The loader prints what it read from the name before it opens the file."""

    def run_with(self, args, files=(), trace=False):
        workdir = tempfile.mkdtemp(prefix="vorntest5-files-")
        shutil.copy(os.path.join(h.BIN_DIR, "Texture2_256X256X24.RAW"), workdir)
        for name, data in files:
            path = os.path.join(workdir, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        run = open_vorntest5(args=args, cwd=workdir, preload=("swapcount", "shutdownlog"),
                             trace=trace)
        try:
            h.wait_swaps(run, 3)
            status = h.quit(run)
        finally:
            h.kill(run)
        self.assertEqual(status, 1, h.stderr(run))
        return run

    def uploads(self, run):
        return [a for n, a in h.gl_calls(run, "glTexImage2D")]

    def test_default_file_and_two_or_more_arguments(self):
        for args in ((), ("Texture2_256X256X24.RAW",), ("a_1X1X24.RAW", "b_2X2X24.RAW")):
            with self.subTest(args=args):
                run = self.run_with(args)
                self.assertEqual(h.stdout(run), DEFAULT_LINE)
                self.assertEqual(h.shutdown_log(run), ["glutDestroyWindow", "free 0"])

    def test_paths_with_slash_and_backslash_show_whole_and_parse_the_base(self):
        with open(os.path.join(h.BIN_DIR, "Texture1_128X128X32.RAW"), "rb") as f:
            data = f.read()
        for name in ("sub/Texture1_128X128X32.RAW", "dos\\Texture1_128X128X32.RAW"):
            with self.subTest(name=name):
                run = self.run_with((name,), files=[(name, data)])
                self.assertEqual(h.stdout(run), b"<%s> <Texture1> 128 X 128 X 32 bits\n"
                                 % name.encode())

    def test_non_square_name_reads_its_bytes_into_a_non_square_texture(self):
        data = bytes((i * 13) % 256 for i in range(98304))
        run = self.run_with(("Pic_256X128X24.RAW",), files=[("Pic_256X128X24.RAW", data)],
                            trace=True)
        self.assertEqual(h.stdout(run), b"<Pic_256X128X24.RAW> <Pic> 256 X 128 X 24 bits\n")
        self.assertEqual(self.uploads(run), [
            "target = GL_TEXTURE_2D, level = 0, internalformat = 3, width = 256, "
            "height = 128, border = 0, format = GL_RGB, type = GL_UNSIGNED_BYTE, "
            "pixels = blob(98304)"])

    def test_rows_short_of_the_unpack_alignment_go_up_byte_aligned(self):
        # A 2 x 2 RGB image has 6-byte rows: at the GL's default alignment of
        # 4 the upload would read 14 bytes from a 12-byte buffer (which the
        # sanitizer build would report from the GL's copy).
        run = self.run_with(("Odd_2X2X24.RAW",), files=[("Odd_2X2X24.RAW", bytes(range(12)))],
                            trace=True)
        self.assertEqual(h.stdout(run), b"<Odd_2X2X24.RAW> <Odd> 2 X 2 X 24 bits\n")
        calls = h.gl_calls(run, "glPixelStorei|glTexImage2D")
        self.assertEqual([n for n, _ in calls], ["glPixelStorei", "glTexImage2D", "glPixelStorei"])
        self.assertEqual(calls[0][1], "pname = GL_UNPACK_ALIGNMENT, param = 1")
        self.assertIn("width = 2, height = 2", calls[1][1])
        self.assertIn("pixels = blob(12)", calls[1][1])
        self.assertEqual(calls[2][1], "pname = GL_UNPACK_ALIGNMENT, param = 4")

    def test_missing_file_prints_the_line_first(self):
        run = self.run_with(("Gone_64X64X24.RAW",))
        self.assertEqual(h.stdout(run), b"<Gone_64X64X24.RAW> <Gone> 64 X 64 X 24 bits\n"
                         b"Cant open file !\n")
        self.assertEqual(h.shutdown_log(run), ["glutDestroyWindow", "free 0"])

    def test_long_names_are_cut_to_their_buffers(self):
        # The argument is cut to 255 characters before it is parsed, so the
        # cut name's numbers are what the line shows (and are refused).
        name = "d" * 240 + "/Texture1_128X128X32.RAW"
        run = self.run_with((name,))
        self.assertEqual(h.stdout(run), b"<%s> <Texture1> 128 X 1 X 0 bits\n"
                         b"Cant use size !\n" % name[:255].encode())
        long_tex = "T" * 60 + "_4X4X24.RAW"
        run = self.run_with((long_tex,), files=[(long_tex, bytes(48))])
        self.assertEqual(h.stdout(run), b"<%s> <%s> 4 X 4 X 24 bits\n"
                         % (long_tex.encode(), b"T" * 39))

    def test_sizes_no_texture_may_have_are_refused_before_any_allocation(self):
        cases = [("Big_99999999999X256X24.RAW", b"2147483647 X 256 X 24"),
                 ("Zero_0X256X24.RAW", b"0 X 256 X 24"),
                 ("Neg_-64X64X24.RAW", b"-64 X 64 X 24"),
                 ("Deep_64X64X16.RAW", b"64 X 64 X 16"),
                 ("Huge_65536X65536X32.RAW", b"65536 X 65536 X 32")]
        for name, sizes in cases:
            with self.subTest(name=name):
                run = self.run_with((name,), files=[(name, bytes(64 * 64 * 4))],
                                    trace=name.startswith("Huge"))
                texname = name.split("_")[0].encode()
                self.assertEqual(h.stdout(run), b"<%s> <%s> %s bits\nCant use size !\n"
                                 % (name.encode(), texname, sizes))
                # No buffer was made, so none is freed; the slot has a name.
                self.assertEqual(h.shutdown_log(run), ["glutDestroyWindow"])
                if name.startswith("Huge"):
                    self.assertEqual(self.uploads(run), [])
                    self.assertIn(("glGenTextures", "n = 1, textures = &1"),
                                  h.gl_calls(run, "glGenTextures"))


if __name__ == "__main__":
    unittest.main()
