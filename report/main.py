"""python3 -m report --build DIR [options]: runs every built program of the
suite on a private virtual X server, on every renderer at hand, and writes
the report directory: index.html, the pictures, the differences between
renderers, the contact sheet, summary.txt (whose last line is "N passed, N
failed"), piglit results per renderer under piglit/ and junit.xml. Every
state of every program on every renderer gets a status: pass, fail, crash,
timeout or skip. The exit status is 1 when a state failed; with --baseline,
1 when a state regressed against the baseline and 0 otherwise; with
expectation lists (--fails, --flakes, --skips, --retries), 1 when a result is
not as they expect; 2 on a usage error.

python3 -m report --replay PACK [options] judges a trace pack instead (see
report.replay.run): no build, no program, no X server."""

import concurrent.futures
import os
import shutil
import sys
import tempfile
import time

from expected import judge, probes
from progdriver import images
from progdriver.programs import Driver
from progdriver.xserver import XServer

from . import baseline, callgrind, drive, options as opts, pictures
from . import costs, expectations, references
from .backends import junit, piglit, runners
from .replay import pack as trace_pack, run as replay_run, traces
from .summary import html as page, text as summary
from . import renderers as rd
from . import states as st
from .outcome import SKIP, Outcome


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
        self.outcomes = {}           # (renderer, state id) -> Outcome
        self.references = {}         # state id -> (differing pixels or None, reference png)
        self.differences = {}        # (renderer, state id) -> (differing pixels, diff png)
        self.comparison = None       # baseline.Comparison with --baseline
        self.expectations = None     # expectations.Expectations with lists or --retries
        self.source = None           # what a --replay run judged, in words
        self.traces = []             # [traces.Trace] with --traces
        self.rates = {}              # (program, renderer) -> (fps, baseline fps, size)
        self.instructions = {}       # (program, renderer) -> (frames, {object: Ir per frame})
        self.sheet = None
        self.preload_paths = []      # the extra libraries, also under callgrind
        self.began = self.seconds = 0.0

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


def main(argv=None):
    try:
        return run(opts.parse(sys.argv[1:] if argv is None else argv, __doc__))
    except (opts.UsageError, rd.RendererError, baseline.BaselineError,
            expectations.ListError) as error:
        print("scripts/report: error: %s" % error, file=sys.stderr)
        return opts.USAGE_STATUS


def checked(options, build):
    """What the options name, checked before anything is run or removed:
    the baseline (loaded), the driver of the build and the paths of the
    extra libraries to preload."""
    if not os.access(os.path.join(build, "bin", "clearswap"), os.X_OK):
        raise opts.UsageError("%s holds no build of the suite (no bin/clearswap)" % build)
    driver = Driver(os.path.join(build, "bin"), os.path.join(build, "preload"), None,
                    timeout=options.timeout)
    preload_paths = [driver.library(name) for name in options.preload]
    missing = [path for path in preload_paths if not os.path.exists(path)]
    if missing:
        raise opts.UsageError("no library to preload: %s" % ", ".join(missing))
    return driver, preload_paths


def checked_run(options, out):
    """What every run checks before anything is run or removed: the
    programs named, the expectation lists and the baseline (both loaded)."""
    unknown = [n for n in options.program_names or [] if n not in [q[0] for q in st.PROGRAMS]]
    if unknown:
        raise opts.UsageError("unknown program: %s" % ", ".join(unknown))
    lists = expectations.load(options)
    if options.baseline and os.path.realpath(options.baseline) == os.path.realpath(out):
        raise opts.UsageError("--baseline %s is this run's own --out; write this run "
                              "elsewhere" % options.baseline)
    before = baseline.load(options.baseline) if options.baseline else None
    return lists, before


