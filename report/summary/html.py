"""The report's pages, rendered with jinja2 from the templates beside this
module, with one stylesheet (report.css, copied beside the pages):

- index.html: with expectation lists, the results against them first, the
  unexpected ones (regressions, then unexpected passes) before the flakes;
  the results matrix, a row per state and a column per renderer headed by
  its counts, each cell coloured by status (or by what changed against the
  baseline, or by its class against the expectation lists) and leading to
  the state's details; its views, problems (the states that failed
  somewhere), changes and all, problems first whenever a state failed; then
  the comparison with a baseline, the renderers, the frame-rate, cost and
  instruction tables and the contact sheet.
- <program>.html: a folded block per state with each renderer's pictures
  (capture, expected picture, mismatch mask, difference from the first
  renderer, replayed frame) as thumbnails that link to the full pictures,
  the verdict's numbers and its failing examples; failing states open.
  A program whose blocks hold more figures (a state on a renderer) or more
  markup than a page takes goes on as many pages as it needs,
  <program>.html, <program>-2.html, ..., each linking to the others, so
  that a report of many renderers (a merge of many machines) keeps pages
  that a browser opens at once. Every link to a state's block names the
  page that holds it.

Every picture's thumbnail is made where the picture is saved (see
pictures.save and pictures.save_verdict), so the pages only name files; a
picture without one is shown scaled down. Images load lazily."""

import collections
import os
import shutil

import jinja2
import markupsafe

from .. import pictures
from . import paging
from .. import repeats
from ..measures import costs
from ..backends import runners
from ..checks import attribution
from ..bundle import command as bundle_command
from ..names import colour
from ..options import within
from ..sources.drive import COST_SECONDS, COST_WINDOWS
from ..checks.expectations import CLASSES, EXPECTED_PASS, FLAKE
from ..outcome import CRASH, FAIL, FAILED, PASS, SKIP, TIMEOUT
from .text import (FUNCTION_HEADER, INSTRUCTION_HEADER, RATE_HEADER, breakdown, counts,
                   difference_note, expectation_note, function_rows, instruction_rows,
                   rate_rows, renderer_label)

TEMPLATES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "templates")
STYLESHEET = "report.css"
VIEWS = ("problems", "changes", "all")
# Failing examples shown per result: enough to see the pattern, few enough
# that a block stays short and a page of many failing renderers light (the
# summary and the piglit results keep the verdict's 24).
EXAMPLES = 6
# Statuses in the order their counts are given; a group of states takes the
# colour of its worst.
ORDER = (PASS, FAIL, CRASH, TIMEOUT, SKIP)
WORST_FIRST = (CRASH, TIMEOUT, FAIL, SKIP, PASS)
# What the baseline or the expectation lists call a result that puts its
# state in the changes view. Other classes (an expected fail, say) colour
# the cell only.
CHANGES = ("regression", "fix", "unexpected pass", "flake", "new", "changed")
# A program page holds at most this many figures (a state on a renderer) and
# this much markup of state blocks, whichever comes first; a state's block
# is never split, so a page holds one state at least. The markup bound
# keeps a page of long crash reports as small as one of passes. Pages of
# 120 figures weigh 60 to 90 kB with pictures and failing examples, and
# headless Chromium loads each about as fast as an empty page
# (tests/bench/page_load.py).
FIGURES_PER_PAGE = 120
PAGE_BYTES = 200000

_environment = None


def environment():
    global _environment
    if _environment is None:
        _environment = jinja2.Environment(
            loader=jinja2.FileSystemLoader(TEMPLATES), autoescape=True,
            trim_blocks=True, lstrip_blocks=True, undefined=jinja2.StrictUndefined)
    return _environment


def slug(text):
    return text.lower().replace(" ", "-")


def in_order(kinds):
    """Classes of change, those of the changes view first."""
    return sorted(kinds, key=lambda k: (CHANGES.index(k) if k in CHANGES else len(CHANGES), k))


def page_name(program, number=1):
    """The file of a program's page: its first, then <program>-2.html, ..."""
    return program + ".html" if number == 1 else "%s-%d.html" % (program, number)


def state_href(where, program, name):
    """The link to a state's block on the page that holds it (where: {state
    id: page file}); a state no page holds (one the baseline alone has)
    links to its program's first page."""
    return "%s#%s" % (where.get("%s/%s" % (program, name), page_name(program)), name)


