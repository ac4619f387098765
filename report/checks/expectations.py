"""Expectation lists, as Mesa's CI runners (deqp-runner, piglit-runner) keep
them in a driver's tree, and what a run's results are against them.

--fails FILE: the states known to fail, one per line, "vorn@<program>@<state>,
<Status>" with Status Fail, Crash or Timeout. --flakes FILE and --skips FILE:
one regular expression per line, searched for in the test name; a state that
matches the flakes list may fail without failing the run, one that matches
the skips list is not run at all. "#" starts a comment in all three.
--retries N runs a state that failed unexpectedly again, up to N times, each
time in a fresh process: one that passes then is a flake.

Every result of a run with lists gets a class, and a status in the runners'
own words for results.csv:

  regression       Fail, Crash, Timeout    failed, and the fails list says
                                           otherwise (not listed, or listed
                                           with another status)
  unexpected pass  UnexpectedPass          passed, and the fails list has it
  flake            Flake, KnownFlake       failed, then passed on a rerun; or
                                           failed, and the flakes list has it
  expected fail    ExpectedFail            failed as the fails list says
  expected pass    Pass                    passed, and the fails list has not it
  skip             Skip                    not run: the skips list has it, or the
                                           renderer cannot run the program

With no --fails, a renderer the suite knows a fault of is judged against
its own list, ci/<renderer>-fails.txt (softpipe's), whenever the run may
take it: a default run then passes on a correct Mesa, and tells when the
fault is mended (an unexpected pass).

A run with lists ends with status 0 exactly when it has no regression and no
unexpected pass. report.expectations (an Expectations) holds every result's
class; backends.runners writes them as the runners' CSV files, and the
summary and the page show them, what fails the run first."""

import os
import re

from ..names import test_name
from ..options import ROOT
from ..renderers import GALLIUM_CANDIDATES, wanted_names
from ..outcome import FAILED, PASS, RUNNER, SKIP, Finding, Outcome

CHECK = "expectation"
# The fails list's statuses, in the runners' words.
LISTED = {RUNNER[status]: status for status in FAILED}

REGRESSION, UNEXPECTED_PASS, FLAKE = "regression", "unexpected pass", "flake"
EXPECTED_FAIL, EXPECTED_PASS, SKIPPED = "expected fail", "expected pass", "skip"
# In the order a reader wants them: what fails the run first.
CLASSES = (REGRESSION, UNEXPECTED_PASS, FLAKE, EXPECTED_FAIL, EXPECTED_PASS, SKIPPED)
UNEXPECTED = (REGRESSION, UNEXPECTED_PASS)
# The renderers' own fails lists, <renderer>-fails.txt.
KNOWN = os.path.join(ROOT, "ci")


class ListError(ValueError):
    """A list that cannot be read: the file, the line and what is wrong."""


def lines_of(path):
    """(line number, text) of every line that holds more than a comment."""
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError) as error:
        raise ListError("%s: %s" % (path, getattr(error, "strerror", None) or error))
    for number, line in enumerate(text.split("\n"), 1):
        line = line.split("#", 1)[0].strip()
        if line:
            yield number, line


def parse_fails(path):
    """{test name: status} from a fails list."""
    fails = {}
    for number, line in lines_of(path):
        test, sep, status = (part.strip() for part in line.partition(","))
        where = "%s:%d" % (path, number)
        if not sep or not test or "," in status:
            raise ListError("%s: %r is not TEST,STATUS" % (where, line))
        if status not in LISTED:
            raise ListError("%s: status %r is none of %s" % (where, status, ", ".join(LISTED)))
        if test in fails:
            raise ListError("%s: %s is listed twice" % (where, test))
        fails[test] = LISTED[status]
    return fails


def parse_patterns(path):
    """[(compiled expression, its text)] from a flakes or skips list."""
    patterns = []
    for number, line in lines_of(path):
        try:
            patterns.append((re.compile(line), line))
        except re.error as error:
            raise ListError("%s:%d: %r: %s" % (path, number, line, error))
    return patterns


class Lists:
    """The lists a run is gated on, and how often a failing state is rerun."""

    def __init__(self, fails=None, flakes=(), skips=(), retries=0, paths=None, known=None):
        self.fails = dict(fails or {})
        self.flakes = list(flakes)
        self.skips = list(skips)
        self.retries = retries
        self.paths = paths or {}        # list name -> file
        self.known = known or {}        # renderer -> (its own fails list, file)

    def fails_of(self, renderer):
        """The fails list a renderer is judged against: its own, if it has
        one, else the run's."""
        return self.known[renderer][0] if renderer in self.known else self.fails

    def skip_pattern(self, test):
        """The skips list's expression that the test matches, or None."""
        return next((text for pattern, text in self.skips if pattern.search(test)), None)

    def flaky(self, test):
        return any(pattern.search(test) for pattern, _ in self.flakes)

    def classify(self, renderer, test, outcome):
        """(class, the runners' status) of a state's final outcome."""
        listed = self.fails_of(renderer).get(test)
        if outcome.status == SKIP:
            return SKIPPED, "Skip"
        if outcome.status == PASS:
            if outcome.earlier:
                return FLAKE, "Flake"
            return (UNEXPECTED_PASS, "UnexpectedPass") if listed else (EXPECTED_PASS, "Pass")
        if PASS in outcome.try_statuses():
            # Some of a repeated state's tries passed.
            return FLAKE, "Flake"
        if listed == outcome.status:
            return EXPECTED_FAIL, "ExpectedFail"
        if self.flaky(test):
            return FLAKE, "KnownFlake"
        return REGRESSION, RUNNER[outcome.status]

    def worth_rerunning(self, renderer, test, outcome):
        """Whether a rerun could change what the run makes of a state: it
        failed, and neither list expects that."""
        return (outcome.status in FAILED
                and self.classify(renderer, test, outcome)[0] == REGRESSION)

    def describe(self):
        parts = ["%s %s (%d)" % (name, self.paths[name], count)
                 for name, count in (("fails", len(self.fails)), ("flakes", len(self.flakes)),
                                     ("skips", len(self.skips))) if name in self.paths]
        parts += ["%s's fails %s (%d)" % (renderer, os.path.relpath(path, ROOT), len(fails))
                  for renderer, (fails, path) in sorted(self.known.items())]
        return "; ".join(parts + ["retries %d" % self.retries])


