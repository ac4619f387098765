"""Verdicts from probe pixels: each probe compares an observed colour with
the colour a model expects there, within a tolerance counted in steps of the
window's channels; a verdict collects them into PASS or FAIL with the
failures and a spread of the rest for the page."""

import math

from .texels import close_to

# A probe's expected colour is exact; the renderer's may be off by the
# quantisation of its own arithmetic, counted in steps of the window's
# channels: half a step where the final colour is rounded to the channel,
# one step for the 8-bit weights of bilinear filtering, one for a stage done
# on channel-sized fixed-point values (texture environment, fog or blending),
# and half a step of slack. Readback is 8-bit, where one step of an n-bit
# channel is 255 / (2^n - 1).
TOLERANCE_STEPS = 3


def tolerance(bits):
    step = 255.0 / ((1 << min(bits[:3])) - 1)
    return int(math.ceil(TOLERANCE_STEPS * step))


class Verdict:
    """PASS or FAIL, with a note; probes are (pixel, expected, observed, ok),
    the failing ones among them."""

    def __init__(self, status, probes=(), checked=0, note=""):
        self.status = status
        self.probes = list(probes)
        self.checked = checked
        self.note = note

    def failures(self):
        return [p for p in self.probes if not p[3]]


def from_probes(results, checked, note="", minimum=20, shown=8):
    """A verdict from (pixel, expected, observed, ok) results: PASS when every
    probe agrees and enough were taken. The page shows every failure and a
    spread of the others."""
    bad = [r for r in results if not r[3]]
    good = [r for r in results if r[3]]
    spread = good[::max(1, len(good) // shown)][:shown]
    if bad:
        return Verdict("FAIL", bad[:24] + spread[:4], checked,
                       "%d of %d probes differ%s" % (len(bad), checked, note))
    if checked < minimum:
        return Verdict("FAIL", spread, checked, "only %d probes could be taken" % checked)
    return Verdict("PASS", spread, checked, "%d probes%s" % (checked, note))


def probe(image, pixel, expected, tol):
    observed = image.pixel(*pixel)
    rounded = tuple(int(round(c)) for c in expected[:3])
    return (pixel, rounded, observed, close_to(observed, expected[:3], tol))