def run(options):
    out = os.path.abspath(options.out)
    lists, before = checked_run(options, out)
    if options.replay is not None:
        pack = replay_run.checked(options)
        if os.path.realpath(pack.directory).startswith(os.path.join(os.path.realpath(out), "")):
            raise opts.UsageError("--replay %s is inside this run's own --out; write this "
                                  "run elsewhere" % options.replay)
    else:
        driver, preload_paths = checked(options, os.path.abspath(options.build))
    if os.path.isdir(out) and os.listdir(out):
        # Only an earlier report is replaced, never a directory of other things.
        if not os.path.exists(os.path.join(out, "summary.txt")):
            raise opts.UsageError("%s is not empty and holds no report" % out)
        shutil.rmtree(out)
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "summary.txt"), "w") as f:
        f.write("incomplete\n")

    report = Report(options, out)
    report.began = time.time()
    if options.replay is not None:
        replay_run.run(report, pack, lists, log)
    else:
        report.preload_paths = preload_paths
        xserver = XServer()
        driver.display = xserver.display
        try:
            run_report(report, driver, tuple(options.preload), lists)
        finally:
            xserver.stop()
    if before is not None:
        report.comparison = baseline.compare(before, outcomes_by_renderer(report), out,
                                             report.tolerance, report.left_out)
    if lists is not None:
        report.expectations = expectations.judge(report, lists)
        runners.write(report.expectations, out)
    report.seconds = time.time() - report.began
    write_results(report)
    if options.costs:
        costs.write_csv(os.path.join(out, "costs.csv"), costs.rows(report))
    text = summary.text(report)
    with open(os.path.join(out, "summary.txt"), "w") as f:
        f.write(text)
    page.write_html(report, os.path.join(out, "index.html"))
    print(text, end="")
    log("report: %s" % os.path.join(out, "index.html"))
    if report.expectations is not None:
        return 0 if report.expectations.passed else 1
    if report.comparison is not None:
        return 1 if report.comparison.regressions else 0
    return 1 if summary.counts(report)[1] else 0


def outcomes_by_renderer(report):
    return {r.name: {(p, n): o for p, n, o in report.states_on(r.name)}
            for r in report.renderers}


def write_results(report):
    ended = time.time()
    for renderer in report.renderers:
        piglit.write(os.path.join(report.out, "piglit", renderer.name), renderer,
                     report.states_on(renderer.name), report.options, report.began, ended)
    junit.write(os.path.join(report.out, "junit.xml"),
                [(r, report.states_on(r.name)) for r in report.renderers])


def run_report(report, driver, tools, lists=None):
    options = report.options
    if options.callgrind and not shutil.which("valgrind"):
        raise opts.UsageError("--callgrind needs valgrind")
    choose(report, driver)
    working = [r for r in report.renderers if r.info]
    texels = judge.load_texels(driver.bin_dir)
    for renderer in report.renderers:
        for program, built, states in report.programs:
            if built:
                log("%s on %s" % (program, renderer.name))
                pictures_of(report, driver, renderer, tools, program, states, texels,
                            lists)
    costs.assign_ratios(report.outcomes)
    references.compare_renderers(report)
    references.check_references(report)
    if options.traces:
        record_traces(report, driver, tools, working, texels, lists)
    if not options.no_rates:
        measure_rates(report, driver, tools, working)
    if options.callgrind:
        for renderer in working:
            for program, built, _ in report.programs:
                if built:
                    measure_instructions(report, driver, renderer.name, renderer.env, program)
    pictures.report_sheet(report)


def choose(report, driver):
    """The renderers, the tolerance their channels allow, and the states the
    options ask for."""
    options = report.options
    report.renderers = rd.choose(driver, options.named, options.renderer_names, options.fast)
    working = [r for r in report.renderers if r.info]
    report.bits = working[0].info["bits"] if working else [8, 8, 8, 0]
    report.tolerance = probes.tolerance(report.bits)
    log("renderers: %s; tolerance %d" % (", ".join(r.name for r in report.renderers),
                                        report.tolerance))
    for program, *_ in st.PROGRAMS:
        if options.program_names and program not in options.program_names:
            continue
        states = [s for s in st.program_states(program, options.fast)
                  if opts.selected(options, program, s.name)]
        if states:
            report.programs.append((program, drive.built(driver, program), states))


