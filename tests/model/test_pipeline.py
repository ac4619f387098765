"""The per-state pipeline and the checks after it, fed by a stand-in source
of frames: no program, no X server, no replayer. Its frames are starfield
pictures, whose model needs no texture file: the model's own expected
picture passes, a black one fails. What is checked is what both real
sources rely on: skips, the mapping of crashes and hangs, retries that
make a flake, the rerun command, and the order in which the kept reference
pictures, a baseline and the expectation lists change what a result means."""

import os
import shutil
import tempfile
import threading
import unittest

from expected import quenby
from progdriver.images import Image
from report import catalogue as st
from report import checks, pipeline
from report import options as opts
from report import renderers as rd
from report.checks import expectations as ex
from report.outcome import CRASH, FAIL, PASS, SKIP, TIMEOUT, Outcome
from report.renderers import Renderer
from report.run import Report

WIDTH, HEIGHT, FRAMES = 64, 48, 40
STATE = st.find_state("quenby", "start")


def starfield(good):
    """A picture of the field at FRAMES frames: the model's own, or black."""
    if not good:
        return Image(WIDTH, HEIGHT, bytes(WIDTH * HEIGHT * 3))
    field = quenby.Field()
    field.advance_to(FRAMES)
    band = quenby.band(field, WIDTH, HEIGHT).freeze()
    return Image(WIDTH, HEIGHT, band.expected().tobytes())


class StandIn:
    """A source whose states go as told: "pass" and "fail" take a picture
    that passes or fails, "crash" and "timeout" end before one. take()
    hands the pictures on from another thread, as the real sources do."""

    no_context = "no context here"
    jobs = 1

    def __init__(self, first, later=()):
        self.first, self.later = first, list(later)
        self.again_count = 0

    def record(self, state, how):
        record = pipeline.Record(state)
        if how in ("pass", "fail"):
            record.image, record.count = starfield(how == "pass"), FRAMES
            record.settle()
        else:
            record.settle({"crash": CRASH, "timeout": TIMEOUT}[how], "it " + how,
                          "what is known of the " + how)
        return record

    def parts(self, states):
        return [states] if states else []

    def take(self, renderer, program, states, on_picture):
        records = [self.record(state, self.first) for state in states]
        for record in records:
            if record.status is None:
                on_picture(record)
        return records

    def again(self, renderer, state):
        self.again_count += 1
        return self.record(state, self.later.pop(0))

    def command(self, renderer, state):
        return "run %s on %s" % (state.id, renderer.name)


