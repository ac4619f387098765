"""The driver CI template, ci/driver-ci.gitlab-ci.yml, run by the real
gitlab-ci-local with every job in a copy of its own (shell isolation), as
separate CI machines would run them, on a snapshot of this checkout that
includes the template as a driver project does: three states of vorntest5
recorded as a pack with the test run's build, judged headless on llvmpipe
and on a renderer of the project's own in three shards, and merged.

Every job runs; each shard judges its own stride of the pack on both
renderers, the strides together the whole pack; the merged summary and its
JUnit file hold every state once per renderer, and the pipeline passes.
Stacked fails lists that call two passing states failures, in the
template's own two shards, fail both shards (allowed) and the merge with
exit status 1, and the merged results name the unexpected passes.

gitlab-ci-local is installed by scripts/test (install_gitlab_ci_local in
scripts/common.sh) into build-tools/npm; GITLAB_CI_LOCAL names another
copy. Without it the test skips, saying why: ctest reports it skipped, and
scripts/test fails."""

import collections
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import harness as h
from test_report import LINE, ROOT, junit_cases

VERSION = "4.56.0"
RUNNER = os.environ.get("GITLAB_CI_LOCAL") or os.path.join(
    ROOT, "build-tools", "npm", "node_modules", ".bin", "gitlab-ci-local")
BUILD = os.path.dirname(os.path.normpath(h.BIN_DIR))
STATES = ["vorntest5/start", "vorntest5/m07-fog-linear", "vorntest5/m15-shade-flat"]
RENDERERS = ["llvmpipe", "lp2"]
# A driver project's .gitlab-ci.yml: the template included, the states and
# renderers chosen, the shards' count given over the template's.
PROJECT = """include:
  - local: ci/driver-ci.gitlab-ci.yml
variables:
  VORN_BUILD: %s
  VORN_PROGRAMS: vorntest5
  VORN_STATES: '^vorntest5/(start|m07-fog-linear|m15-shade-flat)$'
  VORN_RECORD_OPTIONS: --fast --no-rates
  VORN_RENDERERS: llvmpipe,lp2
  VORN_RENDERER_DEFS: lp2=GALLIUM_DRIVER=llvmpipe
  VORN_RENDERER_CHECKS: llvmpipe=llvmpipe lp2=^llvmpipe
"""
# The runner's closing lines: a job's outcome and name.
JOB = re.compile(r"^ (PASS|WARN|FAIL) +(record|judge: \[\d+/\d+\]|merge)(?:\s|$)")
MERGE_EXIT = re.compile(r"^merge +finished in .* FAIL (\d+)", re.M)


def runner_problem():
    """Why the pipeline cannot run here, or None."""
    if not os.access(RUNNER, os.X_OK):
        return ("gitlab-ci-local is not installed at %s (scripts/test installs it: "
                "install_gitlab_ci_local in scripts/common.sh)" % RUNNER)
    if not shutil.which("rsync"):
        return "no rsync, which gitlab-ci-local copies each job's checkout with"
    found = subprocess.run([RUNNER, "--version"], capture_output=True, text=True,
                           timeout=h.COMMAND_SECONDS).stdout.strip()
    if found != VERSION:
        return "gitlab-ci-local %s at %s; this test is for %s" % (found, RUNNER, VERSION)
    return None


def git(directory, *args):
    subprocess.run(["git", "-C", directory, "-c", "user.name=suite",
                    "-c", "user.email=suite@localhost"] + list(args),
                   check=True, capture_output=True, timeout=h.COMMAND_SECONDS)


def snapshot(into):
    """A repository of this checkout's files as they are now, tracked or
    new (gitlab-ci-local copies only the files a repository tracks)."""
    listed = subprocess.run(["git", "-C", ROOT, "ls-files", "-co", "--exclude-standard", "-z"],
                            check=True, capture_output=True, timeout=h.COMMAND_SECONDS).stdout
    for name in filter(None, listed.decode().split("\0")):
        source = os.path.join(ROOT, name)
        if os.path.lexists(source) and not os.path.isdir(source):
            os.makedirs(os.path.dirname(os.path.join(into, name)), exist_ok=True)
            shutil.copy2(source, os.path.join(into, name), follow_symlinks=False)
    git(into, "init", "-q")
    git(into, "add", ".")
    git(into, "commit", "-q", "-m", "snapshot")


class Pipeline:
    """One pipeline of the project in a clone of the snapshot: its exit
    status, each job's outcome, the runner's output and the folder, where
    the jobs' artifacts land."""

    def __init__(self, base, name, project, files=(), variables=()):
        self.dir = os.path.join(os.path.dirname(base), name)
        subprocess.run(["git", "clone", "-q", base, self.dir], check=True,
                       timeout=h.COMMAND_SECONDS)
        for path, text in list(files) + [(".gitlab-ci.yml", project)]:
            os.makedirs(os.path.dirname(os.path.join(self.dir, path)), exist_ok=True)
            with open(os.path.join(self.dir, path), "w") as f:
                f.write(text)
        git(self.dir, "add", ".")
        git(self.dir, "commit", "-q", "-m", name)
        # A bare runner's environment: no display, none of the test run's
        # settings.
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "PYTHONPATH") and not k.startswith("SUITE_")}
        command = [RUNNER, "--shell-isolation", "--no-color",
                   "--home", os.path.join(self.dir, ".home")]
        for assignment in variables:
            command += ["--variable", assignment]
        result = subprocess.run(command, cwd=self.dir, capture_output=True, text=True,
                                env=env, timeout=h.COMMAND_SECONDS)
        self.status = result.returncode
        self.output = result.stdout + result.stderr
        with open(os.path.join(h.ARTIFACT_DIR, "driver-ci-%s.log" % name), "w") as f:
            f.write(self.output)
        self.jobs = collections.Counter()
        self.outcome = {}
        for line in self.output.splitlines():
            m = JOB.match(line)
            if m:
                self.jobs[m.group(2)] += 1
                self.outcome[m.group(2)] = m.group(1)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def results(self, report):
        """[(renderer, state id, status)] of a report's summary, and its
        last line."""
        with open(self.path(report, "summary.txt")) as f:
            lines = f.read().splitlines()
        return ([(m.group(2), m.group(3), m.group(1)) for m in map(LINE.match, lines) if m],
                lines[-1])

    def csv(self, name):
        with open(self.path("vorn-report", name)) as f:
            return sorted(tuple(line.split(",")) for line in f.read().splitlines())

    def detail(self):
        return self.output[-6000:]


