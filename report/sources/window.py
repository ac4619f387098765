"""Frames from the programs themselves: each built program driven through
its states on the report's private virtual X servers, one process after
another on each, each picture handed on while the program is driven to the
next state. --jobs N drives N programs at once, each on an X server of its
own (a window that another covers stops drawing), a program's states cut
into parts of a few states each. Beside the states, a window run can record every state as an
apitrace trace (replayed on every renderer and made a trace pack), and
measure frame rates and a frame's instructions."""

import concurrent.futures
import contextlib
import os
import re
import shutil
import subprocess
import tempfile
import threading

from expected import judge
from progdriver import images
from progdriver.programs import Driver
from progdriver.xserver import XServer

from .. import catalogue as st
from .. import options as opts
from .. import pictures, pipeline
from .. import renderers as rd
from ..names import test_name
from ..measures import callgrind
from . import drive, pack as trace_pack, traces


def checked(options, build):
    """The build's driver and the paths of the extra libraries to preload,
    checked before anything is run or removed."""
    if not os.access(os.path.join(build, "bin", "clearswap"), os.X_OK):
        raise opts.UsageError("%s holds no build of the suite (no bin/clearswap)" % build)
    if options.callgrind and not shutil.which("valgrind"):
        raise opts.UsageError("--callgrind needs valgrind")
    driver = Driver(os.path.join(build, "bin"), os.path.join(build, "preload"), None,
                    timeout=options.timeout)
    preload_paths = [driver.library(name) for name in options.preload]
    missing = [path for path in preload_paths if not os.path.exists(path)]
    if missing:
        raise opts.UsageError("no library to preload: %s" % ", ".join(missing))
    return driver, preload_paths


def renderer_info(driver, env):
    """What clearswap --info prints under env in a window: renderer name,
    version, channel bits and smooth point size granularity and range (as text, like
    the rest but the bits); None if no context could be made. It gets a
    helper's time, since a busy machine can stall a process for a minute."""
    try:
        result = subprocess.run([os.path.join(driver.bin_dir, "clearswap"), "--info"],
                                env=driver.program_env(env), capture_output=True,
                                timeout=images.TOOL_SECONDS)
    except subprocess.TimeoutExpired:
        return None
    if result.returncode != 0:
        return None
    info = dict(re.findall(r"^(\w+): (.*)$", result.stdout.decode(errors="replace"), re.M))
    if "renderer" not in info:
        return None
    info["bits"] = [int(b) for b in info.get("bits", "8 8 8 0").split()]
    return info


# The fewest states a program's part holds: each part starts the program
# afresh, which costs about as much as driving it through a few states.
PART_STATES = 6
# The programs draw frame after frame whether or not anyone waits for one.
# Where several run at once they are started this much nicer than the
# report, so that driving and judging them keep their turn on the cores
# while the programs draw with the rest.
SIDE_BY_SIDE_NICENESS = 10


KIND = "window"
# Where the trace replays' pictures go in the report.
REPLAYS = "replay/"


