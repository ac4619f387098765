"""What each render state costs on each renderer: its frame rate, the median
of three windows counted from outside by the swap counter, its ratio to the
same program's start state on the same renderer (under 1: dearer than the
start), and the spread of the windows, (largest - smallest) / median, so
that noise shows. Frames are the renderer's work almost alone: the programs'
own code is under 0.1 % of a frame."""

import csv
import statistics

HEADER = ("renderer", "program", "state", "fps", "ratio", "spread")


class Cost:
    def __init__(self, rates):
        self.rates = list(rates)
        self.fps = statistics.median(self.rates)
        self.spread = (max(self.rates) - min(self.rates)) / self.fps if self.fps else 0.0
        self.ratio = None


def assign_ratios(outcomes):
    """Each measured state's ratio to its program's start state on the same
    renderer; outcomes is {(renderer, "program/state"): Outcome}."""
    for (renderer, state_id), outcome in outcomes.items():
        if not outcome.cost:
            continue
        start = outcomes.get((renderer, state_id.split("/")[0] + "/start"))
        if start is not None and start.cost and start.cost.fps:
            outcome.cost.ratio = outcome.cost.fps / start.cost.fps
        outcome.extra["fps"] = describe(outcome.cost)


def describe(cost):
    ratio = "" if cost.ratio is None else ", %.3f of the start state's" % cost.ratio
    return "%.1f%s (spread %.1f %%)" % (cost.fps, ratio, 100 * cost.spread)


def rows(report):
    """(renderer, program, state, fps, ratio, spread) of every measured
    state, in the run's order."""
    found = []
    for renderer in report.renderers:
        for program, name, outcome in report.states_on(renderer.name):
            cost = outcome.cost
            if cost:
                found.append((renderer.name, program, name, "%.1f" % cost.fps,
                              "" if cost.ratio is None else "%.3f" % cost.ratio,
                              "%.3f" % cost.spread))
    return found


def write_csv(path, found):
    with open(path, "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(HEADER)
        writer.writerows(found)


def by_program(found):
    """{(program, renderer): rows sorted dearest first}."""
    tables = {}
    for row in found:
        tables.setdefault((row[1], row[0]), []).append(row)
    return {key: sorted(value, key=lambda r: float(r[3])) for key, value in tables.items()}
