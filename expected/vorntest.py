"""Verdicts for the two render-state programs: a state's settings over the
program's start view (vorntest5's texture file, or vorntest's generated
pattern), every pixel against the fixed-function model's band."""

import functools

import numpy as np

from . import fixedfunction as model
from .probes import from_band


def settings_of(program, changes):
    """The model's state: the program's start view with the render settings
    the state shows."""
    start = model.FIRST_VERSION if program == "vorntest" else model.INITIAL
    settings = dict(start)
    settings.update({k: v for k, v in changes.items() if k in start})
    return settings


def band(program, changes, width, height, texture=None):
    """texture: vorntest5's texture (vorntest makes its own pattern)."""
    if program == "vorntest":
        texture = generated_pattern()
    return model.band(settings_of(program, changes), texture, width, height)


def verdict(program, settings, image, count, tol, textures):
    """The picture against its state's band, kept for the state and window
    size."""
    size = (image.width, image.height)
    key = (program, tuple(sorted(settings.items())), size)
    picture = textures.band(key, lambda: band(program, settings, *size, texture=textures.dial))
    return from_band(picture, image, tol)


@functools.lru_cache(maxsize=1)
def generated_pattern():
    return np.array(model.pattern(), np.float32)
