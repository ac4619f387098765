"""The suite's raw texture files as texels, GL_LINEAR sampling of them as
the fixed-function pipeline does it, and the comparison of colours within a
tolerance.

Textures are sampled with the default GL_REPEAT wrap on both axes. Texel
row 0 is the file's first row, at t = 0."""

import numpy as np


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


def bounding_samples(texture, s, t, reach):
    """GL_LINEAR samples that bound every sample within reach texels of
    (s, t) on either axis, for texture coordinates known only that well.

    Within one cell of four texels the filter is bilinear in the position,
    so over a rectangle its extremes lie at the rectangle's corners; a
    rectangle that straddles a line of texel centres is cut there into such
    cells. Each axis therefore contributes its two ends and the texel-centre
    line between them (or an end again, where none lies between): the nine
    samples at those positions hold the least and the greatest value of each
    component. reach must stay under half a texel, so that every sample
    weighs texels from the same three columns and three rows."""
    height, width, comps = texture.shape
    assert not (width & (width - 1) or height & (height - 1)), texture.shape
    assert reach < 0.5
    flat = texture.reshape(-1, comps)
    x, y = s * width - 0.5, t * height - 0.5
    first_x, first_y = np.floor(x - reach), np.floor(y - reach)
    columns = [(first_x + k).astype(np.int32) & (width - 1) for k in range(3)]
    rows = [((first_y + k).astype(np.int32) & (height - 1)) * width for k in range(3)]
    # The three by three texels around, rows first, wrapped with GL_REPEAT.
    around = [[np.take(flat, row + column, axis=0) for column in columns] for row in rows]
    ramps_x = [_ramps(p - first_x) for p in _ends_and_cut(x, reach)]
    ramps_y = [_ramps(p - first_y) for p in _ends_and_cut(y, reach)]
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
