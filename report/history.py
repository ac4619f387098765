"""scripts/report --history RUN... [--out DIR] [--renderers A,B]: how each
state fared on each renderer over a series of runs, from their report.json
alone: history.html (with the renderers' passes per run as a small chart)
and history.csv in DIR.

The runs are given oldest first, or as a folder of them (each a report
directory, taken in the order they began). They must be one series: runs of
one kind, replays of one trace pack and judged with one tolerance, those of
the newest run; any other run is named and left out. Per state and
renderer the history has

  each run's status     as the report shows it; with --repeat's tries, the
                        failed tries of all ("FAIL 3/20")
  pass rate             of the runs that ran it, those it passed
  first failing run     the first run it failed in after passing in one
                        before: where it broke
  flake rate            where its tries over all the runs both passed and
                        failed, the share that failed; empty where they did
                        not (a state that always passes or always fails)"""

import csv
import os
import shutil

from . import options as opts
from .lists import Run
from .outcome import FAILED, PASS, SKIP

HISTORY_PAGE = "history.html"
HISTORY_CSV = "history.csv"
CHART_WIDTH, CHART_HEIGHT, CHART_MARGIN = 480, 160, 30
COLOURS = ("#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b")


def run_folders(paths):
    """The report directories given, a folder of them opened up, in the
    order given (a folder's by when each run began)."""
    found = []
    for path in paths:
        path = os.path.dirname(path) if path.endswith(".json") else path
        if os.path.isfile(os.path.join(path, "report.json")):
            found.append(path)
            continue
        inner = [os.path.join(path, name) for name in sorted(os.listdir(path))
                 if os.path.isfile(os.path.join(path, name, "report.json"))] \
            if os.path.isdir(path) else []
        if not inner:
            raise opts.UsageError("%s holds no run (no report.json in it or in its folders)"
                                  % path)
        found += sorted(inner, key=lambda p: Run(p).report.began)
    return found


def series(runs):
    """(the runs of the newest run's series, [(run, why it is left out)])."""
    newest = runs[-1]

    def kind(run):
        origin = run.report.origin
        return origin.get("kind"), origin.get("identity")
    kept, left = [], []
    for run in runs:
        if kind(run) != kind(newest):
            left.append((run, "a window run" if kind(run)[0] == "window" else
                         "a replay of another trace pack (pack.json %s)"
                         % (kind(run)[1] or "")[:12]))
        elif run.report.tolerance != newest.report.tolerance:
            left.append((run, "another tolerance (%d)" % run.report.tolerance))
        else:
            kept.append(run)
    return kept, left


class Row:
    """One state on one renderer over the runs."""

    def __init__(self, renderer, test, outcomes):
        self.renderer, self.test = renderer, test
        self.outcomes = outcomes            # an Outcome or None for each run
        ran = [o for o in outcomes if o is not None and o.status != SKIP]
        self.passed = sum(o.status == PASS for o in ran)
        self.ran = len(ran)
        tries = [s for o in ran for s in o.try_statuses() if s != SKIP]
        failed = sum(s in FAILED for s in tries)
        self.flake = failed / len(tries) if 0 < failed < len(tries) else None
        self.first_failing = None
        seen_pass = False
        for index, outcome in enumerate(outcomes):
            if outcome is None or outcome.status == SKIP:
                continue
            if outcome.status in FAILED and seen_pass:
                self.first_failing = index
                break
            seen_pass = seen_pass or outcome.status == PASS

    @property
    def pass_rate(self):
        return self.passed / self.ran if self.ran else None

    def cells(self):
        return [cell(o) for o in self.outcomes]


def cell(outcome):
    """(text, status class) of a result in the history."""
    if outcome is None:
        return "", "s-none"
    text = outcome.status
    if outcome.tries:
        text += " %d/%d" % (sum(s in FAILED for s, _ in outcome.tries), len(outcome.tries))
    return text, "s-" + outcome.status.lower()


