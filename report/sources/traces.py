"""Every state as a replayable apitrace trace, for driver CI's trace jobs:
each state recorded once in a process of its own (start, the menu choice, a
few frames, Esc, or the clock at its fixed time), cut to the frames it
needs, and replayed headless with piglit's replayer on every renderer of the
run, which gives the checksum of the last frame that traces.yml expects for
that renderer's device, and the picture that the state's model judges."""

import glob
import json
import os
import re
import shutil
import subprocess
import tempfile

from ..options import within
from . import drive, retrace

# The frames a trace keeps: the first, which makes the context and the
# textures, and the last few, which show the state; each frame of the
# programs sends the whole render state again.
LAST_FRAMES = 3
DEVICES = {"llvmpipe": "gl-vmware-llvmpipe", "softpipe": "gl-vmware-softpipe",
           "zink": "gl-zink", "virpipe": "gl-virgl", "d3d12": "gl-d3d12"}
SYSTEM_PYTHON = "/usr/bin/python3"


def device_name(renderer_name):
    """The replayer's name for a renderer's device, as trace CI names them."""
    return DEVICES.get(renderer_name, "gl-" + renderer_name)


def replayer():
    """piglit's replayer and its source directory, or (None, None)."""
    found = sorted(glob.glob("/usr/lib/*/piglit/bin/replayer.py"))
    if not found:
        return None, None
    return found[0], os.path.dirname(os.path.dirname(found[0]))


class Trace:
    """A state's trace: its path under the traces directory, its size, the
    frames the program drew, and per renderer the replay's checksum,
    picture and verdict."""

    def __init__(self, state, path):
        self.state = state
        self.path = path                # relative to the traces directory
        self.size = 0
        self.frames = 0
        self.last_call = None           # the call number of the kept last frame's swap
        self.error = ""
        self.checksums = {}             # renderer -> md5 of the last frame
        self.pictures = {}              # renderer -> picture path, relative to the report
        self.verdicts = {}              # renderer -> Verdict of the replayed frame
        self.differences = {}           # renderer -> pixels that differ from the capture


def record(driver, state, env, tools, directory):
    """Records one state under apitrace into directory/<program>/<state>.trace."""
    trace = Trace(state, "%s/%s.trace" % (state.program, state.name))
    result, run = drive.one_state(driver, state.program, state, env, tools, trace=True)
    try:
        if result.status is not None:
            trace.error = "%s while recording: %s" % (result.status, result.note)
            return trace
        target = within(directory, trace.path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        trace.frames = swap_count(run.file("calls.trace"))
        keep = "0" if trace.frames <= 1 else "0,%d-%d" % (max(1, trace.frames - LAST_FRAMES),
                                                           trace.frames - 1)
        trimmed = subprocess.run(["apitrace", "trim", "--frames=" + keep, "-o", target,
                                  run.file("calls.trace")], capture_output=True, timeout=120)
        if trimmed.returncode != 0:
            trace.error = "apitrace trim failed: %s" % trimmed.stderr.decode(errors="replace")
            return trace
        trace.size = os.path.getsize(target)
        swaps = swap_calls(target)
        trace.last_call = swaps[-1] if swaps else None
        return trace
    finally:
        # The whole trace, some thousand frames, stays behind only trimmed.
        if run is not None:
            shutil.rmtree(run.workdir, ignore_errors=True)


def swap_count(path):
    """The complete frames of a trace: its buffer swaps."""
    return len(swap_calls(path))


def swap_calls(path):
    """The call numbers of a trace's complete buffer swaps, in order: where
    its frames end, and where the replayer takes a frame's picture."""
    listing = subprocess.run(["apitrace", "dump", "--calls=frame", path], capture_output=True,
                             timeout=120).stdout.decode(errors="replace")
    return [int(line.split()[0]) for line in listing.split("\n")
            if "SwapBuffers(" in line and "// incomplete" not in line
            and line.split()[0].isdigit()]


def replay(directory, trace, renderer):
    """Replays a trace headless on a renderer with the replayer's own
    comparison, against a checksum no frame has, which makes it print the
    frame's checksum and keep its picture. Returns the checksum and the
    picture, a temporary file for the caller to move on; or raises
    RuntimeError with the replayer's output."""
    script, source = replayer()
    if script is None:
        raise RuntimeError("piglit's replayer is not installed")
    results = tempfile.mkdtemp(prefix="replay-")
    env = retrace.environment(renderer.env)
    env["PIGLIT_SOURCE_DIR"] = source
    try:
        done = subprocess.run([SYSTEM_PYTHON, script, "compare", "trace",
                               "-d", device_name(renderer.name), "-p", directory,
                               "-o", results, trace.path, "none"],
                              env=env, capture_output=True, timeout=300)
        output = done.stdout.decode(errors="replace")
        checksum = re.search(r"actual: ([0-9a-f]{32})", output)
        line = re.search(r"^PIGLIT: (.*)$", output, re.M)
        picture = json.loads(line.group(1))["images"][0]["image_render"] if line else None
        if not checksum or not picture:
            raise RuntimeError("the replay gave no frame: %s" % (output + done.stderr.decode(
                errors="replace"))[-1500:])
        kept = tempfile.mkstemp(prefix="replay-", suffix=".png")[1]
        shutil.move(picture, kept)
        return checksum.group(1), kept
    finally:
        shutil.rmtree(results, ignore_errors=True)


def yaml_form():
    """The form of traces.yml that the installed replayer reads: "devices"
    (Debian 13's piglit: traces: a mapping of each path to its devices, each
    with its checksum) or "list" (Debian 12's: traces: a list of path and
    expectations, each a device and its checksum); told by asking it for a
    device's traces and checksums (query traces -c, which both read alike)
    written in the first form. "devices" where there is no replayer."""
    script, source = replayer()
    if script is None:
        return "devices"
    with tempfile.TemporaryDirectory(prefix="traces-yml-") as directory:
        probe = os.path.join(directory, "traces.yml")
        with open(probe, "w") as f:
            f.write('traces:\n  "probe.trace":\n    "gl-probe":\n      checksum: "probe"\n')
        env = dict(os.environ, PIGLIT_SOURCE_DIR=source)
        done = subprocess.run([SYSTEM_PYTHON, script, "query", "-y", probe, "traces",
                               "-d", "gl-probe", "-c"], env=env,
                              capture_output=True, text=True, timeout=120)
    return "devices" if done.stdout.split() == ["probe.trace", "probe"] else "list"


def write_yaml(path, traces, renderers):
    """traces.yml in the description format of the installed replayer (see
    yaml_form), with each trace's expected checksum on every renderer that
    replayed it. Paths and checksums are quoted: a checksum of digits alone
    would read as a number."""
    expected = [(trace.path, [(device_name(r.name), trace.checksums[r.name])
                              for r in renderers if r.name in trace.checksums])
                for trace in traces if trace.checksums]
    lines = ["traces:"]
    if yaml_form() == "devices":
        for trace_path, checksums in expected:
            lines.append("  %s:" % json.dumps(trace_path))
            for device, checksum in checksums:
                lines += ["    %s:" % json.dumps(device),
                          "      checksum: %s" % json.dumps(checksum)]
    else:
        for trace_path, checksums in expected:
            lines += ["  - path: %s" % json.dumps(trace_path), "    expectations:"]
            for device, checksum in checksums:
                lines += ["      - device: %s" % json.dumps(device),
                          "        checksum: %s" % json.dumps(checksum)]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
