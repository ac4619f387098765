"""A trace pack: the traces directory of a --traces run made whole, so that
a copy of it is judged on any machine with a checkout of the suite and
Debian's apitrace and piglit, and no build of the programs. Beside the
traces (<program>/<state>.trace) and traces.yml it holds

  pack.json           per trace its test name, program, state, the settings
                      its model needs, the frames the program had drawn
                      (the starfield's model counts them) and the call of the
                      last frame's buffer swap, where the replay's picture is
                      taken; and the renderer it was recorded on
  textures/           the texture files the models read
  bands/              the bands the models worked out for the recording
                      run's replays, named by all they depend on: a
                      cache, read by a replay (expected.judge), which
                      works out any band missing there or not whole
  vorn-replay.xml.gz  a piglit profile, one test per trace (see profile)
  README.md           what the pack is and how to judge it

A folder without a readable pack.json, one whose names and paths are not
the suite's own (report.inputs: a pack comes from another machine), or one
whose traces are missing, is no pack (PackError)."""

import glob
import hashlib
import json
import os
import shutil
import time

from expected import judge

from .. import catalogue as st
from .. import inputs, jsonfile
from .. import options as opts
from ..names import test_name
from ..options import within
from ..backends import profile

PACK_FILE = "pack.json"
FORMAT = 1
TEXTURES = "textures"
BANDS = "bands"
README = "README.md"


class PackError(ValueError):
    """A folder that is no trace pack, or a broken one."""


class Entry:
    """One trace of a pack and the state it shows."""

    FIELDS = ("test", "program", "state", "label", "settings", "entries", "combination",
              "path", "frames", "last_call", "size")

    def __init__(self, **fields):
        for name in self.FIELDS:
            setattr(self, name, fields[name])

    @property
    def id(self):
        return "%s/%s" % (self.program, self.state)

    def as_state(self):
        """The state as the report's other parts know it."""
        return st.State(self.program, self.state, self.label, self.entries, self.settings,
                        self.combination)

    def to_json(self):
        return {name: getattr(self, name) for name in self.FIELDS}


class Pack:
    def __init__(self, directory, entries, recorded):
        self.directory = directory
        self.entries = entries          # [Entry], the recording's order
        self.recorded = recorded        # renderer, GL_RENDERER, environment, time

    def trace_path(self, entry):
        return os.path.join(self.directory, entry.path)

    def texels(self, cache=None):
        """The models' textures, with the pack's bands to read and the
        band cache (a folder or None)."""
        bands = os.path.join(self.directory, BANDS)
        return judge.load_texels(os.path.join(self.directory, TEXTURES), cache,
                                 bands if os.path.isdir(bands) else None)

    def programs(self):
        """[(program, [Entry])] in the suite's order of programs."""
        order = st.NAMES
        names = sorted({e.program for e in self.entries},
                       key=lambda p: order.index(p) if p in order else len(order))
        return [(p, [e for e in self.entries if e.program == p]) for p in names]

    def entry(self, program, state):
        return next((e for e in self.entries if (e.program, e.state) == (program, state)), None)

    def identity(self):
        """The SHA-256 of its pack.json, which names every trace with its
        size, frames and last call, and when it was recorded."""
        with open(os.path.join(self.directory, PACK_FILE), "rb") as f:
            return hashlib.sha256(f.read()).hexdigest()


def entry_of(trace):
    """A recorded traces.Trace as a pack entry."""
    state = trace.state
    return Entry(test=test_name(state.program, state.name), program=state.program,
                 state=state.name, label=state.label, settings=state.settings,
                 entries=state.entries, combination=state.combination, path=trace.path,
                 frames=trace.frames, last_call=trace.last_call, size=trace.size)


def write(directory, traces, renderer, bin_dir, profile_command=profile.PACK_COMMAND):
    """Makes the traces directory of a run a pack: pack.json of the traces
    that were recorded, the texture files of the build, the README and the
    piglit profile."""
    entries = [entry_of(t) for t in traces if t.size and t.last_call is not None]
    recorded = {"renderer": renderer.name,
                "GL_RENDERER": (renderer.info or {}).get("renderer", ""),
                "environment": renderer.env,
                "time": time.strftime("%Y-%m-%d %H:%M:%S %z")}
    with open(within(directory, PACK_FILE), "w") as f:
        json.dump({"format": FORMAT, "recorded": recorded,
                   "traces": [e.to_json() for e in entries]}, f, indent=1)
    textures = os.path.join(directory, TEXTURES)
    os.makedirs(textures, exist_ok=True)
    # Every texture file of the build: the models read some of them by name.
    for path in glob.glob(os.path.join(bin_dir, "*.RAW")):
        shutil.copyfile(path, within(directory, TEXTURES, os.path.basename(path)))
    pack = Pack(directory, entries, recorded)
    with open(within(directory, README), "w") as f:
        f.write(readme(pack))
    profile.write_pack(pack, profile_command)
    return pack


