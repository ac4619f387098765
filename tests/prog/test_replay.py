"""Driver CI without a display: a window run records a few states as a trace
pack; the pack, copied to a fresh folder, is judged there by scripts/report
--replay with DISPLAY unset and no build, on llvmpipe and softpipe, and by
piglit running the pack's own profile. Faults preloaded into the replayer
through a named renderer's environment (a wrong fog colour, a crash in flat
shading, a hang in lighting) give their statuses, and a fails list made
from them gates the run as Mesa's CI runners do: exit 0 when every result
is as listed, unexpected passes on the clean renderer; the page colours
each result by its class and lists what fails the run first. A fault that
breaks every other process is a flake with one retry, in a replay and in a
window run alike. Unit tests of the list parsers close the file."""

import concurrent.futures
import csv
import glob
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import harness as h
import pagetree
from report.checks import expectations as ex
from report import catalogue as st
from report import options as opts
from test_report import LINE, ROOT, junit_cases, report_command, softpipe_fails

STATES = r"vorntest5/(start|m00|m05|m07|m15)|fendrik|tembrel|quenby"
RECORDED = ["vorntest5/start", "vorntest5/m05-lighting-on", "vorntest5/m07-fog-linear",
            "vorntest5/m15-shade-flat", "fendrik/start", "tembrel/start", "quenby/start"]
FAULTS = ("fogbreak", "crashflat", "hanglight")
TIMEOUT = 3


def library(name):
    return os.path.join(h.PRELOAD_DIR, "lib%s.so" % name)


def write_list(lines):
    path = tempfile.mkstemp(prefix="list-", suffix=".txt")[1]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


def replay(pack, name, *options):
    """scripts/report --replay with no display and no build: (exit status,
    {(renderer, state id): status}, summary lines, report directory)."""
    out = os.path.join(h.ARTIFACT_DIR, name)
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    result = subprocess.run(["sh", os.path.join(ROOT, "scripts", "report"), "--replay", pack,
                             "--out", out] + list(options),
                            env=env, capture_output=True, timeout=h.COMMAND_SECONDS)
    path = os.path.join(out, "summary.txt")
    if not os.path.exists(path):
        raise AssertionError("no summary: %s" % result.stderr.decode(errors="replace")[-3000:])
    with open(path) as f:
        lines = f.read().splitlines()
    statuses = {(m.group(2), m.group(3)): m.group(1) for m in map(LINE.match, lines) if m}
    return result.returncode, statuses, lines, out


def cells(out):
    """{state id: [the classes of each renderer's cell]} of a report's
    results matrix."""
    return pagetree.matrix_classes(pagetree.read(os.path.join(out, "index.html")))


def csv_rows(out, name):
    with open(os.path.join(out, name)) as f:
        return [tuple(row) for row in csv.reader(f)]


