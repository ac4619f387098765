"""A failing result made into a reproducer and judged elsewhere: a window
run of two vorntest5 states on softpipe with traces, where its fault at
the texture's wrap seam fails the textured start state and the untextured
one passes; the run attributes the failure to texturing in summary.txt and
on the page, and the page gives the bundle's command. The bundle of the
failing result, unpacked in an empty folder, replays with no build, no X
server and no display to the run's verdict on softpipe and passes on
llvmpipe."""

import json
import os
import re
import shutil
import subprocess
import tarfile
import tempfile
import unittest

import harness as h
from pagetree import read
from test_report import ROOT, report_command

STATES = "^vorntest5/(start|m00-texture-off)$"
BUNDLE = "vorn-bundle-softpipe-vorntest5-start"


def judged(folder, driver):
    """judge-trace's last lines and exit status on a renderer, headless."""
    env = dict(os.environ, GALLIUM_DRIVER=driver)
    env.pop("DISPLAY", None)
    done = subprocess.run([os.path.join(ROOT, "scripts", "judge-trace"), folder, "vorntest5",
                           "start"], env=env, capture_output=True, text=True,
                           timeout=h.COMMAND_SECONDS)
    return done.stdout, done.returncode


class Bundle(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.out = os.path.join(h.ARTIFACT_DIR, "report-bundle")
        cls.recorded = report_command(cls.out, "--renderers", "softpipe", "--states", STATES,
                                 "--traces", "--no-rates")
        cls.place = tempfile.mkdtemp(prefix="bundle-")
        cls.archive = os.path.join(cls.place, "made", "softpipe.tar.gz")
        cls.made = subprocess.run([os.path.join(ROOT, "scripts", "bundle"), cls.out, "softpipe",
                                   "vorntest5/start", cls.archive],
                                  capture_output=True, text=True, timeout=h.COMMAND_SECONDS)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.place, ignore_errors=True)

    def test_the_failure_is_attributed_to_texturing(self):
        with open(os.path.join(self.out, "summary.txt")) as f:
            summary = f.read()
        line = "  softpipe   texture=on: 1/1 fail with it, 0/1 without it"
        self.assertIn(line, summary.splitlines(), summary)
        with open(os.path.join(self.out, "report.json")) as f:
            found = [f for f in json.load(f)["findings"] if f["check"] == "attribution"]
        self.assertEqual([(f["renderer"], f["state"], f["data"]["kind"]) for f in found],
                         [("softpipe", "", "exact")])
        page = read(os.path.join(self.out, "index.html"))
        self.assertEqual([e.content() for e in page.all("small", "attribution")],
                         ["texture=on"])
        block = read(os.path.join(self.out, "vorntest5.html"))
        commands = [e.content() for e in block.all("p", "bundle")]
        self.assertEqual(commands, ["reproducer: scripts/bundle %s softpipe vorntest5/start "
                                    "%s.tar.gz" % (self.out, BUNDLE)])

    def test_the_bundle_replays_elsewhere_to_the_runs_verdict(self):
        self.assertEqual(self.made.returncode, 0, self.made.stderr)
        self.assertLess(os.path.getsize(self.archive), 500 * 1024)
        empty = os.path.join(self.place, "elsewhere")
        os.makedirs(empty)
        with tarfile.open(self.archive) as archive:
            archive.extractall(empty)
        folder = os.path.join(empty, BUNDLE)
        with open(os.path.join(folder, "bundle.json")) as f:
            info = json.load(f)
        self.assertEqual((info["run"]["status"], info["replayed"]["status"]), ("FAIL", "FAIL"))
        self.assertEqual(info["attribution"], "texture=on: 1/1 fail with it, 0/1 without it")
        for name in ("softpipe.png", "expected.png", "mask.png"):
            self.assertTrue(os.path.isfile(os.path.join(folder, "pictures", name)), name)
        with open(os.path.join(folder, "README.md")) as f:
            readme = f.read()
        self.assertIn("GALLIUM_DRIVER=softpipe WAFFLE_PLATFORM=surfaceless_egl eglretrace "
                      "--headless --snapshot=%d" % info["last_call"], readme)
        output, status = judged(folder, "softpipe")
        self.assertEqual(status, 1, output)
        self.assertIn(info["replayed"]["note"], output)
        self.assertIn('PIGLIT: {"result": "fail"}', output)
        output, status = judged(folder, "llvmpipe")
        self.assertEqual(status, 0, output)
        self.assertRegex(output, r"(?m)^0 of \d+ pixels judged differ")
        # The cut trace is of two frames; its last is where the picture is.
        swaps = subprocess.run(["apitrace", "dump", "--calls=frame", os.path.join(
            folder, "vorntest5", "start.trace")], capture_output=True, text=True,
            timeout=h.COMMAND_SECONDS)
        self.assertEqual(len(re.findall(r"SwapBuffers\(", swaps.stdout)), 2)

    def test_a_result_the_report_lacks_is_a_usage_error(self):
        done = subprocess.run([os.path.join(ROOT, "scripts", "bundle"), self.out, "llvmpipe",
                               "vorntest5/start"], capture_output=True, text=True,
                               timeout=h.COMMAND_SECONDS)
        self.assertEqual(done.returncode, 2)
        self.assertIn("no renderer llvmpipe", done.stderr)


if __name__ == "__main__":
    unittest.main()
