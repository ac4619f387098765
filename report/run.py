"""A report run: the states of the suite on every renderer, from the
programs in windows or from a trace pack, judged, checked and written out
(see report.programs.report for the command)."""

import concurrent.futures
import os
import shutil
import time

from . import catalogue as st
from . import checks, hygiene, pipeline, pictures
from . import options as opts
from . import renderers as rd
from .backends import junit, parts, piglit, runners
from .checks import baseline, expectations, references
from .measures import costs
from .outcome import final
from .sources import replay, window
from .summary import html as page, text as summary

# Every file of a report, each written by write(report, folder); the
# summary goes last, replacing the "incomplete" that marks a report being
# written.
WRITERS = (parts, runners, piglit, junit, costs, page, summary)


class Report:
    """Everything the run found, for the page and the summary."""

    def __init__(self, options, out):
        self.options = options
        self.out = out               # the report directory
        self.renderers = []          # [Renderer]
        self.tolerance = 3
        self.bits = [8, 8, 8, 0]
        self.programs = []           # (program, built, [State])
        self.pictures = {}           # (renderer, state id) -> (relative png, frame count)
        self.results = {}            # (renderer, state id) -> Outcome, as the pipeline settled it
        self.findings = []           # [Finding] of the checks after the pipeline, in their order
        self.references = {}         # state id -> (differing pixels or None, reference png)
        self.differences = {}        # (renderer, state id) -> (differing pixels, diff png)
        self.comparison = None       # baseline.Comparison with --baseline
        self.expectations = None     # expectations.Expectations with lists or --retries
        self.source = None           # what a --replay run judged, in words
        self.origin = {}             # where the frames came from, as report.json keeps it
        self.positions = {}          # state id -> its place in its source's whole order
        self.traces = []             # [traces.Trace] with --traces
        self.rates = {}              # (program, renderer) -> (fps, baseline fps, size)
        self.instructions = {}       # (program, renderer) -> (frames, {object: Ir per frame})
        self.sheet = None
        self.began = self.ended = 0.0
        self.finals = None

    @property
    def seconds(self):
        return self.ended - self.began

    def settle(self, key, outcome):
        """A state's result on a renderer, key (renderer, state id), as the
        pipeline settles it."""
        self.results[key] = outcome
        self.finals = None

    def add(self, found):
        """A check's findings, beside the results."""
        self.findings.extend(found)
        self.finals = None

    @property
    def outcomes(self):
        """{(renderer, state id): Outcome} as the writers show them: each
        result with the findings of the checks so far folded in."""
        if self.finals is None:
            by_key = {}
            for finding in self.findings:
                by_key.setdefault(finding.key, []).append(finding)
            self.finals = {key: final(outcome, by_key.get(key, []))
                           for key, outcome in self.results.items()}
        return self.finals

    def finding(self, check, renderer, state_id):
        """A check's finding of a state on a renderer, or None."""
        return next((f for f in self.findings if f.check == check
                     and f.key == (renderer, state_id)), None)

    def left_out(self, program, state_name):
        """Whether this run left a state out that the suite still has, or
        left out its whole program."""
        run = [p for p, built, _ in self.programs if built]
        return (program not in run or not opts.selected(self.options, program, state_name)
                or state_name in [s.name for s in st.program_states(program)])

    def states_on(self, renderer):
        """[(program, state name, Outcome)] of one renderer, in the run's order."""
        return [(s.program, s.name, self.outcomes[(renderer, s.id)])
                for _, _, states in self.programs for s in states
                if (renderer, s.id) in self.outcomes]


def log(text):
    print(text, flush=True)


def checked_run(options, out):
    """What every run checks before anything is run or removed: the
    expectation lists and the baseline (both loaded)."""
    lists = expectations.load(options)
    if options.baseline and os.path.realpath(options.baseline) == os.path.realpath(out):
        raise opts.UsageError("--baseline %s is this run's own --out; write this run "
                              "elsewhere" % options.baseline)
    before = baseline.load(options.baseline) if options.baseline else None
    return lists, before


def source_of(options, out):
    """The run's source of frames, its inputs checked."""
    if options.replay is None:
        return window.Window(options, log)
    pack = replay.checked(options)
    if opts.inside(pack.directory, out):
        raise opts.UsageError("--replay %s is inside this run's own --out; write this "
                              "run elsewhere" % options.replay)
    return replay.Replay(options, pack, log)


def run(options):
    out = os.path.abspath(options.out)
    lists, before = checked_run(options, out)
    source = source_of(options, out)
    pack = getattr(source, "pack", None)
    hygiene.check(options, [e.test for e in pack.entries] if pack else ())
    emptied(out)
    report = Report(options, out)
    report.began = time.time()
    report.source = source.description
    report.origin, report.positions = source.origin(), source.positions()
    with source:
        judge_states(report, source, lists)
    report.ended = time.time()
    return finish(report, lists, before)


def emptied(out):
    """The report directory made empty, marked incomplete until it is
    written: only an earlier report is replaced, never a directory of other
    things."""
    if os.path.isdir(out) and os.listdir(out):
        if not os.path.exists(os.path.join(out, summary.SUMMARY_FILE)):
            raise opts.UsageError("%s is not empty and holds no report" % out)
        shutil.rmtree(out)
    os.makedirs(out, exist_ok=True)
    with open(opts.within(out, summary.SUMMARY_FILE), "w") as f:
        f.write("incomplete\n")


def judge_states(report, source, lists):
    """Every state on every renderer, through the pipeline, then what the
    source measures besides."""
    report.renderers = rd.checked(source.renderers(), report.options.checks,
                                  report.options.version_checks)
    report.bits = pipeline.channel_bits(report.renderers)
    report.tolerance = pipeline.tolerance(report.renderers)
    log("renderers: %s; tolerance %d" % (", ".join(r.name for r in report.renderers),
                                        report.tolerance))
    options = report.options
    report.programs = pipeline.fraction(source.programs(), options.fraction,
                                        options.fraction_start)
    texels = source.texels()
    pipeline.run_all(report, source, lists, texels, log)
    source.extras(report, lists, texels)


def finish(report, lists, before):
    """What is worked out once every result is in, whether from this run or
    from the parts of a merge: the costs' ratios, the renderers' pictures
    against each other, the contact sheet and the checks; then the files.
    Returns the exit status."""
    with concurrent.futures.ThreadPoolExecutor(max_workers=1) as beside:
        # The contact sheet, one ImageMagick montage, only reads the pictures.
        sheet = beside.submit(pictures.report_sheet, report)
        report.add(costs.findings(report))
        references.compare_renderers(report)
        checks.apply(report, lists, before)
        sheet.result()
    return write(report)


def write(report):
    """The report's files; the run's exit status."""
    for writer in WRITERS:
        writer.write(report, report.out)
    print(summary.text(report), end="")
    log("report: %s" % os.path.join(report.out, page.INDEX))
    if report.expectations is not None:
        return 0 if report.expectations.passed else 1
    if report.comparison is not None:
        return 1 if report.comparison.regressions else 0
    return 1 if summary.counts(report)[1] else 0