def load(options, may_take=None):
    """The run's Lists from --fails, --flakes, --skips and --retries, and
    the renderers' own fails lists; None when there are none. Each list may
    be given more than once: the lists are stacked, as a driver keeps one
    for every driver, its own, its GPU's and the slow states. A list that
    cannot be read, or a state that two fails lists give different
    statuses, raises ListError. may_take: the renderers the results come
    from, where they are known already (in a merge)."""
    retries = getattr(options, "retries", 0)
    known = {} if options.fails else known_fails(
        may_take if may_take is not None else run_renderers(options))
    # A stress run is classified even with no list: its flakes are told
    # from its failures.
    repeat = getattr(options, "repeat", 1) > 1
    if not (options.fails or options.flakes or options.skips or retries or known or repeat):
        return None
    paths = {name: ", ".join(getattr(options, name)) for name in ("fails", "flakes", "skips")
             if getattr(options, name)}
    return Lists(stacked_fails(options.fails),
                 [p for path in options.flakes for p in parse_patterns(path)],
                 [p for path in options.skips for p in parse_patterns(path)],
                 retries, paths, known)


def stacked_fails(paths):
    """{test name: status} from several fails lists; a state in two of them
    must be given the same status in both."""
    fails, where = {}, {}
    for path in paths:
        for test, status in parse_fails(path).items():
            if fails.get(test, status) != status:
                raise ListError("%s is %s in %s but %s in %s" % (
                    test, RUNNER[fails[test]], where[test], RUNNER[status], path))
            fails[test], where[test] = status, path
    return fails


def run_renderers(options):
    """The renderers a run may take: those asked for, or every one at hand."""
    names = wanted_names(options.named, options.renderer_names, options.fast)
    if names is None:
        names = list(GALLIUM_CANDIDATES) + [name for name, _ in options.named]
    return names


def known_fails(names):
    """{renderer: (fails, path)} of the renderers named that have a list of
    their own."""
    paths = {name: os.path.join(KNOWN, "%s-fails.txt" % name) for name in names}
    return {name: (parse_fails(path), path) for name, path in paths.items()
            if os.path.exists(path)}


def skipped_outcome(pattern):
    return Outcome(SKIP, "not run: the skips list has %s" % pattern)


def with_retries(lists, renderer, test, outcome, again):
    """Runs a state again, again() giving a fresh outcome each time, while
    it fails unexpectedly and retries are left; the last outcome, carrying
    the earlier ones' statuses and notes (also shown in its piglit
    output)."""
    earlier = []
    while len(earlier) < lists.retries and lists.worth_rerunning(renderer, test, outcome):
        earlier.append((outcome.status, outcome.note))
        outcome = again()
    return outcome.retried(earlier) if earlier else outcome


class Expectations:
    """A run's results against its lists: per (renderer name, state id) the
    class (one of CLASSES) and the runners' status, with the test names and
    durations for the CSV files. This is report.expectations."""

    def __init__(self, lists):
        self.lists = lists
        self.classes = {}           # (renderer, state id) -> class
        self.statuses = {}          # (renderer, state id) -> the runners' status
        self.rows = []              # (renderer, program, state name, Outcome), run order

    def add(self, renderer, program, name, outcome):
        key = (renderer, "%s/%s" % (program, name))
        self.classes[key], self.statuses[key] = self.lists.classify(
            renderer, test_name(program, name), outcome)
        self.rows.append((renderer, program, name, outcome))

    def of_class(self, wanted):
        """[(renderer, program, state name, Outcome)] of one class."""
        return [row for row in self.rows
                if self.classes[(row[0], "%s/%s" % row[1:3])] == wanted]

    def count(self, wanted):
        return sum(1 for c in self.classes.values() if c == wanted)

    @property
    def unexpected(self):
        """Every regression, then every unexpected pass."""
        return self.of_class(REGRESSION) + self.of_class(UNEXPECTED_PASS)

    @property
    def passed(self):
        """Whether every result is what the lists expect."""
        return not self.unexpected

    def status_of(self, row):
        return self.statuses[(row[0], "%s/%s" % row[1:3])]


def judge(report, lists):
    """report.expectations from the report's outcomes, and a finding for
    each: its class and the runners' status."""
    expectations = Expectations(lists)
    for renderer in report.renderers:
        for program, name, outcome in report.states_on(renderer.name):
            expectations.add(renderer.name, program, name, outcome)
    report.add([Finding(CHECK, *key, note=kind,
                        data={"class": kind, "status": expectations.statuses[key]})
                for key, kind in expectations.classes.items()])
    return expectations
