"""The renderer report, run as CI runs it (llvmpipe only, the fast mode), on
its own virtual X server: its verdict for every state is a test here, and a
fog colour broken on purpose, from outside the programs, must fail exactly
the states that show fog."""

import os
import re
import subprocess
import tempfile
import unittest

import harness as h
from expected import probes
from report import drive
from report import states as st

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

BUILD = os.path.dirname(os.path.normpath(h.BIN_DIR))
LINE = re.compile(r"^(PASS|FAIL|NO MODEL|NOT BUILT)\s+(\S+)\s+(\S+)?\s*(.*)$")


def run_report(name, *options):
    """Runs the report command into the artifact directory name; returns its
    exit status, its summary's verdicts {state id: (status, note)}, its
    lines and the report directory."""
    out = os.path.join(h.ARTIFACT_DIR, name)
    result = subprocess.run(["sh", os.path.join(ROOT, "scripts", "report"), "--build", BUILD,
                             "--fast", "--renderers", "llvmpipe", "--out", out] + list(options),
                            capture_output=True, timeout=540)
    path = os.path.join(out, "summary.txt")
    if not os.path.exists(path):
        raise AssertionError("no summary: %s" % result.stderr.decode(errors="replace")[-3000:])
    with open(path) as f:
        lines = f.read().splitlines()
    found = {}
    for line in lines:
        match = LINE.match(line)
        if match and match.group(1) != "NOT BUILT":
            found[match.group(3)] = (match.group(1), match.group(4))
    return result.returncode, found, lines, out


def built(program):
    return os.access(os.path.join(h.BIN_DIR, program), os.X_OK)


