"""scripts/run-state [--build DIR] [--timeout SECONDS] PROGRAM STATE:
one state of one program, judged as the renderer report judges it, as a
piglit test. It runs on a private virtual X server of its own, so that
tests may run side by side, with the renderer the environment selects
(GALLIUM_DRIVER=softpipe, say); libraries in LD_PRELOAD are preloaded into
the program. It prints the verdict's note and its worst differing pixels on
standard output, and last piglit's result line, PIGLIT: {"result": ...}: pass, fail, crash,
timeout or skip; what is known of a crash or a hang, and the program's own
standard error, go to standard error. The exit
status is 1 for fail and 0 otherwise, as piglit's own tests do, so that
piglit keeps the result the line gives; 2 for a usage error. piglit adds
-auto and -fbo to a test's command; they are ignored."""

import os
import sys

from expected import judge
from progdriver.programs import Driver
from progdriver.xserver import XServer

from .. import catalogue as st
from .. import pipeline
from ..backends import piglit
from ..outcome import Outcome
from ..sources import drive
from .usage import run_state as arguments
from ..scratch import scratch


def run(options):
    """The state's Outcome."""
    state = st.find_state(options.program, options.state)
    build = os.path.abspath(options.build)
    xserver = XServer()
    try:
        driver = Driver(os.path.join(build, "bin"), os.path.join(build, "preload"),
                        xserver.display, timeout=options.timeout)
        # Libraries the caller preloads go to the program, before the report's.
        env = {"LD_PRELOAD": os.environ.get("LD_PRELOAD", "")}
        record, _ = drive.one_state(driver, state.program, state, env, ())
    finally:
        xserver.stop()
    verdict = None
    if record.status is None:
        # The private X server's screen has 24-bit colour: 8-bit channels.
        verdict = pipeline.verdict_of(record, pipeline.tolerance([]),
                                      judge.load_texels(driver.bin_dir))
    return Outcome.of_record(record, verdict)


def main(argv=None):
    options = arguments(sys.argv[1:] if argv is None else argv)
    if options.program not in st.NAMES:
        print("scripts/run-state: error: unknown program %s (the suite's: %s)"
              % (options.program, ", ".join(st.NAMES)), file=sys.stderr)
        return 2
    if st.find_state(options.program, options.state) is None:
        print("scripts/run-state: error: no state %s/%s" % (options.program, options.state),
              file=sys.stderr)
        return 2
    outcome = run(options)
    return piglit.print_result(outcome)


if __name__ == "__main__":
    with scratch("vorn-run-state-"):
        sys.exit(main())
