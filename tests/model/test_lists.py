"""The expectation lists over runs, with reports made by hand: the update
from several runs' tries (fails, flakes, mended states, a stress run that
makes a flake stable), kept comments and an update that is due only once;
a stress run's tries settled as one result that the lists and the retries
take as one; list entries that name no state."""

import contextlib
import io
import os
import shutil
import tempfile
import unittest

from report import hygiene, lists, pipeline
from report import options as opts
from report import renderers as rd
from report.checks import expectations as ex
from report.backends import parts
from report.outcome import CRASH, FAIL, PASS, Outcome
from report.renderers import Renderer
from report.run import Report
from test_merge import WORKING, SOFT, options_of, window_report, written
from test_pipeline import STATE, StandIn

STATES = ["vorntest5/start", "vorntest5/m07-fog-linear", "vorntest/start", "fendrik/start",
          "quenby/start"]


class Update(unittest.TestCase):

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="lists-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)

    def run_of(self, name, statuses, renderers=(WORKING,), tries=None):
        """A run of STATES with their statuses in turn; tries: {state: [status]}
        for a stress run's."""
        out = os.path.join(self.folder, name)
        report = window_report(out, list(renderers), STATES, statuses,
                               began=1_800_000_000.0)
        for state, statuses in (tries or {}).items():
            report.settle((WORKING.name, state), Outcome(
                next((s for s in statuses if s != PASS), PASS),
                tries=tuple((s, "") for s in statuses)))
        report.ended = 1_800_000_000.0
        parts.write(report, out)
        return out

    def update(self, runs, *more):
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed):
            status = lists.update(options_of("--update-lists", *runs, "--fails", self.fails,
                                             "--flakes", self.flakes, *more))
        return status, printed.getvalue()

    def test_runs_put_failures_and_flakes_on_the_lists_and_take_mended_ones_off(self):
        self.fails = written(self.folder, "fails.txt", "# mine: known failures\n"
                             "vorn@fendrik@start,Fail  # since the texture rework\n"
                             "vorn@vorntest@start,Fail\n"
                             "vorn@tembrel@start,Fail\n")
        self.flakes = written(self.folder, "flakes.txt", "# mine: flakes\nvorn@quenby@\n")
        runs = [self.run_of("run-1", [FAIL, PASS, CRASH, PASS, FAIL]),
                self.run_of("run-2", [FAIL, FAIL, CRASH, PASS, PASS]),
                self.run_of("run-3", [FAIL, PASS, CRASH, PASS, PASS])]
        status, printed = self.update(runs, "--check")
        self.assertEqual(status, 1, printed)
        self.assertIn("-vorn@fendrik@start,Fail  # since the texture rework", printed)
        with open(self.fails) as f:
            self.assertIn("vorn@fendrik@start", f.read())   # --check writes nothing
        self.assertEqual(self.update(runs)[0], 0)
        with open(self.fails) as f:
            self.assertEqual(f.read(), (
                "# mine: known failures\n"
                "vorn@vorntest@start,Crash\n"
                "vorn@tembrel@start,Fail\n"
                "vorn@vorntest5@start,Fail  # Fail in 3 of 3 tries: run-1, run-2, run-3 "
                "(2027-01-15)\n"))
        with open(self.flakes) as f:
            self.assertEqual(f.read(), (
                "# mine: flakes\nvorn@quenby@\n"
                "^vorn@vorntest5@m07-fog-linear$  # failed 1 of 3 tries (Fail 1): run-1, "
                "run-2, run-3 (2027-01-15)\n"))
        # Once done, the same runs change nothing.
        self.assertEqual(self.update(runs, "--check"), (0, "lists up to date\n"))
        # quenby, flaky in one run, is stable only after a stress run:
        # a hundred passing tries take its expression off the list.
        flaky = self.run_of("run-4", [FAIL, PASS, CRASH, PASS, PASS],
                            tries={"quenby/start": [PASS, FAIL]})
        self.assertEqual(self.update(runs + [flaky], "--check")[0], 0)
        stress = self.run_of("stress", [FAIL, PASS, CRASH, PASS, PASS],
                             tries={"quenby/start": [PASS] * 100})
        status, printed = self.update([stress], "--check")
        self.assertIn("-vorn@quenby@\n", printed)

    def test_entries_of_no_state_are_reported_and_one_renderer_is_named(self):
        self.fails = written(self.folder, "fails.txt", "vorn@vorntest5@gone,Fail\n")
        self.flakes = written(self.folder, "flakes.txt", "\n\n^vorn@nothing\n")
        both = self.run_of("both", [PASS] * 5, renderers=(WORKING, SOFT))
        with self.assertRaisesRegex(opts.UsageError, "mine, softpipe: name the one"):
            self.update([both])
        status, printed = self.update([both], "--renderers", "mine")
        self.assertEqual(status, 0)
        self.assertIn("fails.txt:1: vorn@vorntest5@gone is no state", printed)
        self.assertIn("flakes.txt:3: '^vorn@nothing' matches no state", printed)
        # A run given a list that names no state stops before it starts.
        run = options_of("--build", "b", "--fails", self.fails)
        with self.assertRaisesRegex(ex.ListError, r"fails.txt:1: vorn@vorntest5@gone"):
            hygiene.check(run)