class CIReport(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.status, cls.verdicts, cls.lines, cls.out = run_report("report")

    def test_every_state_of_every_built_program_passes(self):
        for program, *_ in st.PROGRAMS:
            if not built(program):
                self.assertIn("NOT BUILT %s" % program,
                              [" ".join(l.split()) for l in self.lines])
                continue
            for state in st.program_states(program, fast=True):
                with self.subTest(state=state.id):
                    status, note = self.verdicts[state.id]
                    self.assertIn(status, ("PASS", "NO MODEL"), note)
        # Every render state of both render-state programs has a model, so a
        # verdict.
        for program in ("vorntest5", "vorntest"):
            if built(program):
                self.assertEqual(
                    [i for i, v in self.verdicts.items() if i.startswith(program + "/")
                     and v[0] != "PASS"], [])

    def test_summary_ends_with_the_counts(self):
        match = re.match(r"^(\d+) passed, (\d+) failed$", self.lines[-1])
        self.assertTrue(match, self.lines[-1])
        passes = sum(1 for v in self.verdicts.values() if v[0] == "PASS")
        self.assertEqual((int(match.group(1)), int(match.group(2))), (passes, 0))
        self.assertEqual(self.status, 0)

    def test_page_pictures_sheet_and_frame_rates(self):
        with open(os.path.join(self.out, "index.html")) as f:
            page = f.read()
        self.assertTrue(os.path.getsize(os.path.join(self.out, "contact-sheet.png")) > 0)
        for state_id in self.verdicts:
            program, name = state_id.split("/")
            picture = "llvmpipe/%s/%s.png" % (program, name)
            self.assertIn(picture, page)
            self.assertTrue(os.path.exists(os.path.join(self.out, picture)), picture)
        for program, *_ in st.PROGRAMS:
            if built(program):
                rows = [l.split() for l in self.lines if l.split()[:2] == [program, "llvmpipe"]]
                self.assertEqual(len(rows), 1, program)
                fps, base, ratio = (float(v) for v in rows[0][3:6])
                self.assertGreater(fps, 0)
                self.assertGreater(base, 0)
                self.assertAlmostEqual(ratio, fps / base, delta=0.002)


@unittest.skipUnless(built("vorntest5"), "vorntest5 is not built")
class BrokenFog(unittest.TestCase):
    """A preloaded library turns every fog colour magenta before it reaches
    the GL; the programs themselves are untouched."""

    def test_only_the_states_with_fog_fail(self):
        status, verdicts, lines, _ = run_report("report-fogbreak", "--programs", "vorntest5",
                                                "--preload", "fogbreak")
        foggy = {s.id for s in st.program_states("vorntest5", fast=True) if s.uses_fog()}
        # Three fog menu states, and each fog mode with each texture environment.
        self.assertEqual(len(foggy), 3 + 12)
        failed = {i for i, v in verdicts.items() if v[0] == "FAIL"}
        self.assertEqual(failed, foggy)
        passed = {i for i, v in verdicts.items() if v[0] == "PASS"}
        self.assertEqual(len(passed) + len(failed), len(verdicts))
        self.assertEqual(lines[-1], "%d passed, %d failed" % (len(passed), len(failed)))
        self.assertEqual(status, 1)


class NotBuilt(unittest.TestCase):
    """A program whose binary is missing is listed, not fatal."""

    def test_missing_program_is_listed_and_the_rest_judged(self):
        build = tempfile.mkdtemp(prefix="report-build-")
        os.makedirs(os.path.join(build, "bin"))
        for name in os.listdir(h.BIN_DIR):
            if name != "tembrel":
                os.symlink(os.path.join(h.BIN_DIR, name), os.path.join(build, "bin", name))
        os.symlink(h.PRELOAD_DIR, os.path.join(build, "preload"))
        out = os.path.join(h.ARTIFACT_DIR, "report-not-built")
        result = subprocess.run(["sh", os.path.join(ROOT, "scripts", "report"), "--build", build,
                                 "--fast", "--programs", "tembrel,fendrik", "--out", out],
                                capture_output=True, timeout=300)
        with open(os.path.join(out, "summary.txt")) as f:
            lines = [" ".join(l.split()) for l in f.read().splitlines()]
        self.assertIn("NOT BUILT tembrel", lines)
        self.assertTrue(any(l.startswith("PASS llvmpipe fendrik/start") for l in lines), lines)
        self.assertEqual(lines[-1], "1 passed, 0 failed")
        self.assertEqual(result.returncode, 0)
        with open(os.path.join(out, "index.html")) as f:
            self.assertRegex(f.read(), r"<h2>tembrel</h2>\s*<p><span class=\"NOTBUILT\">")


class StateList(unittest.TestCase):

    def test_every_menu_entry_from_the_start_and_the_combinations(self):
        for program, entries in (("vorntest5", 35), ("vorntest", 16)):
            states = st.program_states(program)
            menu = [s for s in states if s.entries and not s.combination]
            self.assertEqual([s.entries for s in menu], [[i] for i in range(entries)])
            names = [s.name for s in states]
            self.assertEqual(len(names), len(set(names)))
            combos = [s for s in states if s.combination]
            fog_env = {(s.settings["fog"], s.settings["env"]) for s in combos
                       if s.settings["fog"] and s.settings["texture"]}
            self.assertEqual(len(fog_env), 12)
        self.assertEqual(len(st.program_states("vorntest5")), 1 + 35 + 12 + 4 + 15)
        self.assertEqual(len(st.program_states("vorntest5", fast=True)), 1 + 35 + 12 + 4 + 3)
        self.assertEqual(len(st.program_states("vorntest")), 1 + 16 + 12 + 4)

    def test_leaving_a_state_chooses_the_start_entries_back(self):
        states = {s.name: s for s in st.program_states("vorntest5")}
        angle = states["c-texture-off+persp-90"]
        self.assertEqual(angle.entries, [0, 27])
        self.assertEqual(angle.restore(), [32, 1])          # Persp 150, Texture On
        # The next state sets the field of view itself: only texturing goes back.
        self.assertEqual(angle.restore(states["m20-persp-10"]), [1])
        self.assertEqual(states["m01-texture-on"].restore(), [])   # already the start
        first = {s.name: s for s in st.program_states("vorntest")}
        self.assertEqual(first["c-texture-on+shade-flat"].restore(), [14, 0])


class Measures(unittest.TestCase):

    def test_tolerance_follows_the_channel_bits(self):
        self.assertEqual(probes.tolerance([8, 8, 8, 0]), 3)
        self.assertEqual(probes.tolerance([5, 6, 5, 0]), 25)     # 3 steps of 255/31
        self.assertEqual(probes.tolerance([10, 10, 10, 2]), 1)

    def test_callgrind_dump_is_split_by_object_without_inclusive_call_costs(self):
        dump = "\n".join([
            "version: 1", "events: Ir",
            "ob=(1) /build/bin/vorntest5", "fl=(1) a.cpp", "fn=(1) DisplayFunc",
            "10 5", "+2 3",
            "cob=(2) /usr/lib/libGL.so.1", "cfn=(2) glClear", "calls=1 0", "12 400",
            "ob=(2)", "fn=(2)", "0 40",
            "ob=(3) ???", "fn=(3) 0x0000000004a", "* 100",
            "ob=(1)", "fn=(1)", "14 2", "totals: 150"]) + "\n"
        path = os.path.join(tempfile.mkdtemp(prefix="report-cg-"), "callgrind.out.2")
        with open(path, "w") as f:
            f.write(dump)
        self.assertEqual(drive.parse_callgrind(path),
                         {"/build/bin/vorntest5": 10, "/usr/lib/libGL.so.1": 40, "???": 100})


if __name__ == "__main__":
    unittest.main()