class Pipeline(unittest.TestCase):

    def setUp(self):
        self.out = tempfile.mkdtemp(prefix="pipeline-")
        self.addCleanup(shutil.rmtree, self.out, ignore_errors=True)
        self.renderer = Renderer("soft", {"GALLIUM_DRIVER": "softpipe"},
                                 {"renderer": "soft", "bits": [8, 8, 8, 0]})

    def report(self, *argv):
        options = opts.parse(["--build", "b", "--out", self.out] + list(argv), "")
        report = Report(options, self.out)
        report.renderers = [self.renderer]
        report.tolerance = pipeline.tolerance(report.renderers)
        report.programs = [("quenby", True, [STATE])]
        return report, ex.load(options)

    def outcome_of(self, source, *argv):
        report, lists = self.report(*argv)
        pipeline.run_all(report, source, lists, None, lambda text: None)
        return report, report.outcomes[("soft", STATE.id)]

    def test_a_picture_is_kept_judged_and_given_its_rerun_command(self):
        for how, status in (("pass", PASS), ("fail", FAIL)):
            with self.subTest(how=how):
                report, outcome = self.outcome_of(StandIn(how))
                self.assertEqual(outcome.status, status, outcome.note)
                self.assertEqual(outcome.command, "run quenby/start on soft")
                self.assertEqual(report.pictures[("soft", STATE.id)],
                                 ("soft/quenby/start.png", FRAMES))
                for path in ["soft/quenby/start.png"] + list(outcome.pictures.values()):
                    self.assertTrue(os.path.isfile(os.path.join(self.out, path)), path)
                self.assertEqual(sorted(outcome.pictures), ["expected", "mask"])

    def test_crashes_and_hangs_keep_their_status_and_story(self):
        for how, status in (("crash", CRASH), ("timeout", TIMEOUT)):
            with self.subTest(how=how):
                report, outcome = self.outcome_of(StandIn(how))
                self.assertEqual((outcome.status, outcome.note), (status, "it " + how))
                self.assertEqual(outcome.detail, "what is known of the " + how)
                self.assertEqual(outcome.pictures, {})
                self.assertNotIn(("soft", STATE.id), report.pictures)

    def test_skips_no_context_and_the_skips_list(self):
        source = StandIn("pass")
        self.renderer = Renderer("soft", {"GALLIUM_DRIVER": "softpipe"}, None)
        _, outcome = self.outcome_of(source)
        self.assertEqual((outcome.status, outcome.note),
                         (SKIP, 'no context here under GALLIUM_DRIVER="softpipe"'))
        self.renderer = self.renderer._replace(info={"renderer": "soft"})
        skips = os.path.join(self.out, "..", os.path.basename(self.out) + "-skips.txt")
        with open(skips, "w") as f:
            f.write("vorn@quenby@\n")
        self.addCleanup(os.remove, skips)
        _, outcome = self.outcome_of(source, "--skips", skips)
        self.assertEqual((outcome.status, outcome.note),
                         (SKIP, "not run: the skips list has vorn@quenby@"))

    def test_a_failure_that_passes_on_a_rerun_is_a_flake_and_its_picture_replaced(self):
        source = StandIn("fail", ["pass"])
        report, outcome = self.outcome_of(source, "--retries", "2")
        self.assertEqual(source.again_count, 1)
        self.assertEqual(outcome.status, PASS)
        self.assertEqual([status for status, _ in outcome.earlier], [FAIL])
        checks.apply(report, ex.load(report.options), None)
        self.assertEqual(report.expectations.classes[("soft", STATE.id)], ex.FLAKE)
        # A rerun that ends before its picture leaves none behind.
        source = StandIn("fail", ["crash", "crash"])
        report, outcome = self.outcome_of(source, "--retries", "2")
        self.assertEqual((outcome.status, source.again_count), (CRASH, 2))
        self.assertNotIn(("soft", STATE.id), report.pictures)
        self.assertFalse(os.path.exists(os.path.join(self.out, "soft/quenby/start.png")))
        # Without retries a failure stays one, and is never run again.
        source = StandIn("fail", ["pass"])
        _, outcome = self.outcome_of(source)
        self.assertEqual((outcome.status, source.again_count), (FAIL, 0))


class Checks(unittest.TestCase):
    """llvmpipe's picture of a state whose reference is kept: the reference
    check fails it before the expectation lists classify it."""

    def setUp(self):
        self.out = tempfile.mkdtemp(prefix="checks-")
        self.addCleanup(shutil.rmtree, self.out, ignore_errors=True)

    def test_the_reference_fails_a_pass_before_the_lists_judge_it(self):
        fails = os.path.join(self.out, "fails.txt")
        with open(fails, "w") as f:
            f.write("vorn@vorntest5@start,Fail\n")
        out = os.path.join(self.out, "report")
        options = opts.parse(["--build", "b", "--out", out, "--fails", fails], "")
        report = Report(options, out)
        report.renderers = [Renderer("llvmpipe", {}, {"renderer": "llvmpipe"})]
        state = st.find_state("vorntest5", "start")
        report.programs = [("vorntest5", True, [state])]
        black = Image(600, 600, bytes(600 * 600 * 3))
        black.save(os.path.join(out, "llvmpipe/vorntest5/start.png"))
        report.pictures[("llvmpipe", state.id)] = ("llvmpipe/vorntest5/start.png", 10)
        report.settle(("llvmpipe", state.id), Outcome(PASS, "judged"))
        checks.apply(report, ex.load(options), None)
        outcome = report.outcomes[("llvmpipe", state.id)]
        self.assertEqual(outcome.status, FAIL)
        self.assertIn("differ from the reference", outcome.note)
        # The settled result stays as judged; the check's finding is beside it.
        self.assertEqual(report.results[("llvmpipe", state.id)].status, PASS)
        self.assertEqual(report.expectations.classes[("llvmpipe", state.id)],
                         ex.EXPECTED_FAIL)


