"""The fixed-function pipeline of the two render-state programs, worked out
from its equations: the quad's transform (scale, move along z, turn about
the vertical axis, then perspective or the identity projection),
perspective-correct interpolation, the texture environments, lighting with
no light enabled, flat shading, fog and blending. band() gives, for every
pixel of a window, the colours a correct renderer may write there.

A state is a dict of the render settings (texture, blend, lighting, fog,
env, flat, perspective, persp) over the program's view (yrot, size,
offset, and coord, where the quad's texture coordinates end); INITIAL is
vorntest5's start and FIRST_VERSION vorntest's. Textures are float arrays
(rows, columns, components) with 3 components (RGB) or 4 (RGBA).

Where OpenGL leaves a choice open the band spans every choice that
renderers really make:
- texture coordinates are known to TEXEL_REACH of a texel on each axis,
  for the rounding of positions and interpolants on their way to the
  texture unit;
- fog is blended by a factor worked out per fragment from the
  interpolated eye depth, or per vertex and then interpolated.
Some choices are taken as fixed, since every renderer at hand makes them
alike and a renderer that differs draws a plainly different picture:
perspective-correct interpolation of colours, texture coordinates and fog
(vorntest5 asks for GL_NICEST; vorntest draws with w = 1, where the
hint changes nothing); the eye-plane depth as the fog distance, not the
radial distance; the last vertex of a triangle as the source of its flat
colour; exact GL_LINEAR filtering of the texture's own texels."""

import math
import struct

import numpy as np

from . import bands, raster, texels
from .raster import cross, segment_distance


# Tolerance, in 8-bit steps, around the band that the model gives for a
# pixel: half a step for the renderer's conversion of a float colour to 8 bits,
# one step for its 8-bit bilinear weights, one for blending, fog and modulation
# done on 8-bit values, and half a step of slack.
TOLERANCE = 3
# How far, in texels, a texture coordinate may stray on each axis.
TEXEL_REACH = 1.0 / 8
# Pixels of the test functions' probes keep this many pixels from every
# triangle edge, so no rasterisation rule decides where they belong.
MARGIN = 3.0


def f32(value):
    """value rounded to a 32-bit float, as the programs store it; one float
    operation done in double and rounded gives the float operation's result."""
    return struct.unpack("f", struct.pack("f", value))[0]


# ---------------------------------------------------------------------------
# The scene as the program's tables hold it.

T1 = f32(0.9999999)
P = f32(0.95)


def quad_points(end):
    """u, v, x, y, z per vertex, the texture coordinates running from 0 to end."""
    return [(0.0, end, -P, P, 0.0),
            (end, end, P, P, 0.0),
            (end, 0.0, P, -P, 0.0),
            (0.0, 0.0, -P, -P, 0.0)]


POINTS = quad_points(T1)
RGBA = [(255, 0, 0, 255), (0, 255, 0, 255), (26, 26, 26, 0), (0, 0, 255, 0)]
TRIANGLES = [(0, 1, 2), (0, 2, 3)]

CLEAR = (26, 26, 128)                     # 0.1, 0.1, 0.5 in 8-bit channels
FOG_COLOR = (128, 173, 192)
FOG_START, FOG_END, FOG_DENSITY = 0.25, 0.75, f32(0.95)
ZNEAR, ZFAR = f32(0.01), 1.0
# No light is enabled and the vertex colours do not feed the material, so a lit
# vertex gets the default material's ambient (0.2) times the light-model
# ambient (1, 200/255, 0), plus the default emission (0); its alpha is the
# default material's diffuse alpha (the diffuse colour is 0.8, 0.8, 0.8, 1).
LIT = (0.2 * 255, 0.2 * 200, 0.0)
LIT_ALPHA = 1.0

INITIAL = dict(texture=True, blend=False, lighting=False, fog=None, env="replace",
               flat=False, perspective=True, persp=150, yrot=f32(208.8), size=f32(-0.56),
               offset=0.5, coord=T1)
# The first version: texturing off at start, the quad only turned (half a turn
# shows its front) under the identity projection, and texture coordinates
# that stop at 0.96 of its generated pattern.
FIRST_VERSION = dict(texture=False, blend=False, lighting=False, fog=None, env="replace",
                     flat=False, perspective=False, persp=None, yrot=180.0, size=1.0,
                     offset=0.0, coord=f32(0.9599999))


