"""A reproducer of one failing result of a report, for a driver developer
or a driver's bug tracker: one archive that holds everything needed to see
the fault and judge it again elsewhere, with a checkout of the suite and no
build (scripts/bundle; see make()).

The archive's folder is a trace pack of one trace (see sources.pack), so
scripts/judge-trace and scripts/report --replay read it as they read any
pack:

  <program>/<state>.trace  the state's trace cut to one frame: the first
                           frame's calls, which make the context and upload
                           the textures, then the frame that shows the
                           state, checked to draw what the longer trace drew
  pack.json, textures/     as in any pack
  pictures/                the run's picture on the renderer, the model's
                           expected picture and the mismatch mask
  bundle.json              the run's renderer (GL_RENDERER, GL_VERSION,
                           GL_VENDOR where known, its environment), its
                           verdict, the attribution of the renderer's
                           failures and the replay's verdict here
  README.md                the same for a reader, with the commands that
                           replay the trace with apitrace and judge it

The trace comes from the report's traces/ where it was run with --traces,
or from the pack a --replay run judged, else it is recorded from a build of
the suite (--build) on the renderer."""

import json
import os
import shlex
import shutil
import subprocess
import tarfile
import tempfile
import time

from expected import judge
from progdriver import images

from . import catalogue as st
from . import pipeline, pictures
from .backends import parts
from .checks import attribution
from .names import colour
from .outcome import Outcome
from .sources import pack as packs
from .sources import retrace, traces

BUNDLE_FILE = "bundle.json"
PICTURES = "pictures"
WORST_SHOWN = 10
REPLAY_TIMEOUT = 60.0


class BundleError(ValueError):
    """A result that cannot be bundled: no such report, renderer or state,
    no trace and no build to record one, or a trace that will not cut."""


def folder_name(renderer, state_id):
    return "vorn-bundle-%s-%s" % (renderer, state_id.replace("/", "-"))


def found_result(document, renderer, state_id):
    """(renderer's record, State, Outcome, attribution note) of a report."""
    record = next((r for r in document["renderers"] if r["name"] == renderer), None)
    if record is None:
        raise BundleError("the report has no renderer %s (it has %s)" % (
            renderer, ", ".join(r["name"] for r in document["renderers"])))
    program, _, name = state_id.partition("/")
    state = None
    for item in document["programs"]:
        for s in item["states"] if item["program"] == program else []:
            if s["name"] == name:
                state = st.State(program, name, s["label"], s["entries"], s["settings"],
                                 s["combination"])
    outcome = next((parts.outcome_of(o) for o in document["outcomes"]
                    if (o["renderer"], o["state"]) == (renderer, state_id)), None)
    if state is None or outcome is None:
        raise BundleError("the report has no result of %s on %s" % (state_id, renderer))
    note = next((f["note"] for f in document.get("findings", [])
                 if f["check"] == attribution.CHECK and f["renderer"] == renderer
                 and f["state"] == attribution.WHOLE), "")
    return record, state, outcome, note


def source_trace(report_dir, source, state, env, build, work, log):
    """(the state's whole trace, its frame count, the texture folder): the
    report's own from its traces/, or from the pack a replay judged, else
    one recorded now from build."""
    places = [os.path.join(report_dir, "traces")]
    if source.get("kind") == "replay":
        places += source.get("places") or []
    for directory in places:
        try:
            entry = packs.load(directory).entry(state.program, state.name)
        except packs.PackError:
            continue
        if entry is not None:
            return (os.path.join(directory, entry.path), entry.frames,
                    os.path.join(directory, packs.TEXTURES))
    if build is None:
        raise BundleError("%s was run without --traces: give --build, a build of the suite, "
                          "to record the state's trace" % report_dir)
    from progdriver.programs import Driver
    from progdriver.xserver import XServer
    log("recording %s under apitrace" % state.id)
    build = os.path.abspath(build)
    server = XServer()
    try:
        driver = Driver(os.path.join(build, "bin"), os.path.join(build, "preload"),
                        server.display)
        trace = traces.record(driver, state, env, (), work)
    finally:
        server.stop()
    if trace.error or trace.last_call is None:
        raise BundleError("the state could not be recorded: %s" % (trace.error or "no frame"))
    return os.path.join(work, trace.path), trace.frames, os.path.join(build, "bin")


def cut(whole, target):
    """The trace cut to its first and last frames; the swap call of the
    last."""
    swaps = traces.swap_calls(whole)
    if not swaps:
        raise BundleError("%s holds no complete frame" % whole)
    frames = "0" if len(swaps) == 1 else "0,%d" % (len(swaps) - 1)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    done = subprocess.run(["apitrace", "trim", "--frames=" + frames, "-o", target, whole],
                          capture_output=True, timeout=120)
    if done.returncode != 0:
        raise BundleError("apitrace trim failed: %s" % done.stderr.decode(errors="replace"))
    return traces.swap_calls(target)[-1]


