"""Verdicts for the two render-state programs: a state's settings over the
program's start view (vorntest5's texture file, or vorntest's generated
pattern), every pixel against the fixed-function model's band."""

import functools

import numpy as np

from . import fixedfunction as model
from .bands import Comparison, pixels
from .probes import from_band


def settings_of(program, changes):
    """The model's state: the program's start view with the render settings
    the state shows."""
    start = model.FIRST_VERSION if program == "vorntest" else model.INITIAL
    settings = dict(start)
    settings.update({k: v for k, v in changes.items() if k in start})
    return settings


def band(program, changes, width, height, texture=None, choice=None):
    """texture: vorntest5's texture (vorntest makes its own pattern)."""
    if program == "vorntest":
        texture = generated_pattern()
    return model.band(settings_of(program, changes), texture, width, height, choice)


def verdict(program, settings, image, count, tol, textures, precision=None):
    """The picture against its state's band for each choice a renderer may
    make for it (model.choices), each band kept for the state, window size
    and choice: the first that the picture fits throughout passes it, and
    the note says which; else it fails against the one it misses least."""
    size = (image.width, image.height)
    options = model.choices(settings_of(program, settings), *size)
    observed = pixels(image)
    best = None
    for choice in options:
        key = (program, tuple(sorted(settings.items())), size, choice)
        picture = textures.band(key, lambda: band(program, settings, *size,
                                                  texture=textures.dial, choice=choice))
        comparison = Comparison(picture, observed, tol)
        if best is None or comparison.differing < best[0].differing:
            best = (comparison, picture, choice)
        if comparison.differing == 0:
            break
    comparison, picture, choice = best
    note = ""
    if len(options) > 1:
        note = "; %s %s" % ("fits" if comparison.differing == 0 else "nearest choice:",
                            choice.text())
    return from_band(picture, image, tol, note, comparison)


@functools.lru_cache(maxsize=1)
def generated_pattern():
    return np.array(model.pattern(), np.float32)
