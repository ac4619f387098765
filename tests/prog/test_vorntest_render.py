"""vorntest5's render states on the real renderer: each state is chosen
through the program's own pop-up menu, the window is read back, and pixel
probes are compared with colours computed from the fixed-function model
(transform, perspective-correct interpolation, texture environment, lighting
with no light, fog, blending) and the texture file itself. The last class reads
one frame's GL calls from a trace."""

import math
import re
import unittest

import harness as h
from expected.fixedfunction import (
    CLEAR, FOG_COLOR, INITIAL, POINTS, RGBA, TOLERANCE, ZNEAR, Scene, edge_row, f32,
    fog_factor, interpolate, inward, probe_mismatches)

TITLE = "VornTest Demo (Esc to exit)"
TEXTURE = "Texture2_256X256X24.RAW"

# Menu entries, by their position in the menu.
TEXTURE_OFF, TEXTURE_ON = 0, 1
BLEND_OFF, BLEND_ON = 2, 3
LIGHTING_OFF, LIGHTING_ON = 4, 5
FOG_OFF, FOG_LINEAR, FOG_EXP, FOG_EXP2 = 6, 7, 8, 9
ENV_REPLACE, ENV_MODULATE, ENV_DECAL, ENV_BLEND = 10, 11, 12, 13
SHADE_SMOOTH, SHADE_FLAT = 14, 15
PERSPECTIVE_OFF, PERSPECTIVE_ON = 16, 17
PERSP = {10: 20, 90: 27, 150: 32, 170: 34}
MENU_ENTRIES = 35


def mix_share(mixed, colour, other):
    """The share s of colour in mixed = s * colour + (1 - s) * other, read
    from the channel where colour and other differ most; None where they
    differ too little to tell."""
    k = max(range(3), key=lambda c: abs(colour[c] - other[c]))
    if abs(colour[k] - other[k]) < 60:
        return None
    return (mixed[k] - other[k]) / (colour[k] - other[k])


# The states in the order the run visits them: the menu entries chosen, the
# name of the picture taken then, and how its state differs from the first.
STEPS = [
    ([], "first", {}),
    ([PERSPECTIVE_OFF], "perspective-off", dict(perspective=False)),
    ([PERSPECTIVE_ON, PERSP[90]], "persp-90", dict(persp=90)),
    ([PERSP[170]], "persp-170", dict(persp=170)),
    ([PERSP[10]], "persp-10", dict(persp=10)),
    ([PERSP[150]], "persp-150", {}),
    ([FOG_LINEAR], "fog-linear", dict(fog="linear")),
    ([FOG_EXP], "fog-exp", dict(fog="exp")),
    ([FOG_EXP2], "fog-exp2", dict(fog="exp2")),
    ([FOG_OFF, ENV_MODULATE], "texenv-modulate", dict(env="modulate")),
    ([ENV_DECAL], "texenv-decal", dict(env="decal")),
    ([ENV_BLEND], "texenv-blend", dict(env="blend")),
    ([LIGHTING_ON, ENV_REPLACE], "lighting-replace", dict(lighting=True)),
    ([ENV_MODULATE], "lighting-modulate", dict(lighting=True, env="modulate")),
    ([ENV_DECAL], "lighting-decal", dict(lighting=True, env="decal")),
    ([ENV_BLEND], "lighting-blend", dict(lighting=True, env="blend")),
    ([TEXTURE_OFF], "lighting-untextured", dict(lighting=True, texture=False, env="blend")),
    ([BLEND_ON], "lighting-blended", dict(lighting=True, texture=False, env="blend", blend=True)),
    ([BLEND_OFF, LIGHTING_OFF], "untextured", dict(texture=False, env="blend")),
    ([SHADE_FLAT], "flat", dict(texture=False, env="blend", flat=True)),
    ([SHADE_SMOOTH, BLEND_ON], "blend", dict(texture=False, env="blend", blend=True)),
    ([TEXTURE_ON, ENV_REPLACE], "blend-textured", dict(blend=True)),
]


def assert_model(test, name, image, state, texels, min_inside, min_outside):
    """Enough probes inside and around the quad, and every one as the model
    has it."""
    bad, inside, outside = probe_mismatches(image, state, texels)
    test.assertGreaterEqual(inside, min_inside, name)
    test.assertGreaterEqual(outside, min_outside, name)
    test.assertEqual(bad, [], "%s: %d of %d probes differ; (pixel, actual, expected): %s"
                     % (name, len(bad), inside + outside, bad[:6]))


