"""The suite's raw texture files as texels, GL_LINEAR sampling of them as
the fixed-function pipeline does it, and the comparison of colours within a
tolerance.

Textures are sampled with the default GL_REPEAT wrap on both axes. Texel
row 0 is the file's first row, at t = 0."""

import numpy as np

# How far a window position may stray on each axis, in pixels, on its way
# to the texture unit: vertex positions snapped to the rasteriser's
# sub-pixel grid and interpolants evaluated in its own precision (the same
# eighth of a pixel as raster.EDGE_MARGIN). It reaches texture space
# through each pixel's own footprint: a magnified texture's coordinates
# move by a fraction of a texel, a minified one's by its texels' worth.
POSITION_REACH = 1.0 / 8
# How far, in texels, a sample may stray on each axis besides: texture
# coordinates rounded to the filter's sub-texel grid, and the GL_LINEAR
# weights taken from it (llvmpipe's fixed-point path weighs texels in steps
# of 1/256, softpipe in floats; a 4-bit grid, the coarsest in use, strays by
# 1/32 where it rounds and by 1/16 where it truncates).
WEIGHT_REACH = 1.0 / 16


def read_raw(path, width, height, bits):
    """A raw texture as rows of texels, row 0 first, each a tuple of bytes."""
    comps = bits // 8
    with open(path, "rb") as f:
        data = f.read(width * height * comps)
    return [[tuple(data[(r * width + c) * comps:(r * width + c + 1) * comps])
             for c in range(width)] for r in range(height)]


def load(path, width, height, bits):
    """A raw texture as a float array (height, width, components)."""
    comps = bits // 8
    with open(path, "rb") as f:
        data = f.read(width * height * comps)
    if len(data) < width * height * comps:
        raise ValueError("%s holds %d bytes, not %d" % (path, len(data), width * height * comps))
    return np.frombuffer(data, np.uint8).reshape(height, width, comps).astype(np.float32)


