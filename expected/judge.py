"""One verdict for any program's picture: the textures each program's model
reads, the expected picture (a band for every pixel) of each program, kept
for a state and window size once worked out, and the dispatch to each
program's verdict."""

import collections
import os
import threading

from . import fendrik, quenby, tembrel, vorntest
from .probes import Verdict
from .texels import load

# Bands kept, the least recently used dropped first: enough for every state
# of a full run, so the second renderer and the traces' replays reuse the
# first renderer's. One 600 x 600 band takes about 3 MB.
KEPT_BANDS = 200
# Each program's model: verdict(program, settings, image, count, tol,
# textures) judges a picture of it.
MODELS = {"vorntest5": vorntest, "vorntest": vorntest, "fendrik": fendrik,
          "tembrel": tembrel, "quenby": quenby}
# The texture files the models read: (attribute, file name, side, bits).
TEXTURE_FILES = [("dial", "Texture2_256X256X24.RAW", 256, 24),
                 ("card", "Texture1_64X64X24.RAW", 64, 24),
                 ("hands", "Texture1_128X128X32.RAW", 128, 32)]


class Textures:
    """The texture files the models sample, from the programs' directory,
    with the bands worked out from them."""

    def __init__(self, directory):
        for attribute, name, side, bits in TEXTURE_FILES:
            setattr(self, attribute, load(os.path.join(directory, name), side, side, bits))
        self._bands = collections.OrderedDict()
        self._lock = threading.Lock()

    def band(self, key, make):
        """The band for key (what it depends on besides the textures), made
        by make() the first time."""
        with self._lock:
            if key in self._bands:
                self._bands.move_to_end(key)
                return self._bands[key]
        band = make().freeze()
        with self._lock:
            self._bands[key] = band
            while len(self._bands) > KEPT_BANDS:
                self._bands.popitem(last=False)
        return band


def load_texels(directory):
    return Textures(directory)


def judge(program, settings, image, count, tol, textures):
    """The verdict on a picture of program in a state with these settings
    (the render state, or the clock's time); count is the frame count the
    picture was taken at. A model that fails fails the state."""
    if program not in MODELS:
        raise KeyError("no model for %s" % program)
    try:
        return MODELS[program].verdict(program, settings, image, count, tol, textures)
    except Exception as error:      # noqa: BLE001 - a broken model fails its state
        return Verdict("FAIL", note="the model failed: %r" % error)
