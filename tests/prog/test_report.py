"""The renderer report, run as CI runs it (llvmpipe only, the fast mode), on
its own virtual X server: its verdict for every state is a test here. A
driver broken on purpose from outside the programs (a wrong fog colour, a
crash in flat shading, a hang in lighting) must give exactly the statuses
it causes, at a bounded cost, in piglit's results, in the JUnit file and
against the clean run as a baseline."""

import functools
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import harness as h
from expected import probes
from report import catalogue as st, renderers
from report.checks import baseline
from report.measures import callgrind
from report.checks import expectations as ex

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

BUILD = os.path.dirname(os.path.normpath(h.BIN_DIR))
LINE = re.compile(r"^(PASS|FAIL|CRASH|TIMEOUT|SKIP|NOT BUILT)\s+(\S+)\s+(\S+)?\s*(.*)$")
# piglit and the JUnit reader are Debian's, for Debian's own Python.
SYSTEM_PYTHON = "/usr/bin/python3"


def softpipe_fails():
    """The states softpipe is known to fail, by its own fails list, as
    program/state ids."""
    listed = ex.parse_fails(os.path.join(ex.KNOWN, "softpipe-fails.txt"))
    return {test.split("@", 1)[1].replace("@", "/") for test in listed}


def report_command(out, *options, build=BUILD, env=None):
    """Runs the report; every run must leave its temporary folder empty."""
    temporary = tempfile.mkdtemp(prefix="report-temporary-")
    result = subprocess.run(["sh", os.path.join(ROOT, "scripts", "report"), "--build", build,
                             "--fast", "--out", out] + list(options), capture_output=True,
                            timeout=h.COMMAND_SECONDS,
                            env=dict(env or os.environ, TMPDIR=temporary))
    left = os.listdir(temporary)
    assert not left, "the report left %s in the temporary folder" % left
    return result


def run_report(name, *options):
    """Runs the report command into the artifact directory name; returns its
    exit status, its summary's statuses {state id: (status, note)}, its
    lines and the report directory."""
    out = os.path.join(h.ARTIFACT_DIR, name)
    result = report_command(out, "--renderers", "llvmpipe", *options)
    return read_report(out, result.returncode, result.stderr.decode(errors="replace"))


def read_report(out, status, stderr):
    """What run_report returns, of the report in out that ended with status
    and wrote stderr."""
    path = os.path.join(out, "summary.txt")
    if not os.path.exists(path):
        raise AssertionError("no summary: %s" % stderr[-3000:])
    with open(path) as f:
        lines = f.read().splitlines()
    found = {}
    for line in lines:
        match = LINE.match(line)
        if match and match.group(1) != "NOT BUILT":
            found[match.group(3)] = (match.group(1), match.group(4))
    return status, found, lines, out


# Where the test run keeps the CI report of the unmodified suite, made once
# by ci_report.py before the modules that read it; unset when a module runs
# by itself, which then makes its own.
CI_REPORT = os.environ.get("SUITE_CI_REPORT")


def make_ci_report(out):
    """Runs the CI report into out and keeps its exit status and error
    output beside it, in out + ".json", for the tests that judge it; True
    when it wrote a summary."""
    result = report_command(out, "--renderers", "llvmpipe")
    with open(out + ".json", "w") as f:
        json.dump({"status": result.returncode,
                   "stderr": result.stderr.decode(errors="replace")[-3000:]}, f)
    return os.path.exists(os.path.join(out, "summary.txt"))


@functools.lru_cache(maxsize=None)
def clean_report():
    """The CI report of the unmodified suite (llvmpipe, the fast mode, every
    state), as run_report returns it: the test run's own, or one made once
    for the module."""
    if CI_REPORT:
        with open(CI_REPORT + ".json") as f:
            kept = json.load(f)
        return read_report(CI_REPORT, kept["status"], kept["stderr"])
    return run_report("report")


def pages(out):
    """The text of the report's pages: index.html and each program's."""
    text = ""
    for name in sorted(os.listdir(out)):
        if name.endswith(".html"):
            with open(os.path.join(out, name)) as f:
                text += f.read()
    return text


def built(program):
    return os.access(os.path.join(h.BIN_DIR, program), os.X_OK)


