"""Runs the unmodified programs on the report's private X server with the
program driver: each program through its states, one process after another
(or one state in a process of its own), with what became of every state, and
the frame rates of the programs and of a clear-and-swap baseline."""

import os
import shutil
import subprocess

from progdriver import menus
from progdriver import programs as p

from .. import catalogue as st
from ..outcome import CRASH, FAIL, SKIP, TIMEOUT, detail
from ..pipeline import Record

# A state's cost: the median frame rate of three windows of 0.3 s at least,
# whose spread shows the noise. A freshly started program (and X server)
# speeds up over its first second or two, so a process draws that long
# before its first state is timed.
COST_WINDOWS = 3
COST_SECONDS = 0.3
WARM_UP_SECONDS = 1.5
# How long a program that crashed may take in its crash handler, where gdb
# writes its backtrace, before it is taken for hung there: a second or two
# on an idle machine, much more on a busy one.
CRASH_HANDLER_SECONDS = 60


def built(driver, program):
    return os.access(os.path.join(driver.bin_dir, program), os.X_OK)


# Pictures ---------------------------------------------------------------------

def start_program(driver, program, env, tools, trace=False):
    """Starts a program with the frame counter, the crash tracer (where gdb
    is at hand) and the report's extra libraries preloaded, under apitrace
    if asked; the clock at its fixed time. Returns the run once its window
    is placed and it has drawn a few frames."""
    record = st.program(program)
    env = dict(env)
    gdb = shutil.which("gdb")
    if gdb:
        env["CRASHTRACE_GDB"] = gdb
    tools = ("swapcount", "crashtrace") + tuple(tools)
    if record.clock:
        run = driver.start_at(program, st.CLOCK_TIME, preload=tools, env=env, trace=trace)
    else:
        run = driver.start(program, preload=tools, env=env, trace=trace)
    try:
        p.find_window(run, record.title)
        if record.place is not None:
            p.place(run, *record.place)
        p.wait_swaps(run, 3)
        if record.moving:
            # The picture moves every frame: let it leave its first frames
            # before the picture.
            p.wait_swaps(run, 10)
    except Exception as error:
        if not isinstance(error, p.ProgramEnded):
            p.kill(run)
        error.run = run
        raise
    return run


def enter(run, current, state, record):
    """Brings a running program from where it is (current, its menu
    settings) to the state and lets it draw a few frames there. A menu state
    is its one choice, even of the entry already marked; a combination
    skips what is set."""
    record.pid = run.proc.pid
    record.marks = p.output_marks(run)
    for row in state.entries:
        if not state.combination or current[st.MENU[row][1]] != st.MENU[row][2]:
            choose(run, current, row)
    p.wait_swaps(run, 3)


def take(run, record):
    """The state's picture and frame count; a moving picture's from the
    stopped program."""
    if st.program(run.program).moving:
        record.image, record.count = p.freeze(run)
    else:
        record.image, record.count = p.capture(run), p.swaps(run)


def choose(run, current, row):
    menus.choose(run, row, st.menu_size(run.program))
    current[st.MENU[row][1]] = st.MENU[row][2]


def walk(driver, program, states, env, tools, log, picture, quiet=None):
    """Takes the program through every state, handing each picture to
    picture(record) as it comes; returns a Record per state. Given quiet, a
    function that returns once the caller's own work is done, the frame
    rate in each state is measured too, before the picture, with the
    machine to itself. One process serves state after state; a crash or a
    hang ends it, and the next state starts a fresh one. Any other trouble
    (a lost click, say) gets one more try in a fresh process. Each process
    ends with Esc, and must then end with status 1: another end counts
    against its last state."""
    pending = list(states)
    records, retried = [], set()
    run = current = last = None
    while pending:
        state = pending.pop(0)
        record = Record(state)
        try:
            if run is None:
                last = None
                run = start_program(driver, program, env, tools)
                current = dict(st.START.get(program, {}))
                if quiet is not None:
                    p.frame_rates(run, 1, WARM_UP_SECONDS)
            enter(run, current, state, record)
            if quiet is not None:
                quiet()
                record.rates = p.frame_rates(run, COST_WINDOWS, COST_SECONDS)
            take(run, record)
            picture(record)
            for row in state.restore(pending[0] if pending else None):
                choose(run, current, row)
            keep_output(record, run)
            record.settle()
            last = record
        except Exception as error:      # noqa: BLE001 - settled per state
            failed(record, getattr(error, "run", run), error)
            run = None
            if record.status == FAIL and state.name not in retried:
                retried.add(state.name)
                pending.insert(0, state)
                log("  %s: %s; once more" % (state.id, error))
                continue
        records.append(record)
        log("  %s%s" % (state.id, " " + record.status if record.status else ""))
        if run is not None and not pending:
            finish(run, last)
    return records


