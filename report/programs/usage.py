"""python3 -m report.programs.usage COMMAND [ARGUMENTS...]: checks the
arguments of one of the suite's commands (report, run, run-state,
judge-trace, pack-profile, test) with Python's standard library alone, so
that a command answers --help and a usage error before it installs or
builds anything. Arguments the command takes print nothing and exit 0; -h
or --help prints the command's usage on standard output and exits 0 (the
scripts tell the two apart by the output: scripts/common.sh, check_usage);
a usage error is one line on standard error and exit status 2. The
commands' own modules parse with the same parsers once they run."""

import argparse
import ast
import os
import sys

from .. import catalogue, options

# piglit adds these to every test's command; the per-state and per-trace
# commands ignore them.
PIGLIT_FLAGS = ("-auto", "-fbo")
HELP = ("-h", "--help")
PROGRAM_HELP = "one of the suite's: %s" % ", ".join(catalogue.NAMES)
STATE_HELP = "one of its states, as its tests name them: vorn@PROGRAM@STATE"


class Parser(argparse.ArgumentParser):
    """A parser whose usage error is one line: the error, then the usage. Its
    help keeps the description's paragraphs as written."""

    def __init__(self, **kwargs):
        super().__init__(formatter_class=argparse.RawDescriptionHelpFormatter, **kwargs)

    def error(self, message):
        fail(self.prog, message, self.format_usage().strip())


def fail(prog, message, usage=None):
    print("%s: error: %s%s" % (prog, message, " (%s)" % usage if usage else ""),
          file=sys.stderr)
    sys.exit(options.USAGE_STATUS)


def docstring(module):
    """The docstring of a command's module, read without importing it: its
    imports need the packages that are installed later."""
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), module + ".py")) as f:
        return ast.get_docstring(ast.parse(f.read()))


def comment(script):
    """The opening comment of a script in scripts/, which says what it does
    and how it is called."""
    lines = []
    with open(os.path.join(options.ROOT, "scripts", script)) as f:
        for line in f.read().splitlines()[1:]:
            if not line.startswith("#"):
                break
            lines.append(line[2:] if line.startswith("# ") else line[1:])
    return "\n".join(lines)


def report(argv):
    try:
        return options.parse(argv, docstring("report"))
    except options.UsageError as error:
        fail("scripts/report", error)


def run(argv):
    usage = "usage: scripts/run %s [ARGUMENTS...]" % "|".join(catalogue.NAMES)
    if argv[:1] and argv[0] in HELP:
        print(usage + "\n\n" + comment("run"))
        sys.exit(0)
    if not argv:
        fail("scripts/run", "no program given", usage)
    # What follows the program is the program's own.
    if argv[0] not in catalogue.NAMES:
        fail("scripts/run", ("unrecognized option %s" if argv[0].startswith("-")
                             else "no such program: %s") % argv[0], usage)


def per_state(argv, parser, timeout_help):
    """The arguments of a command piglit runs for each state: the parser's
    own, then --timeout and PROGRAM STATE; piglit's flags are ignored."""
    parser.add_argument("--timeout", type=float, default=10.0, metavar="SECONDS",
                        help=timeout_help)
    parser.add_argument("program", metavar="PROGRAM", help=PROGRAM_HELP)
    parser.add_argument("state", metavar="STATE", help=STATE_HELP)
    return parser.parse_args([a for a in argv if a not in PIGLIT_FLAGS])


def run_state(argv):
    parser = Parser(prog="scripts/run-state", description=docstring("run_state"),
                    usage="%(prog)s [--build DIR] [--timeout SECONDS] PROGRAM STATE")
    parser.add_argument("--build", default=os.path.join(options.ROOT, "build"),
                        metavar="DIR", help="a build directory of the suite (default: build)")
    return per_state(argv, parser, "seconds without a new frame, a menu or an exit (default 10)")


def judge_trace(argv):
    parser = Parser(prog="scripts/judge-trace", description=docstring("judge_trace"),
                    usage="%(prog)s [--timeout SECONDS] PACK PROGRAM STATE")
    parser.add_argument("pack", metavar="PACK", help="a trace pack, where it is now")
    return per_state(argv, parser, "seconds the replay may take (default 10)")


def pack_profile(argv):
    parser = Parser(prog="scripts/pack-profile", description=docstring("pack_profile"),
                    usage="%(prog)s PACK")
    parser.add_argument("pack", metavar="PACK", help="a trace pack, where it is now")
    return parser.parse_args(argv)


def test(argv):
    if argv[:1] and argv[0] in HELP:
        print(comment("test"))
        sys.exit(0)
    if argv:
        fail("scripts/test", "unrecognized arguments: %s" % " ".join(argv),
             "usage: scripts/test")


COMMANDS = {"report": report, "run": run, "run-state": run_state,
            "judge-trace": judge_trace, "pack-profile": pack_profile, "test": test}


def main(argv):
    if not argv or argv[0] not in COMMANDS:
        fail("python3 -m report.programs.usage", "expected one of %s, then its arguments"
             % ", ".join(COMMANDS))
    COMMANDS[argv[0]](argv[1:])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