def change_kinds(report):
    """{(renderer name, state id): class} of the results to mark: from the
    baseline, regression, fix, new, or changed (the picture changed beyond
    the tolerance, the status did not); then, where the run has expectation
    lists, the classes of report.expectations (regression, unexpected pass,
    flake, expected fail, skip) take the place of the baseline's, and a
    result they expect to pass is not marked."""
    kinds = {}
    comparison = report.comparison
    if comparison is not None:
        for rows, kind in ((comparison.changed, "changed"), (comparison.new, "new"),
                           (comparison.fixes, "fix"), (comparison.regressions, "regression")):
            for row in rows:
                kinds[(row[0], "%s/%s" % (row[1], row[2]))] = kind
    if report.expectations is not None:
        for key, kind in report.expectations.classes.items():
            if kind == EXPECTED_PASS:
                kinds.pop(key, None)
            else:
                kinds[key] = kind
    return kinds


class Cell:
    """One state on one renderer in the matrix: its status (lower case, or
    "none" where the state was not run there) and the class that changed
    it, if any."""

    def __init__(self, outcome, kind):
        self.status = outcome.status.lower() if outcome else "none"
        self.kind = kind
        self.classes = "s-" + self.status + (" k-" + slug(kind) if kind else "")
        self.failed = outcome is not None and outcome.status in FAILED
        self.changed = kind in CHANGES
        self.title = kind or ""
        # A stress run's failed tries of all, e.g. "9/20".
        counted = repeats.failures(outcome) if outcome and outcome.tries else None
        self.rate = "%d/%d" % counted if counted else ""


class Picture:
    """A picture under the report directory: its full path, its thumbnail
    (the full picture where it has none) and a caption."""

    def __init__(self, out, path, caption):
        self.full = path
        thumb = pictures.thumbnail_path(path)
        self.thumb = thumb if os.path.exists(os.path.join(out, thumb)) else path
        self.caption = caption


def matrix(report, kinds, where):
    """The columns (renderer, counts) and a group per program of rows, each
    row a state with its cells and the link to its block (where: {state id:
    page file}); the states of each view."""
    columns = []
    for renderer in report.renderers:
        tally = collections.Counter(o.status for (r, _), o in report.outcomes.items()
                                    if r == renderer.name)
        changed = collections.Counter(k for (r, _), k in kinds.items() if r == renderer.name)
        found = attribution.of(report, renderer.name)
        columns.append({
            "name": renderer.name, "label": renderer_label(renderer),
            "attribution": attribution.short(found.data) if found else "",
            "explained": found.note if found else "",
            "counts": [("%d %s" % (tally[s], s.lower()), "s-" + s.lower())
                       for s in ORDER if tally[s]]
            + [("%d %s" % (changed[k], k), "k-" + slug(k)) for k in in_order(changed)]})
    groups = []
    for program, built, states in report.programs:
        rows = []
        for state in states if built else []:
            cells = [Cell(report.outcomes.get((r.name, state.id)), kinds.get((r.name, state.id)))
                     for r in report.renderers]
            views = [v for v, wanted in (("problems", any(c.failed for c in cells)),
                                         ("changes", any(c.changed for c in cells))) if wanted]
            rows.append({"id": state.id, "name": state.name, "label": state.label,
                         "href": state_href(where, program, state.name),
                         "classes": " ".join(["state"] + views), "views": views,
                         "cells": cells})
        totals = []
        for renderer in report.renderers:
            statuses = [report.outcomes[(renderer.name, s.id)].status for s in states
                        if (renderer.name, s.id) in report.outcomes]
            worst = next((s for s in WORST_FIRST if s in statuses), None)
            totals.append({"text": "%d/%d" % (statuses.count(PASS), len(statuses)),
                            "classes": "s-" + worst.lower() if worst else "s-none"})
        groups.append({"program": program, "built": built, "page": page_name(program),
                       "rows": rows, "totals": totals})
    return columns, groups


def view_counts(groups):
    """[(view, the states it shows)] in the order the page offers them."""
    rows = [r for g in groups for r in g["rows"]]
    return [(view, sum(view == "all" or view in r["views"] for r in rows)) for view in VIEWS]


