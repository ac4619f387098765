"""python3 -m report --build DIR [options]: runs every built program of the
suite on a private virtual X server, on every renderer at hand, and writes
the report directory: index.html, the pictures, the differences between
renderers, the contact sheet and summary.txt, whose last line is
"N passed, N failed". The exit status is 1 when a verdict failed."""

import argparse
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

from . import drive, page, pictures
from . import states as st

REFERENCE_DIR = os.path.join(drive.ROOT, "report", "reference")


def arguments(argv):
    parser = argparse.ArgumentParser(prog="scripts/report", description=__doc__)
    parser.add_argument("--build", required=True, help="a build directory of the suite")
    parser.add_argument("--out", default=os.path.join(drive.ROOT, "report-out"),
                        help="the report directory (default: report-out)")
    parser.add_argument("--fast", action="store_true",
                        help="CI mode: llvmpipe only, three field-of-view combinations, "
                             "short frame counts")
    parser.add_argument("--renderers", help="comma-separated renderers (default: all found)")
    parser.add_argument("--programs", help="comma-separated programs (default: all)")
    parser.add_argument("--preload", action="append", default=[],
                        help="one more library to preload into every program: a path, or "
                             "a name in the build's preload directory (e.g. fogbreak)")
    parser.add_argument("--callgrind", action="store_true",
                        help="also measure each program's share of a frame's instructions")
    parser.add_argument("--update-reference", action="store_true",
                        help="keep this run's llvmpipe pictures as the reference images")
    return parser.parse_args(argv)


class Report:
    """Everything the run found, for the page and the summary."""

    def __init__(self, options, out):
        self.options = options
        self.out = out               # the report directory
        self.renderers = []          # (name, env, info)
        self.tolerance = 3
        self.bits = [8, 8, 8, 0]
        self.programs = []           # (program, built, [State])
        self.pictures = {}           # (renderer, state id) -> (relative png, frame count)
        self.verdicts = {}           # (renderer, state id) -> Verdict
        self.regressions = {}        # state id -> (differing pixels or None, reference png)
        self.differences = {}        # (renderer, state id) -> (differing pixels, diff png)
        self.rates = {}              # (program, renderer) -> (fps, baseline fps, size)
        self.instructions = {}       # (program, renderer) -> (frames, {object: Ir per frame})
        self.sheet = None
        self.preload_paths = []      # the extra libraries, also under callgrind
        self.seconds = 0.0


def log(text):
    print(text, flush=True)


def main(argv=None):
    options = arguments(sys.argv[1:] if argv is None else argv)
    build = os.path.abspath(options.build)
    out = os.path.abspath(options.out)
    if os.path.isdir(out) and os.listdir(out):
        # Only an earlier report is replaced, never a directory of other things.
        if not os.path.exists(os.path.join(out, "summary.txt")):
            raise SystemExit("%s is not empty and holds no report" % out)
        shutil.rmtree(out)
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "summary.txt"), "w") as f:
        f.write("incomplete\n")
    report = Report(options, out)
    tools = ("swapcount",) + tuple(options.preload)
    begin = time.time()
    xserver = XServer()
    driver = Driver(os.path.join(build, "bin"), os.path.join(build, "preload"), xserver.display)
    report.preload_paths = [driver.library(name) for name in options.preload]
    try:
        run_report(report, driver, tools)
    finally:
        xserver.stop()
    report.seconds = time.time() - begin
    text = page.summary(report)
    with open(os.path.join(out, "summary.txt"), "w") as f:
        f.write(text)
    page.write_html(report, os.path.join(out, "index.html"))
    print(text, end="")
    log("report: %s" % os.path.join(out, "index.html"))
    return 1 if page.counts(report)[1] else 0


def choose_renderers(report, driver):
    if not drive.built(driver, "clearswap"):
        raise SystemExit("clearswap is not built: build the suite first")
    found = drive.detect_renderers(driver)
    wanted = report.options.renderers
    if report.options.fast and not wanted:
        wanted = "llvmpipe"
    if wanted:
        names = wanted.split(",")
        missing = [n for n in names if n not in [r[0] for r in found]]
        if missing:
            raise SystemExit("renderer not at hand: %s (found: %s)"
                             % (", ".join(missing), ", ".join(r[0] for r in found)))
        found = [r for r in found if r[0] in names]
    if not found:
        raise SystemExit("no renderer could make a GL context")
    return found


