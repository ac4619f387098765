"""vorntest, the first version, run for real: its default-size window, the
untextured first frame, the generated pattern once texturing is chosen from
its 16-entry menu, a silent left drag that turns the quad, and its render
states, chosen through the menu, against the render-state colour model."""

import os
import tempfile
import unittest

import harness as h
from expected import fixedfunction as model
from test_vorntest_render import assert_model

TITLE = "VornTest Demo (Esc to exit)"
ENTRIES = 16
CLEAR = (26, 26, 128)
TOLERANCE = 6
E = 0.9599999                  # texture coordinates end short of the pattern's edge

# Menu entries, by their position in the menu.
TEXTURE_OFF, TEXTURE_ON = 0, 1
BLEND_OFF, BLEND_ON = 2, 3
LIGHTING_OFF, LIGHTING_ON = 4, 5
FOG_OFF, FOG_LINEAR, FOG_EXP, FOG_EXP2 = 6, 7, 8, 9
ENV_REPLACE, ENV_MODULATE, ENV_DECAL, ENV_BLEND = 10, 11, 12, 13
SHADE_FLAT = 15

pattern = model.pattern


def quad_texcoord(px, py, size=300):
    """(s, t) at a pixel centre of the unturned-by-the-drag first view: the
    identity projection with the quad turned 180 degrees about the vertical
    axis, so window x runs against the quad's own x."""
    ndc_x = (px + 0.5) / (size / 2) - 1
    ndc_y = 1 - (py + 0.5) / (size / 2)
    return E * (-ndc_x + 0.95) / 1.9, E * (ndc_y + 0.95) / 1.9


def quad_pixel(s, t, size=300):
    """The pixel whose centre lies nearest texture coordinate (s, t) in that
    view."""
    ndc_x = 0.95 - 1.9 * s / E
    ndc_y = 1.9 * t / E - 0.95
    return int((ndc_x + 1) * size / 2), int((1 - ndc_y) * size / 2)


class Vorntest(unittest.TestCase):

    def setUp(self):
        self.menulog = os.path.join(tempfile.mkdtemp(prefix="vorntest-menus-"), "menus")
        libs = [h.library("swapcount"), h.library("menulog")]
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
        h.save(image, "vorntest.png")
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
        h.save(textured, "vorntest-texture.png")
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


# The states in the order one run visits them: the menu entries chosen, the
# picture's name, and its render state in the model's terms.
TEXTURED = dict(texture=True)
STEPS = [
    ([], "first", {}),
    ([TEXTURE_ON], "replace", TEXTURED),
    ([ENV_MODULATE], "modulate", dict(TEXTURED, env="modulate")),
    ([ENV_DECAL], "decal", dict(TEXTURED, env="decal")),
    ([ENV_BLEND], "texenv-blend", dict(TEXTURED, env="blend")),
    ([FOG_LINEAR], "fog-linear", dict(TEXTURED, env="blend", fog="linear")),
    ([FOG_EXP], "fog-exp", dict(TEXTURED, env="blend", fog="exp")),
    ([FOG_EXP2], "fog-exp2", dict(TEXTURED, env="blend", fog="exp2")),
    ([FOG_OFF, ENV_REPLACE, BLEND_ON], "replace-blended", dict(TEXTURED, blend=True)),
    ([ENV_DECAL], "decal-blended", dict(TEXTURED, env="decal", blend=True)),
    ([ENV_MODULATE, LIGHTING_ON], "lit-modulate-blended",
     dict(TEXTURED, env="modulate", blend=True, lighting=True)),
    ([TEXTURE_OFF], "lit-blended", dict(env="modulate", blend=True, lighting=True)),
    ([LIGHTING_OFF], "blended", dict(env="modulate", blend=True)),
    ([BLEND_OFF, SHADE_FLAT], "flat", dict(env="modulate", flat=True)),
    ([TEXTURE_ON], "flat-modulate", dict(TEXTURED, env="modulate", flat=True)),
]


