"""index.html, the report's page: every state's pictures on every renderer
beside its status, its probes (pixel, expected, observed) or what is known
of a crash, the differences between renderers and from the kept reference,
and with a baseline its changes, regressions first; the frame-rate and
instruction tables and the contact sheet."""

import html
import os

from .. import costs, pictures
from ..drive import COST_SECONDS, COST_WINDOWS
from .text import (FUNCTION_HEADER, INSTRUCTION_HEADER, RATE_HEADER, breakdown, colour,
                      counts, difference_note, function_rows, instruction_rows, rate_rows,
                      renderer_label)

STYLE = """
body { font-family: sans-serif; margin: 1em 2em; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 4px 6px; vertical-align: top; font-size: 90%; }
.PASS { color: #070; font-weight: bold; }
.FAIL, .CRASH, .TIMEOUT, .REGRESSION { color: #b00; font-weight: bold; }
.SKIP, .FIXED { color: #555; font-weight: bold; }
pre { font-size: 80%; max-width: 60em; white-space: pre-wrap; }
.NOMODEL, .NOTBUILT { color: #777; font-weight: bold; }
img.shot { width: 200px; image-rendering: pixelated; }
code { font-size: 90%; }
"""


def esc(text):
    return html.escape(str(text))


def status_span(status):
    return '<span class="%s">%s</span>' % (status.replace(" ", ""), esc(status))


def probe_table(outcome):
    if not outcome.probes:
        return ""
    rows = ["<tr><th>pixel</th><th>expected</th><th>observed</th><th></th></tr>"]
    for pixel, expected, observed, ok in outcome.probes:
        rows.append("<tr><td>%s</td><td>%s</td><td>%s</td><td>%s</td></tr>"
                    % (esc(pixel), esc(colour(expected)), esc(colour(observed)),
                       "ok" if ok else status_span("FAIL")))
    return "<table>%s</table>" % "".join(rows)


def image_cell(path, caption=""):
    if not path:
        return "<td>%s</td>" % esc(caption or "no picture")
    return ('<td><a href="%s"><img class="shot" src="%s"></a><br>%s</td>'
            % (esc(path), esc(path), esc(caption)))


