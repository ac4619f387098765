"""The seam probe on llvmpipe and softpipe: a GL_LINEAR, GL_REPEAT texture
filtered across its wrap seam. llvmpipe gives the exact sample everywhere.
softpipe does too, except where a seam footprint's texels lie in two tiles
of 32x32 texels that share a slot of its direct-mapped tile cache of 16:
it fetches the footprint's four texels one by one, each as a pointer into
the cache, and a later fetch reloads the slot that an earlier pointer reads,
so the blend takes a texel of the wrong tile. The model here repeats that
fetch order and predicts softpipe's every pixel."""

import math
import os
import re
import subprocess
import unittest

import harness as h

SIZE, TILE, SLOTS = 256, 32, 16
TOLERANCE = 3               # the probe's own
LINE = re.compile(r"(\d+) (\d+) observed (\d+) (\d+) (\d+) exact (\d+) (\d+) (\d+)"
                  r" at (\S+) (\S+)$")
SUMMARY = re.compile(r"(\d+) of (\d+) pixels differ, worst by (\d+)$")


def texel(s, t):
    """The probe's texture."""
    return (s, t, s ^ t)


def footprint(s, t):
    """GL_LINEAR with GL_REPEAT at (s, t) in texels: columns x0, x1, rows
    y0, y1 and the weights of x1 and y1."""
    u, v = s - 0.5, t - 0.5
    fu, fv = math.floor(u), math.floor(v)
    return fu % SIZE, (fu + 1) % SIZE, fv % SIZE, (fv + 1) % SIZE, u - fu, v - fv


def blend(a, b, t00, t10, t01, t11):
    """Rounded half up, as the probe rounds."""
    return tuple(math.floor((1 - a) * (1 - b) * t00[c] + a * (1 - b) * t10[c]
                            + (1 - a) * b * t01[c] + a * b * t11[c] + 0.5) for c in range(3))


def exact(s, t):
    x0, x1, y0, y1, a, b = footprint(s, t)
    return blend(a, b, texel(x0, y0), texel(x1, y0), texel(x0, y1), texel(x1, y1))


def softpipe_model(s, t):
    """Four fetches in softpipe's order, each loading its tile into slot
    (column + 9 * row) mod 16 and keeping only the slot and the place in it."""
    x0, x1, y0, y1, a, b = footprint(s, t)
    slots, reads = {}, []
    for x, y in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
        slot = (x // TILE + 9 * (y // TILE)) % SLOTS
        slots[slot] = (x // TILE, y // TILE)
        reads.append((slot, x % TILE, y % TILE))
    return blend(a, b, *(texel(slots[n][0] * TILE + dx, slots[n][1] * TILE + dy)
                         for n, dx, dy in reads))


def seam_crossing(s, t):
    """Where the footprint wraps across one seam while crossing a tile
    boundary along the other: ("t", x1) or ("s", y1) for the first texel past
    the boundary, or None."""
    x0, x1, y0, y1, _, _ = footprint(s, t)
    if y1 == 0 and x1 != 0 and x0 // TILE != x1 // TILE:
        return ("t", x1)
    if x1 == 0 and y1 != 0 and y0 // TILE != y1 // TILE:
        return ("s", y1)
    return None


def probe(renderer, *args):
    env = h.program_env({"GALLIUM_DRIVER": renderer, "LIBGL_ALWAYS_SOFTWARE": "1"})
    result = subprocess.run([os.path.join(h.BIN_DIR, "seamprobe"), "--once"] + list(args),
                            env=env, capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
    lines = result.stdout.splitlines()
    pixels = {}
    for line in lines[1:-1]:
        g = LINE.match(line).groups()
        pixels[int(g[0]), int(g[1])] = (tuple(map(int, g[2:5])), tuple(map(int, g[5:8])),
                                        float(g[8]), float(g[9]))
    summary = SUMMARY.match(lines[-1]) if lines else None
    return result, lines[0] if lines else "", pixels, summary


class Seam(unittest.TestCase):

    def test_llvmpipe_filters_exactly_across_the_seam(self):
        result, renderer, pixels, summary = probe("llvmpipe")
        self.assertIn("llvmpipe", renderer, result.stderr)
        self.assertEqual(result.returncode, 0, result.stdout[-2000:] + result.stderr)
        self.assertEqual(pixels, {})
        self.assertEqual(summary.group(1, 2), ("0", str(SIZE * SIZE)))

    def test_softpipe_differs_only_where_its_tile_cache_evicts_a_texel(self):
        result, renderer, pixels, summary = probe("softpipe", "--all")
        self.assertIn("softpipe", renderer, result.stderr)
        self.assertEqual(len(pixels), SIZE * SIZE)
        differing = {}
        for (x, y), (observed, exact_, s, t) in pixels.items():
            self.assertEqual(exact_, exact(s, t), "the probe's exact sample at %s" % ((s, t),))
            off = max(abs(p - q) for p, q in zip(observed, exact_))
            model = softpipe_model(s, t)
            self.assertTrue(h.close_to(observed, model, 1),
                            "(%d, %d) at %s is %s, the cache model gives %s"
                            % (x, y, (s, t), observed, model))
            if off > TOLERANCE:
                differing[x, y] = (s, t)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(int(summary.group(1)), len(differing))
        wrong = {p: st for p, st in differing.items() if seam_crossing(*st) is None}
        self.assertEqual(wrong, {})
        # Both seams, at each of the seven tile boundaries inside the texture.
        self.assertEqual({seam_crossing(*st) for st in differing.values()},
                         {(seam, TILE * k) for seam in "st" for k in range(1, SIZE // TILE)})


if __name__ == "__main__":
    unittest.main()
