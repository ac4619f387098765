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

import harness as h

from . import drive, page, pictures, verdicts
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
                        help="one more library from tests/tools to preload into every "
                             "program, by name (e.g. fogbreak)")
    parser.add_argument("--callgrind", action="store_true",
                        help="also measure each program's share of a frame's instructions")
    parser.add_argument("--update-reference", action="store_true",
                        help="keep this run's llvmpipe pictures as the reference images")
    return parser.parse_args(argv)


class Report:
    """Everything the run found, for the page and the summary."""

    def __init__(self, options):
        self.options = options
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
    h.BIN_DIR = os.path.join(build, "bin")
    h.TOOLS_DIR = os.path.join(build, "tests", "tools")
    h.ARTIFACT_DIR = out
    tool_names = ["swapcount"] + options.preload
    h.TOOLS_DIR = drive.link_tools(tool_names)
    tools = tuple(tool_names)

    report = Report(options)
    report.preload_paths = [os.path.join(h.TOOLS_DIR, "lib%s.so" % n) for n in options.preload]
    begin = time.time()
    xstate = tempfile.mkdtemp(prefix="report-x-")
    drive.start_xserver(xstate)
    h.XSTATE_DIR = xstate
    try:
        run_report(report, tools)
    finally:
        drive.stop_xserver(xstate)
        shutil.rmtree(xstate, ignore_errors=True)
        shutil.rmtree(h.TOOLS_DIR, ignore_errors=True)
    report.seconds = time.time() - begin
    text = page.summary(report)
    with open(os.path.join(out, "summary.txt"), "w") as f:
        f.write(text)
    page.write_html(report, os.path.join(out, "index.html"))
    print(text, end="")
    log("report: %s" % os.path.join(out, "index.html"))
    return 1 if page.counts(report)[1] else 0


def choose_renderers(report):
    if not drive.built("clearswap"):
        raise SystemExit("clearswap is not built: build the suite first")
    found = drive.detect_renderers()
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