class States(unittest.TestCase):
    """One run of vorntest5 visits every state through its menu; each
    picture is then compared with the model."""

    @classmethod
    def setUpClass(cls):
        cls.texels = h.read_raw(TEXTURE, 256, 256, 24)
        cls.images, cls.prog = h.capture_menu_states("vorntest5", TITLE, MENU_ENTRIES, STEPS)
        cls.status = cls.prog.proc.returncode
        cls.states = {name: dict(INITIAL, **changes) for _, name, changes in STEPS}

    def assertModel(self, name, min_inside=40, min_outside=40):
        assert_model(self, name, self.images[name], self.states[name], self.texels,
                     min_inside, min_outside)

    def assertPixel(self, name, px, py, expected, tolerance=TOLERANCE):
        actual = self.images[name].pixel(px, py)
        self.assertTrue(h.close_to(actual, expected, tolerance),
                        "%s: pixel (%d, %d) is %s, expected %s"
                        % (name, px, py, actual, tuple(round(c) for c in expected)))

    def test_first_frame(self):
        image = self.images["first"]
        self.assertEqual((image.width, image.height), (600, 600))
        self.assertModel("first")
        # The near edge lies beyond the left border: column 0 still shows the
        # quad, from a texture column a little right of its first.
        scene = Scene(self.states["first"], 600, 600)
        self.assertLess(scene.window[0][0], 0)
        self.assertLess(scene.window[3][0], 0)
        rows = [py for py in range(600) if scene.locate(0, py) not in (None, ("outside", None))]
        self.assertGreater(len(rows), 400)
        bad, inside, _ = probe_mismatches(image, self.states["first"], self.texels,
                                          [(0, py) for py in rows])
        self.assertGreater(inside, 100)
        self.assertEqual(bad, [])
        tri, weights = scene.locate(0, 300)
        u = interpolate(tri, weights, [(p[0],) for p in POINTS])[0]
        self.assertTrue(0.005 < u < 0.02, u)
        # So the quad meets column 0 some rows inside its near corners: its
        # top edge (vertices 3 to 2) and bottom edge (0 to 1) cross the
        # column's centre where the model puts them.
        column = [py for py in range(600)
                  if max(abs(a - b) for a, b in zip(image.pixel(0, py), CLEAR)) > 10]
        top, bottom = edge_row(scene, 3, 2, 0.5), edge_row(scene, 0, 1, 0.5)
        self.assertGreater(top - (600 - scene.window[3][1]), 3)
        self.assertLessEqual(abs(column[0] + 0.5 - top), 1.0, (column[0], top))
        self.assertLessEqual(abs(column[-1] + 0.5 - bottom), 1.0, (column[-1], bottom))
        self.assertEqual(len(column), column[-1] - column[0] + 1)
        # The texture's first texels (a red corner) land top left, near vertex 3.
        self.assertPixel("first", *inward(scene, 3, 0.1), self.texels[0][0])

    def test_field_of_view_and_perspective_off(self):
        self.assertModel("perspective-off")
        self.assertModel("persp-90")
        self.assertModel("persp-170", min_inside=20)
        # At 10 degrees the quad fills the whole window.
        self.assertModel("persp-10", min_outside=0)
        self.assertEqual(self.images["persp-150"].data, self.images["first"].data)

    def test_fog_modes(self):
        scene = Scene(INITIAL, 600, 600)
        for mode in ("linear", "exp", "exp2"):
            self.assertModel("fog-" + mode)
            # Across the quad from its near edge to its far one, the share
            # of the unfogged picture follows the fog equation at each
            # pixel's eye depth.
            depths = []
            for px, py in [(px, 300) for px in range(0, 330, 6)]:
                where = scene.locate(px, py)
                if where is None or where[0] == "outside":
                    continue
                tri, weights = where
                depth = -interpolate(tri, weights, [(e[2],) for e in scene.eye])[0]
                share = mix_share(self.images["fog-" + mode].pixel(px, py),
                                  self.images["first"].pixel(px, py), FOG_COLOR)
                if share is not None:
                    depths.append(depth)
                    self.assertAlmostEqual(share, fog_factor(mode, depth), delta=0.05,
                                           msg="%s fog at eye depth %.3f" % (mode, depth))
            self.assertLess(min(depths), 0.2)
            self.assertGreater(max(depths), 0.65)
        # Linear fog leaves the near edge (eye depth under 0.25) untouched.
        near = inward(scene, 3, 0.1)
        self.assertEqual(self.images["fog-linear"].pixel(*near), self.images["first"].pixel(*near))

    def test_texture_environment_modes(self):
        for name in ("texenv-modulate", "texenv-decal", "texenv-blend"):
            self.assertModel(name)
        # An RGB texture decals exactly as it replaces.
        self.assertEqual(self.images["texenv-decal"].data, self.images["first"].data)

    def test_lighting_per_texture_mode(self):
        for name in ("lighting-replace", "lighting-modulate", "lighting-decal",
                     "lighting-blend", "lighting-untextured", "lighting-blended"):
            self.assertModel(name)
        # Untextured, the quad is one uniform dark orange.
        scene = Scene(self.states["lighting-untextured"], 600, 600)
        for vertex in range(4):
            self.assertPixel("lighting-untextured", *inward(scene, vertex, 0.1), (51, 40, 0),
                             tolerance=1)
        # Blended, the lit quad stays opaque even at its transparent
        # vertices: its alpha is the material's, not the vertex colours'.
        self.assertEqual(self.images["lighting-blended"].data,
                         self.images["lighting-untextured"].data)
        # Replace and decal show the texture alone, whatever the lighting.
        self.assertEqual(self.images["lighting-replace"].data, self.images["first"].data)

    def test_flat_shading_takes_the_last_vertex(self):
        self.assertModel("untextured")
        self.assertModel("flat")
        scene = Scene(self.states["flat"], 600, 600)
        # Vertex 1 belongs to the first triangle only, vertex 3 to the second.
        self.assertPixel("flat", *inward(scene, 1, 0.2), RGBA[2][:3], tolerance=0)
        self.assertPixel("flat", *inward(scene, 3, 0.2), RGBA[3][:3], tolerance=0)

    def test_blending_fades_to_the_transparent_edge(self):
        self.assertModel("blend")
        self.assertModel("blend-textured")
        scene = Scene(self.states["blend"], 600, 600)
        # From the opaque edge (vertices 0 and 1, at the bottom) to the
        # transparent one (2 and 3, at the top), the share of the unblended
        # picture over the clear colour is the interpolated alpha.
        shares = []
        for px, py in [(150, py) for py in range(130, 480, 5)]:
            where = scene.locate(px, py)
            if where is None or where[0] == "outside":
                continue
            alpha = interpolate(*where, RGBA)[3] / 255
            share = mix_share(self.images["blend"].pixel(px, py),
                              self.images["untextured"].pixel(px, py), CLEAR)
            if share is not None:
                shares.append(share)
                self.assertAlmostEqual(share, alpha, delta=0.05, msg="pixel (%d, %d)" % (px, py))
        self.assertLess(min(shares), 0.15)
        self.assertGreater(max(shares), 0.85)

    def test_program_ends_with_escape(self):
        self.assertEqual(self.status, 1, h.stderr(self.prog))


