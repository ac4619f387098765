"""The report command's options. A usage error (an unknown option or
renderer, a malformed --renderer or --states, a baseline that is no report,
a folder that is no trace pack, a list that cannot be read, a file about to
be written outside --out) ends the command with status 2 and one line on
standard error."""

import argparse
import os
import re

from . import catalogue, renderers

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
USAGE_STATUS = 2


class UsageError(Exception):
    pass


class Parser(argparse.ArgumentParser):
    def error(self, message):
        raise UsageError(message)


def parse(argv, doc):
    parser = Parser(prog="scripts/report", description=doc,
                    formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", help="a build directory of the suite (not with --replay)")
    parser.add_argument("--replay", metavar="PACK",
                        help="judge a trace pack (the traces/ of a --traces run) instead: "
                             "every trace replayed headless on every renderer, with no "
                             "build, no program and no X server")
    parser.add_argument("--merge", nargs="+", metavar="DIR",
                        help="put the reports of shards or of separate machines together "
                             "instead: the files one run would write, the expectation lists "
                             "applied once to every result")
    parser.add_argument("--update-lists", nargs="+", metavar="RUN",
                        help="bring the --fails and --flakes lists up to date from the "
                             "results of runs (report directories: runs, shards, merges) "
                             "instead, and print the change as a diff (see report.lists)")
    parser.add_argument("--history", nargs="+", metavar="RUN",
                        help="write history.html and history.csv in --out instead: each "
                             "state's status on each renderer in each run (report "
                             "directories oldest first, or a folder of them), its pass rate, "
                             "the first run it failed in after passing and its flake rate")
    parser.add_argument("--check", action="store_true",
                        help="with --update-lists: write nothing, and exit 1 when an update "
                             "is due")
    parser.add_argument("--out", default=os.path.join(ROOT, "report-out"),
                        help="the report directory (default: report-out)")
    parser.add_argument("--fast", action="store_true",
                        help="CI mode: llvmpipe only, three field-of-view combinations, "
                             "short frame counts")
    parser.add_argument("--renderers", help="comma-separated renderers (default: all found)")
    parser.add_argument("--renderer", action="append", default=[], metavar="NAME=VAR=VALUE",
                        help="add a renderer defined by environment variables, "
                             "NAME=VAR=VALUE[,VAR=VALUE...] (may be repeated)")
    parser.add_argument("--programs", help="comma-separated programs (default: all)")
    parser.add_argument("--states", metavar="REGEX",
                        help="only the states whose program/state matches REGEX")
    parser.add_argument("--timeout", type=float, default=10.0, metavar="SECONDS",
                        help="how long a program may go without a new frame, a menu or "
                             "its exit after Esc before its state times out (default 10)")
    parser.add_argument("--baseline", metavar="DIR",
                        help="an earlier report directory to compare with; the exit status "
                             "is then 1 only when a state regressed")
    parser.add_argument("--preload", action="append", default=[],
                        help="one more library to preload into every program: a path, or "
                             "a name in the build's preload directory (e.g. fogbreak)")
    parser.add_argument("--no-rates", action="store_true",
                        help="leave out the frame-rate table of each program's start state")
    parser.add_argument("--traces", action="store_true",
                        help="also record every state as an apitrace trace under traces/, "
                             "with traces.yml for piglit's replayer, and replay each on "
                             "every renderer")
    parser.add_argument("--costs", action="store_true",
                        help="also measure every state's frame rate on every renderer, into "
                             "costs.csv")
    parser.add_argument("--callgrind", action="store_true",
                        help="also count a frame's instructions in each program, by ELF "
                             "object and by function")
    parser.add_argument("--update-reference", action="store_true",
                        help="keep this run's llvmpipe pictures as the reference images")
    parser.add_argument("--fails", metavar="FILE", action="append", default=[],
                        help="the states known to fail: lines vorn@PROGRAM@STATE,STATUS "
                             "(Fail, Crash or Timeout); the exit status is then 0 exactly "
                             "when every result is as the lists expect. May be given more "
                             "than once, as may --flakes and --skips: the lists are stacked "
                             "(all drivers, this driver, this GPU, the slow states)")
    parser.add_argument("--flakes", metavar="FILE", action="append", default=[],
                        help="regular expressions, one a line, of the states that may fail "
                             "without failing the run")
    parser.add_argument("--skips", metavar="FILE", action="append", default=[],
                        help="regular expressions, one a line, of the states not to run")
    parser.add_argument("--retries", type=int, default=0, metavar="N",
                        help="run a state that failed unexpectedly again, up to N times, "
                             "each in a fresh process; one that passes then is a flake")
    parser.add_argument("--repeat", type=int, default=1, metavar="N",
                        help="a stress run: judge each state N times on each renderer and "
                             "report how many of the N tries failed; a state that both "
                             "passed and failed is a flake (default 1)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1, metavar="N",
                        help="how many states run at once: a window run drives N programs, "
                             "each on an X server of its own; a replay runs N replayers "
                             "(default: the machine's cores)")
    parser.add_argument("--band-cache", metavar="DIR",
                        help="where the models' bands are kept for later runs, keyed by all "
                             "they depend on (default ~/.cache/vorn-suite/bands; '' keeps "
                             "none); a replay also reads those of the pack's bands/")
    parser.add_argument("--fraction", type=int, default=1, metavar="N",
                        help="run every Nth state only, as deqp-runner does: the states of "
                             "the run, in the report's order, taken strided (default 1)")
    parser.add_argument("--fraction-start", type=int, default=1, metavar="K",
                        help="the state, counted from 1, that --fraction starts at: shard K "
                             "of N (default 1)")
    parser.add_argument("--junit-prefix", default="", metavar="PATH",
                        help="put PATH before each mask that junit.xml attaches, for a CI "
                             "that finds the files from elsewhere than the report directory "
                             "(GitLab: from the project's, so the report's folder there, "
                             "e.g. vorn-report/)")
    parser.add_argument("--renderer-check", action="append", default=[],
                        metavar="NAME=REGEX",
                        help="stop with status 2, before anything is judged, unless renderer "
                             "NAME's GL_RENDERER matches REGEX (may be repeated)")
    parser.add_argument("--version-check", action="append", default=[],
                        metavar="NAME=REGEX",
                        help="stop with status 2, before anything is judged, unless renderer "
                             "NAME's GL_VERSION matches REGEX, e.g. 'Mesa 24\\.1' for the "
                             "Mesa just built (may be repeated)")
    options = parser.parse_args(argv)
    try:
        options.named = [renderers.parse_named(text) for text in options.renderer]
    except renderers.RendererError as error:
        raise UsageError(str(error))
    try:
        options.state_filter = re.compile(options.states or "")
    except re.error as error:
        raise UsageError("--states %r: %s" % (options.states, error))
    if options.timeout <= 0:
        raise UsageError("--timeout must be more than 0 seconds")
    if options.retries < 0:
        raise UsageError("--retries must be 0 or more")
    if options.repeat < 1:
        raise UsageError("--repeat must be 1 or more")
    if options.jobs < 1:
        raise UsageError("--jobs must be 1 or more")
    if options.fraction < 1 or not 1 <= options.fraction_start <= options.fraction:
        raise UsageError("--fraction N --fraction-start K needs 1 <= K <= N (got N=%d, K=%d)"
                         % (options.fraction, options.fraction_start))
    options.checks = [parse_check(text) for text in options.renderer_check]
    options.version_checks = [parse_check(text, "--version-check")
                              for text in options.version_check]
    if options.merge is not None:
        only(argv, "--merge", MERGE_OPTIONS)
    elif options.update_lists is not None:
        only(argv, "--update-lists", LISTS_OPTIONS)
    elif options.history is not None:
        only(argv, "--history", ("--history", "--out", "--renderers"))
    elif options.replay is None and options.build is None:
        raise UsageError("the following arguments are required: --build (or --replay, "
                         "or --merge)")
    if options.replay is not None:
        # A pack is judged as it is: nothing is run that would record, time
        # or keep pictures of the programs.
        window_only = [name for name in ("build", "traces", "costs", "callgrind",
                                         "update_reference") if getattr(options, name)]
        if options.preload:
            window_only.append("preload (give LD_PRELOAD in a --renderer's environment)")
        if window_only:
            raise UsageError("--replay does not go with --%s"
                             % ", --".join(n.replace("_", "-") for n in window_only))
    options.renderer_names = options.renderers.split(",") if options.renderers else None
    options.program_names = options.programs.split(",") if options.programs else None
    unknown = [n for n in options.program_names or [] if n not in catalogue.NAMES]
    if unknown:
        raise UsageError("unknown program: %s" % ", ".join(unknown))
    return options


def parse_check(text, option="--renderer-check"):
    """A renderer or version check, NAME=REGEX, as (name, compiled expression)."""
    name, sep, pattern = text.partition("=")
    if not sep or not name or not pattern:
        raise UsageError("%s %r: expected NAME=REGEX" % (option, text))
    try:
        return name, re.compile(pattern)
    except re.error as error:
        raise UsageError("%s %r: %s" % (option, text, error))


# What --merge may be given besides the parts: where to write, and what the
# merged results are checked against. Everything else belongs to the runs
# that made the parts.
MERGE_OPTIONS = ("--merge", "--out", "--fails", "--flakes", "--baseline", "--junit-prefix")


# What --update-lists may be given besides the runs.
LISTS_OPTIONS = ("--update-lists", "--fails", "--flakes", "--skips", "--renderers", "--check")


def only(argv, name, allowed):
    """A usage error where argv gives an option that name, a command of
    its own, does not take."""
    given = [arg.split("=", 1)[0] for arg in argv if arg.startswith("--")]
    others = sorted(set(a for a in given if a not in allowed))
    if others:
        raise UsageError("%s does not go with %s" % (name, ", ".join(others)))


def inside(path, folder):
    """Whether path is folder or lies within it: a folder a run would empty
    or write into."""
    path, folder = os.path.realpath(path), os.path.realpath(folder)
    return path == folder or path.startswith(os.path.join(folder, ""))


def within(folder, *names):
    """folder/names..., a file the report (or a pack's profile) is about to
    write, once it is known to lie inside folder with its links resolved;
    a usage error where it would not. The names come from documents of other
    machines, which their readers check (inputs): one that slipped past
    still cannot leave the folder."""
    path = os.path.join(folder, *names)
    if not inside(path, folder) or os.path.realpath(path) == os.path.realpath(folder):
        raise UsageError("%s lies outside %s, where this command writes: not written"
                         % (path, folder))
    return path


def selected(options, program, state_name):
    """Whether the options ask for this state."""
    return ((options.program_names is None or program in options.program_names)
            and options.state_filter.search("%s/%s" % (program, state_name)) is not None)