def entry_for(state, path, frames, last_call):
    return packs.Entry(test="vorn@%s@%s" % (state.program, state.name),
                       program=state.program, state=state.name, label=state.label,
                       settings=state.settings, entries=state.entries,
                       combination=state.combination, path=path, frames=frames,
                       last_call=last_call, size=0)


def replayed(pack, entry, env):
    """The replay's Record; BundleError where no frame was drawn."""
    record = retrace.replay(pack, entry, env, REPLAY_TIMEOUT)
    if record.status is not None:
        raise BundleError("the replay of %s gave %s: %s" % (entry.path, record.status,
                                                            record.note))
    return record


def write_pack(folder, state, frames, last_call, renderer, trace_path, textures):
    """pack.json and the textures: the folder made a pack of one trace."""
    entry = entry_for(state, trace_path, frames, last_call)
    entry.size = os.path.getsize(os.path.join(folder, trace_path))
    recorded = {"renderer": renderer["name"],
                "GL_RENDERER": (renderer["info"] or {}).get("renderer", ""),
                "environment": renderer["env"], "time": time.strftime("%Y-%m-%d %H:%M:%S %z")}
    with open(os.path.join(folder, packs.PACK_FILE), "w") as f:
        json.dump({"format": packs.FORMAT, "recorded": recorded, "traces": [entry.to_json()]},
                  f, indent=1)
    os.makedirs(os.path.join(folder, packs.TEXTURES))
    for _, name, _, _ in judge.TEXTURE_FILES:
        shutil.copyfile(os.path.join(textures, name),
                        os.path.join(folder, packs.TEXTURES, name))
    return packs.load(folder)


def kept_pictures(report_dir, document, renderer, state, outcome, folder):
    """The run's picture, the expected picture and the mask, copied into
    pictures/: {kind: path in the bundle}."""
    captured = next((p["path"] for p in document["pictures"]
                     if (p["renderer"], p["state"]) == (renderer, state.id)), None)
    found = {"capture": captured, "expected": outcome.pictures.get("expected"),
             "mask": outcome.pictures.get("mask")}
    names = {"capture": "%s.png" % renderer, "expected": "expected.png", "mask": "mask.png"}
    kept = {}
    os.makedirs(os.path.join(folder, PICTURES))
    for kind, path in found.items():
        if path and os.path.exists(os.path.join(report_dir, path)):
            kept[kind] = "%s/%s" % (PICTURES, names[kind])
            shutil.copyfile(os.path.join(report_dir, path), os.path.join(folder, kept[kind]))
    return kept


def env_text(env):
    return " ".join("%s=%s" % (k, shlex.quote(v)) for k, v in sorted(env.items()))


def verdict_json(outcome):
    return {"status": outcome.status, "note": outcome.note, "judged": outcome.judged,
            "differing": outcome.differing, "worst": outcome.worst,
            "pixels": [[list(p), e, o] for p, e, o, _ in outcome.failures()[:WORST_SHOWN]]}


def listed(value):
    return tuple(value) if isinstance(value, list) else value


