"""The report's two faces: summary.txt (a verdict line per state and
renderer, the frame-rate table, the instruction shares, and last the line
"N passed, N failed") and index.html (every state's pictures beside its
expected values and verdict, the differences between renderers, the tables
and the contact sheet)."""

import html
import os


def counts(report):
    passed = sum(1 for v in report.verdicts.values() if v.status == "PASS")
    failed = sum(1 for v in report.verdicts.values() if v.status == "FAIL")
    return passed, failed


def colour(value):
    return value if isinstance(value, str) else "(%s)" % ", ".join(str(c) for c in value)


def verdict_lines(report):
    lines = []
    for program, built, states in report.programs:
        if not built:
            lines.append("%-9s %-10s %s" % ("NOT BUILT", "", program))
            continue
        for renderer, _, _ in report.renderers:
            for state in states:
                verdict = report.verdicts.get((renderer, state.id))
                if verdict is None:
                    continue
                lines.append("%-9s %-10s %-48s %s" % (verdict.status, renderer, state.id,
                                                      verdict.note))
                for pixel, expected, observed, ok in verdict.failures()[:4]:
                    lines.append("%20s pixel %s expected %s observed %s"
                                 % ("", pixel, colour(expected), colour(observed)))
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
    for (program, renderer), (frames, per_object) in sorted(report.instructions.items()):
        total = sum(per_object.values())
        if not frames or not total:
            rows.append((program, renderer, "no complete frame", "", ""))
            continue
        own = sum(v for k, v in per_object.items() if os.path.basename(k) == program)
        top = sorted(per_object.items(), key=lambda kv: -kv[1])[:5]
        rows.append((program, renderer, "{:,.0f}".format(total),
                     "%.3f%%" % (100.0 * own / total),
                     ", ".join("%s %.1f%%" % (object_label(k), 100.0 * v / total)
                               for k, v in top)))
    return rows


def table_text(header, rows):
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    return ["  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip()
            for r in [header] + rows]


RATE_HEADER = ("program", "renderer", "window", "fps", "clear+swap fps", "ratio")
INSTRUCTION_HEADER = ("program", "renderer", "instructions/frame", "program's own share",
                      "largest objects")


def summary(report):
    lines = ["Renderer report",
             "renderers: " + "; ".join("%s = %s" % (name, info["renderer"])
                                       for name, _, info in report.renderers),
             "tolerance: %d (8-bit readback of %s-bit channels)"
             % (report.tolerance, "/".join(str(b) for b in report.bits[:3])),
             ""]
    lines += verdict_lines(report)
    differing = [(k, v) for k, v in sorted(report.differences.items()) if v[0]]
    if report.differences:
        lines += ["", "renderer differences beyond the tolerance: %d of %d states"
                  % (len(differing), len(report.differences))]
        lines += ["  %-10s %-48s %s pixels" % (k[0], k[1], v[0]) for k, v in differing]
    if report.rates:
        lines += ["", "frame rates"] + ["  " + l for l in table_text(RATE_HEADER,
                                                                     rate_rows(report))]
    if report.instructions:
        lines += ["", "instructions per frame (callgrind)"]
        lines += ["  " + l for l in table_text(INSTRUCTION_HEADER, instruction_rows(report))]
    lines += ["", "%d passed, %d failed" % counts(report)]
    return "\n".join(lines) + "\n"


# The page --------------------------------------------------------------------------------

STYLE = """
body { font-family: sans-serif; margin: 1em 2em; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 4px 6px; vertical-align: top; font-size: 90%; }
.PASS { color: #070; font-weight: bold; }
.FAIL { color: #b00; font-weight: bold; }
.NOMODEL, .NOTBUILT { color: #777; font-weight: bold; }
img.shot { width: 200px; image-rendering: pixelated; }
code { font-size: 90%; }
"""


def esc(text):
    return html.escape(str(text))


def status_span(status):
    return '<span class="%s">%s</span>' % (status.replace(" ", ""), esc(status))


