"""A frame's instructions, counted by callgrind: the program runs under
valgrind with one profile dump per buffer swap, and each complete frame's
dump is read back as its self cost by ELF object and by function.
Instruction counts repeat exactly for the same binary and input, whatever
else the machine does, where timings do not."""

import os
import re
import subprocess
import time

from progdriver import programs as p

from .. import catalogue as st

def frames(driver, program, env, workdir, preload=(), frames=5, warmup=10,
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
    if st.program(program).clock:
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


def parse(path):
    """Self cost (instructions) by ELF object, and by (object, function), in
    one callgrind dump. The line after a "calls=" line is the inclusive cost
    of that call, which the callee's own lines already count, so it is
    skipped."""
    names = {}
    objects, functions = {}, {}
    current_object = current_function = None
    skip = False
    with open(path, errors="replace") as f:
        for line in f:
            if skip:
                skip = False
                continue
            if line.startswith("ob="):
                current_object = compressed(names, "ob", line[3:].strip())
            elif line.startswith("fn="):
                current_function = compressed(names, "fn", line[3:].strip())
            elif line.startswith("calls="):
                skip = True
            elif line.startswith(("cob=", "cfn=")):
                # A callee's name may be given in full here the first time.
                compressed(names, line[1:3], line[4:].strip())
            elif line[:1].isdigit() or line[:1] in "+-*":
                parts = line.split()
                if len(parts) >= 2 and current_object is not None:
                    cost = int(parts[1])
                    objects[current_object] = objects.get(current_object, 0) + cost
                    key = (current_object, current_function)
                    functions[key] = functions.get(key, 0) + cost
    return objects, functions


def compressed(names, kind, text):
    """Callgrind compresses names: "(3) name" the first time, "(3)" after;
    objects and functions are numbered apart."""
    match = re.match(r"\((\d+)\)\s*(.*)$", text)
    if not match:
        return text
    if match.group(2):
        names[(kind, match.group(1))] = match.group(2)
    return names.get((kind, match.group(1)), text)


def per_frame(dumps):
    """The mean self cost per frame over the dumps, by object and by
    function."""
    objects, functions = {}, {}
    for path in dumps:
        o, f = parse(path)
        for total, part in ((objects, o), (functions, f)):
            for key, cost in part.items():
                total[key] = total.get(key, 0) + cost
    n = max(1, len(dumps))
    return ({k: v / n for k, v in objects.items()}, {k: v / n for k, v in functions.items()})
