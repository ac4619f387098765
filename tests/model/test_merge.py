"""Merging reports, with reports made by hand: no program, no X server, no
picture. A run's results go into report.json and come back the same in
everything the writers read; strided shards merged fall back into one
run's order, renderers into a run's order, and the lists classify the
merged results once; parts that are not one run are usage errors."""

import contextlib
import io
import json
import os
import shutil
import tempfile
import unittest

from report import catalogue as st
from report import merge
from report import options as opts
from report.backends import parts, piglit
from report.names import test_name
from report.measures import costs
from report.outcome import CRASH, FAIL, PASS, SKIP, Outcome
from report.renderers import Renderer
from report.run import Report
from report.summary import text as summary

SOFT = Renderer("softpipe", {"GALLIUM_DRIVER": "softpipe"},
                {"renderer": "softpipe", "version": "4.5", "bits": [8, 8, 8, 0]})
MINE = Renderer("mine", {"LD_LIBRARY_PATH": "/opt/mesa"}, None)
WORKING = MINE._replace(info={"renderer": "mine", "bits": [8, 8, 8, 0]})


def full_outcome():
    """An Outcome with every field other than its defaults."""
    return Outcome(FAIL, "2 of 9 pixels judged differ",
                   (((3, 4), "(0..9, 5, 7)", (20, 5, 7), False),), 9, judged=9, differing=2,
                   worst=11, pictures={"mask": "softpipe/vorntest/start-mask.png",
                                       "expected": "expected/vorntest/start-300x300.png"},
                   detail="detail", out="out\n", err="err\n", returncode=1, pid=42,
                   start=10.5, end=12.25, command="run it", rates=(50.0, 60.0, 55.0),
                   earlier=((CRASH, "gone"),))


def options_of(*argv):
    return opts.parse(list(argv), "")


def window_report(out, renderers, states, statuses, began=100.0):
    """A window run of states (program/state ids), each given its status in
    turn, written out as a part."""
    os.makedirs(out, exist_ok=True)
    report = Report(options_of("--build", "b", "--out", out), out)
    report.renderers, report.began = renderers, began
    for program in st.NAMES:
        chosen = [s for s in st.program_states(program) if s.id in states]
        if chosen:
            report.programs.append((program, True, chosen))
    for renderer in renderers:
        for state_id, status in zip(states, statuses):
            report.settle((renderer.name, state_id), Outcome(status, "as told"))
    report.origin = {"kind": "window", "identity": None, "places": [os.path.abspath("b")],
                     "description": None}
    report.positions = {s.id: n for n, s in enumerate(
        s for p in st.NAMES for s in st.program_states(p))}
    parts.write(report, out)
    return report