def figure(report, state, renderer, first, kind, trace, shown):
    """One renderer's part of a state's block: its pictures, the verdict's
    note (with its counts) and failing examples, and for a crash or a hang
    what is known of it and the command that runs the state again. The
    model's expected picture, the same for every renderer whose window has
    the same size, is shown where it first appears in the block (shown holds
    those already shown)."""
    outcome = report.outcomes.get((renderer, state.id))
    part = {"renderer": renderer, "cell": Cell(outcome, kind), "shots": [],
            "note": "not run", "difference": "", "examples": [], "more": 0,
            "detail": "", "command": "", "bundle": ""}
    if outcome is None:
        return part
    shots = part["shots"]
    captured = report.pictures.get((renderer, state.id))
    if captured:
        shots.append(Picture(report.out, captured[0], "capture"))
    made = getattr(outcome, "pictures", None) or {}
    for key, caption in (("expected", "expected"), ("mask", "mismatch mask")):
        if made.get(key) and made[key] not in shown:
            shown.add(made[key])
            shots.append(Picture(report.out, made[key], caption))
    if renderer != first and (renderer, state.id) in report.differences:
        count, diff = report.differences[(renderer, state.id)]
        if diff:
            shots.append(Picture(report.out, diff, "vs %s: %s" % (
                first, pictures.differing_text(count))))
        elif count is None:
            part["difference"] = "vs %s: %s" % (first, pictures.differing_text(count))
    if trace is not None and renderer in trace.pictures:
        verdict = trace.verdicts[renderer]
        shots.append(Picture(report.out, trace.pictures[renderer], "replay: %s%s" % (
            verdict.status.lower(), difference_note(trace, renderer))))
    failures = outcome.failures()
    part.update(
        note=outcome.note,
        examples=[(str(pixel), colour(expected), colour(observed))
                  for pixel, expected, observed, _ in failures[:EXAMPLES]],
        more=max(0, len(failures) - EXAMPLES),
        detail=outcome.detail if outcome.status in (CRASH, TIMEOUT)
        and outcome.detail != outcome.note else "",
        command=outcome.command if outcome.status in FAILED else "",
        bundle=bundle_command(report.out, renderer, state.id)
        if outcome.status in FAILED else "")
    return part


def blocks(report, program, states, kinds):
    """A block per state of a program: open where the state failed on some
    renderer."""
    first = report.renderers[0].name if report.renderers else ""
    found = []
    for state in states:
        trace = next((t for t in report.traces if t.state.id == state.id), None)
        shown = set()
        figures = [figure(report, state, r.name, first, kinds.get((r.name, state.id)), trace,
                          shown)
                   for r in report.renderers]
        tally = collections.Counter(f["cell"].status for f in figures)
        reference = None
        if state.id in report.references:
            count, kept = report.references[state.id]
            caption = ("reference: none kept" if kept is None else "reference: matches"
                       if count == 0 else "reference: REGRESSION, %s pixels differ" % count)
            reference = {"shot": Picture(report.out, kept, caption) if kept else None,
                         "caption": caption}
        found.append({
            "id": state.id, "name": state.name, "label": state.label,
            "entries": state.entries, "figures": figures, "reference": reference,
            "open": any(f["cell"].failed for f in figures),
            "tally": [(tally[s], s) for s in [x.lower() for x in ORDER] + ["none"]
                      if tally[s]],
            "trace": None if trace is None else {
                "href": "traces/" + trace.path, "size": trace.size // 1024,
                "error": trace.error.split("\n")[0]},
        })
    return found


def comparison_context(report, where):
    """The changes against the baseline, regressions first, and the
    pictures that changed, each beside the baseline's and their
    difference."""
    comparison = report.comparison
    if comparison is None:
        return None
    rows = [("regression", r, "%s/%s" % (p, n), "%s → %s" % (was, now), note)
            for r, p, n, was, now, note in comparison.regressions]
    rows += [("fix", r, "%s/%s" % (p, n), "%s → %s" % (was, now), "")
             for r, p, n, was, now in comparison.fixes]
    rows += [("new", r, "%s/%s" % (p, n), "", "") for r, p, n in comparison.new]
    rows += [("gone", r, "%s/%s" % (p, n), "was %s" % was, "")
             for r, p, n, was in comparison.gone]
    before_names = dict(comparison.paired)
    changed = []
    for renderer, program, name, count, diff in comparison.changed:
        before = os.path.relpath(comparison.baseline.picture(before_names[renderer], program,
                                                             name), report.out)
        shots = [Picture(report.out, before, "baseline"),
                 Picture(report.out, "%s/%s/%s.png" % (renderer, program, name), "this run")]
        if diff:
            shots.append(Picture(report.out, os.path.relpath(diff, report.out),
                                 pictures.differing_text(count)))
        changed.append({"renderer": renderer, "state": "%s/%s" % (program, name),
                        "href": state_href(where, program, name), "shots": shots})
    return {"directory": comparison.baseline.directory, "pairs": comparison.pairs_text(),
            "counts": (len(comparison.regressions), len(comparison.fixes),
                       len(comparison.new), len(comparison.gone), len(comparison.changed)),
            "rows": rows, "changed": changed}