def measure_rates(report, driver, tools, working):
    """Each program's start state against a clear-and-swap loop of the same
    window size, on every renderer that works: benchmark figures."""
    for renderer in working:
        for program, built, _ in report.programs:
            if not built:
                continue
            try:
                own, base, size = drive.measure_rates(driver, program, renderer.env, tools,
                                                      1.0 if report.options.fast else 3.0)
            except Exception as error:      # noqa: BLE001 - a benchmark, not a verdict
                log("%s on %s: no frame rate: %s" % (program, renderer.name, error))
                continue
            report.rates[(program, renderer.name)] = (own, base, size)
            log("%s on %s: %.1f fps, clear-and-swap %.1f fps" % (program, renderer.name, own,
                                                                base))


def pictures_of(report, driver, renderer, tools, program, states, texels, lists=None):
    """Takes every state; each picture is saved and judged on a second
    thread while the program is driven to the next state. A state's outcome
    is its verdict unless the program crashed, hung or could not run; on a
    renderer with no GL context every state is skipped, and so is every
    state in the skips list. With lists, a state that failed unexpectedly
    is run again by itself, up to --retries times."""
    if renderer.info is None:
        for state in states:
            report.outcomes[(renderer.name, state.id)] = Outcome(
                SKIP, "no GL context under %s" % piglit.environment_text(renderer.env))
        return
    if lists is not None:
        for state in states:
            pattern = lists.skip_pattern(piglit.test_name(program, state.name))
            if pattern is not None:
                report.outcomes[(renderer.name, state.id)] = expectations.skipped_outcome(
                    pattern)
        states = [s for s in states if (renderer.name, s.id) not in report.outcomes]
    judged = {}

    def judge_record(record):
        judged[record.state.name] = kept_pictures(report, renderer, record, texels)

    with concurrent.futures.ThreadPoolExecutor(max_workers=1) as worker:
        jobs = []
        records = drive.walk(driver, program, states, renderer.env, tools, log,
                             lambda record: jobs.append(worker.submit(judge_record, record)),
                             (lambda: [job.result() for job in jobs])
                             if report.options.costs else None)
        for job in jobs:
            job.result()
    for record in records:
        outcome = settled(report, driver, renderer, record, judged.get(record.state.name))
        if lists is not None:
            outcome = expectations.with_retries(
                lists, renderer.name, piglit.test_name(program, record.state.name), outcome,
                lambda: rerun(report, driver, renderer, tools, record.state, texels))
        report.outcomes[(renderer.name, record.state.id)] = outcome


def kept_pictures(report, renderer, record, texels):
    """Keeps a state's picture (with its thumbnail) in the report, judges it
    and keeps the verdict's expected picture and mismatch mask: the verdict
    and those pictures' paths in the report by kind."""
    state = record.state
    name = "%s/%s/%s" % (renderer.name, state.program, state.name)
    pictures.save(record.image, os.path.join(report.out, name + ".png"))
    report.pictures[(renderer.name, state.id)] = (name + ".png", record.count)
    verdict = judge.judge(state.program, state.settings, record.image, record.count,
                          report.tolerance, texels)
    made = pictures.save_verdict(verdict, report.out, name)
    return verdict, {kind: os.path.relpath(path, report.out) for kind, path in made.items()}


def settled(report, driver, renderer, record, judged=None):
    """A state's outcome from how it went and, where its picture was judged,
    (verdict, the verdict's pictures)."""
    verdict, made = judged or (None, {})
    outcome = Outcome.of_record(record, verdict)
    outcome.pictures = made
    outcome.command = command_text(record.state, renderer.env, os.path.dirname(driver.bin_dir),
                                   report.preload_paths)
    if record.rates:
        outcome.cost = costs.Cost(record.rates)
    return outcome


