"""scripts/judge-trace [--timeout SECONDS] PACK PROGRAM STATE:
one trace of a trace pack replayed headless and
judged, as scripts/report --replay judges it, as a piglit test: the command
of every test in a pack's profile. No display, X server or build is used;
the renderer is the one the environment selects (GALLIUM_DRIVER=softpipe,
say), and libraries in LD_PRELOAD are preloaded into the replayer. It prints
the verdict's note and worst differing pixels, and last piglit's result line,
PIGLIT: {"result": ...}: pass, fail, crash or timeout; what is known of a
crash or a hang goes to standard error. The exit status is 1 for fail and 0
otherwise, as piglit's own tests do; 2 for a usage error (no such pack or
trace, or a pack whose names or paths are not the suite's own, as
report.inputs checks them). piglit adds -auto and -fbo to a test's command;
they are ignored."""

import os
import sys

from expected import judge

from .. import pipeline
from ..backends import piglit
from ..outcome import Outcome
from ..sources import retrace
from ..sources.pack import PackError, load
from .usage import judge_trace as arguments
from ..scratch import scratch


def main(argv=None):
    options = arguments(sys.argv[1:] if argv is None else argv)
    try:
        pack = load(options.pack)
    except PackError as error:
        print("scripts/judge-trace: error: %s" % error, file=sys.stderr)
        return 2
    entry = pack.entry(options.program, options.state)
    if entry is None:
        print("scripts/judge-trace: error: %s has no trace of %s/%s"
              % (options.pack, options.program, options.state), file=sys.stderr)
        return 2
    # The renderer's environment is this process's own.
    record = retrace.replay(pack, entry, {}, options.timeout)
    verdict = None
    if record.status is None:
        os.remove(record.path)
        verdict = pipeline.verdict_of(record, pipeline.tolerance([]),
                                      pack.texels(cache=judge.cache_folder(None)))
    return piglit.print_result(Outcome.of_record(record, verdict))


if __name__ == "__main__":
    with scratch("vorn-judge-trace-"):
        sys.exit(main())