def run_report(report, tools):
    options = report.options
    if options.callgrind and not shutil.which("valgrind"):
        raise SystemExit("--callgrind needs valgrind")
    report.renderers = choose_renderers(report)
    report.bits = report.renderers[0][2]["bits"]
    report.tolerance = verdicts.tolerance(report.bits)
    log("renderers: %s; tolerance %d" % (", ".join(r[0] for r in report.renderers),
                                        report.tolerance))
    wanted = options.programs.split(",") if options.programs else None
    for program, *_ in st.PROGRAMS:
        if wanted and program not in wanted:
            continue
        report.programs.append((program, drive.built(program),
                                st.program_states(program, options.fast)))

    texels = load_texels()
    for renderer, env, _ in report.renderers:
        for program, built, states in report.programs:
            if built:
                log("%s on %s" % (program, renderer))
                pictures_of(report, renderer, env, tools, program, states, texels)

    compare_renderers(report)
    check_references(report)
    for renderer, env, _ in report.renderers:
        for program, built, _ in report.programs:
            if not built:
                continue
            try:
                own, base, size = drive.measure_rates(program, env, tools,
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
                    measure_instructions(report, renderer, env, program)
    first = report.renderers[0][0]
    entries = [(os.path.join(h.ARTIFACT_DIR, report.pictures[(first, s.id)][0]),
                s.program + "\n" + s.name.replace("+", "+\n"))
               for _, built, states in report.programs if built for s in states
               if (first, s.id) in report.pictures]
    report.sheet = pictures.contact_sheet(entries, os.path.join(h.ARTIFACT_DIR,
                                                                "contact-sheet.png"))


def load_texels():
    return {
        "vorntest5": h.read_raw("Texture2_256X256X24.RAW", 256, 256, 24),
        "fendrik": (h.read_raw("Texture2_256X256X24.RAW", 256, 256, 24),
                    h.read_raw("Texture1_64X64X24.RAW", 64, 64, 24)),
        "tembrel": h.read_raw("Texture2_256X256X24.RAW", 256, 256, 24),
    }


def pictures_of(report, renderer, env, tools, program, states, texels):
    """Captures every state; each picture is saved and judged on a second
    thread while the program is driven to the next state."""
    def judged(state, image, count):
        name = "%s/%s/%s.png" % (renderer, program, state.name)
        pictures.save(image, name)
        report.pictures[(renderer, state.id)] = (name, count)
        report.verdicts[(renderer, state.id)] = judge(report, program, state, image, count,
                                                      texels)

    with concurrent.futures.ThreadPoolExecutor(max_workers=1) as worker:
        jobs = []
        def picture(state, image, count):
            jobs.append(worker.submit(judged, state, image, count))
        errors = drive.capture_states(program, states, env, tools, log, picture)
        for job in jobs:
            job.result()
    for state in states:
        if state.name in errors:
            report.verdicts[(renderer, state.id)] = verdicts.Verdict("FAIL",
                                                                     note=errors[state.name])


def judge(report, program, state, image, count, texels):
    tol = report.tolerance
    try:
        if program == "vorntest5":
            return verdicts.vorntest5(image, state, tol, texels["vorntest5"])
        if program == "vorntest":
            return verdicts.vorntest(image, state, tol, None)
        if program == "fendrik":
            return verdicts.fendrik(image, state, tol, texels["fendrik"])
        if program == "tembrel":
            return verdicts.tembrel(image, state, tol, texels["tembrel"])
        if program == "quenby":
            return verdicts.quenby(image, count, tol)
    except ImportError as error:
        return verdicts.Verdict("NO MODEL", note="no model yet (%s)" % error)
    except Exception as error:      # noqa: BLE001 - a broken model fails its state
        return verdicts.Verdict("FAIL", note="the model failed: %r" % error)
    return verdicts.Verdict("NO MODEL", note="no model yet")


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
                pa, pb = (os.path.join(h.ARTIFACT_DIR, p[0]) for p in (a, b))
                count = pictures.differing(pictures.load(pa), pictures.load(pb),
                                           report.tolerance)
                diff = None
                if count:
                    diff = "diff/%s-vs-%s/%s/%s.png" % (renderer, first, state.program,
                                                        state.name)
                    pictures.diff_image(pa, pb, os.path.join(h.ARTIFACT_DIR, diff),
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
            reduced = pictures.reduce(os.path.join(h.ARTIFACT_DIR, picture[0]),
                                      os.path.join(h.ARTIFACT_DIR, "reduced", program,
                                                   state.name + ".png"))
            reference = os.path.join(REFERENCE_DIR, reference_name(state))
            if report.options.update_reference:
                os.makedirs(REFERENCE_DIR, exist_ok=True)
                shutil.copyfile(reduced, reference)
            if not os.path.exists(reference):
                report.regressions[state.id] = (None, None)
                continue
            count = pictures.differing(pictures.load(reduced), pictures.load(reference),
                                       report.tolerance)
            kept = "reference/%s" % reference_name(state)
            os.makedirs(os.path.join(h.ARTIFACT_DIR, "reference"), exist_ok=True)
            shutil.copyfile(reference, os.path.join(h.ARTIFACT_DIR, kept))
            report.regressions[state.id] = (count, kept)
            verdict = report.verdicts[("llvmpipe", state.id)]
            if count is None or count > 0:
                verdict.status = "FAIL"
                verdict.note += "; regression: %s reduced pixels differ from the reference" \
                    % ("the size" if count is None else count)


def measure_instructions(report, renderer, env, program):
    workdir = tempfile.mkdtemp(prefix="report-callgrind-")
    log("callgrind: %s on %s" % (program, renderer))
    try:
        dumps = drive.callgrind_frames(program, env, workdir, report.preload_paths)
        per_object = {}
        for path in dumps:
            for name, cost in drive.parse_callgrind(path).items():
                per_object[name] = per_object.get(name, 0) + cost
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    if dumps:
        per_object = {k: v / len(dumps) for k, v in per_object.items()}
    report.instructions[(program, renderer)] = (len(dumps), per_object)