class States(unittest.TestCase):
    """One run visits a representative set of render states through the
    menu; each picture is compared with the render-state colour model, fed
    the generated pattern and the first version's view."""

    @classmethod
    def setUpClass(cls):
        cls.texels = pattern()
        cls.images, cls.prog = h.capture_menu_states("vorntest", TITLE, ENTRIES, STEPS,
                                                     frames=2)
        cls.status = cls.prog.proc.returncode
        cls.states = {name: dict(model.FIRST_VERSION, **changes)
                      for _, name, changes in STEPS}

    def assertModel(self, *names, min_inside=40):
        for name in names:
            assert_model(self, name, self.images[name], self.states[name], self.texels,
                         min_inside, 20)

    def probe(self, name, px, py):
        return self.images[name].pixel(px, py)

    def test_untextured_first_frame(self):
        self.assertModel("first")

    def test_each_texture_environment_of_the_rgba_pattern(self):
        self.assertModel("replace", "modulate", "decal", "texenv-blend")
        # Row 20, column 150 of the pattern: white with alpha 375 mod 256,
        # about half. Replace shows it white whatever its alpha, blend turns
        # it black, and decal lets the smooth vertex colour through by the
        # alpha's complement.
        px, py = quad_pixel(150.5 / 256, 20.5 / 256)
        self.assertEqual(self.probe("replace", px, py), (255, 255, 255))
        self.assertTrue(h.close_to(self.probe("texenv-blend", px, py), (0, 0, 0), TOLERANCE))
        alpha = h.sample_linear(self.texels, *quad_texcoord(px, py))[3] / 255
        self.assertTrue(0.35 < alpha < 0.6, alpha)
        vertex = self.probe("first", px, py)
        self.assertTrue(h.close_to(self.probe("decal", px, py),
                                   [alpha * 255 + (1 - alpha) * c for c in vertex], TOLERANCE))

    def test_fog_at_eye_depth_zero_changes_nothing(self):
        # The identity matrices leave the quad at eye depth 0, where every
        # fog mode's factor is 1.
        self.assertModel("fog-linear", "fog-exp", "fog-exp2")
        for name in ("fog-linear", "fog-exp", "fog-exp2"):
            self.assertEqual(self.images[name].data, self.images["texenv-blend"].data, name)

    def test_blending_with_the_texel_alpha(self):
        self.assertModel("replace-blended", "decal-blended", "lit-modulate-blended")
        # Replace takes the texel's alpha: the grey half stays opaque, the
        # white half lets the clear colour through by the alpha's complement.
        grey = quad_pixel(60.5 / 256, 20.5 / 256)
        self.assertEqual(self.probe("replace-blended", *grey), self.probe("replace", *grey))
        px, py = quad_pixel(150.5 / 256, 20.5 / 256)
        alpha = h.sample_linear(self.texels, *quad_texcoord(px, py))[3] / 255
        self.assertTrue(h.close_to(self.probe("replace-blended", px, py),
                                   [alpha * 255 + (1 - alpha) * c for c in CLEAR], TOLERANCE))

    def test_lighting_blending_and_flat_shading(self):
        self.assertModel("lit-blended", "blended", "flat", "flat-modulate")
        # Lit, the untextured quad is one opaque dark orange, even where its
        # vertex alpha is 0.
        for px, py in ((20, 20), (280, 20), (20, 280), (280, 280)):
            self.assertTrue(h.close_to(self.probe("lit-blended", px, py), (51, 40, 0), 1))
        # Flat: the first triangle (0, 1, 2) takes vertex 2's dark grey, the
        # second (0, 2, 3) vertex 3's blue; turned half a turn, vertex 1 is
        # top left and vertex 3 bottom right.
        self.assertEqual(self.probe("flat", 40, 40), (26, 26, 26))
        self.assertEqual(self.probe("flat", 260, 260), (0, 0, 255))
        self.assertEqual(self.status, 1, h.stderr(self.prog))


if __name__ == "__main__":
    unittest.main()
