"""summary.txt, the report in plain text: the renderers, the results
against the expectation lists (the unexpected ones first: regressions, then
unexpected passes), the comparison with a baseline (regressions first), a
status line per state and renderer with
the first differing pixels or the crash, the renderer differences, the
frame-rate and instruction tables, the breakdown by status and last the
line "N passed, N failed" (crash and timeout count as failed). The page
shares its counts and table rows."""

import os

from .. import repeats
from ..measures import costs
from ..checks import attribution
from ..names import colour, test_name
from ..options import within
from ..checks.expectations import (EXPECTED_FAIL, EXPECTED_PASS, FLAKE, REGRESSION, RUNNER, SKIPPED,
                            UNEXPECTED_PASS)
from ..outcome import CRASH, FAIL, FAILED, PASS, SKIP, TIMEOUT
from ..pictures import differing_text


def counts(report):
    """(passed, failed) over every state on every renderer."""
    statuses = [o.status for o in report.outcomes.values()]
    return statuses.count(PASS), sum(statuses.count(s) for s in FAILED)


def breakdown(report):
    statuses = [o.status for o in report.outcomes.values()]
    return "fail %d, crash %d, timeout %d, skip %d" % tuple(
        statuses.count(s) for s in (FAIL, CRASH, TIMEOUT, SKIP))


def state_lines(report):
    lines = []
    for program, built, states in report.programs:
        if not built:
            lines.append("%-9s %-10s %s" % ("NOT BUILT", "", program))
            continue
        for renderer in report.renderers:
            for state in states:
                outcome = report.outcomes.get((renderer.name, state.id))
                if outcome is None:
                    continue
                lines.append("%-9s %-10s %-48s %s" % (outcome.status, renderer.name, state.id,
                                                      outcome.note))
                for pixel, expected, observed, ok in outcome.failures()[:4]:
                    lines.append("%20s pixel %s expected %s observed %s"
                                 % ("", pixel, colour(expected), colour(observed)))
                if outcome.status == CRASH and outcome.detail:
                    lines += ["%20s %s" % ("", l) for l in outcome.detail.split("\n")[1:13]]
    return lines


def expectation_note(expectations, row):
    """What happened to a result against the lists, row (renderer, program,
    state name, Outcome): for an unexpected pass the status the fails list
    has, for a flake its earlier runs, else its status and note. The page
    shares it."""
    renderer, program, name, outcome = row
    if expectations.classes[(renderer, "%s/%s" % (program, name))] == UNEXPECTED_PASS:
        fails = expectations.lists.fails_of(renderer)
        return "the fails list has %s" % RUNNER[fails[test_name(program, name)]]
    if outcome.earlier:
        return "%s, then %s on a rerun" % (" then ".join(s for s, _ in outcome.earlier),
                                          outcome.status)
    return "%s %s" % (outcome.status, outcome.note)


def expectation_row(expectations, row):
    renderer, program, name, _ = row
    kind = expectations.classes[(renderer, "%s/%s" % (program, name))]
    return "  %-15s %-10s %-48s %s" % (kind.upper(), renderer, "%s/%s" % (program, name),
                                       expectation_note(expectations, row))


def expectation_lines(expectations):
    """The results against the lists: the unexpected ones first
    (regressions, then unexpected passes), then the flakes, then how many
    were as expected."""
    if expectations is None:
        return []
    unexpected = expectations.unexpected
    lines = ["expectations: %s" % expectations.lists.describe(),
             "unexpected: %d (%d regressions, %d unexpected passes, which the fails list "
             "should drop); in failures.csv" % (len(unexpected), expectations.count(REGRESSION),
                                               expectations.count(UNEXPECTED_PASS))]
    lines += [expectation_row(expectations, row) for row in unexpected]
    flakes = expectations.of_class(FLAKE)
    lines.append("flakes: %d (not failing the run)" % len(flakes))
    lines += [expectation_row(expectations, row) for row in flakes]
    lines.append("as expected: %d failed, %d passed, %d skipped; every result in results.csv"
                 % tuple(expectations.count(c) for c in (EXPECTED_FAIL, EXPECTED_PASS, SKIPPED)))
    return lines + [""]


