"""The texture tester's expected picture: the large texture over the window's
grid 0..255 and the small one over 100..163, both sampled with GL_LINEAR, and
the clear colour in the last column and row; and its verdict from a grid of
probes over the whole window."""

from .probes import from_probes, probe
from .texels import sample_linear

CLEAR = (26, 26, 128)       # 0.1, 0.1, 0.5 in 8-bit channels
E = 0.99990000              # texture coordinates end just short of 1


def expected_large(texels, px, py, scale_x=1.0, scale_y=1.0):
    """The large square: grid 0..255 maps u, v 0..0.9999; a pixel centre lies
    at grid (px + 0.5) / scale, where scale is window pixels per grid unit."""
    return sample_linear(texels, E * (px + 0.5) / scale_x / 255,
                         E * (py + 0.5) / scale_y / 255)


def expected_small(texels, px, py, scale_x=1.0, scale_y=1.0):
    return sample_linear(texels, E * ((px + 0.5) / scale_x - 100) / 63,
                         E * ((py + 0.5) / scale_y - 100) / 63)


def verdict(image, tol, texels):
    """texels: the large and the small texture."""
    large, small = texels
    results = []
    for py in range(3, 255, 9):
        for px in range(3, 255, 9):
            if 100 <= px <= 162 and 100 <= py <= 162:
                expected = expected_small(small, px, py)
            else:
                expected = expected_large(large, px, py)
            results.append(probe(image, (px, py), expected, tol))
    # The square ends at grid unit 255: the last column and row keep the clear colour.
    for i in range(0, 256, 15):
        results.append(probe(image, (255, i), CLEAR, tol))
        results.append(probe(image, (i, 255), CLEAR, tol))
    return from_probes(results, len(results))
