"""Runs the unmodified programs on the report's private X server with the
program driver: the renderers at hand, pictures of each state, frame
counts, and the instructions of a frame under callgrind."""

import os
import re
import subprocess
import time

from progdriver import menus
from progdriver import programs as p

from . import states as st

# Mesa's Gallium drivers that GALLIUM_DRIVER can select for a window on a
# plain X server; each is tried, and kept only if the GL then names it.
GALLIUM_CANDIDATES = ("llvmpipe", "softpipe", "zink", "d3d12", "virpipe")

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))


def built(driver, program):
    return os.access(os.path.join(driver.bin_dir, program), os.X_OK)


# Renderers --------------------------------------------------------------------

def renderer_info(driver, env):
    """What clearswap --info prints under env: renderer name and channel
    bits; None if no context could be made."""
    try:
        result = subprocess.run([os.path.join(driver.bin_dir, "clearswap"), "--info"],
                                env=driver.program_env(env), capture_output=True, timeout=30)
    except subprocess.TimeoutExpired:
        return None
    if result.returncode != 0:
        return None
    info = dict(re.findall(r"^(\w+): (.*)$", result.stdout.decode(errors="replace"), re.M))
    if "renderer" not in info:
        return None
    info["bits"] = [int(b) for b in info.get("bits", "8 8 8 0").split()]
    return info


def detect_renderers(driver):
    """Every renderer at hand as (name, environment, info): the Gallium
    drivers that answer to their name, and the machine's default renderer
    when it is none of them."""
    found = []
    for gallium in GALLIUM_CANDIDATES:
        info = renderer_info(driver, {"GALLIUM_DRIVER": gallium})
        if info and info["renderer"].lower().startswith(gallium):
            found.append((gallium, {"GALLIUM_DRIVER": gallium}, info))
    default = renderer_info(driver, {})
    if default and not any(default["renderer"] == r[2]["renderer"] for r in found):
        found.append(("default", {}, default))
    return found


# Pictures ---------------------------------------------------------------------

def start_program(driver, program, env, tools):
    """Starts a program with the frame counter and the report's extra
    libraries preloaded; the clock at its fixed time."""
    if program == "tembrel":
        run = driver.start_at("tembrel", st.CLOCK_TIME, preload=tools, env=env)
    else:
        run = driver.start(program, preload=tools, env=env)
    title, _, place = next((q[1], q[2], q[3]) for q in st.PROGRAMS if q[0] == program)
    p.find_window(run, title)
    if place is not None:
        p.place(run, *place)
    return run


def capture_states(driver, program, states, env, tools, log, picture):
    """One run of the program through all its states, handing each state's
    picture and frame count to picture(state, image, count) as it comes;
    returns {state name: error} for the states that could not be reached.
    After a failure the run goes on with a fresh program."""
    errors, retried = {}, set()
    entries = st.menu_size(program)
    pending = list(states)
    while pending:
        run = None
        try:
            run = start_program(driver, program, env, tools)
            p.wait_swaps(run, 3)
            if program == "quenby":
                # The field moves every frame: let the stars leave their
                # first places, then stop it for the picture.
                p.wait_swaps(run, 10, timeout=60)
        except Exception as error:      # noqa: BLE001 - recorded per state
            if run is not None:
                p.kill(run)
            errors.update((s.name, "did not start: %s" % error) for s in pending)
            return errors
        try:
            current = dict(st.START.get(program, {}))

            def choose(row):
                menus.choose(run, row, entries)
                current[st.MENU[row][1]] = st.MENU[row][2]

            while pending:
                state = pending.pop(0)
                try:
                    # A menu state is its one choice, even of the entry
                    # already marked; a combination skips what is set.
                    for row in state.entries:
                        if not state.combination or current[st.MENU[row][1]] != st.MENU[row][2]:
                            choose(row)
                    p.wait_swaps(run, 3)
                    if program == "quenby":
                        image, count = p.freeze(run)
                    else:
                        image, count = p.capture(run), p.swaps(run)
                    picture(state, image, count)
                    for row in state.restore(pending[0] if pending else None):
                        choose(row)
                except Exception as error:      # noqa: BLE001 - recorded per state
                    # One more try with a fresh program: a loaded machine
                    # can miss a menu's opening.
                    if state.name in retried:
                        errors[state.name] = str(error)
                    else:
                        retried.add(state.name)
                        pending.insert(0, state)
                    log("  %s: %s" % (state.id, error))
                    break
                log("  %s" % state.id)
        finally:
            p.kill(run)
    return errors


# Frame rates --------------------------------------------------------------------

