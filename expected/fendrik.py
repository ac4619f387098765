"""The texture tester's expected picture: the large texture over the window's
grid 0..255 and the small one over 100..163, both sampled with GL_LINEAR, and
the clear colour in the last column and row; and its verdict, every pixel
against that picture's band."""

import numpy as np

from . import bands, raster, texels
from .probes import from_band
from .texels import sample_linear

GRID = 256                  # window units across and down
# The squares: grid corners top-left, top-right, bottom-right, bottom-left,
# texture coordinate (0, 0) at the top-left one.
LARGE = (0, 255)
SMALL = (100, 163)

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


def band(textures, width, height):
    """The large square over the clear colour, then the small one over it;
    both take their texels as they are (white modulated), opaque."""
    picture = bands.Band(width, height, CLEAR)
    for (first, last), texture in ((LARGE, textures.dial), (SMALL, textures.card)):
        draw_square(picture, texture, first, last)
    return picture


def draw_square(picture, texture, first, last):
    corners = [(first, first), (last, first), (last, last), (first, last)]
    uv = np.array([(0, 0), (E, 0), (E, E), (0, E)], float)
    positions = [(x * picture.width / GRID, picture.height - y * picture.height / GRID)
                 for x, y in corners]
    # Drawn as one GL_QUADS quad with no culling: either split into
    # triangles draws the same, the coordinates being affine in the window.
    mesh = raster.Mesh(positions, [1.0] * 4, [(0, 1, 2), (0, 2, 3)], cull=False)
    picture.draw(mesh, texels.texel_shader(texture, uv))


def verdict(program, settings, image, count, tol, textures, precision=None):
    """The picture against the band, kept for the window size."""
    size = (image.width, image.height)
    picture = textures.band((program, size), lambda: band(textures, *size))
    return from_band(picture, image, tol)
