"""Which window pixels a mesh of triangles covers, and the weights of its
vertices at each pixel centre, worked out for whole images at a time.

Window coordinates are in pixels with y up, as the viewport transform gives
them; image rows count from the top. A pixel belongs to a triangle when its
centre lies inside it. Centres that lie within EDGE_MARGIN of a mesh's
outline could fall either way: vertex positions reach a rasteriser snapped
to its sub-pixel grid after single-precision transforms, and its tie rule
for centres on an edge is its own (llvmpipe, which snaps to 1/256 pixel,
strays up to 0.0016 pixels from the exact edge; softpipe only in its tie
rule); an eighth leaves room for the coarser grids of hardware. Inside the
mesh, the edges that two of its triangles share decide nothing: the pixel
is the mesh's either way."""

import numpy as np

EDGE_MARGIN = 0.125


def cross(o, a, b):
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])


class Mesh:
    """Triangles (vertex index triples, in drawing order) over vertices at
    window positions (x, y) with their clip w (1 without perspective). With
    cull, only counter-clockwise triangles are drawn, as with GL_CCW fronts
    and back faces culled; without, every triangle is, turned
    counter-clockwise here. Triangles with no area draw nothing."""

    def __init__(self, positions, w, triangles, cull=True):
        self.positions = [tuple(float(c) for c in p) for p in positions]
        self.w = [float(v) for v in w]
        self.triangles = []
        for a, b, c in triangles:
            area = cross(self.positions[a], self.positions[b], self.positions[c])
            if area > 1e-9:
                self.triangles.append((a, b, c))
            elif area < -1e-9 and not cull:
                self.triangles.append((a, c, b))
        edges = {}
        for tri in self.triangles:
            for k in range(3):
                key = frozenset((tri[k], tri[(k + 1) % 3]))
                edges[key] = edges.get(key, 0) + 1
        # An edge of one drawn triangle only is on the outline.
        self.outline = [tuple(self.positions[i] for i in sorted(key))
                        for key, n in edges.items() if n == 1]


class Window:
    """A window's pixel grid: the centre of each image pixel in window
    coordinates, over any rectangle of it."""

    def __init__(self, width, height):
        self.width, self.height = width, height

    def around(self, points, reach):
        """(rows, columns) slices of the pixels whose centres may lie within
        reach of the box around points; None when none is in the window."""
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        c0 = max(0, int(np.floor(min(xs) - reach - 0.5)))
        c1 = min(self.width, int(np.ceil(max(xs) + reach - 0.5)) + 1)
        r0 = max(0, int(np.floor(self.height - max(ys) - reach - 0.5)))
        r1 = min(self.height, int(np.ceil(self.height - min(ys) + reach - 0.5)) + 1)
        if c0 >= c1 or r0 >= r1:
            return None
        return slice(r0, r1), slice(c0, c1)

    def centres(self, rows, cols):
        """Window x and y of the pixel centres in the slices, as 2-D arrays."""
        x = np.arange(cols.start, cols.stop, dtype=np.float64) + 0.5
        y = self.height - np.arange(rows.start, rows.stop, dtype=np.float64) - 0.5
        return np.meshgrid(x, y)


def edge_distance(p, q, x, y):
    """Signed distance of (x, y) from the line p -> q: positive on its left,
    inside a counter-clockwise triangle."""
    dx, dy = q[0] - p[0], q[1] - p[1]
    return (dx * (y - p[1]) - dy * (x - p[0])) / np.hypot(dx, dy)


def segment_distance(p, q, x, y):
    dx, dy = q[0] - p[0], q[1] - p[1]
    k = np.clip(((x - p[0]) * dx + (y - p[1]) * dy) / (dx * dx + dy * dy), 0.0, 1.0)
    return np.hypot(x - p[0] - k * dx, y - p[1] - k * dy)


def fragments(mesh, window, reach):
    """For each drawn triangle, the pixels whose centres lie inside it or
    within reach of it: (triangle, (rows, columns), mask over the slices,
    inside: the mask's pixels whose centres lie inside, weights: the
    perspective-correct weights of the triangle's three vertices at the
    mask's pixels, shape (n, 3), slopes: how those weights change per pixel
    along window x and along window y, (d/dx, d/dy), each shape (n, 3))."""
    for tri in mesh.triangles:
        corners = [mesh.positions[i] for i in tri]
        box = window.around(corners, reach)
        if box is None:
            continue
        x, y = window.centres(*box)
        distances = [edge_distance(corners[k], corners[(k + 1) % 3], x, y) for k in range(3)]
        nearest = np.minimum(np.minimum(distances[0], distances[1]), distances[2])
        mask = nearest >= -reach
        if not mask.any():
            continue
        # The weight of a vertex is its share of the area, that of the
        # sub-triangle facing it, divided by its w and renormalised.
        px, py = x[mask], y[mask]
        area = cross(*corners)
        shares = np.stack([cross((px, py), corners[1], corners[2]),
                           cross(corners[0], (px, py), corners[2]),
                           cross(corners[0], corners[1], (px, py))], axis=1) / area
        inverse_w = 1.0 / np.array([mesh.w[i] for i in tri])
        shares *= inverse_w
        total = shares.sum(axis=1, keepdims=True)
        weights = shares / total
        # Each share's slope is constant: the edge facing its vertex, turned
        # a quarter, over the area, over the vertex's w; the weight's slope
        # follows from the quotient rule.
        slopes = []
        for axis in range(2):
            rise = np.array([(corners[(k + 1) % 3][1] - corners[(k + 2) % 3][1]) if axis == 0
                             else (corners[(k + 2) % 3][0] - corners[(k + 1) % 3][0])
                             for k in range(3)]) / area * inverse_w
            slopes.append((rise - weights * rise.sum()) / total)
        yield tri, box, mask, nearest[mask] >= 0, weights, tuple(slopes)


def near_outline(mesh, window, margin):
    """Pixels (a boolean image) whose centres lie within margin of the
    mesh's outline."""
    near = np.zeros((window.height, window.width), bool)
    for p, q in mesh.outline:
        box = window.around([p, q], margin)
        if box is None:
            continue
        x, y = window.centres(*box)
        near[box] |= segment_distance(p, q, x, y) < margin
    return near
