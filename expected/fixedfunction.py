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

Where OpenGL 1.1 leaves a choice open (the README's table of freedoms):
- choices whose pictures lie far apart are made once per picture
  (choices()): the fog distance (section 3.9: the eye-plane depth |ze|, or
  the radial distance, at the vertices or at each fragment), and, where the
  quad's w varies, perspective-correct or window-linear interpolation of
  the colours (with the fog, interpolated as they are) and of the texture
  coordinates, each on its own (sections 3.4.1, 5.6); a picture is judged
  against each choice's band;
- within one band: the fog factor per fragment or per vertex and
  interpolated (3.9); texture samples within texels.POSITION_REACH pixels
  through each pixel's footprint plus texels.WEIGHT_REACH texels (3.8.5);
  coverage within raster.EDGE_MARGIN of an outline (3.5.1); TOLERANCE for
  the arithmetic's precision and dithering (4.1.6, 4.1.7).
Taken as fixed, since OpenGL 1.1 fixes them: the last vertex of a triangle
as the source of its flat colour (2.13.7), GL_LINEAR on the texels as
stored."""

import collections
import math
import struct

import numpy as np

from . import bands, raster, texels
from .raster import cross, segment_distance


# Tolerance, in 8-bit steps, around the band that the model gives for a
# pixel: half a step for the renderer's conversion of a float colour to 8 bits,
# one step for its 8-bit bilinear weights, one for blending, fog and modulation
# done on 8-bit values (dithering's step among them), and half a step of slack.
TOLERANCE = 3
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


# The fog distances a renderer may take (OpenGL 1.1 section 3.9): the
# eye-plane depth |ze| (the permitted approximation; ze is affine over a
# triangle, so interpolated or exact it is the same), the radial distance
# from the eye worked out at the vertices and interpolated, as Mesa does
# under GL_NV_fog_distance's GL_EYE_RADIAL_NV, or the exact radial
# distance of each fragment. They give pictures far apart (vorntest's quad
# lies in the eye plane: no fog by |ze|, nearly all fog radially), so each
# is a choice of its own, made once for a picture.
EYE_PLANE, RADIAL_VERTICES, RADIAL_FRAGMENTS = (
    "the eye-plane depth", "the radial distance at the vertices",
    "the radial distance at each fragment")


# What a renderer may interpolate linearly in window space where the quad's
# w varies, each on its own: GL_PERSPECTIVE_CORRECTION_HINT may give
# "simple linear interpolation of colors and/or texture coordinates"
# (OpenGL 1.1 section 5.6), and a fog factor worked out at the vertices is
# "interpolated as other data are" (section 3.9), so it goes with the
# colours.
COLOURS, TEXTURE = "colours and fog", "texture coordinates"


class Choice(collections.namedtuple("Choice", "fog linear")):
    """What a renderer chose for a picture where OpenGL leaves it open: the
    fog distance (None without fog) and what it interpolates linearly in
    window space (a tuple of COLOURS and TEXTURE; the rest
    perspective-correctly)."""

    def text(self):
        if not self.linear:
            interpolation = "perspective-correct"
        elif len(self.linear) == 2:
            interpolation = "linear in window space"
        else:
            interpolation = "%s linear in window space" % self.linear[0]
        return ("fog by %s, %s" % (self.fog, interpolation) if self.fog else interpolation)


def varying(state):
    """What a picture of the state interpolates that its interpolation can
    change: the colours where they differ at the vertices and show (an
    opaque replaced texture hides them), or the fog; the texture
    coordinates where the texture is on."""
    shown = not state["texture"] or state["env"] != "replace" or state["blend"]
    colours = (shown and not state["lighting"] and not state["flat"]) or state["fog"]
    return tuple(name for name, on in ((COLOURS, colours), (TEXTURE, state["texture"])) if on)


def choices(state, width=600, height=600):
    """The choices a renderer may make for a picture of the state, the one
    that renderers make most first: every fog distance where fog is on,
    each with perspective-correct interpolation and, where the quad's w
    varies, with every mix of linear interpolation too, all linear first."""
    fogs = (EYE_PLANE, RADIAL_VERTICES, RADIAL_FRAGMENTS) if state["fog"] else (None,)
    w = Scene(state, width, height).w
    linear = [()]
    if max(w) - min(w) > 1e-6 * max(w):
        names = varying(state)
        linear += ([names] if names else []) + ([(n,) for n in names] if len(names) > 1 else [])
    return [Choice(fog, flat) for flat in linear for fog in fogs]


def band(state, texture, width, height, choice=None):
    """The band of every pixel of a window of this size in a state, for a
    renderer that makes the choice (by default the first of choices()):
    the quad over the clear colour."""
    choice = choice or choices(state, width, height)[0]
    scene = Scene(state, width, height)
    picture = bands.Band(width, height, CLEAR)
    mesh = raster.Mesh(scene.window, scene.w, TRIANGLES, cull=True)
    picture.draw(mesh, lambda tri, weights, under, slopes: shade(
        scene, texture, tri, weights, under, slopes, choice))
    return picture


def window_linear(w, weights, slopes):
    """The weights linear in window space (and their slopes) at pixels whose
    perspective-correct weights these are, for vertices of clip w: each
    perspective weight is the linear one over its vertex's w, renormalised,
    so the linear one is the perspective one times w, renormalised."""
    w = np.asarray(w, float)
    scaled = weights * w
    total = scaled.sum(axis=1, keepdims=True)
    linear = scaled / total
    return linear, tuple((slope * w - linear * (slope * w).sum(axis=1, keepdims=True)) / total
                         for slope in slopes)


def shade(scene, texture, tri, weights, under, slopes, choice):
    """The band (lo, hi) of the colour written where the triangle tri has
    these vertex weights, over the band under of what lies beneath, the
    weights changing by slopes per pixel (see raster.fragments)."""
    state = scene.state
    perspective = (weights, slopes)
    linear = window_linear([scene.w[i] for i in tri], weights, slopes) \
        if choice.linear else perspective
    colour_weights = (linear if COLOURS in choice.linear else perspective)[0]
    uv_weights, uv_slopes = linear if TEXTURE in choice.linear else perspective
    colour, alpha = vertex_colour(state, tri, colour_weights)
    factors = fog_factors(scene, tri, colour_weights, choice.fog) if state["fog"] else []
    fog = np.array(FOG_COLOR, float)

    def written(samples, index):
        here = (colour[index], alpha[index])
        variants = ([here] if samples is None else
                    [environment(state["env"], here[0], here[1], t) for t in samples])
        if factors:
            variants = [(f[index, None] * c + (1 - f[index, None]) * fog, a)
                        for c, a in variants for f in factors]
        if state["blend"]:
            return [a[:, None] * c + (1 - a[:, None]) * beneath[index]
                    for c, a in variants for beneath in under]
        return [c for c, _ in variants]

    if not state["texture"]:
        values = written(None, np.arange(len(weights)))
        return texels.lowest(values), texels.highest(values)
    corners = np.array([scene.points[i][:2] for i in tri])
    uv = uv_weights @ corners
    reach = texels.footprint_reach(texture, uv_slopes[0] @ corners, uv_slopes[1] @ corners)
    # With an RGB texture each channel written grows or shrinks with the
    # texel's same channel alone, in every environment, and so does fog and
    # the blend (whose alpha an RGB texture leaves alone); an RGBA texture's
    # alpha weighs its colour in a decal and in the blend.
    monotonic = texture.shape[2] == 3 or not (state["env"] == "decal" or state["blend"])
    return texels.extremes(texture, uv[:, 0], uv[:, 1], reach, written, monotonic)


def fog_factors(scene, tri, weights, distance):
    """The fog factors a renderer that takes this fog distance may blend
    by, arrays (n,): worked out per fragment, and (but for the exact radial
    distance) per vertex and interpolated, which OpenGL 1.1 permits too;
    the band spans both, which lie close together."""
    mode = scene.state["fog"]
    eyes = np.array([scene.eye[i] for i in tri])
    if distance == RADIAL_FRAGMENTS:
        return [fog_factor(mode, np.linalg.norm(weights @ eyes, axis=1))]
    at_vertices = np.abs(eyes[:, 2]) if distance == EYE_PLANE else np.linalg.norm(eyes, axis=1)
    return [fog_factor(mode, weights @ at_vertices), weights @ fog_factor(mode, at_vertices)]


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