def comparison_lines(comparison):
    """The baseline's changes, regressions first."""
    if comparison is None:
        return []
    lines = ["baseline: %s (%s)" % (comparison.baseline.directory, comparison.pairs_text()),
             "regressions: %d" % len(comparison.regressions)]
    if comparison.unpaired:
        lines.insert(1, "not in the baseline: %s" % ", ".join(comparison.unpaired))
    lines += ["  REGRESSION %-10s %-48s %s -> %s  %s" % (r, "%s/%s" % (p, n), was, now, note)
              for r, p, n, was, now, note in comparison.regressions]
    lines.append("fixes: %d" % len(comparison.fixes))
    lines += ["  FIXED      %-10s %-48s %s -> %s" % (r, "%s/%s" % (p, n), was, now)
              for r, p, n, was, now in comparison.fixes]
    lines.append("new states: %d" % len(comparison.new))
    lines += ["  NEW        %-10s %s/%s" % row for row in comparison.new]
    lines.append("gone states: %d" % len(comparison.gone))
    lines += ["  GONE       %-10s %s/%s (was %s)" % row for row in comparison.gone]
    lines.append("pictures changed beyond the tolerance: %d" % len(comparison.changed))
    lines += ["  CHANGED    %-10s %-48s %s" % (r, "%s/%s" % (p, n), differing_text(c))
              for r, p, n, c, _ in comparison.changed]
    return lines + [""]


def trace_lines(report):
    """The traces' total size, and per renderer how their replays fared: the
    model's verdict on the replayed frame and any difference from the
    capture beyond the tolerance."""
    if not report.traces:
        return []
    size = sum(t.size for t in report.traces)
    lines = ["", "traces: %d in traces/, %.1f MB in all; expectations in traces/traces.yml"
             % (sum(1 for t in report.traces if t.size), size / 1e6)]
    for trace in report.traces:
        if trace.error:
            lines.append("  ERROR      %-48s %s" % (trace.state.id, trace.error.split("\n")[0]))
    for renderer in report.renderers:
        replays = [t for t in report.traces if renderer.name in t.verdicts]
        if not replays:
            continue
        judged = [t.verdicts[renderer.name].status for t in replays]
        differ = [t for t in replays if t.differences.get(renderer.name)]
        lines.append("  replayed on %s: %d pass, %d fail; %d differ from the capture"
                     % (renderer.name, judged.count("PASS"), judged.count("FAIL"), len(differ)))
        for trace in replays:
            verdict = trace.verdicts[renderer.name]
            if verdict.status != "PASS" or trace.differences.get(renderer.name):
                lines.append("    %-9s %-48s %s%s" % (verdict.status, trace.state.id,
                                                      verdict.note,
                                                      difference_note(trace, renderer.name)))
    return lines


def difference_note(trace, renderer):
    """How far a replay on a renderer (by name) is from the capture; nothing
    for the starfield, whose replay shows another frame."""
    if renderer not in trace.differences:
        return ""
    return "; %s from the capture" % differing_text(trace.differences[renderer])


def cost_lines(report, shown=5):
    """The dearest states of each program on each renderer; all of them are
    in costs.csv."""
    tables = costs.by_program(costs.rows(report))
    if not tables:
        return []
    lines = ["", "state costs, dearest first (fps, ratio to the start state, spread); "
             "all in costs.csv"]
    for (program, renderer), rows in sorted(tables.items()):
        lines.append("  %s on %s: %s" % (program, renderer, "; ".join(
            "%s %s %s %s" % row[2:] for row in rows[:shown])))
    return lines


def rate_rows(report):
    rows = []
    for (program, renderer), (own, base, size) in sorted(report.rates.items()):
        ratio = own / base if base else 0.0
        rows.append((program, renderer, "%dx%d" % size, "%.1f" % own, "%.1f" % base,
                     "%.3f" % ratio))
    return rows