def sample_linear(texels, s, t):
    """GL_LINEAR sampling with the default GL_REPEAT wrap at (s, t)."""
    height, width = len(texels), len(texels[0])
    u = s * width - 0.5
    v = t * height - 0.5
    i0, j0 = int(u // 1), int(v // 1)
    a, b = u - i0, v - j0

    def texel(i, j):
        return texels[j % height][i % width]
    result = []
    for c in range(len(texels[0][0])):
        result.append((1 - a) * (1 - b) * texel(i0, j0)[c] + a * (1 - b) * texel(i0 + 1, j0)[c]
                      + (1 - a) * b * texel(i0, j0 + 1)[c] + a * b * texel(i0 + 1, j0 + 1)[c])
    return tuple(result)


def footprint_reach(texture, slopes_x, slopes_y):
    """How far, in texels along each axis, the sample of each pixel may
    stray: POSITION_REACH pixels in x and in y carried through the pixel's
    texture footprint (slopes_x, slopes_y: how s and t change per pixel
    along window x and y, arrays (n, 2)), plus WEIGHT_REACH. Returns
    (reach along s, reach along t), arrays (n,)."""
    height, width = texture.shape[:2]
    span = np.abs(slopes_x) + np.abs(slopes_y)
    return (POSITION_REACH * width * span[:, 0] + WEIGHT_REACH,
            POSITION_REACH * height * span[:, 1] + WEIGHT_REACH)


# Where a colour written depends on products of the sample's channels (a
# texel's alpha weighing its own colour in a decal or a blend), it is no
# longer bilinear between lines of texel centres: each stretch of an axis's
# reach between them is cut into this many parts and sampled at every cut.
# The product of two linear ramps strays from its chord by at most an
# eighth of their slopes' product times the part's square: 2 steps where
# alpha and colour both turn over fully in one texel, across a stretch of
# half a texel.
PARTS = 4


def extremes(texture, s, t, reach, written, monotonic=False):
    """The least and the greatest colour written, (lo, hi) arrays (n, 3),
    where each pixel's GL_LINEAR sample at (s, t) is known to (reach along
    s, reach along t) texels: written(samples, index) gives the colours
    written (a list of arrays (m, 3)) at the pixels index of the n for each
    sample of the list samples (arrays (m, components)) that bound them.
    monotonic: each channel written grows or shrinks with the sample's same
    channel alone, so the samples' own least and greatest values bound it.

    The samples of pixels whose reach stays under half a texel on both axes
    are bounding_samples; those of the rest (minified) lie at the ends of
    each axis's reach and at every line of texel centres between (see
    bounding_samples), pixels grouped by how many such lines they cross.
    Where not monotonic, see _weighed_extremes."""
    height, width = texture.shape[:2]
    reach_s, reach_t = (np.broadcast_to(np.asarray(r, np.float64), np.shape(s))
                        for r in reach)
    x, y = s * width - 0.5, t * height - 0.5
    lines = np.maximum(np.floor(x + reach_s) - np.ceil(x - reach_s),
                       np.floor(y + reach_t) - np.ceil(y - reach_t)) + 1
    counts = 2 ** np.ceil(np.log2(np.maximum(lines, 1)))
    counts[(reach_s < 0.5) & (reach_t < 0.5)] = 0
    flat = texture.reshape(-1, texture.shape[2])
    lo = hi = None
    for count in np.unique(counts):
        index = np.nonzero(counts == count)[0]
        if count == 0:
            samples = bounding_samples(texture, s[index], t[index], reach_s[index],
                                       reach_t[index])
        else:
            columns = _ends_and_lines(x[index], reach_s[index], max(int(count), 1))
            rows = _ends_and_lines(y[index], reach_t[index], max(int(count), 1))
            samples = [_bilinear(flat, width, height, column, row)
                       for column in columns for row in rows]
        least_sample, most_sample = lowest(samples), highest(samples)
        if monotonic:
            values = written([least_sample, most_sample], index)
            least, most = lowest(values), highest(values)
        else:
            least, most = _weighed_extremes(texture, x[index], y[index], reach_s[index],
                                            reach_t[index], int(count), least_sample,
                                            most_sample, index, written)
        if lo is None:
            lo = np.empty((len(s),) + least.shape[1:], np.float32)
            hi = np.empty_like(lo)
        lo[index], hi[index] = least, most
    return lo, hi



def texel_shader(texture, uv):
    """The shader of an opaque mesh that writes its texel as it is (an RGB
    texture replacing, or modulating white), uv its vertices' texture
    coordinates: each pixel's band is the texture's extremes over its
    footprint's reach."""
    def shade(tri, weights, under, slopes):
        corners = uv[list(tri)]
        st = weights @ corners
        reach = footprint_reach(texture, slopes[0] @ corners, slopes[1] @ corners)
        return extremes(texture, st[:, 0], st[:, 1], reach,
                        lambda samples, index: samples, monotonic=True)
    return shade

def _weighed_extremes(texture, x, y, reach_s, reach_t, count, least, most, index, written):
    """extremes() where a texel's alpha (its last component) weighs its
    colour: the colour written is affine in that alpha and grows or shrinks
    with each colour channel alone, so where the alpha or the colour is the
    same across a pixel's reach the corners of the samples' range bound it
    exactly. Elsewhere (an alpha outline over changing colour) each axis is
    sampled PARTS times finer."""
    height, width, comps = texture.shape
    alpha = least[:, -1:], most[:, -1:]
    corners = [np.concatenate([colour[:, :-1], a], axis=1)
               for colour in (least, most) for a in alpha]
    values = written(corners, index)
    low, high = lowest(values), highest(values)
    mixed = np.nonzero((most[:, -1] > least[:, -1])
                       & (most[:, :-1] > least[:, :-1]).any(axis=1))[0]
    if len(mixed):
        flat = texture.reshape(-1, comps)
        columns = _ends_and_lines(x[mixed], reach_s[mixed], max(count, 1), PARTS)
        rows = _ends_and_lines(y[mixed], reach_t[mixed], max(count, 1), PARTS)
        some_low = some_high = None
        for column in columns:
            for row in rows:
                values = written([_bilinear(flat, width, height, column, row)], index[mixed])
                if some_low is None:
                    some_low, some_high = lowest(values), highest(values)
                for value in values:
                    np.minimum(some_low, value, out=some_low)
                    np.maximum(some_high, value, out=some_high)
        low[mixed], high[mixed] = some_low, some_high
    return low, high


def _ends_and_lines(position, reach, count, parts=1):
    """Positions along an axis that bound a GL_LINEAR sample anywhere within
    reach of position: the ends and up to count lines of texel centres
    between (repeating the far end where fewer lie between), in order, and
    parts - 1 more evenly between each two of them."""
    low, high = position - reach, position + reach
    first = np.ceil(low)
    stops = [low] + [np.minimum(first + k, high) for k in range(count)] + [high]
    if parts == 1:
        return stops
    return [stops[0]] + [a + (b - a) * (k / parts) for a, b in zip(stops, stops[1:])
                         for k in range(1, parts + 1)]


def _bilinear(flat, width, height, x, y):
    """GL_LINEAR with GL_REPEAT at texel positions (x, y) (texel centres on
    whole numbers), arrays (n,): the samples, (n, components)."""
    left, below = np.floor(x), np.floor(y)
    a = (x - left).astype(np.float32)[:, None]
    b = (y - below).astype(np.float32)[:, None]
    left, below = left.astype(np.int64), below.astype(np.int64)
    c0, c1 = left & (width - 1), (left + 1) & (width - 1)
    r0, r1 = (below & (height - 1)) * width, ((below + 1) & (height - 1)) * width
    first = flat[r0 + c0] * (1 - a) + flat[r0 + c1] * a
    second = flat[r1 + c0] * (1 - a) + flat[r1 + c1] * a
    return first * (1 - b) + second * b


def bounding_samples(texture, s, t, reach, reach_t=None):
    """GL_LINEAR samples that bound every sample within reach texels of
    (s, t) on either axis, for texture coordinates known only that well.

    Within one cell of four texels the filter is bilinear in the position,
    so over a rectangle its extremes lie at the rectangle's corners; a
    rectangle that straddles a line of texel centres is cut there into such
    cells. Each axis therefore contributes its two ends and the texel-centre
    line between them (or an end again, where none lies between): the nine
    samples at those positions hold the least and the greatest value of each
    component. reach (along s; along t too unless reach_t is given, each a
    number or an array of one per position) must stay under half a texel,
    so that every sample weighs texels from the same three columns and
    three rows."""
    height, width, comps = texture.shape
    assert not (width & (width - 1) or height & (height - 1)), texture.shape
    reach_t = reach if reach_t is None else reach_t
    assert np.all(reach < 0.5) and np.all(reach_t < 0.5)
    flat = texture.reshape(-1, comps)
    x, y = s * width - 0.5, t * height - 0.5
    first_x, first_y = np.floor(x - reach), np.floor(y - reach_t)
    columns = [(first_x + k).astype(np.int32) & (width - 1) for k in range(3)]
    rows = [((first_y + k).astype(np.int32) & (height - 1)) * width for k in range(3)]
    # The three by three texels around, rows first, wrapped with GL_REPEAT.
    around = [[np.take(flat, row + column, axis=0) for column in columns] for row in rows]
    ramps_x = [_ramps(p - first_x) for p in _ends_and_cut(x, reach)]
    ramps_y = [_ramps(p - first_y) for p in _ends_and_cut(y, reach_t)]
    filtered_rows = [_filter(texels, ramps_x) for texels in around]
    return [sample for k in range(len(ramps_x))
            for sample in _filter([row[k] for row in filtered_rows], ramps_y)]


def _ramps(offset):
    """For offsets from the first of three texels (0 to 2), how far the
    position has gone from the first to the second texel and from the second
    to the third, as columns for broadcasting."""
    offset = offset.astype(np.float32)[:, None]
    return np.minimum(offset, 1), np.maximum(offset - 1, 0)


def _filter(three, ramps):
    """Linear filtering over three values at each position of ramps: the
    first value, the ramp's share of the way to the second, then on to the
    third."""
    rise, further = three[1] - three[0], three[2] - three[1]
    values = []
    for first, second in ramps:
        # In place: these arrays hold a value per pixel of a triangle.
        value = first * rise
        value += three[0]
        value += second * further
        values.append(value)
    return values


def sample_bounds(texture, s, t, reach):
    """The least and the greatest GL_LINEAR sample, per component, within
    reach texels of (s, t): arrays (n, components)."""
    samples = bounding_samples(texture, s, t, reach)
    return lowest(samples), highest(samples)


def lowest(arrays):
    result = arrays[0].copy()
    for array in arrays[1:]:
        np.minimum(result, array, out=result)
    return result


def highest(arrays):
    result = arrays[0].copy()
    for array in arrays[1:]:
        np.maximum(result, array, out=result)
    return result


def _ends_and_cut(position, reach):
    low, high = position - reach, position + reach
    return low, high, np.minimum(np.ceil(low), high)


def close_to(actual, expected, tolerance):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))