class DriverCI(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        # The window run skips one state by the skips list: it is neither
        # run nor recorded.
        cls.window = os.path.join(h.ARTIFACT_DIR, "replay-window")
        cls.recorded = report_command(cls.window, "--renderers", "llvmpipe", "--traces",
                                      "--no-rates", "--states", STATES,
                                      "--skips", write_list(["vorn@vorntest5@m00  # not here"]))
        cls.pack = os.path.join(tempfile.mkdtemp(prefix="pack-"), "copied")
        shutil.copytree(os.path.join(cls.window, "traces"), cls.pack)
        with open(os.path.join(cls.pack, "pack.json")) as f:
            cls.entries = json.load(f)["traces"]
        settings = {"%s/%s" % (e["program"], e["state"]): e["settings"] or {}
                    for e in cls.entries}
        # What the faults do to the states, from the settings the pack keeps.
        cls.expected_fails = {state: status for state, s in settings.items()
                              for status, on in (("Fail", s.get("fog")), ("Crash", s.get("flat")),
                                                 ("Timeout", s.get("lighting"))) if on}
        cls.broken = "broken=GALLIUM_DRIVER=llvmpipe,LD_PRELOAD=%s" % ":".join(
            library(name) for name in FAULTS)

    def fails_list(self, leave_out=()):
        return write_list(["# the broken driver's known failures"] + [
            "vorn@%s,%s" % (state.replace("/", "@"), status)
            for state, status in sorted(self.expected_fails.items()) if state not in leave_out])

    def test_pack_judged_headless_on_two_renderers_and_read_by_piglit(self):
        self.assertEqual(self.recorded.returncode, 0, self.recorded.stderr.decode()[-2000:])
        with open(os.path.join(self.window, "results.csv")) as f:
            self.assertIn("vorn@vorntest5@m00-texture-off,Skip,", f.read())
        self.assertEqual(sorted("%s/%s" % (e["program"], e["state"]) for e in self.entries),
                         sorted(RECORDED))
        self.assertEqual(sorted(os.listdir(os.path.join(self.pack, "textures"))),
                         sorted(n for n in os.listdir(h.BIN_DIR) if n.endswith(".RAW")))
        # softpipe is judged against its own fails list: its known fault
        # at the texture's wrap seam fails the textured states, as expected.
        status, found, lines, out = replay(self.pack, "replay-clean", "--renderers",
                                           "llvmpipe,softpipe", "--baseline", self.window)
        self.assertEqual(status, 0, "\n".join(lines))
        known = softpipe_fails()
        expected = {("softpipe", s): "FAIL" if s in known else "PASS" for s in RECORDED}
        expected.update({("llvmpipe", s): "PASS" for s in RECORDED})
        self.assertEqual(found, expected)
        self.assertIn("vorntest5/start", known)
        self.assertIn("regressions: 0", lines)
        self.assertIn("softpipe's fails ci/softpipe-fails.txt (%d)" % len(known),
                      "\n".join(lines))
        with open(os.path.join(out, "results.csv")) as f:
            self.assertIn("vorn@vorntest5@start,ExpectedFail,", f.read())
        # Each renderer's smooth point size granularity, asked headless.
        with open(os.path.join(out, "report.json")) as f:
            said = {r["name"]: r["info"].get("point_granularity")
                    for r in json.load(f)["renderers"]}
        self.assertEqual(said, {"llvmpipe": "0.1", "softpipe": "0.1"})
        # Each replayed frame is kept as a window run's capture is: with
        # the verdict's expected picture and mask, each beside a thumbnail.
        stem = os.path.join(out, "softpipe", "vorntest5", "start")
        for kind in ("", "-mask"):
            self.assertTrue(os.path.isfile(stem + kind + ".thumb.png"), kind)
        self.assertTrue(glob.glob(os.path.join(out, "expected", "vorntest5", "start-*.thumb.png")))
        for renderer in ("llvmpipe", "softpipe"):
            console = subprocess.run(["piglit", "summary", "console",
                                      os.path.join(out, "piglit", renderer)],
                                     capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
            listed = dict(re.findall(r"^vorn/(\S+): (\w+)$", console.stdout, re.M))
            self.assertEqual(listed, {s: expected[renderer, s].lower() for s in RECORDED},
                             console.stderr)
        # A testcase per state and renderer, the renderer in its classname;
        # each failed picture attaches its mask.
        cases = junit_cases(out)
        self.assertEqual({(c[1], c[2]) for c in cases},
                         {("%s.%s" % (r, s.split("/")[0]), s.split("/")[1])
                          for r in ("llvmpipe", "softpipe") for s in RECORDED})
        for suite, classname, name, kinds, files in cases:
            state = "%s/%s" % (classname.split(".", 1)[1], name)
            self.assertEqual(len(files), expected[suite, state] == "FAIL", (suite, state))
            for path in files:
                self.assertTrue(os.path.isfile(os.path.join(out, path)), path)
        # No pack, no report: a usage error, as is a window run's option.
        for options, text in (([tempfile.mkdtemp()], "is no trace pack"),
                              ([self.pack, "--build", h.BIN_DIR], "does not go with --build")):
            done = subprocess.run(["sh", os.path.join(ROOT, "scripts", "report"), "--replay"]
                                  + options, capture_output=True, text=True,
                                  timeout=h.COMMAND_SECONDS)
            self.assertEqual((done.returncode, len(done.stderr.splitlines())), (2, 1),
                             done.stderr)
            self.assertIn(text, done.stderr)

    def test_piglit_runs_the_packs_profile_without_a_display(self):
        # The copied pack's profile still names the window run's folder.
        written = subprocess.run([os.path.join(ROOT, "scripts", "pack-profile"), self.pack],
                                 capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
        self.assertEqual(written.returncode, 0, written.stderr)
        results = os.path.join(tempfile.mkdtemp(prefix="piglit-pack-"), "results")
        env = dict(os.environ, GALLIUM_DRIVER="softpipe",
                   LD_PRELOAD=library("crashflat"))
        env.pop("DISPLAY", None)
        run = subprocess.run(["piglit", "run", "-l", "quiet", "-t", "vorntest5|fendrik",
                              written.stdout.strip(), results],
                             env=env, capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        console = subprocess.run(["piglit", "summary", "console", results],
                                 capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
        listed = dict(re.findall(r"^vorn/(\S+): (\w+)$", console.stdout, re.M))
        known = softpipe_fails()
        self.assertEqual(listed, {s: "crash" if s.endswith("flat") else
                                  "fail" if s in known else "pass"
                                  for s in RECORDED if s.startswith(("vorntest5", "fendrik"))})

    def test_fails_list_of_a_broken_driver_gates_the_run(self):
        self.assertEqual(self.expected_fails, {"vorntest5/m07-fog-linear": "Fail",
                                               "vorntest5/m15-shade-flat": "Crash",
                                               "vorntest5/m05-lighting-on": "Timeout"})
        quenby = write_list(["^vorn@quenby@"])
        # Both replays below run side by side: each waits out its hang.
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            gated = pool.submit(
                replay, self.pack, "replay-broken", "--renderer", self.broken,
                "--renderers", "broken", "--timeout", str(TIMEOUT),
                "--fails", self.fails_list(), "--skips", quenby)
            beside = pool.submit(
                replay, self.pack, "replay-unexpected", "--renderer", self.broken,
                "--renderers", "llvmpipe,broken", "--timeout", str(TIMEOUT),
                "--fails", self.fails_list(leave_out=["vorntest5/m07-fog-linear"]))
        status, found, lines, out = gated.result()
        self.assertEqual(status, 0, "\n".join(lines))
        listed = {"FAIL": "Fail", "CRASH": "Crash", "TIMEOUT": "Timeout"}
        self.assertEqual({s: listed[v] for (_, s), v in found.items() if v in listed},
                         self.expected_fails)
        self.assertEqual(found[("broken", "quenby/start")], "SKIP")
        self.assertEqual(csv_rows(out, "failures.csv"), [])
        results = {row[0]: row[1] for row in csv_rows(out, "results.csv")}
        self.assertEqual(results, {"vorn@" + s.replace("/", "@"): (
            "ExpectedFail" if s in self.expected_fails else "Skip" if s.startswith("quenby")
            else "Pass") for s in RECORDED})
        # The page marks each result with its class, but a pass as expected.
        broken = {state: classes[0] for state, classes in cells(out).items()}
        self.assertIn("k-skip", broken["quenby/start"])
        self.assertIn("k-expected-fail", broken["vorntest5/m07-fog-linear"])
        self.assertEqual([c for c in broken["fendrik/start"] if c.startswith("k-")], [])
        # The clean renderer beside the broken one, with a list that has
        # lost the fog line: one regression, and the clean renderer's
        # unexpected passes, listed after it.
        status, found, lines, out = beside.result()
        self.assertEqual(status, 1, "\n".join(lines))
        self.assertEqual(sorted(csv_rows(out, "failures.csv")), [
            ("vorn@vorntest5@m05-lighting-on", "UnexpectedPass"),
            ("vorn@vorntest5@m07-fog-linear", "Fail"),
            ("vorn@vorntest5@m15-shade-flat", "UnexpectedPass")])
        unexpected = [l.split()[:3] for l in lines if l.startswith(("  REGRESSION",
                                                                     "  UNEXPECTED"))]
        self.assertEqual(unexpected, [["REGRESSION", "broken", "vorntest5/m07-fog-linear"],
                                      ["UNEXPECTED", "PASS", "llvmpipe"],
                                      ["UNEXPECTED", "PASS", "llvmpipe"]])
        self.assertLess(lines.index(next(l for l in lines if l.startswith("  UNEXPECTED"))),
                        lines.index(next(l for l in lines if LINE.match(l))))
        # The page too: its cells by class, and before its matrix what
        # fails the run, the regression first, each row linking to its
        # state's block.
        page = pagetree.read(os.path.join(out, "index.html"))
        matrix = pagetree.matrix_classes(page)
        self.assertIn("k-regression", matrix["vorntest5/m07-fog-linear"][1])
        self.assertIn("k-unexpected-pass", matrix["vorntest5/m15-shade-flat"][0])
        self.assertIn("k-expected-fail", matrix["vorntest5/m15-shade-flat"][1])
        table = next(page.all("table", "expectations"))
        rows = [[td.content() for td in tr.all("td")] for tr in table.all("tr")][1:]
        self.assertEqual([row[:3] for row in rows], [
            ["regression", "broken", "vorntest5/m07-fog-linear"],
            ["unexpected pass", "llvmpipe", "vorntest5/m05-lighting-on"],
            ["unexpected pass", "llvmpipe", "vorntest5/m15-shade-flat"]])
        self.assertEqual([a.attrs["href"] for a in table.all("a")],
                         ["vorntest5.html#m07-fog-linear", "vorntest5.html#m05-lighting-on",
                          "vorntest5.html#m15-shade-flat"])
        self.assertLess(list(page.all()).index(table),
                        list(page.all()).index(next(page.all("table", "matrix"))))

    def flaky_run(self, kind, counter):
        """vorntest5's linear fog state in a replay or a window run, under
        the fault that breaks every other process, with one retry: (exit
        status, report directory)."""
        options = ["--renderer", "flaky=GALLIUM_DRIVER=llvmpipe,LD_PRELOAD=%s,"
                   "FLAKYFOG_COUNTER=%s" % (library("flakyfog"), counter),
                   "--renderers", "flaky", "--states", "vorntest5/m07", "--retries", "1",
                   "--no-rates"]
        if kind == "replay":
            status, _, _, out = replay(self.pack, "replay-flaky", *options)
            return status, out
        out = os.path.join(h.ARTIFACT_DIR, "window-flaky")
        return report_command(out, *options).returncode, out

    def test_a_fault_of_every_other_process_is_a_flake(self):
        kinds = ("replay", "window")
        counters = {kind: tempfile.mkstemp(prefix="flakyfog-")[1] for kind in kinds}
        # Side by side: each run counts its own processes.
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            runs = dict(zip(kinds, pool.map(lambda kind: self.flaky_run(kind, counters[kind]),
                                            kinds)))
        for kind in kinds:
            with self.subTest(run=kind):
                counter = counters[kind]
                status, out = runs[kind]
                self.assertEqual(status, 0)
                self.assertEqual(csv_rows(out, "failures.csv"), [])
                self.assertEqual(csv_rows(out, "results.csv")[0][:2],
                                 ("vorn@vorntest5@m07-fog-linear", "Flake"))
                self.assertIn("k-flake", cells(out)["vorntest5/m07-fog-linear"][0])
                with open(counter) as f:
                    self.assertEqual(f.read().strip(), "2")     # failed, then passed


class ListParsers(unittest.TestCase):

    def test_fails_list_lines_comments_and_errors(self):
        path = write_list(["# known failures", "", "vorn@vorntest5@m07-fog-linear,Fail",
                           "  vorn@quenby@start , Crash   # points", "vorn@tembrel@start,Timeout"])
        self.assertEqual(ex.parse_fails(path), {"vorn@vorntest5@m07-fog-linear": "FAIL",
                                                "vorn@quenby@start": "CRASH",
                                                "vorn@tembrel@start": "TIMEOUT"})
        for lines, error in ((["vorn@quenby@start"], r":1: .* is not TEST,STATUS"),
                             (["# x", "vorn@quenby@start,Pass"], r":2: status 'Pass' is none"),
                             (["vorn@quenby@start,fail"], "status 'fail'"),
                             (["vorn@a@b,Fail,Crash"], "is not TEST,STATUS"),
                             ([",Fail"], "is not TEST,STATUS"),
                             (["vorn@a@b,Fail", "vorn@a@b,Crash"], ":2: vorn@a@b is listed twice")):
            with self.subTest(lines=lines):
                with self.assertRaisesRegex(ex.ListError, error):
                    ex.parse_fails(write_list(lines))
        with self.assertRaisesRegex(ex.ListError, "No such file"):
            ex.parse_fails("/nonexistent/fails.txt")

    def test_flakes_and_skips_are_searched_expressions(self):
        path = write_list(["vorn@quenby@  # moving stars", "", "^vorn@vorntest5@c-fog-exp2?\\+"])
        patterns = ex.parse_patterns(path)
        self.assertEqual([text for _, text in patterns],
                         ["vorn@quenby@", "^vorn@vorntest5@c-fog-exp2?\\+"])
        lists = ex.Lists(skips=patterns)
        self.assertEqual(lists.skip_pattern("vorn@quenby@start"), "vorn@quenby@")
        self.assertEqual(lists.skip_pattern("vorn@vorntest5@c-fog-exp+texenv-blend"),
                         "^vorn@vorntest5@c-fog-exp2?\\+")
        self.assertIsNone(lists.skip_pattern("vorn@vorntest5@c-fog-linear+texenv-blend"))
        with self.assertRaisesRegex(ex.ListError, r":2: 'vorn@\(quenby': missing \)"):
            ex.parse_patterns(write_list(["ok", "vorn@(quenby"]))

    def test_softpipe_is_judged_against_its_own_list_in_every_run_that_takes_it(self):
        def known(*argv):
            lists = ex.load(opts.parse(["--build", "b"] + list(argv), ""))
            return sorted(lists.known) if lists else None
        self.assertEqual(known(), ["softpipe"])
        self.assertEqual(known("--renderers", "llvmpipe,softpipe", "--fast"), ["softpipe"])
        self.assertEqual(known("--renderer", "softpipe=GALLIUM_DRIVER=softpipe,X=1", "--fast"),
                         ["softpipe"])
        self.assertIsNone(known("--fast"))
        self.assertIsNone(known("--renderers", "llvmpipe"))
        # A list of the run's own replaces it, for every renderer.
        self.assertEqual(known("--fails", write_list(["vorn@quenby@start,Fail"])), [])
        # Every line names a state of the suite.
        every = {state.id for program in st.PROGRAMS for state in st.program_states(program.name)}
        self.assertLessEqual(softpipe_fails(), every)


if __name__ == "__main__":
    unittest.main()