class Window:
    """The window run's source of frames (see pipeline)."""

    no_context = "no GL context"

    def __init__(self, options, log):
        self.options, self.log = options, log
        self.driver, self.preload_paths = checked(options, os.path.abspath(options.build))
        self.tools = tuple(options.preload)
        self.description = None
        # Frame rates are measured with the machine to itself.
        self.jobs = 1 if options.costs else options.jobs
        self.servers, self.free, self.lock = [], [], threading.Lock()

    def __enter__(self):
        self.driver.display = self.started().display
        first = self.lane_driver()
        first.display = self.driver.display
        self.free.append(first)
        return self

    def lane_driver(self):
        """A driver for a lane, its display yet to be given. The driver of
        the renderer probes, the frame rates and the traces starts programs
        as they are."""
        return Driver(self.driver.bin_dir, self.driver.preload_dir, None,
                      timeout=self.driver.timeout,
                      niceness=SIDE_BY_SIDE_NICENESS if self.jobs > 1 else 0)

    def __exit__(self, *_):
        for server in self.servers:
            server.stop()

    def started(self):
        server = XServer()
        self.servers.append(server)
        return server

    @contextlib.contextmanager
    def lane(self):
        """A driver whose X server no other program uses meanwhile: a free
        one, or one on an X server started for it."""
        with self.lock:
            driver = self.free.pop() if self.free else None
        if driver is None:
            driver = self.lane_driver()
            with self.lock:
                driver.display = self.started().display
        try:
            yield driver
        finally:
            with self.lock:
                self.free.append(driver)

    def origin(self):
        """What it is, as report.json keeps it: the programs of one build."""
        return dict(kind=KIND, identity=None,
                    places=[os.path.dirname(self.driver.bin_dir)],
                    description=self.description)

    def positions(self):
        """Each state's place in the catalogue's order."""
        return {s.id: position for position, s in enumerate(
            s for name in st.NAMES for s in st.program_states(name))}

    def renderers(self):
        options = self.options
        return rd.choose(lambda env: renderer_info(self.driver, env), options.named,
                         options.renderer_names, options.fast)

    def programs(self):
        options = self.options
        chosen = []
        for program in st.NAMES:
            if options.program_names and program not in options.program_names:
                continue
            states = [s for s in st.program_states(program, options.fast)
                      if opts.selected(options, program, s.name)]
            if states:
                chosen.append((program, drive.built(self.driver, program), states))
        return chosen

    def texels(self):
        return judge.load_texels(self.driver.bin_dir,
                                 cache=judge.cache_folder(self.options.band_cache))

    def parts(self, states):
        """As many parts as there are jobs, of PART_STATES states at least,
        each a run of the program's states in their order."""
        count = max(1, min(self.jobs, len(states) // PART_STATES))
        size, more = divmod(len(states), count)
        cuts = [i * size + min(i, more) for i in range(count + 1)]
        return [states[a:b] for a, b in zip(cuts, cuts[1:]) if b > a]

    def take(self, renderer, program, states, on_picture):
        """One process after another through the states, on an X server of
        its own; each picture is judged on a second thread while the program
        is driven on. With --costs the frame rates are measured with the
        machine to itself: after the judging so far is done."""
        with self.lane() as driver, \
                concurrent.futures.ThreadPoolExecutor(max_workers=1) as worker:
            jobs = []
            records = drive.walk(driver, program, states, renderer.env, self.tools,
                                 self.log, lambda record: jobs.append(
                                     worker.submit(on_picture, record)),
                                 (lambda: [job.result() for job in jobs])
                                 if self.options.costs else None)
            for job in jobs:
                job.result()
        return records

    def again(self, renderer, state):
        with self.lane() as driver:
            record, run = drive.one_state(driver, state.program, state, renderer.env,
                                          self.tools)
        if run is not None:
            shutil.rmtree(run.workdir, ignore_errors=True)
        return record

    def command(self, renderer, state):
        """The per-state command under the renderer's environment, with the
        report's extra libraries preloaded."""
        env = dict(renderer.env)
        if self.preload_paths:
            env["LD_PRELOAD"] = ":".join(self.preload_paths)
        return " ".join(["%s=%s" % item for item in sorted(env.items())]
                        + [os.path.join(opts.ROOT, "scripts", "run-state"), "--build",
                           os.path.dirname(self.driver.bin_dir), state.program, state.name])

    def extras(self, report, lists, texels):
        """What a window run measures besides the states, as the options ask."""
        working = [r for r in report.renderers if r.info]
        if self.options.traces:
            self.record_traces(report, working, texels, lists)
        if not self.options.no_rates:
            self.measure_rates(report, working)
        if self.options.callgrind:
            for renderer in working:
                for program, built, _ in report.programs:
                    if built:
                        self.measure_instructions(report, renderer, program)

    def record_traces(self, report, working, texels, lists):
        """Every state's trace (but those in the skips list), recorded on the
        first renderer that works, then replayed on each; the replays run
        --jobs at a time, beside nothing else. The traces directory is then made a
        trace pack."""
        directory = os.path.join(report.out, "traces")
        if not working:
            return
        self.log("traces on %s" % working[0].name)
        # The replays' bands, the window run's own, go into the pack, for
        # its replays elsewhere to read rather than work out again.
        texels.keep_in(os.path.join(directory, trace_pack.BANDS))
        for program, built, states in report.programs:
            if built:
                for state in states:
                    if lists and lists.skip_pattern(test_name(program, state.name)):
                        continue
                    trace = traces.record(self.driver, state, working[0].env, self.tools,
                                          directory)
                    self.log("  %s %s" % (trace.path, trace.error or "%d bytes" % trace.size))
                    report.traces.append(trace)
        jobs = [(trace, renderer) for renderer in working for trace in report.traces
                if not trace.error]
        with concurrent.futures.ThreadPoolExecutor(max_workers=self.options.jobs) as pool:
            for trace, renderer, error in pool.map(
                    lambda job: replayed(report, directory, job[0], job[1], texels), jobs):
                if error:
                    self.log("  replay of %s on %s: %s" % (trace.path, renderer.name, error))
        traces.write_yaml(os.path.join(directory, "traces.yml"), report.traces, working)
        trace_pack.write(directory, report.traces, working[0], self.driver.bin_dir)

    def measure_rates(self, report, working):
        """Each program's start state against a clear-and-swap loop of the
        same window size, on every renderer that works: benchmark figures."""
        for renderer in working:
            for program, built, _ in report.programs:
                if not built:
                    continue
                try:
                    own, base, size = drive.measure_rates(
                        self.driver, program, renderer.env, self.tools,
                        1.0 if self.options.fast else 3.0)
                except Exception as error:      # noqa: BLE001 - a benchmark, not a verdict
                    self.log("%s on %s: no frame rate: %s" % (program, renderer.name, error))
                    continue
                report.rates[(program, renderer.name)] = (own, base, size)
                self.log("%s on %s: %.1f fps, clear-and-swap %.1f fps"
                         % (program, renderer.name, own, base))

    def measure_instructions(self, report, renderer, program):
        workdir = tempfile.mkdtemp(prefix="report-callgrind-")
        self.log("callgrind: %s on %s" % (program, renderer.name))
        try:
            dumps = callgrind.frames(self.driver, program, renderer.env, workdir,
                                     self.preload_paths)
            objects, functions = callgrind.per_frame(dumps)
        finally:
            shutil.rmtree(workdir, ignore_errors=True)
        report.instructions[(program, renderer.name)] = (len(dumps), objects, functions)


def replayed(report, directory, trace, renderer, texels):
    """Replays one trace on one renderer and keeps and judges the frame it
    draws as the pipeline does a state's own (under replay/), noting how
    far it is from the capture."""
    state = trace.state
    try:
        checksum, path = traces.replay(directory, trace, renderer)
    except RuntimeError as error:
        trace.error = str(error)
        return trace, renderer, error
    record = pipeline.Record(state)
    record.image, record.path, record.count = images.load(path), path, trace.frames
    verdict, _ = pipeline.kept(report, renderer, record, texels, under=REPLAYS)
    trace.checksums[renderer.name] = checksum
    trace.pictures[renderer.name] = pipeline.picture_name(renderer, state, REPLAYS) + ".png"
    trace.verdicts[renderer.name] = verdict
    captured = report.pictures.get((renderer.name, state.id))
    if captured and not st.program(state.program).moving:
        # A moving picture's replay shows another frame.
        trace.differences[renderer.name] = pictures.differing(
            record.image, images.load(os.path.join(report.out, captured[0])), report.tolerance)
    return trace, renderer, None
