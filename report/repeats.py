"""--repeat N, a stress run: every chosen state judged N times on every
renderer, each try a part of its own for the source to take (a window
run's program walked through its states again, a trace replayed again),
spread over --jobs like any other part. The tries of a state settle one
Outcome, as one run of it would: where any try failed, the most severe
failing try (the first of those), else the first try; its note leads with
how many of the N tries failed, and its tries field keeps every try's
(status, note) in order. The retries and the lists take it as one result:
one that both passed and failed is a flake, whatever the lists say.

The first try's pictures are the state's own; a later try's go under
tries/<try>/ in the report, and the state's picture is the chosen try's."""

import collections
import dataclasses
import threading

from .outcome import FAILED, PASS, SKIP, STATUSES

# Where a later try's pictures go, beside the renderers' folders.
TRIES = "tries/%d/"


def count(options):
    return max(1, getattr(options, "repeat", 1) or 1)


def under(index):
    """Where try index (from 0) keeps its pictures in the report."""
    return TRIES % (index + 1) if index else ""


class Tries:
    """The tries of each state on each renderer as the parts hand them in,
    from any thread: add() gives back every try of a state once the last
    of them is in, in order, else None."""

    def __init__(self, wanted):
        self.wanted = wanted
        self.found = collections.defaultdict(dict)
        self.lock = threading.Lock()

    def add(self, key, index, outcome, picture):
        """picture: (path in the report, frames) of the try's own picture,
        or None where it took none."""
        if self.wanted == 1:
            return [(outcome, picture)]
        with self.lock:
            self.found[key][index] = (outcome, picture)
            if len(self.found[key]) < self.wanted:
                return None
            tries = self.found.pop(key)
        return [tries[i] for i in sorted(tries)]


def chosen(outcomes):
    """The index of the try that stands for the state: the first of the
    most severe failing ones, else the first."""
    failing = [i for i, o in enumerate(outcomes) if o.status in FAILED]
    if not failing:
        return 0
    worst = max(STATUSES.index(outcomes[i].status) for i in failing)
    return next(i for i in failing if STATUSES.index(outcomes[i].status) == worst)


def failures(outcome):
    """(failed tries, tries) of a result: of its --repeat tries, else of its
    one run; None for a skip."""
    statuses = [s for s, _ in outcome.tries] or [outcome.status]
    if outcome.status == SKIP:
        return None
    return sum(s in FAILED for s in statuses), len(statuses)


def rate_text(failed, total):
    return "%d of %d tries failed (%d%%)" % (failed, total, round(100.0 * failed / total))


def settled(report, key, tries):
    """The one Outcome of a state's tries [(Outcome, picture)], its chosen
    try's picture made the state's own."""
    outcomes = [o for o, _ in tries]
    if len(outcomes) == 1:
        return outcomes[0]
    index = chosen(outcomes)
    outcome, picture = tries[index]
    if picture is not None:
        report.pictures[key] = picture
    else:
        report.pictures.pop(key, None)
    failed = sum(o.status in FAILED for o in outcomes)
    note = rate_text(failed, len(outcomes)) + ("; " + outcome.note if outcome.note else "")
    return dataclasses.replace(outcome, note=note,
                               tries=tuple((o.status, o.note) for o in outcomes))


def flaky(outcome):
    """Whether a result both passed and failed over its tries."""
    statuses = set(outcome.try_statuses())
    return PASS in statuses and bool(statuses & set(FAILED))


def lines(report):
    """summary.txt's account of a stress run: how often each state failed
    on each renderer, the flakes first; none for a run of one try each."""
    rows = []
    for renderer in report.renderers:
        for program, name, outcome in report.states_on(renderer.name):
            counted = failures(outcome)
            if outcome.tries and counted:
                rows.append((renderer.name, "%s/%s" % (program, name), counted, outcome))
    if not rows:
        return []
    tries = max(total for _, _, (_, total), _ in rows)
    order = sorted(rows, key=lambda r: (not flaky(r[3]), -r[2][0], r[0], r[1]))
    out = ["", "stress: %d tries of each state; failed tries by state and renderer" % tries]
    for renderer, state, (failed, total), outcome in order:
        out.append("  %-5s %-10s %-48s %2d of %d (%d%%)" % (
            "FLAKE" if flaky(outcome) else "", renderer, state, failed, total,
            round(100.0 * failed / total)))
    return out