def readme(info, state, entry, pictures_kept):
    """README.md of a bundle."""
    renderer, env = info["renderer"], info["environment"]
    run, here = info["run"], info["replayed"]
    gl = info["gl"]
    prefix = env_text(env)
    trace = entry.path
    pixels = "\n".join("| %s | %s | %s |" % (tuple(p), colour(listed(e)), colour(listed(o)))
                       for p, e, o in run["pixels"]) or "| | | |"
    named = "%s=%s" % (renderer, ",".join("%s=%s" % kv for kv in sorted(env.items())))
    shots = "\n".join("- `%s`: %s" % (path, {"capture": "the run's picture on " + renderer,
                                           "expected": "the model's expected picture (the "
                                           "middle of each pixel's band)",
                                           "mask": "the mismatch mask: the picture dimmed, "
                                           "pixels outside their band red"}[kind])
                      for kind, path in sorted(pictures_kept.items()))
    return """# %(state)s on %(renderer)s: %(status)s

A reproducer from the Vorn renderer test suite: the state `%(state)s`
(%(label)s) drawn by the suite's program `%(program)s` with OpenGL 1.1,
judged pixel by pixel against a model of the fixed-function pipeline.

| | |
|---|---|
| GL_RENDERER | %(gl_renderer)s |
| GL_VERSION | %(gl_version)s |
| GL_VENDOR | %(gl_vendor)s |
| environment | `%(env)s` |
| render settings | `%(settings)s` |
| verdict in the run | %(status)s: %(note)s |
| verdict of this trace replayed where the bundle was made | %(here_status)s: %(here_note)s |
| what the renderer's failures have in common | %(attribution)s |

## The worst pixels

| pixel (x, y from the bottom left) | expected band per channel | observed |
|---|---|---|
%(pixels)s

## Files

- `%(trace)s`: the apitrace trace, cut to the first frame (the context and
  the texture uploads) and the frame that shows the state; its last frame
  ends at call %(call)d, where the picture is taken
%(shots)s
- `textures/`: the texture files the program loads, which the model reads
- `pack.json`, `bundle.json`: this folder as a one-trace pack of the suite,
  and the run's renderer and verdicts

## Replay it

With apitrace (Debian's `apitrace`), headless on EGL's surfaceless platform,
no X server; the frame's picture goes to `out/%(snap)s.png`:

```sh
mkdir -p out
%(prefix)s WAFFLE_PLATFORM=surfaceless_egl eglretrace --headless --snapshot=%(call)d --snapshot-prefix=out/ %(trace)s
```

or in a window on an X server:

```sh
%(prefix)s glretrace --snapshot=%(call)d --snapshot-prefix=out/ %(trace)s
```

## Judge it again

From a checkout of the suite (no build needed), with this folder at BUNDLE:

```sh
%(prefix)s scripts/judge-trace BUNDLE %(program)s %(name)s
scripts/report --replay BUNDLE --renderers %(renderer)s --renderer '%(named)s' --out judged
```

`judge-trace` prints the verdict and ends with piglit's result line.
""" % dict(state=state.id, renderer=renderer, status=run["status"], label=state.label,
           program=state.program, name=state.name, gl_renderer=gl.get("renderer", "?"),
           gl_version=gl.get("version", "?"), gl_vendor=gl.get("vendor", "(not known)"),
           env=prefix or "(none)", settings=json.dumps(state.settings),
           note=run["note"], here_status=here["status"], here_note=here["note"],
           attribution=info["attribution"] or "(none)", pixels=pixels, trace=trace,
           call=entry.last_call, shots=shots, snap="%010d" % entry.last_call,
           prefix=prefix, named=named)


def make(report_dir, renderer, state_id, out, build=None, log=print):
    """Makes the bundle of one result of a report as the archive out
    (.tar.gz); returns bundle.json's data."""
    try:
        document = parts.load(report_dir)
    except parts.UnreadableError as error:
        raise BundleError(str(error))
    record, state, outcome, note = found_result(document, renderer, state_id)
    if record["info"] is None:
        raise BundleError("%s made no GL context in the run" % renderer)
    env = record["env"]
    work = tempfile.mkdtemp(prefix="bundle-")
    try:
        whole, frames, textures = source_trace(report_dir, document["source"], state, env,
                                               build, work, log)
        name = folder_name(renderer, state_id)
        folder = os.path.join(work, name)
        path = "%s/%s.trace" % (state.program, state.name)
        last_call = cut(whole, os.path.join(folder, path))
        bundle = write_pack(folder, state, frames, last_call, record, path, textures)
        entry = bundle.entries[0]
        # The cut trace must draw what the whole one drew, on the renderer.
        short = replayed(bundle, entry, env)
        longer = packs.Pack(os.path.dirname(whole), [entry_for(
            state, os.path.basename(whole), frames, traces.swap_calls(whole)[-1])], {})
        full = replayed(longer, longer.entries[0], env)
        try:
            differing = pictures.differing(images.load(short.path), images.load(full.path), 0)
        finally:
            os.remove(full.path)
        if differing != 0:
            os.remove(short.path)
            raise BundleError("the trace cut to one frame draws %s pixels otherwise than the "
                              "whole trace" % differing)
        verdict = pipeline.verdict_of(short, pipeline.tolerance([]), bundle.texels())
        os.remove(short.path)
        here = Outcome.of_record(short, verdict)
        kept = kept_pictures(report_dir, document, renderer, state, outcome, folder)
        info = {"renderer": renderer, "environment": env, "gl": record["info"],
                "state": state.id, "run": verdict_json(outcome),
                "replayed": verdict_json(here), "attribution": note, "pictures": kept,
                "trace": path, "last_call": last_call}
        with open(os.path.join(folder, BUNDLE_FILE), "w") as f:
            json.dump(info, f, indent=1)
        with open(os.path.join(folder, packs.README), "w") as f:
            f.write(readme(info, state, entry, kept))
        os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
        with tarfile.open(out, "w:gz") as archive:
            archive.add(folder, arcname=name)
        return info
    finally:
        shutil.rmtree(work, ignore_errors=True)


def command(report_dir, renderer, state_id):
    """The command that bundles a result, as the page shows it."""
    return "scripts/bundle %s %s %s %s.tar.gz" % (
        shlex.quote(report_dir), shlex.quote(renderer), state_id,
        folder_name(renderer, state_id))
