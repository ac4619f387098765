"""Runs a test script as `python3 SCRIPT ARGUMENTS` would, its
unittest.main() included, but where its tests passed and some were skipped
(a runner, a browser or a program missing here) exits with SKIPPED, which
ctest reports as a skip (the tests' SKIP_RETURN_CODE), not as a pass: a test
that cannot run says so. Whatever the script and the processes it starts
put in the temporary folder is removed when it ends. Each skip is named with its reason last, on a line
of its own starting "SKIPPED ", which scripts/test repeats.
    python3 unittest_run.py SCRIPT [ARGUMENTS...]"""

import os
import runpy
import sys
import unittest

from report.scratch import scratch

SKIPPED = 77


class Program(unittest.TestProgram):

    def runTests(self):
        exits, self.exit = self.exit, False
        super().runTests()
        if not exits:
            return
        if not self.result.wasSuccessful():
            sys.exit(1)
        if self.result.skipped:
            sys.stdout.flush()
            for test, reason in self.result.skipped:
                print("SKIPPED %s: %s" % (test.id(), reason), file=sys.stderr)
            sys.exit(SKIPPED)
        # As unittest.main: a script with no test in it fails.
        sys.exit(0 if self.result.testsRun else 5)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__.splitlines()[-1].strip())
    script = os.path.abspath(sys.argv[1])
    sys.argv = sys.argv[1:]
    sys.path[0] = os.path.dirname(script)
    unittest.main = Program
    # The temporary files of the tests, and of the programs and commands
    # they run, go into a folder that the script's end removes.
    with scratch("vorn-test-"):
        runpy.run_path(script, run_name="__main__")
