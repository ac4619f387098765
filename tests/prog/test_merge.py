"""Reports merged: a window run records a few states as a trace pack; the
pack is replayed headless whole, and in three strided shards (--fraction 3
--fraction-start K), on llvmpipe, and once on softpipe as another machine
would. scripts/report --merge puts the shards together into what the whole
replay wrote, state for state and in its order; the lists are applied once,
to the merged results (a fails list's unexpected pass fails the merge;
softpipe is judged against its own list); a run that recorded traces is no
part to merge."""

import json
import os
import re
import subprocess
import unittest

from report.backends import parts

import harness as h
from test_report import LINE, ROOT, junit_cases, report_command, softpipe_fails

STATES = r"vorntest5/(start|m07)|fendrik|tembrel|quenby"
SHARDS = 3


def report(*arguments):
    """scripts/report with the arguments given and DISPLAY unset, as a
    replay or a merge runs on a machine with no display: (exit status,
    standard error)."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    done = subprocess.run(["sh", os.path.join(ROOT, "scripts", "report")] + list(arguments),
                          env=env, capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
    return done.returncode, done.stderr


def out_dir(name):
    return os.path.join(h.ARTIFACT_DIR, "merge-" + name)


def summary_lines(out):
    with open(os.path.join(out, "summary.txt")) as f:
        return f.read().splitlines()


def state_lines(out):
    """[(status, renderer, state id)] of the summary, in its order."""
    return [m.group(1, 2, 3) for m in map(LINE.match, summary_lines(out)) if m]


def piglit_results(out, renderer):
    """[(test, result)] of a renderer's piglit results, in their order."""
    with open(os.path.join(out, "piglit", renderer, "results.json")) as f:
        return [(name, test["result"]) for name, test in json.load(f)["tests"].items()]


def piglit_compared(before, after, renderer):
    """piglit's own comparison of two reports' results on a renderer: its
    summary's rows, {row: [count before, count after]}."""
    done = subprocess.run(["piglit", "summary", "console", "-d"] + [
        os.path.join(out, "piglit", renderer) for out in (before, after)],
        capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
    if done.returncode != 0:
        raise AssertionError("piglit summary console: %s" % done.stderr[-2000:])
    rows = re.findall(r"^\s*([a-z-]+):\s+(\d+)\s+(\d+)\s*$", done.stdout, re.M)
    return {row: [int(a), int(b)] for row, a, b in rows}


def csv_lines(out, name):
    with open(os.path.join(out, name)) as f:
        return f.read().splitlines()


class Merge(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.window = out_dir("window")
        recorded = report_command(cls.window, "--renderers", "llvmpipe", "--traces",
                                  "--no-rates", "--states", STATES)
        if recorded.returncode != 0:
            raise AssertionError(recorded.stderr.decode(errors="replace")[-3000:])
        cls.pack = os.path.join(cls.window, "traces")
        cls.whole = out_dir("whole")
        cls.whole_status = report("--replay", cls.pack, "--renderers", "llvmpipe",
                                  "--out", cls.whole)[0]
        cls.shards = [out_dir("shard%d" % k) for k in range(1, SHARDS + 1)]
        for k, shard in enumerate(cls.shards, 1):
            report("--replay", cls.pack, "--renderers", "llvmpipe", "--fraction", str(SHARDS),
                   "--fraction-start", str(k), "--out", shard)

    def merged(self, name, parts, *options):
        out = out_dir(name)
        status, stderr = report("--merge", *parts, "--out", out, *options)
        return status, stderr, out

    def test_three_shards_merged_are_the_whole_run_state_for_state(self):
        whole = state_lines(self.whole)
        self.assertEqual(len(whole), 5, whole)
        # Each shard is a strided third of the run.
        for k, shard in enumerate(self.shards):
            self.assertEqual(state_lines(shard), whole[k::SHARDS])
        status, stderr, out = self.merged("shards", list(reversed(self.shards)))
        self.assertEqual((status, stderr), (self.whole_status, ""))
        self.assertEqual(state_lines(out), whole)
        self.assertEqual(summary_lines(out)[-2:], summary_lines(self.whole)[-2:])
        self.assertEqual(piglit_results(out, "llvmpipe"), piglit_results(self.whole, "llvmpipe"))
        compared = piglit_compared(self.whole, out, "llvmpipe")
        self.assertEqual(compared["total"], [len(whole)] * 2)
        self.assertEqual(compared["changes"], [0, 0])
        self.assertEqual(junit_cases(out), junit_cases(self.whole))
        # The checks found the same of the merged results as of the whole run.
        self.assertEqual(*(parts.load(folder)["findings"] for folder in (out, self.whole)))
        # Every state's pictures came along, and the pages show them.
        for _, renderer, state in whole:
            self.assertTrue(os.path.isfile(os.path.join(out, renderer, state + ".png")), state)
        with open(os.path.join(out, "vorntest5.html")) as f:
            self.assertIn("llvmpipe/vorntest5/m07-fog-linear.thumb.png", f.read())

    def test_the_lists_judge_the_merged_results_once(self):
        # A fails list's state that passes: an unexpected pass fails the merge.
        fails = out_dir("fails.txt")
        with open(fails, "w") as f:
            f.write("vorn@fendrik@start,Fail\n")
        status, stderr, out = self.merged("fails", self.shards, "--fails", fails)
        self.assertEqual((status, stderr), (1, ""))
        self.assertEqual(csv_lines(out, "failures.csv"), ["vorn@fendrik@start,UnexpectedPass"])
        self.assertEqual([line.split(",")[:2] for line in csv_lines(out, "results.csv")],
                         [["vorn@" + state.replace("/", "@"),
                           "UnexpectedPass" if state == "fendrik/start" else "Pass"]
                          for _, _, state in state_lines(self.whole)])
        # softpipe, replayed elsewhere, beside the shards: judged against its
        # own list, as a run that may take softpipe is.
        soft = out_dir("softpipe")
        report("--replay", self.pack, "--renderers", "softpipe", "--out", soft)
        status, stderr, out = self.merged("renderers", self.shards + [soft])
        self.assertEqual((status, stderr), (0, ""), summary_lines(out)[:12])
        known = softpipe_fails()
        self.assertEqual(sorted(state_lines(out)), sorted(state_lines(self.whole) + [
            ("FAIL" if state in known else "PASS", "softpipe", state)
            for _, _, state in state_lines(self.whole)]))
        self.assertIn("vorn@vorntest5@start,ExpectedFail,", "\n".join(
            csv_lines(out, "results.csv")))

    def test_a_run_that_recorded_traces_is_no_part(self):
        status, stderr, out = self.merged("traces", [self.window, self.shards[0]])
        self.assertEqual(status, 2)
        self.assertEqual(stderr.count("\n"), 1, stderr)
        self.assertIn("merge the replays of its pack instead", stderr)
        self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