def one_state(driver, program, state, env, tools, trace=False):
    """One state in a process of its own, from start to Esc, as the piglit
    profile and the trace recording want it: (Record, the run). Trouble
    driving it gets one more try."""
    for attempt in range(2):
        record = Record(state)
        run = None
        try:
            run = start_program(driver, program, env, tools, trace)
            enter(run, dict(st.START.get(program, {})), state, record)
            take(run, record)
            keep_output(record, run)
            record.settle()
            finish(run, record)
            return record, run
        except Exception as error:      # noqa: BLE001 - settled as the state's status
            run = getattr(error, "run", run)
            failed(record, run, error)
            if record.status != FAIL or attempt:
                return record, run


def failed(record, run, error):
    """Settles a state whose driving raised error. A program that ended is a
    crash, or a skip where it never showed its window and freeglut said why
    (no visual, no context); so is one that made no progress because it
    crashed and sat in its crash handler, once it ends; one that made no
    progress otherwise is killed and times out; other trouble (the
    driving's, not the program's) fails the state. The run is over either
    way."""
    if isinstance(error, p.ProgramEnded):
        keep_output(record, error.run)
        ended(record, error.run)
        return
    if isinstance(error, p.NoProgress) and run is not None and crashed(run):
        keep_output(record, run)
        ended(record, run)
        return
    if run is not None:
        keep_output(record, run)
        p.kill(run)
    if isinstance(error, p.NoProgress):
        record.settle(TIMEOUT, str(error), detail(str(error), record.err))
    else:
        record.settle(FAIL, "could not be driven: %s" % error)


def ended(record, run):
    """A program that ended under way."""
    record.returncode = run.proc.returncode
    text = p.stderr(run)
    reason = [line for line in text.split("\n") if line.startswith("freeglut")]
    if run.window is None and record.returncode == 1 and reason:
        record.settle(SKIP, "the renderer cannot run the program: %s" % reason[-1])
        return
    how = "ended %s" % p.describe_status(record.returncode)
    record.settle(CRASH, how, detail(how, text, gdb_output(run)))


def crashed(run):
    """Whether a program that stopped making progress did so because it
    crashed: its crash handler, holding it while gdb writes the backtrace,
    has begun the backtrace file. The program is then waited for, and has
    ended once this says so; one that stays in the handler is no crash
    (yet) and is left to the caller."""
    if not os.path.exists(run.file("crash")):
        return False
    try:
        run.proc.wait(timeout=CRASH_HANDLER_SECONDS)
    except subprocess.TimeoutExpired:
        return False
    return True


def gdb_output(run):
    try:
        with open(run.file("crash"), errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def keep_output(record, run):
    """The program's output while the state was shown; all of it for a
    program that ended before the state began."""
    record.out, record.err = p.output_since(run, record.marks or (0, 0))


def finish(run, last):
    """Ends a process with Esc; a hang or an end other than status 1 is
    held against the last state it showed."""
    try:
        status = p.quit(run)
    except p.NoProgress as error:
        if not crashed(run):
            if last is not None:
                how = "after Esc: %s" % error
                last.settle(TIMEOUT, how, detail(how, p.stderr(run)))
            return
        status = run.proc.returncode
    except p.ProgramEnded as error:
        status = error.status
    if status != 1 and last is not None:
        last.returncode = status
        how = "ended %s after Esc" % p.describe_status(status)
        last.settle(CRASH, how, detail(how, p.stderr(run), gdb_output(run)))


# Frame rates --------------------------------------------------------------------

def frame_rate(run, seconds):
    """Frames per second counted from outside by the preloaded swap counter,
    after a few frames to settle."""
    p.wait_swaps(run, 5)
    return p.frame_rates(run, 1, seconds)[0]


def measure_rates(driver, program, env, tools, seconds):
    """(program fps, clear-and-swap fps at the same window size)."""
    run = start_program(driver, program, env, tools)
    try:
        width, height = p.geometry(run)[2:]
        own = frame_rate(run, seconds)
    finally:
        p.kill(run)
    args = [str(width), str(height)] + (["depth"] if st.program(program).depth else [])
    base = driver.start("clearswap", args, preload=("swapcount",) + tuple(tools), env=env)
    try:
        p.find_window(base, "Clearswap (Esc to exit)")
        p.place(base, 0, 0)
        baseline = frame_rate(base, seconds)
    finally:
        p.kill(base)
    return own, baseline, (width, height)
