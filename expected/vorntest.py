"""Verdicts for the two render-state programs: a state's settings over the
program's start view (vorntest5's texture file, or vorntest's generated
pattern), probed on a grid against the fixed-function model, and on a
spread of pixels for the page."""

import functools

from . import fixedfunction as model
from .probes import from_probes


def verdict(program, image, settings, tol, texels=None):
    """settings: the render settings the state shows; texels: vorntest5's
    texture (vorntest makes its own pattern)."""
    if program == "vorntest":
        return render_state(model.FIRST_VERSION, image, settings, tol,
                            texels if texels is not None else generated_pattern())
    return render_state(model.INITIAL, image, settings, tol, texels)


@functools.lru_cache(maxsize=1)
def generated_pattern():
    return model.pattern()


def render_state(start, image, changes, tol, texels):
    settings = dict(start)
    settings.update({k: v for k, v in changes.items() if k in start})
    bad, inside, outside = model.probe_mismatches(image, settings, texels, tolerance=tol)
    results = [(pixel, expected, observed, False) for pixel, observed, expected in bad]
    # A spread of probes on the quad for the page, with their expected colours.
    scene = model.Scene(settings, image.width, image.height)
    step = max(image.width, image.height) // 16
    for py in range(step // 2, image.height, step):
        for px in range(step // 2, image.width, step):
            expected = model.expected_range(scene, texels, px, py)
            if expected is not None and expected[0] is not model.CLEAR \
                    and (px, py) not in [r[0] for r in results]:
                low, high = expected
                middle = tuple(int(round((lo + hi) / 2)) for lo, hi in zip(low, high))
                observed = image.pixel(px, py)
                ok = all(lo - tol <= a <= hi + tol for a, lo, hi in zip(observed, low, high))
                results.append(((px, py), middle, observed, ok))
    return from_probes(results, inside + outside + len(results) - len(bad),
                       "; %d on the quad, %d around it" % (inside, outside))