def run_report(report, driver, tools):
    options = report.options
    if options.callgrind and not shutil.which("valgrind"):
        raise SystemExit("--callgrind needs valgrind")
    report.renderers = choose_renderers(report, driver)
    report.bits = report.renderers[0][2]["bits"]
    report.tolerance = probes.tolerance(report.bits)
    log("renderers: %s; tolerance %d" % (", ".join(r[0] for r in report.renderers),
                                        report.tolerance))
    wanted = options.programs.split(",") if options.programs else None
    for program, *_ in st.PROGRAMS:
        if wanted and program not in wanted:
            continue
        report.programs.append((program, drive.built(driver, program),
                                st.program_states(program, options.fast)))

    texels = judge.load_texels(driver.bin_dir)
    for renderer, env, _ in report.renderers:
        for program, built, states in report.programs:
            if built:
                log("%s on %s" % (program, renderer))
                pictures_of(report, driver, renderer, env, tools, program, states, texels)

    compare_renderers(report)
    check_references(report)
    for renderer, env, _ in report.renderers:
        for program, built, _ in report.programs:
            if not built:
                continue
            try:
                own, base, size = drive.measure_rates(driver, program, env, tools,
                                                      1.0 if options.fast else 3.0)
            except Exception as error:      # noqa: BLE001 - a benchmark, not a verdict
                log("%s on %s: no frame rate: %s" % (program, renderer, error))
                continue
            report.rates[(program, renderer)] = (own, base, size)
            log("%s on %s: %.1f fps, clear-and-swap %.1f fps" % (program, renderer, own, base))
    if options.callgrind:
        for renderer, env, _ in report.renderers:
            for program, built, _ in report.programs:
                if built:
                    measure_instructions(report, driver, renderer, env, program)
    first = report.renderers[0][0]
    entries = [(os.path.join(report.out, report.pictures[(first, s.id)][0]),
                s.program + "\n" + s.name.replace("+", "+\n"))
               for _, built, states in report.programs if built for s in states
               if (first, s.id) in report.pictures]
    report.sheet = pictures.contact_sheet(entries, os.path.join(report.out,
                                                                "contact-sheet.png"))


def pictures_of(report, driver, renderer, env, tools, program, states, texels):
    """Captures every state; each picture is saved and judged on a second
    thread while the program is driven to the next state."""
    def judged(state, image, count):
        name = "%s/%s/%s.png" % (renderer, program, state.name)
        image.save(os.path.join(report.out, name))
        report.pictures[(renderer, state.id)] = (name, count)
        report.verdicts[(renderer, state.id)] = judge.judge(program, state.settings, image,
                                                            count, report.tolerance, texels)

    with concurrent.futures.ThreadPoolExecutor(max_workers=1) as worker:
        jobs = []
        def picture(state, image, count):
            jobs.append(worker.submit(judged, state, image, count))
        errors = drive.capture_states(driver, program, states, env, tools, log, picture)
        for job in jobs:
            job.result()
    for state in states:
        if state.name in errors:
            report.verdicts[(renderer, state.id)] = probes.Verdict("FAIL",
                                                                   note=errors[state.name])


def compare_renderers(report):
    """Every renderer's picture of a state against the first renderer's."""
    if len(report.renderers) < 2:
        return
    first = report.renderers[0][0]
    for renderer, _, _ in report.renderers[1:]:
        for _, built, states in report.programs:
            for state in states:
                a, b = report.pictures.get((first, state.id)), \
                    report.pictures.get((renderer, state.id))
                if not a or not b:
                    continue
                pa, pb = (os.path.join(report.out, p[0]) for p in (a, b))
                count = pictures.differing(images.load(pa), images.load(pb),
                                           report.tolerance)
                diff = None
                if count:
                    diff = "diff/%s-vs-%s/%s/%s.png" % (renderer, first, state.program,
                                                        state.name)
                    pictures.diff_image(pa, pb, os.path.join(report.out, diff),
                                        report.tolerance)
                report.differences[(renderer, state.id)] = (count, diff)


def reference_name(state):
    return "%s--%s.png" % (state.program, state.name)


def check_references(report):
    """llvmpipe's pictures against the reference images kept in the
    repository, both reduced alike; a state that differs beyond the tolerance
    is a regression, and fails. The starfield moves every frame and has no
    reference."""
    if "llvmpipe" not in [r[0] for r in report.renderers]:
        return
    for program, built, states in report.programs:
        if program == "quenby":
            continue
        for state in states:
            picture = report.pictures.get(("llvmpipe", state.id))
            if not picture:
                continue
            reduced = pictures.reduce(os.path.join(report.out, picture[0]),
                                      os.path.join(report.out, "reduced", program,
                                                   state.name + ".png"))
            reference = os.path.join(REFERENCE_DIR, reference_name(state))
            if report.options.update_reference:
                os.makedirs(REFERENCE_DIR, exist_ok=True)
                shutil.copyfile(reduced, reference)
            if not os.path.exists(reference):
                report.regressions[state.id] = (None, None)
                continue
            count = pictures.differing(images.load(reduced), images.load(reference),
                                       report.tolerance)
            kept = "reference/%s" % reference_name(state)
            os.makedirs(os.path.join(report.out, "reference"), exist_ok=True)
            shutil.copyfile(reference, os.path.join(report.out, kept))
            report.regressions[state.id] = (count, kept)
            verdict = report.verdicts[("llvmpipe", state.id)]
            if count is None or count > 0:
                verdict.status = "FAIL"
                verdict.note += "; regression: %s reduced pixels differ from the reference" \
                    % ("the size" if count is None else count)


def measure_instructions(report, driver, renderer, env, program):
    workdir = tempfile.mkdtemp(prefix="report-callgrind-")
    log("callgrind: %s on %s" % (program, renderer))
    try:
        dumps = drive.callgrind_frames(driver, program, env, workdir, report.preload_paths)
        per_object = {}
        for path in dumps:
            for name, cost in drive.parse_callgrind(path).items():
                per_object[name] = per_object.get(name, 0) + cost
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    if dumps:
        per_object = {k: v / len(dumps) for k, v in per_object.items()}
    report.instructions[(program, renderer)] = (len(dumps), per_object)