def object_label(name):
    if name in ("???", ""):
        return "(no ELF object: JIT code)"
    return os.path.basename(name)


def instruction_rows(report):
    """Per program and renderer: instructions per frame, the program's own
    share, and the largest objects."""
    rows = []
    for (program, renderer), (frames, objects, _) in sorted(report.instructions.items()):
        total = sum(objects.values())
        if not frames or not total:
            rows.append((program, renderer, "no complete frame", "", ""))
            continue
        own = sum(v for k, v in objects.items() if os.path.basename(k) == program)
        top = sorted(objects.items(), key=lambda kv: -kv[1])[:5]
        rows.append((program, renderer, "{:,.0f}".format(total),
                     "%.3f%%" % (100.0 * own / total),
                     ", ".join("%s %.1f%%" % (object_label(k), 100.0 * v / total)
                               for k, v in top)))
    return rows


def function_rows(report, count=10):
    """Per program and renderer, the functions with the most instructions
    of their own in a frame: rank, function, object, share of the frame."""
    rows = []
    for (program, renderer), (frames, objects, functions) in sorted(
            report.instructions.items()):
        total = sum(objects.values())
        if not frames or not total:
            continue
        top = sorted(functions.items(), key=lambda kv: -kv[1])[:count]
        for rank, ((obj, function), cost) in enumerate(top, 1):
            rows.append((program, renderer, rank, function or "?",
                         object_label(obj), "{:,.0f}".format(cost),
                         "%.1f%%" % (100.0 * cost / total)))
    return rows


def table_text(header, rows):
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    return ["  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip()
            for r in [header] + rows]


RATE_HEADER = ("program", "renderer", "window", "fps", "clear+swap fps", "ratio")
INSTRUCTION_HEADER = ("program", "renderer", "instructions/frame", "program's own share",
                      "largest objects")
FUNCTION_HEADER = ("program", "renderer", "rank", "function", "object", "instructions/frame",
                   "share")


def renderer_label(renderer):
    return renderer.info["renderer"] if renderer.info else "no GL context"


SUMMARY_FILE = "summary.txt"


def write(report, folder):
    with open(within(folder, SUMMARY_FILE), "w") as f:
        f.write(text(report))


def text(report):
    lines = ["Renderer report",
             "renderers: " + "; ".join("%s = %s" % (r.name, renderer_label(r))
                                       for r in report.renderers),
             "tolerance: %d (8-bit readback of %s-bit channels)"
             % (report.tolerance, "/".join(str(b) for b in report.bits[:3])),
             ""]
    if report.source:
        lines[1:1] = [report.source]
    lines += expectation_lines(report.expectations)
    lines += comparison_lines(report.comparison)
    lines += repeats.lines(report)
    lines += state_lines(report)
    lines += attribution.lines(report)
    differing = [(k, v) for k, v in sorted(report.differences.items()) if v[0]]
    if report.differences:
        lines += ["", "renderer differences beyond the tolerance: %d of %d states"
                  % (len(differing), len(report.differences))]
        lines += ["  %-10s %-48s %s pixels" % (k[0], k[1], v[0]) for k, v in differing]
    lines += trace_lines(report)
    lines += cost_lines(report)
    if report.rates:
        lines += ["", "frame rates"] + ["  " + l for l in table_text(RATE_HEADER,
                                                                     rate_rows(report))]
    if report.instructions:
        lines += ["", "instructions per frame (callgrind)"]
        lines += ["  " + l for l in table_text(INSTRUCTION_HEADER, instruction_rows(report))]
        lines += ["", "functions with the most instructions of their own per frame (callgrind)"]
        lines += ["  " + l for l in table_text(FUNCTION_HEADER, function_rows(report))]
    lines += ["", breakdown(report), "%d passed, %d failed" % counts(report)]
    return "\n".join(lines) + "\n"
