"""scripts/report --update-lists RUN... --fails FILE... --flakes FILE...
[--skips FILE...] [--renderers NAME] [--check]: the expectation lists
brought up to date from the results of runs, as Mesa's CI updates a
driver's lists from a pipeline's failures.

Each RUN is a report directory (or its report.json): a run, a shard of
one, or a merge. Every result of one renderer is taken with all its tries
(the earlier runs of --retries, the tries of --repeat) over all the runs,
its status as the report shows it (the checks' findings folded in); skips
do not count. Then, per state:

  every try failed, always with one status   on the fails list with it
  every try failed, with several statuses    on the flakes list
  some tries failed, some passed             on the flakes list, and off
                                             the fails list
  every try passed                           off the fails list; off the
                                             flakes list only once it
                                             passed STABLE_TRIES tries or
                                             more (a stress run)

A state the flakes list matches already is not put on the fails list. A
state no run has is left as it is. The files keep their comments, headers
and order: a line is removed or its status changed in place; new entries
go at the end of the last file given of their kind, each with a comment
saying how it failed, in which runs, and the date of the latest. The
change is printed as a diff; with --check nothing is written and the exit
status is 1 when an update is due. Entries that name no state the runs or
the catalogue know are reported (see hygiene)."""

import datetime
import difflib
import os
import re

from . import hygiene
from . import options as opts
from .backends import parts
from .checks.expectations import LISTED, ListError
from .names import test_name
from .outcome import FAILED, PASS, RUNNER, SKIP, Finding

# What a test name escapes to be an expression that matches it alone.
SPECIAL = re.compile(r"([.^$*+?{}\[\]\\|()])")
# The passing tries after which a flake counts as mended: a stress run.
STABLE_TRIES = 100


class Run:
    """A report read back for the lists: its name, when its last state was
    judged, the states it knows (test names) and {(renderer, test name):
    Outcome} as the report shows them."""

    def __init__(self, directory):
        directory = os.path.dirname(directory) if directory.endswith(".json") else directory
        self.directory = os.path.abspath(directory)
        self.name = os.path.basename(self.directory.rstrip("/"))
        try:
            document = parts.load(directory)
            from .run import Report
            part = parts.read(directory, Report(None, self.directory))
            part.report.add([Finding.from_json(f) for f in document.get("findings", [])])
        except parts.UnreadableError as error:
            raise opts.UsageError(str(error))
        except (KeyError, TypeError, ValueError) as error:
            raise opts.UsageError("%s: its findings cannot be read (%s)" % (directory, error))
        report = part.report
        self.report = report
        self.ended = report.ended
        self.states = {test_name(s.program, s.name)
                       for _, _, states in report.programs for s in states}
        by_id = {s.id: test_name(s.program, s.name)
                 for _, _, states in report.programs for s in states}
        self.results = {(renderer, by_id[state_id]): outcome
                        for (renderer, state_id), outcome in report.outcomes.items()
                        if state_id in by_id}

    @property
    def date(self):
        return datetime.datetime.fromtimestamp(self.ended, datetime.timezone.utc).strftime(
            "%Y-%m-%d")


def renderer_of(runs, wanted):
    """The one renderer whose results update the lists: the one the runs
    hold, or the one --renderers names."""
    found = sorted({renderer for run in runs for renderer, _ in run.results})
    if wanted:
        if len(wanted) != 1:
            raise opts.UsageError("--update-lists takes one renderer's results: name one "
                                  "with --renderers")
        if wanted[0] not in found:
            raise opts.UsageError("no run has results of renderer %s (they have: %s)"
                                  % (wanted[0], ", ".join(found)))
        return wanted[0]
    if len(found) != 1:
        raise opts.UsageError("the runs hold results of %s: name the one whose lists these "
                              "are with --renderers" % (", ".join(found) or "no renderer"))
    return found[0]


class Tally:
    """A state's tries over the runs: their statuses and the runs they were in."""

    def __init__(self):
        self.statuses = []
        self.runs = []

    def add(self, run, outcome):
        statuses = [s for s in outcome.try_statuses() if s != SKIP]
        if statuses:
            self.statuses += statuses
            self.runs.append(run)

    @property
    def failed(self):
        return [s for s in self.statuses if s in FAILED]

    def verdict(self):
        """"fail" with the one status every try failed with, "flake", or
        "pass"; None for a state no run ran."""
        if not self.statuses:
            return None
        failed = self.failed
        if not failed:
            return "pass"
        if len(failed) == len(self.statuses) and len(set(failed)) == 1:
            return "fail"
        return "flake"

    def comment(self):
        runs = self.runs
        named = ", ".join(r.name for r in runs)
        when = max(runs, key=lambda r: r.ended).date
        failed = self.failed
        if len(set(failed)) == 1 and len(failed) == len(self.statuses):
            how = "%s in %d of %d tries" % (RUNNER[failed[0]], len(failed), len(self.statuses))
        else:
            how = "failed %d of %d tries (%s)" % (
                len(failed), len(self.statuses),
                ", ".join("%s %d" % (RUNNER[s], failed.count(s)) for s in sorted(set(failed))))
        return "%s: %s (%s)" % (how, named, when)


