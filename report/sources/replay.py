"""Frames from a trace pack (scripts/report --replay PACK): every trace
replayed headless, --jobs at a time, on every renderer detected on EGL's
surfaceless platform or named with --renderer, with no build, no program
and no X server; a replayer that dies or hangs gives the state a crash or
a timeout.

What a renderer says of itself comes from piglit's glinfo, run on the
surfaceless platform under its environment, and its smooth point sizes
from report.sources.pointsize, run the same way. There Mesa takes GALLIUM_DRIVER
into account only on its software path: where a driver does not answer to
GALLIUM_DRIVER alone (zink, say, on a machine whose only Vulkan driver is
lavapipe, or llvmpipe on a machine with a GPU), LIBGL_ALWAYS_SOFTWARE=1 is
tried with it."""

import glob
import os
import re
import subprocess
import sys

from expected import judge
from progdriver import images

from .. import options as opts
from .. import renderers as rd
from ..backends import profile
from ..pipeline import EIGHT_BITS
from . import retrace
from .pack import PackError, load

def checked(options):
    """The pack that --replay names; a folder that is none is a usage
    error."""
    try:
        return load(os.path.abspath(options.replay))
    except PackError as error:
        raise opts.UsageError(str(error))


def glinfo():
    found = sorted(glob.glob("/usr/lib/*/piglit/bin/glinfo"))
    return found[0] if found else None


def renderer_info(env):
    """GL_RENDERER, GL_VERSION and GL_VENDOR under env on the surfaceless
    platform, as a Renderer's info, with the replayer's 8-bit channels; None
    where no context can be made."""
    program = glinfo()
    if program is None:
        raise rd.RendererError("piglit's glinfo is not installed (Debian's piglit)")
    full = retrace.environment(env)
    full["PIGLIT_PLATFORM"] = "surfaceless_egl"
    try:
        done = subprocess.run([program, "-auto"], env=full, capture_output=True,
                              timeout=images.TOOL_SECONDS)
    except subprocess.TimeoutExpired:
        return None
    said = dict(re.findall(r"^(GL_RENDERER|GL_VERSION|GL_VENDOR) = (.*)$",
                           done.stdout.decode(errors="replace"), re.M))
    if done.returncode != 0 or "GL_RENDERER" not in said:
        return None
    info = {"renderer": said["GL_RENDERER"], "version": said.get("GL_VERSION", ""),
            "vendor": said.get("GL_VENDOR", ""), "bits": list(EIGHT_BITS)}
    info.update(point_sizes(full))
    return info


def point_sizes(env):
    """The renderer's smooth point size granularity and range as clearswap
    --info gives them (text), asked on the surfaceless platform under env
    (report.sources.pointsize); nothing where it does not say."""
    try:
        done = subprocess.run([sys.executable, "-m", "report.sources.pointsize"],
                              env=dict(env, PYTHONPATH=opts.ROOT), capture_output=True,
                              timeout=images.TOOL_SECONDS)
    except subprocess.TimeoutExpired:
        return {}
    if done.returncode != 0:
        return {}
    return dict(re.findall(r"^(point_granularity|point_range): ([0-9.e+ -]+)$",
                           done.stdout.decode(errors="replace"), re.M))


def software_too(name):
    return [{"GALLIUM_DRIVER": name}, {"GALLIUM_DRIVER": name, "LIBGL_ALWAYS_SOFTWARE": "1"}]


KIND = "replay"


class Replay:
    """The trace pack's source of frames (see pipeline)."""

    no_context = "no GL context on the surfaceless platform"

    def __init__(self, options, pack, log):
        self.options, self.pack, self.log = options, pack, log
        self.jobs = options.jobs
        self.description = "trace pack %s: %d traces recorded on %s, replayed headless" % (
            pack.directory, len(pack.entries), pack.recorded.get("renderer", "?"))

    def __enter__(self):
        return self

    def __exit__(self, *_):
        pass

    def origin(self):
        """What it is, as report.json keeps it: a replay of one pack."""
        return dict(kind=KIND, identity=self.pack.identity(), places=[self.pack.directory],
                    description=self.description)

    def positions(self):
        """Each state's place in the pack's order."""
        return {e.id: position for position, e in enumerate(
            e for _, entries in self.pack.programs() for e in entries)}

    def renderers(self):
        options = self.options
        return rd.choose(renderer_info, options.named, options.renderer_names, options.fast,
                         software_too, "no renderer could make a GL context on the "
                         "surfaceless platform")

    def programs(self):
        chosen = []
        for program, in_pack in self.pack.programs():
            states = [e.as_state() for e in in_pack
                      if opts.selected(self.options, program, e.state)]
            if states:
                chosen.append((program, True, states))
        return chosen

    def texels(self):
        return self.pack.texels(cache=judge.cache_folder(self.options.band_cache))

    def parts(self, states):
        """A replayer per trace: nothing is shared between them."""
        return [[state] for state in states]

    def take(self, renderer, program, states, on_picture):
        records = []
        for state in states:
            records.append(self.again(renderer, state))
            if records[-1].status is None:
                on_picture(records[-1])
        return records

    def again(self, renderer, state):
        return retrace.replay(self.pack, self.pack.entry(state.program, state.name),
                              renderer.env, self.options.timeout)

    def command(self, renderer, state):
        """The per-trace command under the renderer's environment."""
        return " ".join(["%s=%s" % item for item in sorted(renderer.env.items())]
                        + [profile.PACK_COMMAND, self.pack.directory, state.program,
                           state.name])

    def extras(self, report, lists, texels):
        pass
