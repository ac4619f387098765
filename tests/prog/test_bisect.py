"""scripts/bisect-step under `git bisect run`, over a small driver history
of its own: a git repository whose commits change a preloaded library,
built by the step at each commit, that breaks the fog colour from one
commit on; one commit in the good stretch does not build, and git bisect
must skip it (status 125) and still name the breaking commit."""

import os
import shutil
import subprocess
import tempfile
import unittest

import harness as h

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BUILD = os.path.dirname(os.path.normpath(h.BIN_DIR))
TOOLS = os.path.join(ROOT, "tests", "tools")
STEP = os.path.join(ROOT, "scripts", "bisect-step")
STATE = "^vorntest5/m07-fog-linear$"

# The library at each commit: its fog colour as given (good), or magenta
# (bad); "broken" does not compile. git bisect's first pick of these seven
# is the fourth, the one that does not build.
FOG = """#include <GL/gl.h>
#include "nextgl.h"
%s
void glFogfv(GLenum pname, const GLfloat *params)
{
    static const GLfloat magenta[4] = {1.0f, 0.0f, 1.0f, 1.0f};
    void (*next)(GLenum, const GLfloat *) =
        (void (*)(GLenum, const GLfloat *))next_gl("glFogfv");
    next(pname, %s);
}
"""
HISTORY = [("start", "", "params"), ("comment", "/* fog */", "params"),
           ("rename", "/* the fog colour */", "params"),
           ("typo", "/* the fog colour */ int x =", "params"),
           ("typo mended", "/* the fog colour */", "params"),
           ("fog colour lost", "/* the fog colour */",
            "pname == GL_FOG_COLOR ? magenta : params"),
           ("later", "/* the fog colour, lost */", "pname == GL_FOG_COLOR ? magenta : params")]


def git(repo, *args):
    return subprocess.run(["git", "-C", repo, "-c", "user.name=t", "-c", "user.email=t@t"]
                          + list(args), capture_output=True, text=True, timeout=h.COMMAND_SECONDS)


class BisectStep(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.repo = tempfile.mkdtemp(prefix="bisect-driver-")
        git(cls.repo, "init", "-q")
        cls.commits = []
        for message, before, colour in HISTORY:
            with open(os.path.join(cls.repo, "fog.c"), "w") as f:
                f.write(FOG % (before, colour))
            git(cls.repo, "add", "fog.c")
            git(cls.repo, "commit", "-qm", message)
            cls.commits.append(git(cls.repo, "rev-parse", "HEAD").stdout.strip())
        library = os.path.join(cls.repo, "libfog.so")
        cls.step = [STEP, "--make", "cc -shared -fPIC -I%s -o libfog.so fog.c -ldl" % TOOLS,
                    "--build", BUILD, "--fast", "--no-rates", "--states", STATE,
                    "--renderers", "driver", "--renderer", "driver=LD_PRELOAD=" + library]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.repo, ignore_errors=True)

    def test_bisect_run_skips_the_broken_build_and_finds_the_breaking_commit(self):
        git(self.repo, "bisect", "start", self.commits[-1], self.commits[0])
        try:
            run = git(self.repo, "bisect", "run", *self.step)
            log = git(self.repo, "bisect", "log").stdout
        finally:
            git(self.repo, "bisect", "reset")
        self.assertIn("%s is the first bad commit" % self.commits[5], run.stdout,
                      run.stdout[-2000:] + run.stderr[-3000:])
        self.assertIn("git bisect skip %s" % self.commits[3], log)
        self.assertIn("git bisect good %s" % self.commits[4], log)
        self.assertIn("FAIL vorntest5/m07-fog-linear on driver", run.stderr)

    def test_what_cannot_be_tested_is_skipped(self):
        for args in (["--bogus"], ["--states", "^nothing$"] + self.step[4:-4],
                     self.step[:-2] + ["--renderer", "other=X=1"]):
            with self.subTest(args=args[-2:]):
                done = subprocess.run(args if args[0] == STEP else [STEP] + args,
                                      cwd=self.repo, capture_output=True, timeout=h.COMMAND_SECONDS)
                self.assertEqual(done.returncode, 125, done.stderr.decode()[-1500:])


if __name__ == "__main__":
    unittest.main()
