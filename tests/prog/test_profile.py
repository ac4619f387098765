"""The suite inside piglit: piglit run takes the build's profile, filtered
with -t, runs every state with the per-state command on a private X server
each, and piglit's console summary shows each state's result; with a fault
of the suite's own preloaded (a SIGSEGV in glShadeModel(GL_FLAT)), the flat
state crashes and the others still pass."""

import os
import re
import subprocess
import tempfile
import unittest

import harness as h

BUILD = os.path.dirname(os.path.normpath(h.BIN_DIR))
PROFILE = os.path.join(BUILD, "piglit", "vorn.xml.gz")
FILTERS = ["-t", r"vorn@vorntest5@(start|m07-fog-linear|m15-shade-flat)$",
           "-t", r"vorn@(vorntest@m01-texture-on|fendrik@start|tembrel@start|quenby@start)$"]


def piglit_run(env=None):
    """Runs the filtered profile; returns {test: result} from piglit's own
    console summary."""
    results = os.path.join(tempfile.mkdtemp(prefix="piglit-run-"), "results")
    run = subprocess.run(["piglit", "run", "-l", "quiet"] + FILTERS + [PROFILE, results],
                         env=dict(os.environ, **(env or {})), capture_output=True, text=True,
                         timeout=h.COMMAND_SECONDS)
    assert run.returncode == 0, run.stdout + run.stderr
    summary = subprocess.run(["piglit", "summary", "console", results], capture_output=True,
                             text=True, timeout=h.COMMAND_SECONDS)
    return dict(re.findall(r"^vorn/(\S+): (\w+)$", summary.stdout, re.M))


class Profile(unittest.TestCase):

    def test_piglit_runs_the_states_and_sees_a_crash(self):
        states = ["vorntest5/start", "vorntest5/m07-fog-linear", "vorntest5/m15-shade-flat",
                  "vorntest/m01-texture-on", "fendrik/start", "tembrel/start", "quenby/start"]
        self.assertEqual(piglit_run(), {state: "pass" for state in states})
        crashing = piglit_run({"LD_PRELOAD": os.path.join(h.PRELOAD_DIR, "libcrashflat.so")})
        self.assertEqual(crashing, {state: "crash" if state.endswith("shade-flat") else "pass"
                                    for state in states})


if __name__ == "__main__":
    unittest.main()
