"""Verdicts: every judged pixel of a picture compared with the band its
model allows, within a tolerance counted in steps of the window's channels.
A verdict is PASS or FAIL, with the counts and the worst differing pixels
for the page."""

import math

from .bands import Comparison, pixels

# The model's band is exact; the renderer's colour may be off by the
# quantisation of its own arithmetic, counted in steps of the window's
# channels: half a step where the final colour is rounded to the channel,
# one step for the 8-bit weights of bilinear filtering, one for a stage done
# on channel-sized fixed-point values (texture environment, fog or blending),
# and half a step of slack. Readback is 8-bit, where one step of an n-bit
# channel is 255 / (2^n - 1).
TOLERANCE_STEPS = 3
# Fewer judged pixels than this says the model lost the picture.
MINIMUM = 20


def tolerance(bits):
    step = 255.0 / ((1 << min(bits[:3])) - 1)
    return int(math.ceil(TOLERANCE_STEPS * step))


class Verdict:
    """PASS or FAIL, with a note; probes are (pixel, expected, observed, ok),
    the failing ones among them; judged, differing and worst count the
    pixels compared, those outside their band and the largest difference;
    expected and mask are the expected picture and the mismatch mask, as
    arrays (rows, columns, 3), where the picture was judged by a band."""

    def __init__(self, status, probes=(), checked=0, note=""):
        self.status = status
        self.probes = list(probes)
        self.checked = checked
        self.note = note
        self.judged = self.differing = self.worst = None
        self.expected = self.mask = None

    def failures(self):
        return [p for p in self.probes if not p[3]]


def from_band(band, image, tol, note="", comparison=None):
    """The verdict on a picture against a band: FAIL when any judged pixel
    lies outside its band by more than tol. comparison: the picture's
    Comparison with the band, where it was made already."""
    comparison = comparison or Comparison(band.freeze(), pixels(image), tol)
    examples = [(pixel, expected, observed, False)
                for pixel, expected, observed in comparison.examples]
    text = "%d of %d pixels judged differ, worst by %d%s" % (
        comparison.differing, comparison.judged, comparison.worst, note)
    status = "FAIL" if comparison.differing else "PASS"
    if comparison.judged < MINIMUM:
        status, text = "FAIL", "only %d pixels could be judged%s" % (comparison.judged, note)
    verdict = Verdict(status, examples, comparison.judged, text)
    verdict.judged, verdict.differing = comparison.judged, comparison.differing
    verdict.worst = comparison.worst
    verdict.expected, verdict.mask = band.expected(), comparison.mask
    return verdict

