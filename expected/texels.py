"""The suite's raw texture files as texels, GL_LINEAR sampling of them as
the fixed-function pipeline does it, and the comparison of colours within a
tolerance."""


def read_raw(path, width, height, bits):
    """A raw texture as rows of texels, row 0 first, each a tuple of bytes."""
    comps = bits // 8
    with open(path, "rb") as f:
        data = f.read(width * height * comps)
    return [[tuple(data[(r * width + c) * comps:(r * width + c + 1) * comps])
             for c in range(width)] for r in range(height)]


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


def close_to(actual, expected, tolerance):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))