class Sharing(unittest.TestCase):
    """How a run is shared out: shards that together are the run, each
    state once; parts taken at once by as many threads; a renderer check
    that stops a run on the wrong driver; lists stacked from several
    files."""

    def test_shards_cover_the_run_once_in_its_order(self):
        programs = [(name, True, st.program_states(name, fast=True)) for name in st.NAMES]
        every = [s.id for _, _, states in programs for s in states]
        for total in (1, 3, 7):
            shards = [[s.id for _, _, states in pipeline.fraction(programs, total, k)
                       for s in states] for k in range(1, total + 1)]
            self.assertEqual(sorted(sum(shards, [])), sorted(every))
            # Strided: shard k holds states k, k + N, ... of the run.
            self.assertEqual(shards[-1], every[total - 1::total])
        # A program none of whose states fall in the shard is left out.
        self.assertEqual([p for p, _, _ in pipeline.fraction(programs, len(every), 2)],
                         [programs[0][0]])

    def test_parts_run_side_by_side_and_every_state_gets_its_outcome(self):
        class Parts(StandIn):
            jobs = 3

            def __init__(self):
                super().__init__("pass")
                self.threads, self.lock = set(), threading.Lock()
                self.barrier = threading.Barrier(3, timeout=30)

            def parts(self, states):
                return [[s] for s in states]

            def take(self, renderer, program, states, on_picture):
                # Returns only once three parts are under way together.
                self.barrier.wait()
                with self.lock:
                    self.threads.add(threading.get_ident())
                return super().take(renderer, program, states, on_picture)

        out = tempfile.mkdtemp(prefix="sharing-")
        self.addCleanup(shutil.rmtree, out, ignore_errors=True)
        report = Report(opts.parse(["--build", "b", "--out", out], ""), out)
        report.renderers = [Renderer("soft", {}, {"renderer": "soft", "bits": [8, 8, 8, 0]})]
        report.tolerance = pipeline.tolerance(report.renderers)
        states = [st.State("quenby", "start%d" % i, "start") for i in range(6)]
        for state in states:
            state.settings = STATE.settings
        report.programs = [("quenby", True, states)]
        source = Parts()
        pipeline.run_all(report, source, None, None, lambda text: None)
        self.assertEqual(len(source.threads), 3)
        self.assertEqual([report.outcomes[("soft", s.id)].status for s in states],
                         [PASS] * 6)
        self.assertEqual(len(report.pictures), 6)

    def test_a_renderer_check_names_what_it_found(self):
        found = [Renderer("hw", {}, {"renderer": "llvmpipe (LLVM 15.0.6, 256 bits)"}),
                 Renderer("dead", {}, None)]
        checks_of = lambda *texts: opts.parse(
            ["--build", "b"] + ["--renderer-check=" + t for t in texts], "").checks
        self.assertEqual(rd.checked(found, checks_of("hw=^llvmpipe")), found)
        for text, said in (("hw=radeonsi", "'llvmpipe (LLVM 15.0.6, 256 bits)'"),
                           ("dead=.", "made no GL context"),
                           ("gone=.", "no renderer gone in this run (found: hw, dead)")):
            with self.assertRaises(rd.RendererError) as raised:
                rd.checked(found, checks_of("hw=llvm", text))
            self.assertIn(said, str(raised.exception))
        with self.assertRaises(opts.UsageError):
            checks_of("hw=(")

    def test_stacked_lists_add_up_and_disagreeing_fails_lists_are_an_error(self):
        folder = tempfile.mkdtemp(prefix="lists-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)

        def written(name, text):
            path = os.path.join(folder, name)
            with open(path, "w") as f:
                f.write(text)
            return path
        every = written("all.txt", "vorn@quenby@start,Fail\nvorn@fendrik@start,Crash\n")
        mine = written("mine.txt", "vorn@tembrel@start,Timeout\nvorn@quenby@start,Fail\n")
        other = written("other.txt", "vorn@quenby@start,Crash\n")
        slow = written("slow.txt", "@tembrel@\n")
        gpu = written("gpu.txt", "@fendrik@\n")
        lists = ex.load(opts.parse(["--build", "b", "--fails", every, "--fails", mine,
                                    "--skips", slow, "--skips", gpu], ""))
        self.assertEqual(lists.fails, {"vorn@quenby@start": FAIL, "vorn@fendrik@start": CRASH,
                                       "vorn@tembrel@start": TIMEOUT})
        self.assertEqual([lists.skip_pattern("vorn@%s@start" % p) for p in
                          ("tembrel", "fendrik", "quenby")], ["@tembrel@", "@fendrik@", None])
        with self.assertRaises(ex.ListError) as raised:
            ex.load(opts.parse(["--build", "b", "--fails", every, "--fails", other], ""))
        self.assertIn("vorn@quenby@start is Fail in %s but Crash in %s" % (every, other),
                      str(raised.exception))


if __name__ == "__main__":
    unittest.main()