class Sequence(StandIn):
    """A stand-in whose every take goes as the next of its list."""

    def __init__(self, takes, later=()):
        super().__init__(None, later)
        self.takes = list(takes)

    def take(self, renderer, program, states, on_picture):
        self.first = self.takes.pop(0)
        return super().take(renderer, program, states, on_picture)


class Stress(unittest.TestCase):

    def outcome_of(self, source, *argv):
        out = tempfile.mkdtemp(prefix="stress-")
        self.addCleanup(shutil.rmtree, out, ignore_errors=True)
        options = opts.parse(["--build", "b", "--out", out] + list(argv), "")
        report = Report(options, out)
        report.renderers = [WORKING]
        report.tolerance = pipeline.tolerance(report.renderers)
        report.programs = [("quenby", True, [STATE])]
        lists_of = ex.load(options)
        pipeline.run_all(report, source, lists_of, None, lambda text: None)
        report.expectations = ex.judge(report, lists_of)
        return report, report.results[(WORKING.name, STATE.id)]

    def test_tries_settle_one_result_that_the_lists_take_as_one(self):
        source = Sequence(["pass", "fail", "pass", "fail"], ["pass"])
        report, outcome = self.outcome_of(source, "--repeat", "4", "--retries", "1")
        self.assertEqual([s for s, _ in outcome.tries], [PASS, FAIL, PASS, FAIL])
        self.assertEqual(outcome.status, FAIL)
        self.assertTrue(outcome.note.startswith("2 of 4 tries failed (50%)"), outcome.note)
        self.assertEqual(report.expectations.statuses[(WORKING.name, STATE.id)], "Flake")
        self.assertEqual(source.again_count, 0)
        # The state's picture is its failing try's, kept apart.
        self.assertEqual(report.pictures[(WORKING.name, STATE.id)][0],
                         "tries/2/mine/quenby/start.png")
        # The most severe try stands for the state; a crash leaves no picture.
        report, outcome = self.outcome_of(Sequence(["fail", "crash", "pass"]), "--repeat", "3")
        self.assertEqual(outcome.status, CRASH)
        self.assertNotIn((WORKING.name, STATE.id), report.pictures)
        # Every try failed: one result, which the retry runs once more.
        source = Sequence(["fail"] * 3, ["pass"])
        _, outcome = self.outcome_of(source, "--repeat", "3", "--retries", "1")
        self.assertEqual((outcome.status, source.again_count), (PASS, 1))
        self.assertEqual(outcome.try_statuses(), [FAIL, PASS])
        self.assertIn("3 of 3 tries failed", outcome.earlier[0][1])


class VersionCheck(unittest.TestCase):

    def test_a_renderer_of_another_mesa_stops_the_run(self):
        found = [Renderer("mine", {}, {"renderer": "llvmpipe (LLVM 15.0.6, 256 bits)",
                                        "version": "4.5 (Compatibility Profile) Mesa 22.3.6"})]
        versions = lambda text: options_of("--build", "b", "--version-check", text).version_checks
        self.assertEqual(rd.checked(found, [], versions(r"mine=Mesa 22\.3")), found)
        with self.assertRaisesRegex(rd.RendererError, r"^--version-check: renderer mine has "
                                    r"GL_VERSION '4.5 \(Compatibility Profile\) Mesa 22.3.6', "
                                    r"which does not match 'Mesa 24'$"):
            rd.checked(found, [], versions("mine=Mesa 24"))
        with self.assertRaisesRegex(opts.UsageError, "--version-check 'mine': expected"):
            versions("mine")


if __name__ == "__main__":
    unittest.main()