def rows_of(runs, wanted=None):
    keys = []
    for run in runs:
        for key in sorted(run.results):
            if key not in keys and (wanted is None or key[0] in wanted):
                keys.append(key)
    order = {}
    for run in runs:
        for renderer in run.report.renderers:
            order.setdefault(renderer.name, len(order))
    keys.sort(key=lambda k: order.get(k[0], len(order)))
    return [Row(r, t, [run.results.get((r, t)) for run in runs]) for r, t in keys]


def percent(value):
    return "" if value is None else "%d%%" % round(100 * value)


def labels(runs):
    """A name for each run: its folder's, numbered where two share one."""
    names = [run.name for run in runs]
    return [name if names.count(name) == 1 else "%d:%s" % (i + 1, name)
            for i, name in enumerate(names)]


def chart(runs, rows):
    """An inline SVG of each renderer's passes in each run, and its legend
    [(renderer, colour, passes per run)]."""
    renderers = []
    for row in rows:
        if row.renderer not in renderers:
            renderers.append(row.renderer)
    counts = {r: [sum(1 for row in rows if row.renderer == r and row.outcomes[i] is not None
                      and row.outcomes[i].status == PASS) for i in range(len(runs))]
              for r in renderers}
    top = max([1] + [c for values in counts.values() for c in values])
    step = (CHART_WIDTH - 2 * CHART_MARGIN) / max(1, len(runs) - 1)

    def point(i, value):
        return (CHART_MARGIN + i * step,
                CHART_HEIGHT - CHART_MARGIN - value * (CHART_HEIGHT - 2 * CHART_MARGIN) / top)
    legend = [(r, COLOURS[n % len(COLOURS)], counts[r]) for n, r in enumerate(renderers)]
    lines = [{"colour": colour, "renderer": r,
              "points": " ".join("%.1f,%.1f" % point(i, v) for i, v in enumerate(values)),
              "dots": [point(i, v) + (v,) for i, v in enumerate(values)]}
             for r, colour, values in legend]
    ticks = [(point(i, 0)[0], name) for i, name in enumerate(labels(runs))]
    return {"width": CHART_WIDTH, "height": CHART_HEIGHT, "margin": CHART_MARGIN,
            "top": top, "lines": lines, "ticks": ticks,
            "base": CHART_HEIGHT - CHART_MARGIN}, legend


def write_history(options):
    """history.html and history.csv in --out; exit status 0."""
    runs = [Run(path) for path in run_folders(options.history)]
    kept, left = series(runs)
    wanted = set(options.renderer_names) if options.renderer_names else None
    rows = rows_of(kept, wanted)
    out = os.path.abspath(options.out)
    os.makedirs(out, exist_ok=True)
    names = labels(kept)
    with open(os.path.join(out, HISTORY_CSV), "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["renderer", "test"] + names + ["pass_rate", "first_failing_run",
                                                       "flake_rate"])
        for row in rows:
            writer.writerow([row.renderer, row.test] + [text for text, _ in row.cells()] + [
                percent(row.pass_rate),
                "" if row.first_failing is None else names[row.first_failing],
                percent(row.flake)])
    from .summary import html as page
    svg, legend = chart(kept, rows)
    document = page.environment().get_template("history.html").render(
        runs=list(zip(names, kept)), left=left, rows=rows, svg=svg, legend=legend,
        names=names, percent=percent)
    with open(os.path.join(out, HISTORY_PAGE), "w") as f:
        f.write(document)
    shutil.copyfile(os.path.join(page.TEMPLATES, page.STYLESHEET),
                    os.path.join(out, page.STYLESHEET))
    for run, why in left:
        print("left out %s: %s" % (run.directory, why))
    flaky = [row for row in rows if row.flake is not None]
    print("history of %d runs, %d results, %d flaky: %s" % (
        len(kept), len(rows), len(flaky), os.path.join(out, HISTORY_PAGE)))
    return 0