def load(directory):
    """The pack in a directory; PackError where there is none, or where it
    names a trace that is not there."""
    path = os.path.join(directory, PACK_FILE)
    document = jsonfile.load(directory, PACK_FILE, PackError,
                             "%s is no trace pack (no %s)" % (directory, PACK_FILE), "pack file")
    try:
        if isinstance(document, dict) and document.get("format", FORMAT) != FORMAT:
            raise PackError("%s is of format %r; this suite reads format %d"
                            % (path, document["format"], FORMAT))
        # Its names become the report's file names: nothing else is read
        # before they and its paths are known to be the suite's own.
        inputs.check_pack(directory, document, PACK_FILE,
                          [os.path.join(TEXTURES, name) for _, name, _, _ in judge.TEXTURE_FILES])
        entries = [Entry(**{name: item[name] for name in Entry.FIELDS})
                   for item in document["traces"]]
        recorded = dict(document["recorded"])
    except inputs.DocumentError as error:
        raise PackError(str(error))
    except (KeyError, TypeError) as error:
        raise PackError("%s is not a valid pack file (%s: %s)"
                        % (path, type(error).__name__, error))
    unknown = sorted({e.program for e in entries} - set(st.NAMES))
    if unknown:
        raise PackError("%s holds traces of programs this checkout has no model for: %s"
                        % (directory, ", ".join(unknown)))
    missing = [e.path for e in entries if not readable(os.path.join(directory, e.path))]
    if missing:
        raise PackError("%s lacks traces that %s lists, or cannot read them: %s"
                        % (directory, PACK_FILE, ", ".join(missing[:5])))
    if not os.path.isdir(os.path.join(directory, TEXTURES)):
        raise PackError("%s lacks its %s folder" % (directory, TEXTURES))
    short = [name for _, name, side, bits in judge.TEXTURE_FILES
             if not readable(os.path.join(directory, TEXTURES, name), side * side * bits // 8)]
    if short:
        raise PackError("%s lacks texture files the models read, or cannot read them whole: %s"
                        % (directory, ", ".join(short)))
    # The bands are a cache, each file checked as it is read; the folder
    # itself must be one of the pack's own.
    bands = os.path.join(directory, BANDS)
    if os.path.lexists(bands) and not (os.path.isdir(bands) and opts.inside(
            os.path.realpath(bands), os.path.realpath(directory))):
        raise PackError("%s: its %s is no folder inside it" % (directory, BANDS))
    return Pack(os.path.abspath(directory), entries, recorded)


def readable(path, size=0):
    """Whether a file is there, readable and holds at least size bytes."""
    return (os.path.isfile(path) and os.access(path, os.R_OK)
            and os.path.getsize(path) >= size)


def readme(pack):
    recorded = pack.recorded
    return """# A trace pack of the Vorn renderer test suite

%d traces, each one render state of one of the suite's programs, recorded
with apitrace on %s (%s) at %s and trimmed to the first frame, which makes
the context and the textures, and the last three, which show the state.

| file | what |
|---|---|
| `<program>/<state>.trace` | the traces |
| `traces.yml` | the checksum of each trace's last frame on the recording run's renderers, for piglit's replayer |
| `pack.json` | each trace's program, state, the settings its expected picture needs, its frame count and the call of its last frame |
| `textures/` | the texture files the expected pictures are computed from |
| `bands/` | the expected pictures' bands as the recording run worked them out, read rather than worked out again where this checkout's models are the same |
| `vorn-replay.xml.gz` | a piglit profile: one test per trace |

Each trace is replayed headless (apitrace's `eglretrace` on EGL's surfaceless
platform: no display, no X server) and its last frame judged by the suite's
model of the state, which needs no checksum of the renderer's own. From a
checkout of the suite, with Debian's `apitrace` and `piglit`:

```sh
scripts/report --replay PACK                      # every renderer at hand
scripts/report --replay PACK --renderers llvmpipe --fails llvmpipe-fails.txt
```

The piglit profile's tests run the checkout's `scripts/judge-trace` on this
folder, by absolute paths. After copying the pack, write them for its new
place and the checkout there, then run it; the renderer comes from the
environment:

```sh
scripts/pack-profile PACK
GALLIUM_DRIVER=llvmpipe piglit run PACK/vorn-replay.xml.gz results
```
""" % (len(pack.entries), recorded.get("renderer", "?"), recorded.get("GL_RENDERER", "?"),
       recorded.get("time", "?"))
