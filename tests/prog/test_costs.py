"""What each state costs, measured where it is known: a preloaded library
of the suite's own makes glFogi, which vorntest5 calls only while fog is
on, 4 ms slower, so every fog state must come out dearer than every state
that draws the start's own picture (menu entries already marked at start),
in costs.csv, on the page and in the piglit results. States that draw
another picture are left out: they cost more or less by themselves
(texturing off, say, is cheaper).
Other work on the machine slows frames, not the sleep, and the states
measured at different times by different amounts: the order is judged only
where the report had the machine to itself."""

import csv
import json
import os
import re
import resource
import time
import unittest

import harness as h
from test_report import report_command

STATES = r"vorntest5/(start|m0[1246789]|m1[04]|c-fog-linear\+texenv-decal)"
# With an RGB texture, decal draws as replace: but for the fog, each of these
# is the start state's picture.
FOGGY = {"m07-fog-linear", "m08-fog-exp", "m09-fog-exp2", "c-fog-linear+texenv-decal"}


@unittest.skipUnless(os.access(os.path.join(h.BIN_DIR, "vorntest5"), os.X_OK),
                     "vorntest5 is not built")
class SlowFog(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.out = os.path.join(h.ARTIFACT_DIR, "report-costs")
        busy, began = busy_seconds(), time.time()
        cls.result = report_command(cls.out, "--renderers", "llvmpipe", "--costs", "--no-rates",
                                    "--preload", "slowfog", "--states", STATES)
        # The share of the machine's CPU time that other work took meanwhile.
        cls.others = (busy_seconds() - busy) / (os.cpu_count() * (time.time() - began))

    def test_fog_states_cost_more_than_the_rest(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr.decode()[-2000:])
        with open(os.path.join(self.out, "costs.csv"), newline="") as f:
            rows = list(csv.DictReader(f))
        self.assertEqual(list(rows[0]), ["renderer", "program", "state", "fps", "ratio",
                                         "spread"])
        costs = {row["state"]: row for row in rows}
        self.assertEqual(len(costs), 11)
        self.assertEqual(float(costs["start"]["ratio"]), 1.0)
        start = float(costs["start"]["fps"])
        for state, row in costs.items():
            with self.subTest(state=state):
                ratio, fps = float(row["ratio"]), float(row["fps"])
                self.assertGreater(fps, 0)
                self.assertGreaterEqual(float(row["spread"]), 0)
                self.assertAlmostEqual(ratio, fps / start,
                                       delta=0.0006 + 0.06 * ratio * (1 / fps + 1 / start))
                if state in FOGGY:
                    # Every frame sleeps 4 ms: fewer than 250 a second.
                    self.assertLess(fps, 250)
        # Every fog state is dearer than every state that draws the start's
        # picture.
        foggy = [float(costs[s]["fps"]) for s in FOGGY]
        plain = [float(row["fps"]) for s, row in costs.items() if s not in FOGGY]
        if self.others < 0.1:
            self.assertLess(max(foggy), min(plain))
        else:
            print("order not judged: other work took %d %% of the CPU" % (100 * self.others))
        # The page lists each program's states dearest first.
        with open(os.path.join(self.out, "index.html")) as f:
            page = f.read()
        table = page[page.index("<h3>vorntest5 on llvmpipe</h3>"):]
        listed = re.findall(r"<tr><td>([^<]+)</td><td>[\d.]+</td>", table)
        self.assertEqual(listed, [r["state"] for r in sorted(rows, key=lambda r: float(r["fps"]))])
        # Each state's rate is in its piglit result.
        with open(os.path.join(self.out, "piglit", "llvmpipe", "results.json")) as f:
            tests = json.load(f)["tests"]
        out = tests["vorn@vorntest5@m08-fog-exp"]["out"]
        self.assertIn("fps: %s" % costs["m08-fog-exp"]["fps"], out)


def busy_seconds():
    """CPU seconds the machine has spent working, less those of this
    process and of its children that have ended."""
    with open("/proc/stat") as f:
        ticks = [int(v) for v in f.readline().split()[1:9]]
    own = [resource.getrusage(who) for who in (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN)]
    return ((sum(ticks) - ticks[3] - ticks[4]) / os.sysconf("SC_CLK_TCK")
            - sum(r.ru_utime + r.ru_stime for r in own))


if __name__ == "__main__":
    unittest.main()
