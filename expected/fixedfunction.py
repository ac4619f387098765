"""The fixed-function pipeline of the two render-state programs, worked out
from its equations: the quad's transform (scale, move along z, turn about
the vertical axis, then perspective or the identity projection),
perspective-correct interpolation, the texture environments, lighting with
no light enabled, flat shading, fog at the fragment's eye depth and
blending. For a pixel it gives the range of colours a correct renderer may
write there, or nothing where the pixel is no fair probe.

A state is a dict of the render settings (texture, blend, lighting, fog,
env, flat, perspective, persp) over the program's view (yrot, size,
offset, and coord, where the quad's texture coordinates end); INITIAL is
vorntest5's start and FIRST_VERSION vorntest's. The texels passed in carry
the texture's format (3 components: RGB, 4: RGBA)."""

import math
import struct

from .texels import sample_linear

# Tolerance, in 8-bit steps, around the range that the model gives for a
# probe: half a step for the renderer's conversion of a float colour to 8 bits,
# one step for its 8-bit bilinear weights, one for blending, fog and modulation
# done on 8-bit values, and half a step of slack.
TOLERANCE = 3
# Texture coordinates are taken as exact to a quarter texel: the model's range
# at a probe spans its neighbours at that distance, and probes whose range is
# wider than SPREAD steps (texture detail, edges of the dial) are left out.
NEAR = 0.25
SPREAD = 6
# Probes keep this many pixels from every triangle edge, so no rasterisation
# rule decides which triangle (or none) a probe pixel belongs to.
MARGIN = 3.0
# Spacing of the probe grid, in pixels.
STEP = 11


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


def cross(o, a, b):
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])


def segment_distance(p, a, b):
    dx, dy = b[0] - a[0], b[1] - a[1]
    k = max(0.0, min(1.0, ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / (dx * dx + dy * dy)))
    return math.hypot(p[0] - a[0] - k * dx, p[1] - a[1] - k * dy)


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
            edges = [segment_distance(p, v[j], v[(j + 1) % 3]) for j in range(3)]
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


def fragment_colour(scene, tri, weights, texel):
    """The colour, on the 0 to 255 scale, that the fixed-function pipeline
    writes for a fragment, with texel the texture's (R, G, B) or (R, G, B, A)
    there."""
    state = scene.state
    if state["lighting"]:
        colour, alpha = list(LIT), LIT_ALPHA
    else:
        if state["flat"]:
            # The last vertex of each triangle gives its colour.
            rgba = list(RGBA[tri[2]])
        else:
            rgba = interpolate(tri, weights, RGBA)
        colour, alpha = rgba[:3], rgba[3] / 255
    if state["texture"]:
        env = state["env"]
        # An RGB texture leaves the fragment's alpha alone in every mode and
        # decals as an opaque one; an RGBA texture's alpha replaces the
        # fragment's, scales it (modulate, blend) or weighs the decal.
        rgb, rgba = texel[:3], len(texel) == 4
        texel_alpha = texel[3] / 255 if rgba else 1.0
        if env == "replace":
            colour = list(rgb)
            if rgba:
                alpha = texel_alpha
        elif env == "decal":
            colour = [c * (1 - texel_alpha) + t * texel_alpha for c, t in zip(colour, rgb)]
        elif env == "modulate":
            colour = [c * t / 255 for c, t in zip(colour, rgb)]
            alpha *= texel_alpha
        elif env == "blend":
            # The environment colour is the default (0, 0, 0, 0).
            colour = [c * (1 - t / 255) for c, t in zip(colour, rgb)]
            alpha *= texel_alpha
    if state["fog"]:
        # Fog distance: the fragment's eye depth, exact under
        # perspective-correct interpolation.
        z = -interpolate(tri, weights, [(e[2],) for e in scene.eye])[0]
        f = fog_factor(state["fog"], z)
        colour = [f * c + (1 - f) * g for c, g in zip(colour, FOG_COLOR)]
    if state["blend"]:
        colour = [alpha * c + (1 - alpha) * d for c, d in zip(colour, CLEAR)]
    return colour


def fog_factor(mode, z):
    """Fog factor at eye distance z: 1 is no fog, 0 is all fog colour."""
    if mode == "linear":
        f = (FOG_END - z) / (FOG_END - FOG_START)
    elif mode == "exp":
        f = math.exp(-FOG_DENSITY * z)
    else:
        f = math.exp(-(FOG_DENSITY * z) ** 2)
    return max(0.0, min(1.0, f))


def expected_range(scene, texels, px, py):
    """(low, high) per channel for pixel (px, py), or None where the pixel is
    no good probe: near an edge, or on texture detail finer than NEAR."""
    where = scene.locate(px, py)
    if where is None:
        return None
    tri, weights = where
    if tri == "outside":
        return CLEAR, CLEAR
    state = scene.state
    if state["texture"]:
        u, v = interpolate(tri, weights, [(p[0], p[1]) for p in scene.points])
        d = NEAR / 256
        colours = [fragment_colour(scene, tri, weights,
                                   sample_linear(texels, u + du * d, v + dv * d))
                   for du in (-1, 0, 1) for dv in (-1, 0, 1)]
    else:
        colours = [fragment_colour(scene, tri, weights, None)]
    low = [min(c[k] for c in colours) for k in range(3)]
    high = [max(c[k] for c in colours) for k in range(3)]
    if max(hi - lo for lo, hi in zip(low, high)) > SPREAD:
        return None
    return low, high


def probe_mismatches(image, state, texels, points=None, tolerance=TOLERANCE):
    """Compares the image with the model at a grid of probes (or at the given
    points), allowing tolerance steps around each probe's range; returns the
    mismatches (pixel, observed, expected) and the counts of probes inside
    the quad and outside it."""
    scene = Scene(state, image.width, image.height)
    if points is None:
        points = [(px, py) for py in range(0, image.height, STEP)
                  for px in range(0, image.width, STEP)]
    bad, inside, outside = [], 0, 0
    for px, py in points:
        expected = expected_range(scene, texels, px, py)
        if expected is None:
            continue
        low, high = expected
        if low is CLEAR:
            outside += 1
        else:
            inside += 1
        actual = image.pixel(px, py)
        if any(a < lo - tolerance or a > hi + tolerance
               for a, lo, hi in zip(actual, low, high)):
            bad.append(((px, py), actual, tuple(round((lo + hi) / 2) for lo, hi in zip(low, high))))
    return bad, inside, outside


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