def tallies(runs, renderer):
    found = {}
    for run in runs:
        for (name, test), outcome in sorted(run.results.items()):
            if name == renderer:
                found.setdefault(test, Tally()).add(run, outcome)
    return found


class ListFile:
    """One list file as lines of text, changed in place."""

    def __init__(self, path):
        self.path = path
        try:
            with open(path, encoding="utf-8") as f:
                self.before = f.read()
        except FileNotFoundError:
            self.before = ""
        except (OSError, UnicodeDecodeError) as error:
            raise ListError("%s: %s" % (path, getattr(error, "strerror", None) or error))
        self.lines = self.before.split("\n")
        if self.lines and self.lines[-1] == "":
            self.lines.pop()

    def entries(self):
        """(index, the entry without its comment) of every line that has one."""
        for index, line in enumerate(self.lines):
            body = line.split("#", 1)[0].strip()
            if body:
                yield index, body

    def text(self):
        return "".join(line + "\n" for line in self.lines if line is not None)

    def diff(self):
        return list(difflib.unified_diff(
            self.before.splitlines(True), self.text().splitlines(True),
            self.path, self.path))


def fails_entry(body):
    test, _, status = (part.strip() for part in body.partition(","))
    return test, LISTED.get(status)


def updated(runs, renderer, fails_paths, flakes_paths, skips_paths):
    """(the list files as the runs leave them, what is reported of them)."""
    fails = [ListFile(p) for p in fails_paths]
    flakes = [ListFile(p) for p in flakes_paths]
    skips = [ListFile(p) for p in skips_paths]
    found = tallies(runs, renderer)
    known = hygiene.known_tests(extra=set().union(*(run.states for run in runs)))
    reported = hygiene.problems(fails, flakes + skips, known)
    flake_patterns = [(re.compile(body), f, i) for f in flakes for i, body in f.entries()
                      if hygiene.compiles(body)]

    def flaky(test):
        return any(p.search(test) for p, _, _ in flake_patterns)

    listed = set()
    for f in fails:
        for index, body in f.entries():
            test, status = fails_entry(body)
            listed.add(test)
            tally = found.get(test)
            verdict = tally.verdict() if tally else None
            if verdict in ("pass", "flake"):
                f.lines[index] = None
            elif verdict == "fail" and tally.failed[0] != status:
                line = f.lines[index]
                f.lines[index] = line.replace(body, "%s,%s" % (test, RUNNER[tally.failed[0]]), 1)
    for test, tally in sorted(found.items()):
        verdict = tally.verdict()
        if verdict == "fail" and test not in listed and not flaky(test):
            fails[-1].lines.append("%s,%s  # %s" % (test, RUNNER[tally.failed[0]],
                                                  tally.comment()))
        elif verdict == "flake" and not flaky(test):
            flakes[-1].lines.append("^%s$  # %s" % (SPECIAL.sub(r"\\\1", test),
                                                     tally.comment()))
    for pattern, f, index in flake_patterns:
        matched = [t for t in known if pattern.search(t)]
        if matched and all(stable(found.get(t)) for t in matched):
            f.lines[index] = None
    return fails + flakes + skips, reported


def stable(tally):
    """Whether a state passed every try of at least STABLE_TRIES."""
    return (tally is not None and len(tally.statuses) >= STABLE_TRIES
            and all(s == PASS for s in tally.statuses))


def update(options):
    """Prints the lists' change and the problems found in them; writes the
    lists unless --check. The exit status: with --check 1 when an update
    is due, else 0."""
    if not options.fails or not options.flakes:
        raise opts.UsageError("--update-lists needs the fails and the flakes lists to "
                              "update (--fails FILE --flakes FILE)")
    runs = [Run(path) for path in options.update_lists]
    renderer = renderer_of(runs, options.renderer_names)
    files, reported = updated(runs, renderer, options.fails, options.flakes, options.skips)
    for line in reported:
        print(line)
    due = [f for f in files if f.diff()]
    for f in due:
        print("".join(f.diff()), end="")
    if options.check:
        print("lists %s" % ("out of date: %d to update" % len(due) if due else "up to date"))
        return 1 if due else 0
    for f in due:
        with open(f.path + ".part", "w", encoding="utf-8") as out:
            out.write(f.text())
        os.replace(f.path + ".part", f.path)
    print("lists: %s" % ("%d updated from %d runs of %s" % (len(due), len(runs), renderer)
                         if due else "up to date"))
    return 0