def expectations_context(report, where):
    """The results against the expectation lists: the lists, the count of
    each class, and a row per result that fails the run (regressions, then
    unexpected passes), then per flake, each linking to its state's block."""
    expectations = report.expectations
    if expectations is None:
        return None
    rows = []
    for row in expectations.unexpected + expectations.of_class(FLAKE):
        renderer, program, name, outcome = row
        kind = expectations.classes[(renderer, "%s/%s" % (program, name))]
        rows.append({"kind": kind, "renderer": renderer, "state": "%s/%s" % (program, name),
                     "href": state_href(where, program, name),
                     "status": expectations.status_of(row),
                     "note": expectation_note(expectations, row)})
    return {"lists": expectations.lists.describe(),
            "counts": [(expectations.count(c), c) for c in CLASSES],
            "files": (runners.FAILURES_FILE, runners.RESULTS_FILE), "rows": rows}


def renderer_rows(report):
    return [(r.name, renderer_label(r), (r.info or {}).get("version", ""),
             " ".join(map(str, r.info["bits"])) if r.info else "",
             " ".join("%s=%s" % kv for kv in sorted(r.env.items())))
            for r in report.renderers]


def program_pages(env, report, kinds, figures_per_page, page_bytes):
    """{program: [[(block, its markup)] of each page]} of every built
    program."""
    template = env.get_template("block.html")
    books = {}
    for program, built, states in report.programs:
        if not built:
            continue
        found = blocks(report, program, states, kinds)
        texts = [markupsafe.Markup(template.render(b=b)) for b in found]
        pages = paging.split([(len(b["figures"]), len(t.encode()))
                              for b, t in zip(found, texts)], figures_per_page, page_bytes)
        books[program] = [[(found[i], texts[i]) for i in page] for page in pages]
    return books


def placement(books):
    """{state id: the file of the page that holds its block}."""
    return {b["id"]: page_name(program, number)
            for program, pages in books.items()
            for number, page in enumerate(pages, 1) for b, _ in page}


def page_list(program, pages, current):
    """The pages of a program as each lists them: file, first and last
    state, the count of open (failing) blocks, whether it is this one."""
    return [{"file": page_name(program, number), "first": page[0][0]["name"] if page else "",
             "last": page[-1][0]["name"] if page else "",
             "open": sum(b["open"] for b, _ in page), "current": number == current}
            for number, page in enumerate(pages, 1)]


def write_program_pages(env, out, report, program, pages, rates, where):
    """A program's pages, each with its share of the blocks and the list of
    its pages. The first, where a link that names no page lands (one made
    before the states were split, say), also has the frame rates and where
    each state on another page is."""
    template = env.get_template("program.html")
    total = sum(len(page) for page in pages)
    for number, page in enumerate(pages, 1):
        first = number == 1
        text = template.render(
            program=program, report=report, total=total, number=number,
            pages=page_list(program, pages, number) if len(pages) > 1 else [],
            elsewhere={b["name"]: where[b["id"]] for other in pages[1:] for b, _ in other}
            if first else {},
            rate_header=RATE_HEADER, rates=[r for r in rates if r[0] == program]
            if first else [],
            blocks=[t for _, t in page])
        with open(within(out, page_name(program, number)), "w") as f:
            f.write(text)


INDEX = "index.html"


def write(report, folder):
    write_html(report, within(folder, INDEX))


def write_html(report, path, figures_per_page=FIGURES_PER_PAGE, page_bytes=PAGE_BYTES):
    """Writes index.html at path, each built program's pages beside it (at
    most figures_per_page figures and page_bytes of blocks a page) and the
    stylesheet."""
    out = os.path.dirname(os.path.abspath(path))
    env = environment()
    kinds = change_kinds(report)
    books = program_pages(env, report, kinds, figures_per_page, page_bytes)
    where = placement(books)
    columns, groups = matrix(report, kinds, where)
    views = view_counts(groups)
    problems = dict(views)["problems"]
    passed, failed = counts(report)
    rates = rate_rows(report)
    shutil.copyfile(os.path.join(TEMPLATES, STYLESHEET), within(out, STYLESHEET))
    index = env.get_template("index.html").render(
        passed=passed, failed=failed, breakdown=breakdown(report), report=report,
        columns=columns, groups=groups, views=views,
        default_view="problems" if problems else "all",
        kinds=in_order(set(kinds.values())),
        comparison=comparison_context(report, where),
        expectations=expectations_context(report, where),
        renderers=renderer_rows(report),
        rate_header=RATE_HEADER, rates=rates,
        cost_windows=COST_WINDOWS, cost_seconds=COST_SECONDS,
        costs=[(key, [row[2:] for row in rows])
               for key, rows in sorted(costs.by_program(costs.rows(report)).items())],
        instruction_header=INSTRUCTION_HEADER, function_header=FUNCTION_HEADER,
        instructions=instruction_rows(report) if report.instructions else [],
        functions=function_rows(report) if report.instructions else [])
    with open(path, "w") as f:
        f.write(index)
    for program, pages in books.items():
        write_program_pages(env, out, report, program, pages, rates, where)
