"""scripts/report --build DIR [options]: runs every built program of the
suite on private virtual X servers (--jobs at once, or every Nth state of
the run with --fraction), on every renderer at hand, and writes
the report directory: index.html, the pictures, the differences between
renderers, the contact sheet, summary.txt (whose last line is "N passed, N
failed"), piglit results per renderer under piglit/ and junit.xml. Every
state of every program on every renderer gets a status: pass, fail, crash,
timeout or skip. The exit status is 1 when a state failed; with --baseline,
1 when a state regressed against the baseline and 0 otherwise; with
expectation lists (--fails, --flakes, --skips, --retries), 1 when a result is
not as they expect; 2 on a usage error.

scripts/report --replay PACK [options] judges a trace pack instead (see
report.sources.replay): no build, no program, no X server.

scripts/report --merge DIR... --out OUT [--fails F]... [--flakes F]...
[--baseline DIR] puts the reports of shards or of separate machines
together (see report.merge): the files one run would write, the lists and
the baseline applied once to every result, and that run's exit status.

scripts/report --update-lists RUN... --fails F... --flakes F... [--skips
F...] [--renderers NAME] [--check] brings the expectation lists up to date
from the results of runs (see report.lists).

scripts/report --history RUN... [--out DIR] [--renderers A,B] writes each
state's history over a series of runs (see report.history)."""

import sys

from .. import history, lists, merge
from .. import options as opts
from .. import renderers as rd
from ..checks import baseline, expectations
from ..run import run
from ..scratch import scratch


def main(argv=None):
    try:
        options = opts.parse(sys.argv[1:] if argv is None else argv, __doc__)
        if options.update_lists is not None:
            return lists.update(options)
        if options.history is not None:
            return history.write_history(options)
        return (run if options.merge is None else merge.merge)(options)
    except (opts.UsageError, rd.RendererError, baseline.BaselineError,
            expectations.ListError) as error:
        print("scripts/report: error: %s" % error, file=sys.stderr)
        return opts.USAGE_STATUS


if __name__ == "__main__":
    with scratch("vorn-report-"):
        sys.exit(main())
