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

from progdriver import images
from progdriver.programs import describe_status

from ..outcome import CRASH, TIMEOUT, detail
from ..pipeline import Record

RETRACE = "eglretrace"


def environment(env):
    """The replayer's environment: the caller's without a display, the
    renderer's, and the surfaceless platform."""
    full = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    full.update(env)
    full["WAFFLE_PLATFORM"] = "surfaceless_egl"
    return full


def replay(pack, entry, env, timeout):
    """Replays a pack's trace under env: the state's Record, with the
    picture where one was taken (its image, and its file, a temporary one
    for the caller to move on or remove), else CRASH or TIMEOUT, with the
    replayer's output."""
    workdir = tempfile.mkdtemp(prefix="retrace-")
    try:
        return replayed(pack, entry, env, timeout, workdir)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


def replayed(pack, entry, env, timeout, workdir):
    record = Record(entry.as_state())
    record.count = entry.frames
    command = [RETRACE, "--headless", "--snapshot=%d" % entry.last_call,
               "--snapshot-prefix=" + os.path.join(workdir, ""), pack.trace_path(entry)]
    proc = subprocess.Popen(command, env=environment(env), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            start_new_session=True)
    record.pid = proc.pid
    timed_out = False
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        timed_out = True
        os.killpg(proc.pid, signal.SIGKILL)
        out, err = proc.communicate()
    record.out, record.err = (s.decode(errors="replace") for s in (out, err))
    record.returncode = proc.returncode
    snapshot = os.path.join(workdir, "%010d.png" % entry.last_call)
    if timed_out:
        how = "no frame within %g s: the replayer was killed" % timeout
        record.settle(TIMEOUT, how, detail(how, record.err))
    elif proc.returncode != 0 or not os.path.exists(snapshot):
        how = ("the replayer ended %s" % describe_status(proc.returncode)
               if proc.returncode else "the replay drew no frame at call %d" % entry.last_call)
        record.settle(CRASH, how, detail(how, record.err))
    else:
        record.image = images.load(snapshot)
        record.path = tempfile.mkstemp(prefix="retrace-", suffix=".png")[1]
        shutil.move(snapshot, record.path)
        record.settle()
    return record
