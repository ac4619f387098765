"""One verdict for any program's picture: the textures each program's model
reads, and the dispatch to that program's expected picture."""

import os

from . import fendrik, quenby, tembrel, vorntest
from .probes import Verdict
from .texels import read_raw


def load_texels(bin_dir):
    """The texture files the models sample, from the programs' directory."""
    dial = read_raw(os.path.join(bin_dir, "Texture2_256X256X24.RAW"), 256, 256, 24)
    card = read_raw(os.path.join(bin_dir, "Texture1_64X64X24.RAW"), 64, 64, 24)
    return {"vorntest5": dial, "fendrik": (dial, card), "tembrel": dial}


def judge(program, settings, image, count, tol, texels):
    """The verdict on a picture of program in a state with these settings
    (the render state, or the clock's time); count is the frame count the
    picture was taken at. A model that fails fails the state."""
    try:
        if program in ("vorntest5", "vorntest"):
            return vorntest.verdict(program, image, settings, tol, texels.get(program))
        if program == "fendrik":
            return fendrik.verdict(image, tol, texels["fendrik"])
        if program == "tembrel":
            return tembrel.verdict(image, tol, texels["tembrel"], settings["time"])
        if program == "quenby":
            return quenby.verdict(image, count, tol)
    except Exception as error:      # noqa: BLE001 - a broken model fails its state
        return Verdict("FAIL", note="the model failed: %r" % error)
    raise KeyError("no model for %s" % program)
