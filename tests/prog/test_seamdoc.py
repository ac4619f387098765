"""What docs/softpipe-wrap-seam.md hands on, as a Mesa developer would use
it: the piglit-style program, built against a stand-in for piglit's
framework, fails on softpipe and passes on llvmpipe; the bundle replays
headless to softpipe's failure and llvmpipe's pass."""

import os
import subprocess
import tempfile
import unittest

import harness as h
from test_report import ROOT

DOCS = os.path.join(ROOT, "docs", "softpipe-wrap-seam")
BUNDLE = "vorn-bundle-softpipe-vorntest5-start"


class SeamDocs(unittest.TestCase):

    def test_piglit_style_program_fails_on_softpipe_only(self):
        program = os.path.join(tempfile.mkdtemp(prefix="seamdoc-"), "texwrap-linear-seam")
        built = subprocess.run(["cc", "-Wall", "-Werror", "-I",
                                os.path.join(ROOT, "tests", "tools", "piglitstub"), "-o",
                                program, os.path.join(DOCS, "texwrap-linear-seam.c"),
                                "-lglut", "-lGL", "-lm"], capture_output=True, text=True)
        self.assertEqual(built.returncode, 0, built.stderr)
        for driver, status, result in (("softpipe", 1, "fail"), ("llvmpipe", 0, "pass")):
            env = h.program_env({"GALLIUM_DRIVER": driver})
            done = subprocess.run([program, "-auto"], env=env, capture_output=True, text=True,
                                  timeout=h.COMMAND_SECONDS)
            self.assertEqual(done.returncode, status, done.stdout + done.stderr)
            self.assertTrue(done.stdout.endswith('PIGLIT: {"result": "%s"}\n' % result))

    def test_bundle_replays_to_softpipes_failure(self):
        folder = tempfile.mkdtemp(prefix="seamdoc-bundle-")
        subprocess.run(["tar", "-C", folder, "-xzf", os.path.join(DOCS, BUNDLE + ".tar.gz")],
                       check=True)
        for driver, status in (("softpipe", 1), ("llvmpipe", 0)):
            env = dict(os.environ, GALLIUM_DRIVER=driver)
            env.pop("DISPLAY", None)
            done = subprocess.run([os.path.join(ROOT, "scripts", "judge-trace"),
                                   os.path.join(folder, BUNDLE), "vorntest5", "start"],
                                  env=env, capture_output=True, text=True,
                                  timeout=h.COMMAND_SECONDS)
            self.assertEqual(done.returncode, status, done.stdout + done.stderr)


if __name__ == "__main__":
    unittest.main()