def numbers(args):
    return [float(v) for v in re.findall(r"= (-?[\d.e+-]+)", args)]


class Calls(unittest.TestCase):
    """One frame's GL calls, from a real trace of a short run: the clear, the
    whole render state, both matrices, the draw and the swap."""

    @classmethod
    def setUpClass(cls):
        cls.prog = h.start("vorntest5", preload=("swapcount",), trace=True)
        try:
            h.find_window(cls.prog, TITLE)
            h.wait_swaps(cls.prog, 5)
            cls.status = h.quit(cls.prog)
        finally:
            h.kill(cls.prog)
        cls.calls = h.gl_calls(cls.prog)

    def frame(self):
        """The calls from the second frame's clear to its swap, and the fake
        array-pointer calls that the trace records at the draw."""
        clears = [i for i, c in enumerate(self.calls) if c[0] == "glClear"]
        self.assertGreater(len(clears), 2)
        start = clears[1]
        end = next(i for i in range(start, len(self.calls))
                   if self.calls[i][0] == "glXSwapBuffers")
        calls = self.calls[start:end + 1]
        pointers = [c for c in calls if c[0].endswith("Pointer")]
        return [c for c in calls if not c[0].endswith("Pointer")], pointers

    def test_one_frame_in_order(self):
        calls, pointers = self.frame()
        names = [name for name, _ in calls]
        state = [
            ("glClear", "mask = GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT"),
            ("glLightModelfv", "pname = GL_LIGHT_MODEL_AMBIENT, params = {1, 0.7843137, 0, 1}"),
            ("glDisable", "cap = GL_LIGHTING"),
            ("glEnable", "cap = GL_TEXTURE_2D"),
            ("glTexEnvi", "target = GL_TEXTURE_ENV, pname = GL_TEXTURE_ENV_MODE, "
             "param = GL_REPLACE"),
            ("glShadeModel", "mode = GL_SMOOTH"),
            ("glDisable", "cap = GL_BLEND"),
            ("glBlendFunc", "sfactor = GL_SRC_ALPHA, dfactor = GL_ONE_MINUS_SRC_ALPHA"),
            # Fog off: no fog mode is sent, the rest of the fog state is.
            ("glFogfv", "pname = GL_FOG_COLOR, params = {0.5019608, 0.6784314, 0.7529412, 1}"),
            ("glFogf", "pname = GL_FOG_START, param = 0.25"),
            ("glFogf", "pname = GL_FOG_END, param = 0.75"),
            ("glFogf", "pname = GL_FOG_DENSITY, param = 0.95"),
            ("glDisable", "cap = GL_FOG"),
            ("glMatrixMode", "mode = GL_PROJECTION"),
            ("glLoadIdentity", ""),
        ]
        self.assertEqual(calls[:len(state)], state)
        self.assertEqual(names[len(state)], "glFrustum")
        view = [
            ("glMatrixMode", "mode = GL_MODELVIEW"),
            ("glLoadIdentity", ""),
            ("glRotatef", "angle = 208.8, x = 0, y = 1, z = 0"),
            ("glTranslatef", "x = 0, y = 0, z = 0.5"),
            ("glScalef", "x = -0.56, y = -0.56, z = -0.56"),
        ]
        draw = [
            ("glEnableClientState", "array = GL_VERTEX_ARRAY"),
            ("glEnableClientState", "array = GL_TEXTURE_COORD_ARRAY"),
            ("glEnableClientState", "array = GL_COLOR_ARRAY"),
            ("glBindTexture", "target = GL_TEXTURE_2D, texture = 1"),
            ("glDrawElements", "mode = GL_TRIANGLES, count = 6, type = GL_UNSIGNED_INT, "
             "indices = blob(24)"),
            ("glDisableClientState", "array = GL_VERTEX_ARRAY"),
            ("glDisableClientState", "array = GL_TEXTURE_COORD_ARRAY"),
            ("glDisableClientState", "array = GL_COLOR_ARRAY"),
            # glutSwapBuffers flushes before it swaps.
            ("glFlush", ""),
        ]
        rest = calls[len(state) + 1:]
        self.assertEqual(rest[:-1], view + draw)
        self.assertEqual(rest[-1][0], "glXSwapBuffers")
        # The pointers cannot be placed, only checked: the last vertex record
        # ends 60 bytes after the table's start, so the coordinates span 68
        # bytes and the positions 72.
        self.assertEqual(sorted(pointers), [
            ("glColorPointer", "size = 4, type = GL_UNSIGNED_BYTE, stride = 4, pointer = blob(16)"),
            ("glTexCoordPointer", "size = 2, type = GL_FLOAT, stride = 20, pointer = blob(68)"),
            ("glVertexPointer", "size = 3, type = GL_FLOAT, stride = 20, pointer = blob(72)"),
        ])

    def test_frustum_of_150_degrees(self):
        calls, _ = self.frame()
        frustum = next(args for name, args in calls if name == "glFrustum")
        # Half the field of view, with 3.1416 for pi, in single precision.
        top = f32(ZNEAR * f32(math.tan(3.1416 * 150 / 360.0)))
        expected = [-top, top, -top, top, ZNEAR, 1.0]
        for actual, value in zip(numbers(frustum), expected):
            self.assertAlmostEqual(actual, value, delta=abs(value) * 1e-6)
        self.assertEqual(len(numbers(frustum)), 6)

    def test_every_frame_sends_the_same_calls(self):
        clears = [i for i, c in enumerate(self.calls) if c[0] == "glClear"]
        frames = [[c for c in self.calls[a:b] if not c[0].startswith("glX")]
                  for a, b in zip(clears[1:-1], clears[2:])]
        self.assertGreater(len(frames), 3)
        for frame in frames[1:]:
            self.assertEqual(frame, frames[0])
        self.assertEqual(self.status, 1)


if __name__ == "__main__":
    unittest.main()
