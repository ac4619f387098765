"""scripts/bisect-step [--make COMMAND] [--keep DIR] REPORT_OPTIONS...:
one step of `git bisect run` over a driver's history. In the current
directory (the driver's tree at the commit git checked out) it runs the
build command, then the renderer report with the options given (the
renderer built at this commit as a named renderer, the states to check,
and --build or --replay), and exits as git bisect run reads it:

  0    every state checked passed: the commit is good
  1    a state failed, crashed or timed out: the commit is bad
  125  the commit cannot be tested: the build command failed, the renderer
       made no context, the options are wrong, no state was checked, or the
       report itself stopped; git bisect skips it

and never any other status: git bisect run takes every status from 1 to
127 but 125 as bad, and 128 or more as a reason to stop. Each step's
report goes to DIR/<commit> with --keep, else to a folder removed after.

  git bisect start BAD GOOD
  git bisect run /path/to/suite/scripts/bisect-step \\
      --make 'ninja -C build install' \\
      --replay /path/to/pack --renderers mine \\
      --renderer "mine=LD_LIBRARY_PATH=$PWD/install/lib/x86_64-linux-gnu,GALLIUM_DRIVER=softpipe" \\
      --states '^vorntest5/start$'"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

GOOD, BAD, UNTESTABLE = 0, 1, 125
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
# How much of a failed build's output the step shows.
TAIL = 3000


def say(text):
    print("bisect-step: %s" % text, file=sys.stderr, flush=True)


class Parser(argparse.ArgumentParser):
    def error(self, message):
        say("usage error: %s" % message)
        sys.exit(UNTESTABLE)


def arguments(argv):
    parser = Parser(prog="scripts/bisect-step", description=__doc__,
                    formatter_class=argparse.RawDescriptionHelpFormatter,
                    usage="%(prog)s [--make COMMAND] [--keep DIR] REPORT_OPTIONS...")
    parser.add_argument("--make", metavar="COMMAND",
                        help="a shell command that builds the driver at this commit, run in "
                             "the current directory; its failure skips the commit")
    parser.add_argument("--keep", metavar="DIR",
                        help="keep each step's report in DIR/<commit> (default: removed)")
    options, report_options = parser.parse_known_args(argv)
    if any(a == "--out" or a.startswith("--out=") for a in report_options):
        parser.error("the step chooses the report's --out itself (see --keep)")
    if any(a.startswith("--merge") for a in report_options):
        parser.error("a step runs a report, not a merge")
    return options, report_options


def commit():
    """The short id of the commit checked out here, or "worktree" where the
    current directory is no git tree."""
    done = subprocess.run(["git", "rev-parse", "--short", "HEAD"], capture_output=True,
                          text=True)
    return done.stdout.strip() if done.returncode == 0 and done.stdout.strip() else "worktree"


def built(command):
    """Whether the build command succeeds; its output's end where not."""
    try:
        done = subprocess.run(command, shell=True, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    except OSError as error:
        say("the build command could not start: %s" % error)
        return False
    if done.returncode != 0:
        sys.stderr.write(done.stdout.decode(errors="replace")[-TAIL:])
        say("the build command ended with status %d" % done.returncode)
    return done.returncode == 0


def verdict(status, out):
    """The step's exit status from the report's own and its results."""
    if status not in (0, 1):
        say("the report ended with status %d" % status)
        return UNTESTABLE
    try:
        with open(os.path.join(out, "report.json")) as f:
            document = json.load(f)
        renderers = document["renderers"]
        outcomes = document["outcomes"]
    except (OSError, ValueError, KeyError, TypeError) as error:
        say("the report left no results: %s" % error)
        return UNTESTABLE
    dead = [r["name"] for r in renderers if not r.get("info")]
    if dead:
        say("no GL context on %s" % ", ".join(dead))
        return UNTESTABLE
    checked = [o for o in outcomes if o.get("status") != "SKIP"]
    if not checked:
        say("no state was checked")
        return UNTESTABLE
    failed = [o for o in checked if o.get("status") in ("FAIL", "CRASH", "TIMEOUT")]
    for o in failed:
        say("%s %s on %s: %s" % (o["status"], o["state"], o["renderer"], o.get("note", "")))
    return BAD if status == 1 else GOOD


def step(argv):
    options, report_options = arguments(argv)
    name = commit()
    if options.make and not built(options.make):
        return UNTESTABLE
    if options.keep:
        out = os.path.join(os.path.abspath(options.keep), name)
        if os.path.isdir(out):
            shutil.rmtree(out)
        os.makedirs(os.path.dirname(out), exist_ok=True)
    else:
        out = tempfile.mkdtemp(prefix="bisect-step-")
    try:
        env = dict(os.environ, PYTHONPATH=ROOT, PYTHONDONTWRITEBYTECODE="1")
        done = subprocess.run([sys.executable, "-m", "report", "--out", out] + report_options,
                              env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        status = verdict(done.returncode, out)
    finally:
        if not options.keep:
            shutil.rmtree(out, ignore_errors=True)
    say("%s: %s" % (name, {GOOD: "good", BAD: "bad", UNTESTABLE: "skip"}[status]))
    return status


def main(argv=None):
    try:
        return step(sys.argv[1:] if argv is None else argv)
    except SystemExit as leaving:
        return leaving.code if leaving.code in (GOOD, UNTESTABLE) else UNTESTABLE
    except Exception as error:      # noqa: B902 - the step's own fault is no verdict
        say("stopped: %s: %s" % (type(error).__name__, error))
        return UNTESTABLE


if __name__ == "__main__":
    sys.exit(main())