def piglit_times(out, renderer="llvmpipe"):
    """(start, seconds, pids) per state id from a report's piglit results."""
    with open(os.path.join(out, "piglit", renderer, "results.json")) as f:
        tests = json.load(f)["tests"]
    return {name.split("@", 1)[1].replace("@", "/"):
            (t["time"]["start"], t["time"]["end"] - t["time"]["start"], t["pid"])
            for name, t in tests.items()}


# Each testcase of a JUnit file as junitparser reads it: its suite,
# classname, name, result kinds, then the files its output attaches.
JUNIT_READER = """import re, sys
from junitparser import JUnitXml
for suite in JUnitXml.fromfile(sys.argv[1]):
    for case in suite:
        kinds = [type(r).__name__ for r in case.result] or ["Passed"]
        files = re.findall(r"^\\[\\[ATTACHMENT\\|(.+)\\]\\]$", case.system_out or "", re.M)
        print(suite.name, case.classname, case.name, ",".join(kinds), *files)
"""


def junit_cases(out):
    """[(suite, classname, name, [result kinds], [attached files])] of a
    report's junit.xml, read by junitparser; no two cases may share their
    classname and name (GitLab keeps the first test of a name only)."""
    read = subprocess.run([SYSTEM_PYTHON, "-c", JUNIT_READER, os.path.join(out, "junit.xml")],
                          capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
    if read.returncode != 0:
        raise AssertionError("junitparser: %s" % read.stderr[-2000:])
    cases = [(l[0], l[1], l[2], l[3].split(","), l[4:])
             for l in (line.split() for line in read.stdout.splitlines())]
    names = [c[1:3] for c in cases]
    if len(set(names)) != len(names):
        raise AssertionError("testcases named twice: %s" % sorted(
            n for n in set(names) if names.count(n) > 1))
    return cases


class CIReport(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.status, cls.verdicts, cls.lines, cls.out = clean_report()

    def test_every_state_of_every_built_program_passes(self):
        for program, *_ in st.PROGRAMS:
            if not built(program):
                self.assertIn("NOT BUILT %s" % program,
                              [" ".join(l.split()) for l in self.lines])
                continue
            for state in st.program_states(program, fast=True):
                with self.subTest(state=state.id):
                    status, note = self.verdicts[state.id]
                    self.assertEqual(status, "PASS", note)

    def test_summary_ends_with_the_counts(self):
        match = re.match(r"^(\d+) passed, (\d+) failed$", self.lines[-1])
        self.assertTrue(match, self.lines[-1])
        passes = sum(1 for v in self.verdicts.values() if v[0] == "PASS")
        self.assertEqual((int(match.group(1)), int(match.group(2))), (passes, 0))
        self.assertEqual(self.lines[-2], "fail 0, crash 0, timeout 0, skip 0")
        self.assertEqual(self.status, 0)

    def test_page_pictures_sheet_and_frame_rates(self):
        page = pages(self.out)
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
class Faults(unittest.TestCase):
    """vorntest5 with three preloaded faults: every fog colour turns magenta,
    glShadeModel(GL_FLAT) dies of SIGSEGV and glEnable(GL_LIGHTING) never
    returns. The programs themselves are untouched. Compared with the clean
    run as the baseline."""

    # The report's own default: a program a busy machine keeps waiting for
    # its window or a frame for seconds is not hung.
    TIMEOUT = 10

    @classmethod
    def setUpClass(cls):
        cls.clean = clean_report()[3]
        states = st.program_states("vorntest5", fast=True)
        cls.foggy = {s.id for s in states if s.uses_fog()}
        cls.flat = {s.id for s in states if s.settings.get("flat")}
        cls.lit = {s.id for s in states if s.settings.get("lighting")}
        # No frame rates: no check here reads them.
        cls.status, cls.verdicts, cls.lines, cls.out = run_report(
            "report-faults", "--programs", "vorntest5", "--timeout", str(cls.TIMEOUT),
            "--preload", "fogbreak", "--preload", "crashflat", "--preload", "hanglight",
            "--no-rates", "--baseline", cls.clean)
        cls.results = os.path.join(cls.out, "piglit", "llvmpipe")

    def with_status(self, status):
        return {i for i, v in self.verdicts.items() if v[0] == status}

    def test_each_fault_gets_its_status_at_a_bounded_cost(self):
        # Three fog menu states and each fog mode with each texture
        # environment; the flat and the lit states alone and combined.
        self.assertEqual((len(self.foggy), len(self.flat), len(self.lit)), (15, 3, 3))
        self.assertEqual(self.with_status("FAIL"), self.foggy)
        self.assertEqual(self.with_status("CRASH"), self.flat)
        self.assertEqual(self.with_status("TIMEOUT"), self.lit)
        passed = self.with_status("PASS")
        self.assertEqual(len(passed) + 21, len(self.verdicts))
        self.assertEqual(self.lines[-2:], ["fail 15, crash 3, timeout 3, skip 0",
                                           "%d passed, 21 failed" % len(passed)])
        with open(os.path.join(self.out, "summary.txt")) as f:
            summary = f.read()
        self.assertIn("ended killed by SIGSEGV", summary)
        if shutil.which("gdb"):
            self.assertRegex(summary, r"#\d+ .* in glShadeModel \(mode=7424\)")
        # A hang is cut at the timeout, and no later state runs in the
        # process of a hang or a crash; the seconds are the machine's.
        times = piglit_times(self.out)
        for state in self.lit | self.flat:
            start, seconds, pids = times[state]
            if state in self.lit:
                self.assertRegex(self.verdicts[state][1], r" %g s$" % self.TIMEOUT)
                self.assertGreaterEqual(seconds, self.TIMEOUT, state)
            self.assertEqual([s for s, t in times.items() if t[2] == pids and t[0] > start],
                             [], state)

    def test_piglit_reads_the_results(self):
        console = subprocess.run(["piglit", "summary", "console", self.results],
                                 capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
        self.assertEqual(console.returncode, 0, console.stderr)
        listed = dict(re.findall(r"^vorn/vorntest5/(\S+): (\w+)$", console.stdout, re.M))
        self.assertEqual(len(listed), len(self.verdicts))
        for state, (status, _) in self.verdicts.items():
            self.assertEqual(listed[state.split("/")[1]], status.lower(), state)
        # Against the clean run: the 21 broken states are piglit's regressions.
        compared = subprocess.run(["piglit", "summary", "console", "-d",
                                   os.path.join(self.clean, "piglit", "llvmpipe"),
                                   self.results], capture_output=True, text=True,
                                  timeout=h.COMMAND_SECONDS)
        self.assertRegex(compared.stdout, r"regressions:\s+0\s+21\n")
        page = os.path.join(tempfile.mkdtemp(prefix="piglit-html-"), "html")
        made = subprocess.run(["piglit", "summary", "html", page,
                               os.path.join(self.clean, "piglit", "llvmpipe"), self.results],
                              capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
        self.assertEqual(made.returncode, 0, made.stderr)
        with open(os.path.join(page, "regressions.html")) as f:
            self.assertIn("m15-shade-flat", f.read())

    def test_junit_file_through_a_reader(self):
        cases = junit_cases(self.out)
        self.assertTrue(all(c[0] == "llvmpipe" and c[1] == "llvmpipe.vorntest5" for c in cases))
        found = {"vorntest5/" + name: (kinds, files) for _, _, name, kinds, files in cases}
        self.assertEqual(set(found), set(self.verdicts))
        kind = {"PASS": ["Passed"], "FAIL": ["Failure"], "CRASH": ["Error"],
                "TIMEOUT": ["Error"]}
        for state, (status, _) in self.verdicts.items():
            with self.subTest(state=state):
                kinds, files = found[state]
                self.assertEqual(kinds, kind[status])
                # A failed picture attaches its mismatch mask, a file of
                # the report; a pass, a crash or a hang (no picture) none.
                self.assertEqual([f.endswith("-mask.png") for f in files],
                                 [True] if status == "FAIL" else [])
                for path in files:
                    self.assertTrue(os.path.isfile(os.path.join(self.out, path)), path)

    def test_baseline_lists_the_regressions_first_and_fails_the_run(self):
        self.assertEqual(self.status, 1)
        regressions = [l.split()[2] for l in self.lines if l.startswith("  REGRESSION ")]
        self.assertEqual(set(regressions), self.foggy | self.flat | self.lit)
        first_state = next(i for i, l in enumerate(self.lines) if LINE.match(l))
        self.assertLess(self.lines.index("regressions: 21"), first_state)
        # The clean run had every state; those this run left out are not gone.
        self.assertIn("gone states: 0", self.lines)
        self.assertIn("new states: 0", self.lines)


@unittest.skipUnless(built("vorntest5") and shutil.which("gdb"), "needs vorntest5 and gdb")
class SlowCrashHandler(unittest.TestCase):
    """A program that crashes makes no more frames while gdb, attached by
    its crash handler, writes the backtrace; on a busy machine that can
    outlast the timeout. It is still a crash, not a hang: here gdb starts
    15 s late, with a timeout of 10 s (a busy machine takes seconds to show
    the window)."""

    def test_crash_that_outlasts_the_timeout_in_its_handler(self):
        slow = tempfile.mkdtemp(prefix="slow-gdb-")
        with open(os.path.join(slow, "gdb"), "w") as f:
            f.write('#!/bin/sh\nsleep 15\nexec %s "$@"\n' % shutil.which("gdb"))
        os.chmod(os.path.join(slow, "gdb"), 0o755)
        out = os.path.join(h.ARTIFACT_DIR, "report-slow-crash")
        result = report_command(out, "--renderers", "llvmpipe", "--states", "vorntest5/m15",
                                "--preload", "crashflat", "--timeout", "10", "--no-rates",
                                env=dict(os.environ, PATH=slow + ":" + os.environ["PATH"]))
        self.assertEqual(result.returncode, 1, result.stderr)
        with open(os.path.join(out, "summary.txt")) as f:
            summary = f.read()
        self.assertRegex(summary, r"CRASH +llvmpipe +vorntest5/m15-shade-flat +ended killed "
                                  r"by SIGSEGV")
        self.assertRegex(summary, r"#\d+ .* in glShadeModel \(mode=7424\)")


class NotBuiltAndNamedRenderer(unittest.TestCase):
    """A program whose binary is missing is listed, not fatal; a renderer
    named by its environment (softpipe under another name) runs beside the
    detected one; with no regression against the baseline the run passes."""

    def test_missing_program_listed_named_renderer_run_baseline_passes(self):
        build = tempfile.mkdtemp(prefix="report-build-")
        os.makedirs(os.path.join(build, "bin"))
        for name in os.listdir(h.BIN_DIR):
            if name != "tembrel":
                os.symlink(os.path.join(h.BIN_DIR, name), os.path.join(build, "bin", name))
        os.symlink(h.PRELOAD_DIR, os.path.join(build, "preload"))
        out = os.path.join(h.ARTIFACT_DIR, "report-not-built")
        result = report_command(out, "--programs", "tembrel,fendrik", "--no-rates",
                                "--renderer", "soft=GALLIUM_DRIVER=softpipe",
                                "--baseline", clean_report()[3], build=build)
        with open(os.path.join(out, "summary.txt")) as f:
            lines = [" ".join(l.split()) for l in f.read().splitlines()]
        self.assertIn("NOT BUILT tembrel", lines)
        self.assertTrue(any(l.startswith("PASS llvmpipe fendrik/start") for l in lines), lines)
        self.assertTrue(any(l.startswith("PASS soft fendrik/start") for l in lines), lines)
        self.assertIn("regressions: 0", lines)
        self.assertEqual(lines[-1], "2 passed, 0 failed")
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(out, "index.html")) as f:
            page = f.read()
        self.assertRegex(page, r'<tr class="program"><th>tembrel</th><td colspan="2" '
                               r'class="s-notbuilt">not built</td>')
        self.assertRegex(page, r"<td>soft</td><td>softpipe</td><td>[^<]*Mesa")


class UsageErrors(unittest.TestCase):
    """Wrong options end the command at once with status 2 and one line."""

    def assertUsage(self, options, text, build=BUILD):
        out = os.path.join(tempfile.mkdtemp(prefix="report-usage-"), "out")
        result = report_command(out, *options, build=build)
        err = result.stderr.decode()
        self.assertEqual(result.returncode, 2, err)
        self.assertEqual(len(err.splitlines()), 1, err)
        self.assertIn(text, err)

    def test_unknown_option_renderer_bad_renderer_and_baselines(self):
        self.assertUsage(["--colour"], "unrecognized arguments: --colour")
        self.assertUsage(["--renderers", "nosuchpipe"], "renderer not at hand: nosuchpipe")
        self.assertUsage(["--renderer", "mine"], "NAME=VAR=VALUE")
        empty = tempfile.mkdtemp(prefix="report-empty-")
        self.assertUsage(["--baseline", empty], "%s holds no report" % empty)
        broken = os.path.join(empty, "piglit", "llvmpipe", "results.json")
        os.makedirs(os.path.dirname(broken))
        with open(broken, "w") as f:
            f.write('{"tests": {"vorn@fendrik@start": {"result": "pass"}')
        self.assertUsage(["--baseline", empty], "%s is not a valid results file" % broken)


class RendererOption(unittest.TestCase):

    def test_name_then_variables(self):
        self.assertEqual(renderers.parse_named(
            "mesa-main=LD_LIBRARY_PATH=/opt/mesa/lib,LIBGL_DRIVERS_PATH=/opt/mesa/dri"),
            ("mesa-main", {"LD_LIBRARY_PATH": "/opt/mesa/lib",
                           "LIBGL_DRIVERS_PATH": "/opt/mesa/dri"}))
        # A value may hold "=" and be empty.
        self.assertEqual(renderers.parse_named("x=MESA_DEBUG=flush=1,EMPTY="),
                         ("x", {"MESA_DEBUG": "flush=1", "EMPTY": ""}))

    def test_malformed_definitions_are_refused(self):
        for text in ("mine", "mine=", "=GALLIUM_DRIVER=softpipe", "mine=softpipe",
                     "mine=GALLIUM_DRIVER=softpipe,LP", "my build=A=1", "../up=A=1",
                     "mine=1A=2"):
            with self.subTest(text=text):
                with self.assertRaises(renderers.RendererError):
                    renderers.parse_named(text)


class BaselineLoading(unittest.TestCase):

    def results_dir(self, tests):
        directory = tempfile.mkdtemp(prefix="report-baseline-")
        path = os.path.join(directory, "piglit", "soft", "results.json")
        os.makedirs(os.path.dirname(path))
        with open(path, "w") as f:
            json.dump({"results_version": 10, "name": "soft", "tests": tests}, f)
        return directory, path

    def test_statuses_per_renderer_and_state(self):
        directory, _ = self.results_dir({
            "vorn@fendrik@start": {"result": "pass"},
            "vorn@vorntest5@m15-shade-flat": {"result": "crash"},
            "other@suite@test": {"result": "warn"}})
        loaded = baseline.load(directory)
        self.assertEqual(loaded.renderers, {"soft": {("fendrik", "start"): "PASS",
                                                     ("vorntest5", "m15-shade-flat"): "CRASH"}})
        self.assertEqual(loaded.picture("soft", "fendrik", "start"),
                         os.path.join(directory, "soft", "fendrik", "start.png"))

    def test_a_result_piglit_does_not_know_names_the_file(self):
        _, path = self.results_dir({"vorn@fendrik@start": {"result": "fine"}})
        with self.assertRaisesRegex(baseline.BaselineError, re.escape(path)):
            baseline.load(os.path.dirname(os.path.dirname(os.path.dirname(path))))


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

    def test_callgrind_dump_is_split_by_object_and_function_without_call_costs(self):
        # Objects and functions are numbered apart; a callee may be named in
        # full first in a call; the line after "calls=" is the call's
        # inclusive cost, which the callee's own lines count already.
        dump = "\n".join([
            "version: 1", "events: Ir",
            "ob=(1) /build/bin/vorntest5", "fl=(1) a.cpp", "fn=(1) DisplayFunc",
            "10 5", "+2 3",
            "cob=(2) /usr/lib/libGL.so.1", "cfn=(2) glClear", "calls=1 0", "12 400",
            "fn=(3) IdleFunc", "16 1",
            "ob=(2)", "fn=(2)", "0 40",
            "ob=(3) ???", "fn=(4) 0x0000000004a", "* 100",
            "ob=(1)", "fn=(1)", "14 2", "totals: 151"]) + "\n"
        path = os.path.join(tempfile.mkdtemp(prefix="report-cg-"), "callgrind.out.2")
        with open(path, "w") as f:
            f.write(dump)
        objects, functions = callgrind.parse(path)
        self.assertEqual(objects, {"/build/bin/vorntest5": 11, "/usr/lib/libGL.so.1": 40,
                                   "???": 100})
        self.assertEqual(functions, {("/build/bin/vorntest5", "DisplayFunc"): 10,
                                     ("/build/bin/vorntest5", "IdleFunc"): 1,
                                     ("/usr/lib/libGL.so.1", "glClear"): 40,
                                     ("???", "0x0000000004a"): 100})


if __name__ == "__main__":
    unittest.main()
