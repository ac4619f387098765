"""One trace of a pack replayed headless and judged: apitrace's eglretrace
on EGL's surfaceless platform (through waffle, WAFFLE_PLATFORM=surfaceless_egl),
with no display and no X server, under a renderer's environment, taking a
picture of the last frame at its buffer swap; the state's model judges it.
A replayer that dies is a crash, one that draws no frame in time a timeout.

Only eglretrace runs: piglit's replayer would run it too, after an apitrace
dump of its own to find the last frame, which the pack already knows."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

from expected import judge, probes
from progdriver import images
from progdriver.programs import describe_status

from .. import pictures
from ..outcome import CRASH, TIMEOUT, Outcome, detail

RETRACE = "eglretrace"
# The replayer draws into an 8-bit RGBA surface of its own, and its
# pictures are 8-bit: the tolerance of 8-bit channels.
BITS = [8, 8, 8, 0]
TOLERANCE = probes.tolerance(BITS)


def environment(env):
    """The replayer's environment: the caller's without a display, the
    renderer's, and the surfaceless platform."""
    full = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    full.update(env)
    full["WAFFLE_PLATFORM"] = "surfaceless_egl"
    return full


def replay(pack, entry, env, picture_path, timeout):
    """Replays a pack's trace under env and keeps its last frame at
    picture_path: an Outcome whose status is None when the picture was
    taken (to be judged), else CRASH or TIMEOUT, with the replayer's output."""
    outcome = Outcome(None)
    outcome.start = time.time()
    workdir = tempfile.mkdtemp(prefix="retrace-")
    command = [RETRACE, "--headless", "--snapshot=%d" % entry.last_call,
               "--snapshot-prefix=" + os.path.join(workdir, ""), pack.trace_path(entry)]
    try:
        proc = subprocess.Popen(command, env=environment(env), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                start_new_session=True)
        outcome.pid = proc.pid
        timed_out = False
        try:
            out, err = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            timed_out = True
            os.killpg(proc.pid, signal.SIGKILL)
            out, err = proc.communicate()
        outcome.out, outcome.err = (s.decode(errors="replace") for s in (out, err))
        outcome.returncode = proc.returncode
        snapshot = os.path.join(workdir, "%010d.png" % entry.last_call)
        if timed_out:
            how = "no frame within %g s: the replayer was killed" % timeout
            outcome.status, outcome.note = TIMEOUT, how
        elif proc.returncode != 0 or not os.path.exists(snapshot):
            how = ("the replayer ended %s" % describe_status(proc.returncode)
                   if proc.returncode else "the replay drew no frame at call %d"
                   % entry.last_call)
            outcome.status, outcome.note = CRASH, how
        else:
            os.makedirs(os.path.dirname(picture_path), exist_ok=True)
            shutil.move(snapshot, picture_path)
        if outcome.status is not None:
            outcome.detail = detail(outcome.note, outcome.err)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
        outcome.end = time.time()
    return outcome


def judged(pack, entry, env, picture_path, timeout, texels, tol=TOLERANCE, out=None):
    """Replays a trace and judges its last frame with the state's model: the
    final Outcome (PASS or FAIL with the verdict's probes and pixel counts,
    else CRASH or TIMEOUT). With out, the report directory, the frame gets
    its thumbnail and the verdict's expected picture and mismatch mask are
    kept beside it, as a window run keeps them, in the outcome's pictures."""
    outcome = replay(pack, entry, env, picture_path, timeout)
    if outcome.status is None:
        verdict = judge.judge(entry.program, entry.settings, images.load(picture_path),
                              entry.frames, tol, texels)
        outcome.status, outcome.note = verdict.status, verdict.note
        outcome.probes, outcome.checked = list(verdict.probes), verdict.checked
        outcome.judged, outcome.differing = verdict.judged, verdict.differing
        outcome.worst = verdict.worst
        if out is not None:
            pictures.add_thumbnail(picture_path)
            name = os.path.splitext(os.path.relpath(picture_path, out))[0]
            made = pictures.save_verdict(verdict, out, name)
            outcome.pictures = {kind: os.path.relpath(path, out) for kind, path in made.items()}
        outcome.end = time.time()
    return outcome