class DriverCITemplate(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        problem = runner_problem()
        if problem:
            raise unittest.SkipTest(problem)
        cls.tmp = tempfile.mkdtemp(prefix="driver-ci-")
        base = os.path.join(cls.tmp, "suite")
        snapshot(base)
        cls.clean = Pipeline(base, "clean", PROJECT % BUILD + "judge:\n  parallel: 3\n")
        # Two lists, as a project stacks them, set as CI/CD variables are:
        # over the project's own.
        cls.listed = Pipeline(
            base, "listed", PROJECT % BUILD,
            files=[("lists/start.txt", "vorn@vorntest5@start,Fail\n"),
                   ("lists/fog.txt", "# fog\nvorn@vorntest5@m07-fog-linear,Fail\n")],
            variables=["VORN_FAILS=lists/start.txt lists/fog.txt"])
        for run in (cls.clean, cls.listed):
            if os.path.isdir(run.path("vorn-report")):
                shutil.copytree(run.path("vorn-report"), os.path.join(
                    h.ARTIFACT_DIR, "driver-ci-%s" % os.path.basename(run.dir)),
                    dirs_exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_every_job_runs_and_the_pipeline_passes(self):
        run = self.clean
        self.assertEqual(run.status, 0, run.detail())
        self.assertEqual(dict(run.jobs), {"record": 1, "judge: [1/3]": 1, "judge: [2/3]": 1,
                                          "judge: [3/3]": 1, "merge": 1}, run.detail())
        self.assertEqual(set(run.outcome.values()), {"PASS"}, run.detail())
        # record hands on the pack alone; merge the page and the JUnit file.
        self.assertEqual(os.listdir(run.path(".gitlab-ci-local", "artifacts", "record",
                                             "vorn-record")), ["traces"])
        for name in ("index.html", "vorntest5.html", "junit.xml", "summary.txt"):
            self.assertTrue(os.path.isfile(run.path("vorn-report", name)), name)
        # The merge job prints the merged summary's last line last.
        _, last = run.results("vorn-report")
        with open(run.path(".gitlab-ci-local", "output", "merge.log")) as f:
            self.assertEqual(f.read().strip().splitlines()[-1], last)

    def test_each_shard_judges_its_own_stride_of_the_pack(self):
        run = self.clean
        with open(run.path("vorn-record", "traces", "pack.json")) as f:
            order = ["%s/%s" % (t["program"], t["state"]) for t in json.load(f)["traces"]]
        self.assertEqual(sorted(order), sorted(STATES))
        judged = []
        for k in (1, 2, 3):
            results, last = run.results("vorn-shard-%d-of-3" % k)
            states = order[k - 1::3]
            self.assertEqual(sorted((r, s) for r, s, _ in results),
                             sorted((r, s) for r in RENDERERS for s in states), k)
            self.assertEqual(last, "%d passed, 0 failed" % (2 * len(states)))
            judged += states
        self.assertEqual(sorted(judged), sorted(STATES))

    def test_the_merged_report_holds_every_state_once_per_renderer(self):
        results, last = self.clean.results("vorn-report")
        self.assertEqual(collections.Counter((r, s) for r, s, _ in results),
                         {(r, s): 1 for r in RENDERERS for s in STATES})
        self.assertEqual({status for _, _, status in results}, {"PASS"})
        self.assertEqual(last, "6 passed, 0 failed")
        cases = junit_cases(self.clean.path("vorn-report"))
        self.assertEqual(sorted((c[0], c[1], c[2]) for c in cases),
                         sorted((r, "%s.vorntest5" % r, s.split("/")[1])
                                for r in RENDERERS for s in STATES))
        self.assertEqual({tuple(c[3]) for c in cases}, {("Passed",)})

    def test_an_unexpected_pass_fails_the_merge(self):
        run = self.listed
        self.assertNotEqual(run.status, 0, run.detail())
        # The template's own shard count; both shards hold a listed state and
        # fail, allowed; the merge's status is the verdict: 1, not a usage
        # error or a missing part.
        self.assertEqual(run.outcome, {"record": "PASS", "judge: [1/2]": "WARN",
                                       "judge: [2/2]": "WARN", "merge": "FAIL"}, run.detail())
        self.assertEqual(MERGE_EXIT.findall(run.output), ["1"], run.detail())
        results = run.csv("results.csv")
        self.assertEqual(sorted((row[0], row[1], row[3]) for row in results), sorted(
            ("vorn@vorntest5@%s" % s.split("/")[1],
             "Pass" if s.endswith("shade-flat") else "UnexpectedPass", r)
            for r in RENDERERS for s in STATES))
        self.assertEqual(run.csv("failures.csv"),
                         [("vorn@vorntest5@m07-fog-linear", "UnexpectedPass"),
                          ("vorn@vorntest5@start", "UnexpectedPass")])


if __name__ == "__main__":
    unittest.main()