def pattern(size=256):
    """The first version's generated texture as rows of RGBA texels: opaque
    grey ramps below column size/2, white with the ramp as alpha from there
    on."""
    lim = size // 2
    rows = []
    for r in range(size):
        row = []
        for c in range(size):
            v = (r * c // 8) % 256
            row.append((v, v, v, 255) if c < lim else (255, 255, 255, v))
        rows.append(row)
    return rows


def eye_position(point, state):
    """Scale, then move along z, then turn about the vertical axis."""
    s = state["size"]
    x, y, z = s * point[2], s * point[3], s * point[4] + state["offset"]
    a = math.radians(state["yrot"])
    return (math.cos(a) * x + math.sin(a) * z, y, -math.sin(a) * x + math.cos(a) * z)


def clip_position(eye, state, aspect):
    x, y, z = eye
    if not state["perspective"]:
        return (x, y, z, 1.0)
    t = f32(math.tan(3.1416 * state["persp"] / 360.0))
    ymax = f32(ZNEAR * t)
    xmax = f32(ymax * aspect)
    return (ZNEAR / xmax * x, ZNEAR / ymax * y,
            -(ZFAR + ZNEAR) / (ZFAR - ZNEAR) * z - 2 * ZFAR * ZNEAR / (ZFAR - ZNEAR), -z)


class Scene:
    """The quad of one state in a window of the given size: window positions
    (y up) of the vertices, and the front-facing triangles."""

    def __init__(self, state, width, height):
        self.state, self.width, self.height = state, width, height
        self.points = quad_points(state["coord"])
        self.eye = [eye_position(p, state) for p in self.points]
        self.window = []
        self.w = []
        for e in self.eye:
            cx, cy, _, cw = clip_position(e, state, width / height)
            self.window.append(((cx / cw + 1) * width / 2, (cy / cw + 1) * height / 2))
            self.w.append(cw)
        # Counter-clockwise on the screen is the front; the back is culled.
        self.front = [tri for tri in TRIANGLES
                      if cross(*(self.window[i] for i in tri)) > 0]

    def locate(self, px, py):
        """For the centre of image pixel (px, py), y down: (triangle,
        perspective-correct weights) where it lies at least MARGIN inside a
        drawn triangle, ("outside", None) where it is at least MARGIN away
        from any, None in between."""
        p = (px + 0.5, self.height - py - 0.5)
        near_edge = False
        for tri in self.front:
            v = [self.window[i] for i in tri]
            area = cross(*v)
            lam = [cross(p, v[1], v[2]) / area, cross(v[0], p, v[2]) / area,
                   cross(v[0], v[1], p) / area]
            edges = [segment_distance(v[j], v[(j + 1) % 3], *p) for j in range(3)]
            if min(lam) >= 0:
                if min(edges) < MARGIN:
                    return None
                mu = [lam[k] / self.w[tri[k]] for k in range(3)]
                total = sum(mu)
                return tri, [m / total for m in mu]
            if min(edges) < MARGIN:
                near_edge = True
        return None if near_edge else ("outside", None)


def interpolate(tri, weights, values):
    return [sum(weights[k] * values[tri[k]][c] for k in range(3))
            for c in range(len(values[tri[0]]))]


def fog_factor(mode, z):
    """Fog factor at eye distance z (a number or an array): 1 is no fog, 0
    is all fog colour."""
    if mode == "linear":
        f = (FOG_END - z) / (FOG_END - FOG_START)
    elif mode == "exp":
        f = np.exp(-FOG_DENSITY * z)
    else:
        f = np.exp(-(FOG_DENSITY * z) ** 2)
    return np.clip(f, 0.0, 1.0)


def band(state, texture, width, height):
    """The band of every pixel of a window of this size in a state: the
    quad over the clear colour."""
    scene = Scene(state, width, height)
    picture = bands.Band(width, height, CLEAR)
    mesh = raster.Mesh(scene.window, scene.w, TRIANGLES, cull=True)
    picture.draw(mesh, lambda tri, weights, under: shade(scene, texture, tri, weights, under))
    return picture


def shade(scene, texture, tri, weights, under):
    """The band (lo, hi) of the colour written where the triangle tri has
    these vertex weights, over the band under of what lies beneath."""
    state = scene.state
    colour, alpha = vertex_colour(state, tri, weights)
    variants = [(colour, alpha)]
    if state["texture"]:
        uv = weights @ np.array([scene.points[i][:2] for i in tri])
        if texture.shape[2] == 3:
            # Each channel written grows or shrinks with the texel's same
            # channel alone, in every environment, and so does fog and the
            # blend (whose alpha an RGB texture leaves alone): the texels'
            # own least and greatest values bound the result.
            samples = texels.sample_bounds(texture, uv[:, 0], uv[:, 1], TEXEL_REACH)
        else:
            samples = texels.bounding_samples(texture, uv[:, 0], uv[:, 1], TEXEL_REACH)
        variants = [environment(state["env"], colour, alpha, t) for t in samples]
    if state["fog"]:
        depths = np.array([-scene.eye[i][2] for i in tri])
        factors = (fog_factor(state["fog"], weights @ depths),
                   weights @ fog_factor(state["fog"], depths))
        variants = [(f[:, None] * c + (1 - f[:, None]) * np.array(FOG_COLOR), a)
                    for c, a in variants for f in factors]
    if state["blend"]:
        written = [a[:, None] * c + (1 - a[:, None]) * beneath
                   for c, a in variants for beneath in under]
    else:
        written = [c for c, _ in variants]
    return texels.lowest(written), texels.highest(written)


def vertex_colour(state, tri, weights):
    """The fragment's colour (n, 3) on the 0 to 255 scale and alpha (n,)
    from 0 to 1, before texturing."""
    n = len(weights)
    if state["lighting"]:
        return np.tile(np.array(LIT, float), (n, 1)), np.full(n, LIT_ALPHA)
    if state["flat"]:
        # The last vertex of each triangle gives its colour.
        rgba = np.tile(np.array(RGBA[tri[2]], float), (n, 1))
    else:
        rgba = weights @ np.array([RGBA[i] for i in tri], float)
    return rgba[:, :3], rgba[:, 3] / 255


def environment(env, colour, alpha, texel):
    """The texture environment: an RGB texture leaves the fragment's alpha
    alone in every mode and decals as an opaque one; an RGBA texture's alpha
    replaces the fragment's, scales it (modulate, blend) or weighs the
    decal. The environment colour is the default (0, 0, 0, 0)."""
    rgb = texel[:, :3]
    has_alpha = texel.shape[1] == 4
    texel_alpha = texel[:, 3] / 255 if has_alpha else np.ones(len(texel))
    if env == "replace":
        return rgb, texel_alpha if has_alpha else alpha
    if env == "decal":
        share = texel_alpha[:, None]
        return colour * (1 - share) + rgb * share, alpha
    if env == "modulate":
        return colour * rgb / 255, alpha * texel_alpha
    return colour * (1 - rgb / 255), alpha * texel_alpha


def probe_mismatches(image, state, texture, points=None, tolerance=TOLERANCE):
    """Compares the image with the model at every judged pixel (or at the
    given ones among them), allowing tolerance steps around each pixel's
    band; returns the mismatches (pixel, observed, expected middle) and the
    counts of pixels compared on the quad and around it."""
    texture = np.asarray(texture, np.float32)
    picture = band(state, texture, image.width, image.height)
    picture.freeze()
    observed = bands.pixels(image)
    if points is None:
        rows, cols = np.nonzero(picture.judged)
    else:
        pairs = [(py, px) for px, py in points if picture.judged[py, px]]
        rows = np.array([p[0] for p in pairs], int)
        cols = np.array([p[1] for p in pairs], int)
    obs = observed[rows, cols].astype(np.int16)
    lo, hi = picture.lo[rows, cols].astype(np.int16), picture.hi[rows, cols].astype(np.int16)
    off = ((obs < lo - tolerance) | (obs > hi + tolerance)).any(axis=1)
    middle = picture.expected()
    bad = [((int(c), int(r)), tuple(int(v) for v in observed[r, c]),
            tuple(int(v) for v in middle[r, c]))
           for r, c in zip(rows[off], cols[off])]
    on_quad = picture.drawn[rows, cols]
    return bad, int(on_quad.sum()), int((~on_quad).sum())


def edge_row(scene, a, b, x):
    """The image row coordinate (y down) where the screen line through
    vertices a and b crosses the window x coordinate x."""
    (xa, ya), (xb, yb) = scene.window[a], scene.window[b]
    return scene.height - (ya + (yb - ya) * (x - xa) / (xb - xa))


def inward(scene, vertex, fraction):
    """The image pixel that lies the given fraction of the way from a vertex
    of the quad to the quad's centre, on the screen."""
    cx = sum(p[0] for p in scene.window) / 4
    cy = sum(p[1] for p in scene.window) / 4
    vx, vy = scene.window[vertex]
    return int(vx + (cx - vx) * fraction), int(scene.height - (vy + (cy - vy) * fraction))

