"""Expectation lists and flakes over runs, on replays of a tiny pack by a
driver broken on purpose: flat shading crashes and blending is wrong in
every process (crashflat, blendfactor), the fog colour at random (dicefog,
seeded by the environment). Three runs update the lists: the crash and the
clock on the fails list, the fog state on the flakes list, a mended state
off; a second update changes nothing, and the lists gate the next run to
exit 0. The history of the runs shows the flake, the run it first failed
in and the rates, in Chromium and in the CSV. A stress run measures the
random state's failure rate; a version check rejects a renderer of another
Mesa."""

import concurrent.futures
import os
import shutil
import subprocess
import tempfile
import unittest

import harness as h
from test_page import CHROMIUM, dom
from test_replay import csv_rows, library, replay, write_list
from test_report import ROOT, report_command

STATES = r"vorntest5/(start|m07|m15)|tembrel"
# dicefog's first draw under these seeds: sound, and broken.
SOUND, BROKEN = 1, 6


def run(*argv):
    return subprocess.run(["sh", os.path.join(ROOT, "scripts", "report")] + list(argv),
                          capture_output=True, text=True, timeout=h.COMMAND_SECONDS)


class ListsOverRuns(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        window = os.path.join(h.ARTIFACT_DIR, "lists-window")
        recorded = report_command(window, "--renderers", "llvmpipe", "--traces", "--no-rates",
                                  "--states", STATES)
        assert os.path.isdir(os.path.join(window, "traces")), recorded.stderr[-2000:]
        cls.pack = os.path.join(tempfile.mkdtemp(prefix="lists-pack-"), "pack")
        shutil.copytree(os.path.join(window, "traces"), cls.pack)

    def broken(self, seed, *more):
        """scripts/report --replay of the pack on the broken driver, its own
        draws counted afresh: (exit status, report directory)."""
        counter = tempfile.mkstemp(prefix="dicefog-")[1]
        os.remove(counter)
        name = "lists-%s" % os.path.basename(counter)
        preload = ":".join(library(n) for n in ("crashflat", "blendfactor", "dicefog"))
        status, _, _, out = replay(
            self.pack, name, "--renderer", "broken=GALLIUM_DRIVER=llvmpipe,LD_PRELOAD=%s,"
            "DICEFOG_SEED=%d,DICEFOG_COUNTER=%s" % (preload, seed, counter),
            "--renderers", "broken", *more)
        return status, out

    def test_three_runs_update_the_lists_which_gate_the_next_and_draw_the_history(self):
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            runs = [out for _, out in pool.map(lambda seed: self.broken(seed),
                                               (SOUND, BROKEN, SOUND))]
        fails = write_list(["# broken: known failures", "vorn@vorntest5@start,Fail  # mended"])
        flakes = write_list(["# broken: flakes"])
        update = ["--update-lists"] + runs + ["--fails", fails, "--flakes", flakes]
        due = run(*update, "--check")
        self.assertEqual(due.returncode, 1, due.stderr)
        self.assertIn("-vorn@vorntest5@start,Fail  # mended", due.stdout)
        self.assertEqual(run(*update).returncode, 0)
        with open(fails) as f:
            listed = f.read().splitlines()
        self.assertEqual([line.split("  #")[0] for line in listed[1:]],
                         ["vorn@tembrel@start,Fail", "vorn@vorntest5@m15-shade-flat,Crash"])
        self.assertIn("Crash in 3 of 3 tries: %s" % ", ".join(map(os.path.basename, runs)),
                      listed[2])
        with open(flakes) as f:
            self.assertEqual(f.read().splitlines()[1].split("  #")[0],
                             "^vorn@vorntest5@m07-fog-linear$")
        again = run(*update, "--check")
        self.assertEqual((again.returncode, again.stdout), (0, "lists up to date\n"))
        status, out = self.broken(BROKEN, "--fails", fails, "--flakes", flakes)
        self.assertEqual(status, 0)
        self.assertEqual(csv_rows(out, "failures.csv"), [])
        # The history of the three runs: the fog state passed, failed, passed.
        history = os.path.join(h.ARTIFACT_DIR, "lists-history")
        drawn = run("--history", *runs, "--out", history)
        self.assertEqual(drawn.returncode, 0, drawn.stderr)
        names = [os.path.basename(r) for r in runs]
        fog = next(row for row in csv_rows(history, "history.csv")
                   if row[1] == "vorn@vorntest5@m07-fog-linear")
        self.assertEqual(fog, ("broken", "vorn@vorntest5@m07-fog-linear", "PASS", "FAIL",
                               "PASS", "67%", names[1], "33%"))
        if CHROMIUM:
            page = dom(os.path.join(history, "history.html"))
            rows = {tr.all("td").__next__().content() + " " + list(tr.all("code"))[0].content():
                    [td.content() for td in tr.all("td")] for tr in page.all("tr", "flake")}
            self.assertEqual(list(rows), ["broken vorn@vorntest5@m07-fog-linear"])
            self.assertEqual(len(list(page.all("polyline", "renderer"))), 1)

    def test_a_stress_run_measures_the_random_failure(self):
        status, out = self.broken(BROKEN, "--renderer", "llvmpipe=GALLIUM_DRIVER=llvmpipe",
                                  "--renderers", "llvmpipe,broken", "--states",
                                  "vorntest5/m07", "--repeat", "20")
        self.assertEqual(status, 0)
        rows = {row[3]: row for row in csv_rows(out, "results.csv")}
        self.assertEqual(rows["llvmpipe"][1:2] + rows["llvmpipe"][4:], ("Pass", "0", "20"))
        failed = int(rows["broken"][4])
        # dicefog breaks half the processes: 20 draws fall within 4..16.
        self.assertEqual(rows["broken"][1], "Flake")
        self.assertTrue(4 <= failed <= 16, failed)
        with open(os.path.join(out, "summary.txt")) as f:
            self.assertIn("%d of 20 tries failed" % failed, f.read())

    def test_a_renderer_of_another_mesa_is_rejected_before_judging(self):
        done = run("--replay", self.pack, "--renderers", "llvmpipe", "--version-check",
                   r"llvmpipe=Mesa 1\.0", "--out", os.path.join(h.ARTIFACT_DIR, "lists-v"))
        self.assertEqual(done.returncode, 2)
        self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)
        self.assertIn("has GL_VERSION", done.stderr)


if __name__ == "__main__":
    unittest.main()