def probe_table(verdict):
    if not verdict.probes:
        return ""
    rows = ["<tr><th>pixel</th><th>expected</th><th>observed</th><th></th></tr>"]
    for pixel, expected, observed, ok in verdict.probes:
        rows.append("<tr><td>%s</td><td>%s</td><td>%s</td><td>%s</td></tr>"
                    % (esc(pixel), esc(colour(expected)), esc(colour(observed)),
                       "ok" if ok else status_span("FAIL")))
    return "<table>%s</table>" % "".join(rows)


def image_cell(path, caption=""):
    if not path:
        return "<td>%s</td>" % esc(caption or "no picture")
    return ('<td><a href="%s"><img class="shot" src="%s"></a><br>%s</td>'
            % (esc(path), esc(path), esc(caption)))


def state_row(report, state):
    cells = ["<td><b>%s</b><br><code>%s</code>%s</td>"
             % (esc(state.label), esc(state.id),
                "<br>menu rows %s" % esc(state.entries) if state.entries else "")]
    first = report.renderers[0][0]
    for renderer, _, _ in report.renderers:
        picture = report.pictures.get((renderer, state.id))
        caption = renderer
        if renderer != first:
            count, _ = report.differences.get((renderer, state.id), (None, None))
            if count is not None:
                caption += ": %s pixels differ from %s" % (count, first)
        cells.append(image_cell(picture and picture[0], caption))
        if renderer != first:
            _, diff = report.differences.get((renderer, state.id), (None, None))
            cells.append(image_cell(diff, "difference" if diff else "no difference"))
    regression = report.regressions.get(state.id)
    if regression is not None:
        count, kept = regression
        cells.append(image_cell(kept, "reference: " + (
            "none kept" if kept is None else
            "matches" if count == 0 else "REGRESSION, %s pixels differ" % count)))
    for renderer, _, _ in report.renderers:
        verdict = report.verdicts.get((renderer, state.id))
        if verdict is None:
            cells.append("<td></td>")
            continue
        cells.append("<td>%s %s<br>%s%s</td>" % (status_span(verdict.status), esc(renderer),
                                                 esc(verdict.note), probe_table(verdict)))
    return "<tr>%s</tr>" % "".join(cells)


def html_table(header, rows):
    head = "".join("<th>%s</th>" % esc(c) for c in header)
    body = "".join("<tr>%s</tr>" % "".join("<td>%s</td>" % esc(c) for c in row)
                   for row in rows)
    return "<table><tr>%s</tr>%s</table>" % (head, body)


def write_html(report, path):
    passed, failed = counts(report)
    parts = ["<!DOCTYPE html><html><head><meta charset='utf-8'>",
             "<title>Renderer report</title><style>%s</style></head><body>" % STYLE,
             "<h1>Renderer report</h1>",
             "<p><b>%d passed, %d failed</b> &mdash; tolerance %d per channel; run took "
             "%.0f s. Plain text: <a href='summary.txt'>summary.txt</a>.</p>"
             % (passed, failed, report.tolerance, report.seconds),
             "<h2>Renderers</h2>",
             html_table(("name", "GL_RENDERER", "GL_VERSION", "channel bits"),
                        [(n, i["renderer"], i.get("version", ""), " ".join(map(str, i["bits"])))
                         for n, _, i in report.renderers])]
    if report.rates:
        parts += ["<h2>Frame rates</h2>",
                  "<p>Frames counted from outside by a preloaded swap counter; the baseline "
                  "is a clear-and-swap program at the same window size, in the same run.</p>",
                  html_table(RATE_HEADER, rate_rows(report))]
    if report.instructions:
        parts += ["<h2>Instructions per frame</h2>",
                  "<p>callgrind, one profile dump per buffer swap, averaged over complete "
                  "frames; shares by ELF object.</p>",
                  html_table(INSTRUCTION_HEADER, instruction_rows(report))]
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
