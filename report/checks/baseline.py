"""Comparison with an earlier report directory, the baseline: per state the
regressions (pass before, failed, crashed or timed out now), the fixes, the
states new to this run and those gone from it, and the pictures that changed
beyond the tolerance, each with a difference image.

Renderers pair by name; a run of one renderer against a baseline of one
renderer pairs those two whatever their names, as when a driver build under
its own name is compared with the installed one."""

import glob
import os

from progdriver import images

from .. import catalogue as st
from .. import options as opts
from .. import pictures
from ..outcome import FAILED, PASS, Finding
from ..backends.piglit import RESULTS_FILE, ResultsError, read


CHECK = "baseline"
# What each kind of change keeps beside its renderer, program and state.
BASELINE_FIELDS = {"regression": ("before", "now", "note"), "fix": ("before", "now"),
                   "new": (), "gone": ("before",), "changed": ("differing", "diff")}


class BaselineError(ValueError):
    """A baseline directory that holds no report, or an invalid one."""


class Baseline:
    """A loaded report: its directory and, per renderer name, the statuses
    of its states {(program, state name): status}."""

    def __init__(self, directory, renderers):
        self.directory = directory
        self.renderers = renderers

    def picture(self, renderer, program, state_name):
        return os.path.join(self.directory, renderer, program, state_name + ".png")


def load(directory):
    paths = sorted(glob.glob(os.path.join(directory, "piglit", "*", RESULTS_FILE)))
    if not os.path.isdir(directory) or not paths:
        raise BaselineError("%s holds no report (no piglit/*/%s)" % (directory, RESULTS_FILE))
    renderers = {}
    for path in paths:
        try:
            renderers[os.path.basename(os.path.dirname(path))] = read(path)[0]
        except ResultsError as error:
            raise BaselineError(str(error))
    return Baseline(directory, renderers)


def pairs(baseline, names):
    """(renderer of this run, its baseline renderer) for every pair."""
    if len(names) == 1 and len(baseline.renderers) == 1:
        return [(names[0], next(iter(baseline.renderers)))]
    return [(name, name) for name in names if name in baseline.renderers]


class Comparison:
    """What changed against the baseline; each list holds (renderer, program,
    state name, ...) rows."""

    def __init__(self, baseline, paired, unpaired):
        self.baseline = baseline
        self.paired = paired
        self.unpaired = unpaired    # renderers of this run the baseline does not have
        self.regressions = []       # (renderer, program, name, before, now, note)
        self.fixes = []             # (renderer, program, name, before, now)
        self.new = []               # (renderer, program, name)
        self.gone = []              # (renderer, program, name, before)
        self.changed = []           # (renderer, program, name, differing pixels, diff png)

    def pairs_text(self):
        return ", ".join(now if now == before else "%s against %s" % (now, before)
                         for now, before in self.paired) or "no renderer in common"


def compare(baseline, outcomes, out, tol, left_out):
    """outcomes: {renderer: {(program, state name): Outcome}} of this run;
    left_out(program, state name) tells whether this run left a state out
    (by --programs, --states or the fast mode, or as a program not built),
    so that only a state the suite no longer has is taken as gone.
    Difference images go under out/baseline-diff."""
    paired = pairs(baseline, list(outcomes))
    comparison = Comparison(baseline, paired,
                            [r for r in outcomes if r not in [now for now, _ in paired]])
    for renderer, before_name in comparison.paired:
        now, before = outcomes[renderer], baseline.renderers[before_name]
        for key, outcome in sorted(now.items()):
            program, name = key
            if key not in before:
                comparison.new.append((renderer, program, name))
                continue
            was = before[key]
            if was == PASS and outcome.status in FAILED:
                comparison.regressions.append((renderer, program, name, was, outcome.status,
                                               outcome.note))
            elif was in FAILED and outcome.status == PASS:
                comparison.fixes.append((renderer, program, name, was, outcome.status))
            changed = picture_change(baseline.picture(before_name, program, name),
                                     os.path.join(out, renderer, program, name + ".png"),
                                     opts.within(out, "baseline-diff", renderer, program,
                                                 name + ".png"), program, tol)
            if changed:
                comparison.changed.append((renderer, program, name) + changed)
        for (program, name), was in sorted(before.items()):
            if (program, name) not in now and not left_out(program, name):
                comparison.gone.append((renderer, program, name, was))
    return comparison


def findings(comparison):
    """A finding for each state the comparison names: what it is against
    the baseline (a regression, a fix, new, gone, its picture changed)."""
    found = []
    for kind, rows in (("regression", comparison.regressions), ("fix", comparison.fixes),
                       ("new", comparison.new), ("gone", comparison.gone),
                       ("changed", comparison.changed)):
        for renderer, program, name, *more in rows:
            data = dict(zip(BASELINE_FIELDS[kind], more), kind=kind)
            found.append(Finding(CHECK, renderer, "%s/%s" % (program, name), note=kind,
                                 data=data))
    return found


def picture_change(before, now, diff, program, tol):
    """(differing pixels, difference image) where the two pictures differ
    beyond the tolerance; None where they agree or one is missing. A moving
    picture is not compared: the other shows another frame."""
    if st.program(program).moving or not (os.path.exists(before) and os.path.exists(now)):
        return None
    count = pictures.differing(images.load(before), images.load(now), tol)
    if count == 0:
        return None
    return count, pictures.diff_image(before, now, diff, tol) if count else None