def trace_link(trace):
    if trace is None:
        return ""
    if not trace.size:
        return "<br>trace: %s" % esc(trace.error.split("\n")[0])
    return '<br><a href="traces/%s">trace</a> (%d kB)' % (esc(trace.path), trace.size // 1024)


def replay_cell(trace, renderer):
    """The frame the trace's replay drew on a renderer, with the model's
    verdict on it and its distance from the capture."""
    if trace is None or renderer not in trace.pictures:
        return ""
    verdict = trace.verdicts[renderer]
    return image_cell(trace.pictures[renderer], "replayed on %s: %s %s%s" % (
        renderer, verdict.status, verdict.note, difference_note(trace, renderer)))


def state_row(report, state):
    trace = next((t for t in report.traces if t.state.id == state.id), None)
    cells = ["<td><b>%s</b><br><code>%s</code>%s%s</td>"
             % (esc(state.label), esc(state.id),
                "<br>menu rows %s" % esc(state.entries) if state.entries else "",
                trace_link(trace))]
    first = report.renderers[0].name
    for renderer, _, _ in report.renderers:
        picture = report.pictures.get((renderer, state.id))
        caption = renderer
        if renderer != first:
            count, _ = report.differences.get((renderer, state.id), (None, None))
            if count is not None:
                caption += ": %s from %s" % (pictures.differing_text(count), first)
        cells.append(image_cell(picture and picture[0], caption))
        cells.append(replay_cell(trace, renderer))
        if renderer != first:
            _, diff = report.differences.get((renderer, state.id), (None, None))
            cells.append(image_cell(diff, "difference" if diff else "no difference"))
    reference = report.references.get(state.id)
    if reference is not None:
        count, kept = reference
        cells.append(image_cell(kept, "reference: " + (
            "none kept" if kept is None else
            "matches" if count == 0 else "REGRESSION, %s pixels differ" % count)))
    for renderer, _, _ in report.renderers:
        outcome = report.outcomes.get((renderer, state.id))
        if outcome is None:
            cells.append("<td></td>")
            continue
        detail = "<pre>%s</pre>" % esc(outcome.detail) if outcome.detail else ""
        cells.append("<td>%s %s<br>%s%s%s</td>" % (status_span(outcome.status), esc(renderer),
                                                   esc(outcome.note), probe_table(outcome),
                                                   detail))
    return "<tr>%s</tr>" % "".join(cells)


def html_table(header, rows):
    head = "".join("<th>%s</th>" % esc(c) for c in header)
    body = "".join("<tr>%s</tr>" % "".join("<td>%s</td>" % esc(c) for c in row)
                   for row in rows)
    return "<table><tr>%s</tr>%s</table>" % (head, body)


def comparison_section(report):
    """The changes against the baseline, regressions first, each changed
    picture beside the baseline's and their difference."""
    comparison = report.comparison
    if comparison is None:
        return []
    paired = comparison.pairs_text()
    parts = ["<h2>Against the baseline</h2>",
             "<p>%s (%s): %d regressions, %d fixes, %d new states, %d gone, "
             "%d pictures changed.</p>"
             % (esc(comparison.baseline.directory), esc(paired), len(comparison.regressions),
                len(comparison.fixes), len(comparison.new), len(comparison.gone),
                len(comparison.changed))]
    rows = [(status_span("REGRESSION"), r, "%s/%s" % (p, n), "%s &rarr; %s" % (was, now), note)
            for r, p, n, was, now, note in comparison.regressions]
    rows += [(status_span("FIXED"), r, "%s/%s" % (p, n), "%s &rarr; %s" % (was, now), "")
             for r, p, n, was, now in comparison.fixes]
    rows += [("new", r, "%s/%s" % (p, n), "", "") for r, p, n in comparison.new]
    rows += [("gone", r, "%s/%s" % (p, n), "was %s" % was, "")
             for r, p, n, was in comparison.gone]
    if rows:
        parts.append("<table><tr><th></th><th>renderer</th><th>state</th><th>status</th>"
                     "<th>note</th></tr>%s</table>" % "".join(
                         "<tr><td>%s</td><td>%s</td><td><code>%s</code></td><td>%s</td>"
                         "<td>%s</td></tr>" % (kind, esc(r), esc(state), change, esc(note))
                         for kind, r, state, change, note in rows))
    if comparison.changed:
        parts.append("<h3>Pictures changed beyond the tolerance</h3><table>")
        before_names = dict(comparison.paired)
        for renderer, program, name, count, diff in comparison.changed:
            before = os.path.relpath(comparison.baseline.picture(before_names[renderer],
                                                                 program, name), report.out)
            now = "%s/%s/%s.png" % (renderer, program, name)
            parts.append("<tr><td><code>%s/%s</code><br>%s</td>%s%s%s</tr>" % (
                esc(program), esc(name), esc(renderer),
                image_cell(before, "baseline"), image_cell(now, "this run"),
                image_cell(diff and os.path.relpath(diff, report.out),
                           pictures.differing_text(count))))
        parts.append("</table>")
    return parts


def renderer_rows(report):
    return [(r.name, renderer_label(r), (r.info or {}).get("version", ""),
             " ".join(map(str, r.info["bits"])) if r.info else "",
             " ".join("%s=%s" % kv for kv in sorted(r.env.items())))
            for r in report.renderers]


def write_html(report, path):
    passed, failed = counts(report)
    parts = ["<!DOCTYPE html><html><head><meta charset='utf-8'>",
             "<title>Renderer report</title><style>%s</style></head><body>" % STYLE,
             "<h1>Renderer report</h1>",
             "<p><b>%d passed, %d failed</b> (%s) &mdash; tolerance %d per channel; run took "
             "%.0f s. Plain text: <a href='summary.txt'>summary.txt</a>; piglit results: "
             "<code>piglit/&lt;renderer&gt;/</code>; JUnit: <a href='junit.xml'>junit.xml</a>."
             "</p>" % (passed, failed, breakdown(report), report.tolerance, report.seconds)]
    parts += comparison_section(report)
    parts += ["<h2>Renderers</h2>",
              html_table(("name", "GL_RENDERER", "GL_VERSION", "channel bits", "environment"),
                         renderer_rows(report))]
    if report.rates:
        parts += ["<h2>Frame rates</h2>",
                  "<p>Frames counted from outside by a preloaded swap counter; the baseline "
                  "is a clear-and-swap program at the same window size, in the same run.</p>",
                  html_table(RATE_HEADER, rate_rows(report))]
    tables = costs.by_program(costs.rows(report))
    if tables:
        parts += ["<h2>What each state costs</h2>",
                  "<p>Frames per second in each state, the median of %d windows of %.1f s, "
                  "counted from outside by the swap counter; the ratio to the program's start "
                  "state on the same renderer (under 1: dearer); the spread of the windows "
                  "(largest &minus; smallest) / median. Dearest first; all in "
                  "<a href='costs.csv'>costs.csv</a>.</p>" % (COST_WINDOWS, COST_SECONDS)]
        for (program, renderer), rows in sorted(tables.items()):
            parts += ["<h3>%s on %s</h3>" % (esc(program), esc(renderer)),
                      html_table(("state", "fps", "ratio", "spread"),
                                 [row[2:] for row in rows])]
    if report.instructions:
        parts += ["<h2>Instructions per frame</h2>",
                  "<p>callgrind, one profile dump per buffer swap, averaged over complete "
                  "frames; shares by ELF object, then the functions with the most "
                  "instructions of their own (an address is code with no symbol: a "
                  "stripped library's or generated code).</p>",
                  html_table(INSTRUCTION_HEADER, instruction_rows(report)),
                  html_table(FUNCTION_HEADER, function_rows(report))]
    if report.sheet:
        parts += ["<h2>Contact sheet</h2>",
                  '<p><a href="contact-sheet.png"><img src="contact-sheet.png" '
                  'style="max-width:100%"></a></p>']
    for program, built, states in report.programs:
        parts.append("<h2>%s</h2>" % esc(program))
        if not built:
            parts.append("<p>%s &mdash; no binary in this build.</p>" % status_span("NOT BUILT"))
            continue
        rate = [r for r in rate_rows(report) if r[0] == program]
        if rate:
            parts.append(html_table(RATE_HEADER, rate))
        parts.append("<table>%s</table>" % "".join(state_row(report, s) for s in states))
    parts.append("</body></html>\n")
    with open(path, "w") as f:
        f.write("\n".join(parts))
