"""A verdict for every pictured state: probe pixels against colours worked out
from the fixed-function equations and the textures' own texels.

The equations are not written here: the render-state programs' colour model
(transform, perspective-correct interpolation, texture environment, lighting
with no light, fog, blending) lives with their picture tests, the texture
tester's, the clock's and the starfield's expected pictures with theirs, and
the verdicts below only choose the probes and weigh the differences."""

import functools
import math

import harness as h

from . import states as st

# Tolerance. A probe's expected colour is exact; the renderer's may be off by
# the quantisation of its own arithmetic, counted in steps of the window's
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
    """PASS, FAIL or a reason why no verdict could be given ("no model
    yet", "error"); probes are (pixel, expected, observed, ok) for the page,
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
    return (pixel, rounded, observed, h.close_to(observed, expected[:3], tol))


# The render-state programs --------------------------------------------------------

def render_model():
    """The render-state colour model, or None while it does not exist."""
    try:
        import test_vorntest_render as model
    except ImportError:
        return None
    return model


def vorntest5(image, state, tol, texels):
    model = render_model()
    if model is None or not hasattr(model, "probe_mismatches"):
        return Verdict("NO MODEL", note="no model yet")
    return render_state(model, model.INITIAL, image, state, tol, texels)


def vorntest(image, state, tol, texels=None):
    """The first version's view, and by default its generated RGBA pattern,
    which the model makes as the program does."""
    model = render_model()
    if model is None or not hasattr(model, "FIRST_VERSION"):
        return Verdict("NO MODEL", note="no model yet for the first version")
    return render_state(model, model.FIRST_VERSION, image, state, tol,
                        texels if texels is not None else generated_pattern())


@functools.lru_cache(maxsize=1)
def generated_pattern():
    return render_model().pattern()


def render_state(model, start, image, state, tol, texels):
    """The state's settings over the program's start view, probed on a grid
    and on a spread for the page."""
    # One tolerance for the whole report, from the window's channel bits.
    model.TOLERANCE = tol
    settings = dict(start)
    settings.update({k: v for k, v in state.settings.items() if k in start})
    bad, inside, outside = model.probe_mismatches(image, settings, texels)
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


# The texture tester ------------------------------------------------------------------

def fendrik(image, state, tol, texels):
    import test_fendrik as model
    large, small = texels
    results = []
    for py in range(3, 255, 9):
        for px in range(3, 255, 9):
            if 100 <= px <= 162 and 100 <= py <= 162:
                expected = model.expected_small(small, px, py)
            else:
                expected = model.expected_large(large, px, py)
            results.append(probe(image, (px, py), expected, tol))
    # The square ends at grid unit 255: the last column and row keep the clear colour.
    for i in range(0, 256, 15):
        results.append(probe(image, (255, i), model.CLEAR, tol))
        results.append(probe(image, (i, 255), model.CLEAR, tol))
    return from_probes(results, len(results))


# The clock -------------------------------------------------------------------------------

def tembrel(image, state, tol, texels):
    """The dial's own texels everywhere away from the hands, their hubs and
    the text; every pixel of the text's glyphs opaque white; and along each
    hand, pixels that are not the dial's."""
    import test_tembrel as model
    clock = model.Clock(image.width, image.height)
    hours, minutes, seconds = (int(v) for v in st.CLOCK_TIME.split()[1].split(":"))
    text = "%d:%d:%d" % (hours, minutes, seconds)
    hands = list(zip(model.bearing_of(hours, minutes, seconds),
                     (model.HOUR_TIP, model.MINUTE_TIP, model.SECOND_TIP)))
    results = []
    for py in range(1, image.height, 6):
        for px in range(1, image.width, 6):
            x, y = clock.to_clock(px, py)
            r = math.hypot(x, y)
            if r < model.HUB or 0.97 < r < 1.03:
                continue
            if r >= 1.03:
                results.append(probe(image, (px, py), model.CLEAR, tol))
                continue
            cx, cy = image.width // 2, image.height // 2
            if -2 <= px - cx <= 8 * len(text) + 2 and -6 <= cy - py <= 15:
                continue
            if any(near_hand(x, y, bearing, tip) for bearing, tip in hands):
                continue
            results.append(probe(image, (px, py), clock.dial(texels, px, py), tol))
    font = model.font_8x13()
    on, _ = model.ink(font, text, image.width, image.height)
    # The first glyph's second column also reads an eighth of the hands
    # image's last column, which a hand's tip needs clear: there the text may
    # be an eighth see-through, as the clock's own tests allow.
    seethrough = math.floor(image.width / 2 - font.xorig) + 1
    for pixel in sorted(on):
        allowed = max(tol, 255 // 8 + tol) if pixel[0] == seethrough else tol
        results.append(probe(image, pixel, model.WHITE, allowed))
    # Along each blade, the hand's own colour: dark navy for the hour and
    # minute hands, red for the second hand, one or two pixels wide; a probe
    # takes the most hand-like pixel of the 3 x 3 around the blade's line.
    radii = ((0.25, 0.35, 0.45), (0.3, 0.5, 0.74), (0.3, 0.5, 0.8))
    def red(p):
        return p[0] > 150 and p[0] - p[1] > 100
    def dark(p):
        return max(p) < 80
    for (bearing, _), along, test, label in zip(
            hands, radii, (dark, dark, red),
            ("dark hand (all < 80)", "dark hand (all < 80)", "red hand (R > 150, R - G > 100)")):
        a = math.radians(bearing)
        for r in along:
            px, py = clock.to_pixel(r * math.sin(a), r * math.cos(a))
            around = [(px + dx, py + dy) for dy in (-1, 0, 1) for dx in (-1, 0, 1)]
            pixel = next((q for q in around if test(image.pixel(*q))), (px, py))
            observed = image.pixel(*pixel)
            results.append((pixel, label, observed, test(observed)))
    return from_probes(results, len(results), "; text %r" % text)


def near_hand(x, y, bearing, tip):
    a = math.radians(bearing)
    along = x * math.sin(a) + y * math.cos(a)
    across = x * math.cos(a) - y * math.sin(a)
    return abs(across) < 0.06 and along < tip + 0.04


# The starfield ----------------------------------------------------------------------------

def quenby(image, count, tol):
    """The picture against the star table recomputed for the frame it shows
    (the frozen count, or one either side): every star away from the edges
    lights a pixel, no pixel is lit away from every star, and a large lone
    star's centre has its colour (shade, shade, 1)."""
    import test_quenby as model
    tried = []
    for frames in (count - 1, count, count + 1):
        field = model.Field()
        field.advance_to(frames)
        allowed = set()
        for star in field.stars:
            allowed.update(model.footprint(star))
        dark = [n for n, star in enumerate(field.stars) if not model.on_edge(star)
                and not any(model.lit(image, px, py) for px, py in model.footprint(star, 0.5))]
        stray = [(px, py) for py in range(image.height) for px in range(image.width)
                 if image.data[3 * (py * image.width + px) + 2] and (px, py) not in allowed]
        tried.append((len(dark) + len(stray), frames, field, dark, stray))
        if not dark and not stray:
            break
    misses, frames, field, dark, stray = min(tried, key=lambda t: t[0])
    results = []
    for n in dark[:8]:
        star = field.stars[n]
        pixel = (int(star[0] * image.width), image.height - 1 - int(star[1] * image.height))
        shade = int(round(star[4] * 255))
        results.append((pixel, (shade, shade, 255), image.pixel(*pixel), False))
    for pixel in stray[:8]:
        results.append((pixel, (0, 0, 0), image.pixel(*pixel), False))
    centres = [(star[0] * image.width, star[1] * image.height) for star in field.stars]
    for n, star in enumerate(field.stars):
        x, y = centres[n]
        alone = all(math.hypot(x - cx, y - cy) > 10 for m, (cx, cy) in enumerate(centres)
                    if m != n)
        if alone and star[2] >= 5 and not model.on_edge(star):
            pixel = (int(x), image.height - 1 - int(y))
            shade = star[4] * 255
            results.append(probe(image, pixel, (shade, shade, 255), tol))
    return from_probes(results, len(field.stars) + len(results), "; frame %d" % frames,
                       minimum=1)