def written(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write(text)
    return path


class RoundTrip(unittest.TestCase):

    def test_what_the_writers_read_comes_back_the_same(self):
        out = tempfile.mkdtemp(prefix="parts-")
        self.addCleanup(shutil.rmtree, out, ignore_errors=True)
        report = window_report(out, [SOFT, MINE], ["vorntest/start", "quenby/start"],
                               [PASS, SKIP])
        report.settle(("softpipe", "vorntest/start"), full_outcome())
        report.pictures[("softpipe", "vorntest/start")] = ("softpipe/vorntest/start.png", 12)
        report.rates[("vorntest", "softpipe")] = (217.2, 1787.0, (300, 300))
        report.instructions[("vorntest", "softpipe")] = (
            5, {"swrast_dri.so": 1e6}, {("swrast_dri.so", "0x1234"): 9e5, ("???", None): 1.0})
        report.source = "where the frames came from"
        report.origin = {"kind": "replay", "identity": "abc", "places": [out],
                         "description": report.source}
        report.positions, report.ended = {"quenby/start": 7}, 150.0
        report.options.fast, report.options.timeout, report.options.costs = True, 3.0, True
        # The checks' findings are kept beside the results, which they leave
        # as the pipeline settled them: a merge checks the results afresh.
        report.add(costs.findings(report))
        parts.write(report, out)
        with open(os.path.join(out, parts.REPORT_FILE)) as f:
            self.assertEqual(json.load(f)["findings"], [f.to_json() for f in report.findings])
        self.assertEqual([f.check for f in report.findings], ["fps"])
        part = parts.read(out, Report(None, out))
        back = part.report
        self.assertEqual(back.findings, [])
        for name in ("renderers", "tolerance", "bits", "began", "ended", "pictures", "rates",
                     "instructions", "source", "origin", "results"):
            self.assertEqual(getattr(back, name), getattr(report, name), name)
        self.assertEqual([(p, b, [vars(s) for s in states]) for p, b, states in back.programs],
                         [(p, b, [vars(s) for s in states])
                          for p, b, states in report.programs])
        self.assertEqual((part.positions, part.ended, part.options["timeout"]),
                         ({"vorntest/start": None, "quenby/start": 7}, 150.0, 3.0))
        # The writers make the same of them, the findings aside.
        back.add(costs.findings(back))
        self.assertEqual(summary.text(back), summary.text(report))
        for renderer in report.renderers:
            for (_, _, a), (_, _, b) in zip(report.states_on(renderer.name),
                                            back.states_on(renderer.name)):
                self.assertEqual(piglit.test_result(b, renderer.env),
                                 piglit.test_result(a, renderer.env))

    def test_a_window_run_places_its_states_in_the_catalogues_order(self):
        out = tempfile.mkdtemp(prefix="parts-")
        self.addCleanup(shutil.rmtree, out, ignore_errors=True)
        window_report(out, [SOFT], ["vorntest/m03-blend-on", "quenby/start"], [PASS, PASS])
        part = parts.read(out, Report(None, out))
        order = [s.id for p in st.NAMES for s in st.program_states(p)]
        self.assertEqual(part.positions, {s: order.index(s) for s in
                                          ("vorntest/m03-blend-on", "quenby/start")})
        self.assertEqual((part.source["kind"], part.source["places"]),
                         ("window", [os.path.abspath("b")]))


class Merging(unittest.TestCase):

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="merge-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.folder, name)

    def merged(self, names, *argv):
        """merge.merge on the parts named; its exit status and what it
        printed."""
        options = options_of("--merge", *[self.path(n) for n in names],
                             "--out", self.path("merged"), *argv)
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed):
            status = merge.merge(options)
        return status, printed.getvalue()

    def test_shards_fall_back_into_one_runs_order_and_the_lists_judge_them_once(self):
        states = ["vorntest5/start", "vorntest5/m07-fog-linear", "fendrik/start",
                  "vorntest/start", "quenby/start"]
        statuses = [FAIL, PASS, PASS, CRASH, PASS]
        # Two shards, strided, each on the same two renderers, and a third
        # renderer from another machine; given out of order.
        for k in (0, 1):
            window_report(self.path("shard%d" % k), [WORKING, SOFT], states[k::2],
                          statuses[k::2], began=100.0 + k)
        llvm = Renderer("llvmpipe", {"GALLIUM_DRIVER": "llvmpipe"},
                        {"renderer": "llvmpipe", "bits": [8, 8, 8, 0]})
        window_report(self.path("llvm"), [llvm], ["vorntest/start"], [PASS], began=90.0)
        fails = written(self.folder, "fails.txt", "vorn@vorntest5@start,Fail\n"
                        "vorn@vorntest@start,Crash\nvorn@fendrik@start,Fail\n")
        status, printed = self.merged(["shard1", "llvm", "shard0"], "--fails", fails)
        out = self.path("merged")
        # llvmpipe passes fendrik, which the list has failing (unexpected),
        # and vorntest (which it lists as crashing).
        self.assertEqual(status, 1, printed)
        with open(os.path.join(out, "failures.csv")) as f:
            self.assertEqual(f.read(), "vorn@fendrik@start,UnexpectedPass\n"
                                       "vorn@vorntest@start,UnexpectedPass\n")
        # Every result classified once, in the order one run gives them.
        order = ["vorntest5/start", "vorntest5/m07-fog-linear", "vorntest/start",
                 "fendrik/start", "quenby/start"]
        with open(os.path.join(out, "results.csv")) as f:
            rows = [line.split(",") for line in f.read().splitlines()]
        self.assertEqual([(r[3], r[0]) for r in rows],
                         [(r, test_name(*s.split("/")))
                          for r, ids in (("llvmpipe", ["vorntest/start"]), ("softpipe", order),
                                         ("mine", order)) for s in ids])
        with open(os.path.join(out, "summary.txt")) as f:
            self.assertEqual(f.read().splitlines()[-1], "7 passed, 4 failed")
        again = parts.load(out)
        self.assertEqual(["%s/%s" % (p["program"], s["name"]) for p in again["programs"]
                          for s in p["states"]], order)
        self.assertEqual(again["began"], 90.0)

    def test_parts_that_are_not_one_run_are_usage_errors(self):
        one = ["quenby/start"]
        window_report(self.path("a"), [SOFT], one, [PASS])
        window_report(self.path("b"), [SOFT], one, [FAIL])
        window_report(self.path("c"), [SOFT._replace(env={})], ["fendrik/start"], [PASS])
        window_report(self.path("d"), [MINE], one, [PASS])
        os.makedirs(self.path("old"))
        written(self.path("old"), "summary.txt", "0 passed, 0 failed\n")

        def changed(name, change):
            document = parts.load(self.path(name))
            change(document["source"])
            written(self.path(name), parts.REPORT_FILE, json.dumps(document))
        window_report(self.path("traced"), [MINE], ["fendrik/start"], [PASS])
        changed("traced", lambda s: s.update(traces=3))
        for name, pack in (("pack1", "1" * 64), ("pack2", "2" * 64)):
            window_report(self.path(name), [MINE], ["tembrel/start"], [PASS])
            changed(name, lambda s: s.update(kind="replay", identity=pack, places=[name]))
        for names, said in (
                (["a", "old"], "holds no results to merge (no report.json"),
                (["a", "gone"], "is no folder"),
                (["a", "b"], "quenby/start on softpipe is in both"),
                (["a", "c"], "renderer softpipe differs between"),
                (["d", "traced"], "merge the replays of its pack instead"),
                (["d", "pack1"], "is a window run and"),
                (["pack1", "pack2"], "replayed different trace packs (pack1, whose pack.json "
                                      "hashes to 111111111111; pack2")):
            with self.subTest(names=names), self.assertRaises(opts.UsageError) as raised:
                self.merged(names)
            self.assertIn(said, str(raised.exception))
        self.assertFalse(os.path.exists(self.path("merged")))
        for out in (self.path("a"), self.path("a/inside"), self.folder):
            with self.subTest(out=out), self.assertRaises(opts.UsageError) as raised:
                merge.merge(options_of("--merge", self.path("a"), self.path("d"),
                                       "--out", out))
            self.assertIn("write the merge elsewhere", str(raised.exception))
        self.assertEqual(sorted(os.listdir(self.path("a"))), [parts.REPORT_FILE])


if __name__ == "__main__":
    unittest.main()
