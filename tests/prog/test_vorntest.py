"""vorntest, the first version, run for real: its default-size window, the
untextured first frame, the generated pattern once texturing is chosen from
its 16-entry menu, and a silent left drag that turns the quad."""

import os
import tempfile
import time
import unittest

import harness as h

TITLE = "VornTest Demo (Esc to exit)"
ENTRIES = 16
CLEAR = (26, 26, 128)
TOLERANCE = 6
TEXTURE_ON = 1
E = 0.9599999                  # texture coordinates end short of the pattern's edge


def pattern(size=256):
    """The generated texture as rows of RGBA texels: opaque grey ramps below
    column size/2, white with the ramp as alpha from there on."""
    lim = size // 2
    rows = []
    for r in range(size):
        row = []
        for c in range(size):
            v = (r * c // 8) % 256
            row.append((v, v, v, 255) if c < lim else (255, 255, 255, v))
        rows.append(row)
    return rows


def quad_texcoord(px, py, size=300):
    """(s, t) at a pixel centre of the unturned-by-the-drag first view: the
    identity projection with the quad turned 180 degrees about the vertical
    axis, so window x runs against the quad's own x."""
    ndc_x = (px + 0.5) / (size / 2) - 1
    ndc_y = 1 - (py + 0.5) / (size / 2)
    return E * (-ndc_x + 0.95) / 1.9, E * (ndc_y + 0.95) / 1.9


class Vorntest(unittest.TestCase):

    def setUp(self):
        self.menulog = os.path.join(tempfile.mkdtemp(prefix="vorntest-menus-"), "menus")
        libs = [os.path.join(h.TOOLS_DIR, "libswapcount.so"), h.tool_library("menulog")]
        self.run_ = h.start("vorntest", env={"LD_PRELOAD": ":".join(libs),
                                             "MENULOG_FILE": self.menulog})
        h.find_window(self.run_, TITLE)
        h.place(self.run_)
        h.wait_swaps(self.run_, 3)

    def tearDown(self):
        h.kill(self.run_)

    def quit_silently(self):
        self.assertEqual(h.quit(self.run_), 1, h.stderr(self.run_))
        self.assertEqual(h.stdout(self.run_), b"")

    def test_default_size_untextured_first_frame_then_the_pattern(self):
        image = h.capture(self.run_)
        image.save("vorntest.png")
        self.assertEqual((image.width, image.height), (300, 300))
        # Turned 180 degrees: red vertex 0 top right, green 1 top left, dark
        # grey 2 bottom left, blue 3 bottom right; smooth colours, no texture.
        corners = {(10, 10): (0, 255, 0), (289, 10): (255, 0, 0),
                   (10, 289): (26, 26, 26), (289, 289): (0, 0, 255)}
        for (px, py), colour in corners.items():
            self.assertTrue(h.close_to(image.pixel(px, py), colour, 40),
                            (px, py, image.pixel(px, py)))
        self.assertEqual(image.pixel(2, 150), CLEAR)
        with open(self.menulog, "rb") as f:
            entries = [l for l in f.read().split(b"\n") if l.startswith(b"entry ")]
        self.assertEqual(len(entries), ENTRIES)
        self.assertEqual(entries[0], b"entry 0 [x] Texture: Off")
        self.assertEqual(entries[15], b"entry 15 [_] Shade: GL_FLAT")

        h.choose_menu_entry(self.run_, TEXTURE_ON, ENTRIES)
        textured = h.capture(self.run_)
        textured.save("vorntest-texture.png")
        texels = pattern()
        # GL_REPLACE with blending off: the pattern's colours exactly, the
        # white half included whatever its alpha.
        for px in range(20, 290, 27):
            for py in range(20, 290, 27):
                s, t = quad_texcoord(px, py)
                expected = h.sample_linear(texels, s, t)[:3]
                self.assertTrue(h.close_to(textured.pixel(px, py), expected, TOLERANCE),
                                (px, py, textured.pixel(px, py), expected))
        self.quit_silently()

    def test_a_left_drag_turns_the_quad_and_prints_nothing(self):
        left, top, _, _ = h.geometry(self.run_)
        # Pressing before any motion turns by 360 - 0 = 0 degrees: the quad's
        # back faces the viewer and is culled until the pointer moves.
        h.x("xdotool", "mousemove", str(left + 285), str(top + 150), "mousedown", "1")
        h.x("xdotool", "mousemove", str(left + 285), str(top + 151))
        h.wait_swaps(self.run_, 5)
        h.x("xdotool", "mouseup", "1")
        h.wait_swaps(self.run_, 3)
        image = h.capture(self.run_)
        # fx = 0.9: yRot 198, so the quad narrows by cos 18 degrees and the
        # strip that showed at column 10 now shows the clear colour.
        self.assertEqual(image.pixel(10, 150), CLEAR)
        self.assertNotEqual(image.pixel(20, 150), CLEAR)
        self.assertNotEqual(image.pixel(150, 150), CLEAR)
        self.assertEqual(image.pixel(289, 150), CLEAR)
        self.quit_silently()


if __name__ == "__main__":
    unittest.main()
