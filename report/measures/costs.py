"""What each render state costs on each renderer: its frame rate, the median
of three windows counted from outside by the swap counter, its ratio to the
same program's start state on the same renderer (under 1: dearer than the
start), and the spread of the windows, (largest - smallest) / median, so
that noise shows. Frames are the renderer's work almost alone: the programs'
own code is under 0.1 % of a frame.

The rates are part of a state's result; the ratios, which need the start
state's result too, are the "fps" findings that findings() adds once every
result is in."""

import csv
import statistics

from ..options import within
from ..outcome import Finding

HEADER = ("renderer", "program", "state", "fps", "ratio", "spread")
COSTS_FILE = "costs.csv"
CHECK = "fps"


def fps(rates):
    return statistics.median(rates)


def spread(rates):
    median = fps(rates)
    return (max(rates) - min(rates)) / median if median else 0.0


def findings(report):
    """A finding for each measured state: its frame rate, its ratio to its
    program's start state on the same renderer, and its spread."""
    found = []
    for (renderer, state_id), outcome in report.results.items():
        if not outcome.rates:
            continue
        start = report.results.get((renderer, state_id.split("/")[0] + "/start"))
        ratio = None
        if start is not None and start.rates and fps(start.rates):
            ratio = fps(outcome.rates) / fps(start.rates)
        data = {"fps": fps(outcome.rates), "ratio": ratio, "spread": spread(outcome.rates)}
        found.append(Finding(CHECK, renderer, state_id, note=describe(data), line=True,
                             data=data))
    return found


def describe(data):
    ratio = "" if data["ratio"] is None else ", %.3f of the start state's" % data["ratio"]
    return "%.1f%s (spread %.1f %%)" % (data["fps"], ratio, 100 * data["spread"])


def rows(report):
    """(renderer, program, state, fps, ratio, spread) of every measured
    state, in the run's order."""
    found = []
    for renderer in report.renderers:
        for program, name, _ in report.states_on(renderer.name):
            cost = report.finding(CHECK, renderer.name, "%s/%s" % (program, name))
            if cost:
                data = cost.data
                found.append((renderer.name, program, name, "%.1f" % data["fps"],
                              "" if data["ratio"] is None else "%.3f" % data["ratio"],
                              "%.3f" % data["spread"]))
    return found


def write(report, folder):
    """costs.csv, where the run measured the states' costs."""
    if not report.options.costs:
        return
    with open(within(folder, COSTS_FILE), "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(HEADER)
        writer.writerows(rows(report))


def by_program(found):
    """{(program, renderer): rows sorted dearest first}."""
    tables = {}
    for row in found:
        tables.setdefault((row[1], row[0]), []).append(row)
    return {key: sorted(value, key=lambda r: float(r[3])) for key, value in tables.items()}