def rerun(report, driver, renderer, tools, state, texels):
    """A state run again by itself in a fresh process, judged as before; its
    pictures replace those before, and where it took none the page shows
    none."""
    log("  %s on %s: once more in a process of its own" % (state.id, renderer.name))
    record, run = drive.one_state(driver, state.program, state, renderer.env, tools)
    if run is not None:
        shutil.rmtree(run.workdir, ignore_errors=True)
    report.pictures.pop((renderer.name, state.id), None)
    judged = None
    if record.status is None and record.image is not None:
        judged = kept_pictures(report, renderer, record, texels)
    return settled(report, driver, renderer, record, judged)


def record_traces(report, driver, tools, working, texels, lists):
    """Every state's trace (but those in the skips list), recorded on the
    first renderer that works, then replayed on each; the replays run two at
    a time, beside nothing else. The traces directory is then made a trace
    pack."""
    directory = os.path.join(report.out, "traces")
    if not working:
        return
    log("traces on %s" % working[0].name)
    for program, built, states in report.programs:
        if built:
            for state in states:
                if lists and lists.skip_pattern(piglit.test_name(program, state.name)):
                    continue
                trace = traces.record(driver, state, working[0].env, tools, directory)
                log("  %s %s" % (trace.path, trace.error or "%d bytes" % trace.size))
                report.traces.append(trace)
    jobs = [(trace, renderer) for renderer in working for trace in report.traces
            if not trace.error]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for trace, renderer, error in pool.map(
                lambda job: replayed(report, directory, job[0], job[1], texels), jobs):
            if error:
                log("  replay of %s on %s: %s" % (trace.path, renderer.name, error))
    traces.write_yaml(os.path.join(directory, "traces.yml"), report.traces, working)
    trace_pack.write(directory, report.traces, working[0], driver.bin_dir)


def replayed(report, directory, trace, renderer, texels):
    """Replays one trace on one renderer and judges the frame it draws as
    the capture was judged, noting how far it is from the capture."""
    state = trace.state
    kept = "replay/%s/%s/%s.png" % (renderer.name, state.program, state.name)
    try:
        checksum = traces.replay(directory, trace, renderer, os.path.join(report.out, kept))
    except RuntimeError as error:
        trace.error = str(error)
        return trace, renderer, error
    image = images.load(os.path.join(report.out, kept))
    pictures.add_thumbnail(os.path.join(report.out, kept))
    trace.checksums[renderer.name] = checksum
    trace.pictures[renderer.name] = kept
    trace.verdicts[renderer.name] = judge.judge(state.program, state.settings, image,
                                                trace.frames, report.tolerance, texels)
    captured = report.pictures.get((renderer.name, state.id))
    if captured and state.program != "quenby":
        # The starfield moves on every frame: its replay shows another one.
        trace.differences[renderer.name] = pictures.differing(
            image, images.load(os.path.join(report.out, captured[0])), report.tolerance)
    return trace, renderer, None


def command_text(state, env, build, preload):
    """How to run the state again by itself: the per-state command under the
    renderer's environment, with the report's extra libraries preloaded."""
    env = dict(env, **({"LD_PRELOAD": ":".join(preload)} if preload else {}))
    return " ".join(["%s=%s" % item for item in sorted(env.items())]
                    + [os.path.join(opts.ROOT, "scripts", "run-state"), "--build", build,
                       state.program, state.name])


def measure_instructions(report, driver, renderer, env, program):
    workdir = tempfile.mkdtemp(prefix="report-callgrind-")
    log("callgrind: %s on %s" % (program, renderer))
    try:
        dumps = callgrind.frames(driver, program, env, workdir, report.preload_paths)
        objects, functions = callgrind.per_frame(dumps)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    report.instructions[(program, renderer)] = (len(dumps), objects, functions)