def frame_rate(run, seconds):
    """Frames per second counted from outside by the preloaded swap counter,
    after a few frames to settle."""
    p.wait_swaps(run, 5, timeout=60)
    first, begin = p.swaps(run), time.time()
    time.sleep(seconds)
    last, end = p.swaps(run), time.time()
    return (last - first) / (end - begin)


def measure_rates(driver, program, env, tools, seconds):
    """(program fps, clear-and-swap fps at the same window size)."""
    run = start_program(driver, program, env, tools)
    try:
        p.wait_swaps(run, 3)
        width, height = p.geometry(run)[2:]
        own = frame_rate(run, seconds)
    finally:
        p.kill(run)
    depth = next(q[4] for q in st.PROGRAMS if q[0] == program)
    args = [str(width), str(height)] + (["depth"] if depth else [])
    base = driver.start("clearswap", args, preload=tools, env=env)
    try:
        p.find_window(base, "Clearswap (Esc to exit)")
        p.place(base, 0, 0)
        baseline = frame_rate(base, seconds)
    finally:
        p.kill(base)
    return own, baseline, (width, height)


# Instructions per frame ---------------------------------------------------------

def callgrind_frames(driver, program, env, workdir, preload=(), frames=5, warmup=10,
                     timeout=300):
    """Runs the program under callgrind with one profile dump at the start of
    every glutSwapBuffers (one per frame in every program; glXSwapBuffers
    would match the GL dispatch stub as well), so each dump after the first
    holds one frame. The first frames compile llvmpipe's shaders and are left
    out; returns the paths of the next complete frame dumps. llvmpipe is
    asked to rasterise on the program's own thread, so no worker thread's
    work falls outside the frame it belongs to."""
    os.makedirs(workdir, exist_ok=True)
    out = os.path.join(workdir, "callgrind.out")
    command = ["valgrind", "--tool=callgrind", "--dump-before=glutSwapBuffers",
               "--callgrind-out-file=" + out, os.path.join(driver.bin_dir, program)]
    # The swap counter is left out (nothing counts frames here but the
    # dumps); the clock runs at its fixed time as in its picture.
    libs = list(preload)
    run_env = dict(env)
    if program == "tembrel":
        run_env.update(FAKETIME=st.CLOCK_TIME, FAKETIME_NO_CACHE="1",
                       FAKETIME_DONT_FAKE_MONOTONIC="1", TZ="UTC")
        libs.insert(0, p.FAKETIME_LIB)
    if libs:
        run_env["LD_PRELOAD"] = ":".join(libs)
    run_env["LP_NUM_THREADS"] = "0"
    with open(os.path.join(workdir, "valgrind.log"), "wb") as log:
        proc = subprocess.Popen(command, cwd=driver.bin_dir, env=driver.program_env(run_env),
                                stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    deadline = time.time() + timeout
    # Dumps are numbered from 1; dump n + 1 closes frame n.
    def dumps():
        return sorted((int(m.group(1)), f) for f in os.listdir(workdir)
                      for m in [re.match(r"callgrind\.out\.(\d+)$", f)] if m)
    try:
        while len(dumps()) < warmup + frames + 2 and time.time() < deadline \
                and proc.poll() is None:
            time.sleep(0.5)
    finally:
        proc.kill()
        proc.wait()
    # The newest dump may be half written.
    done = dumps()[1 + warmup:-1]
    return [os.path.join(workdir, f) for _, f in done][:frames]


def parse_callgrind(path):
    """Self cost (instructions) per ELF object in one callgrind dump. The
    line after a "calls=" line is the inclusive cost of that call, which the
    callee's own lines already count, so it is skipped."""
    names, costs = {}, {}
    current, skip = None, False
    with open(path, errors="replace") as f:
        for line in f:
            if skip:
                skip = False
                continue
            if line.startswith("ob="):
                current = object_name(names, line[3:].strip())
            elif line.startswith("calls="):
                skip = True
            elif line.startswith(("cob=", "cfi=", "cfl=", "cfn=")):
                if line.startswith("cob="):
                    object_name(names, line[4:].strip())
            elif line[:1].isdigit() or line[:1] in "+-*":
                parts = line.split()
                if len(parts) >= 2 and current is not None:
                    costs[current] = costs.get(current, 0) + int(parts[1])
    return costs


def object_name(names, text):
    """Callgrind compresses names: "(3) /path" the first time, "(3)" after."""
    match = re.match(r"\((\d+)\)\s*(.*)$", text)
    if not match:
        return text
    if match.group(2):
        names[match.group(1)] = match.group(2)
    return names.get(match.group(1), text)
