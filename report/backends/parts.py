"""A run's results whole, as one file, report.json in the report directory,
written once every state is judged and before the checks change what a
result means (the reference pictures, a baseline, the expectation lists):
what the report's writers read, so that a merge (report.merge) can put the
results of several runs together and write them as one run would. Its
fields (JSON):

  format        1
  source        where the frames came from: kind ("window" or "replay"),
                identity (a replay's trace pack: the SHA-256 of its
                pack.json; null for a window run), places (the build or
                pack folders), description (the summary's line about it,
                or null) and traces (how many states --traces recorded)
  options       what the writers read of the run's options: fast, timeout,
                costs, no_rates
  renderers     [{name, env, info}]; info is what the GL said of itself
                (renderer, version, bits...), null where it made no context
  tolerance, bits
  began, ended  when the run started and when its last state was judged
  programs      [{program, built, states: [{name, label, entries, settings,
                combination, position}]}]; position is the state's place in
                the whole of its source's order (the catalogue's or the
                pack's), however the run was cut into shards
  pictures      [{renderer, state, path, count}]: each state's picture,
                relative to the report directory, and the frames drawn
  outcomes      [{renderer, state, and every attribute of its Outcome}]; a
                probe is [pixel, expected, observed, ok], cost the rates
                measured (or null), earlier [[status, note]]
  rates         [{program, renderer, fps, base, size}]
  instructions  [{program, renderer, frames, objects: {object: Ir},
                functions: [[object, function, Ir]]}]

read() fills a Report from it again; the files it names (pictures, their
thumbnails, the verdicts' expected pictures and masks) stay in the report
directory beside it."""

import hashlib
import json
import os
import time

from .. import catalogue as st
from .. import jsonfile
from ..measures import costs
from ..outcome import Outcome
from ..renderers import Renderer
from ..sources.pack import PACK_FILE

REPORT_FILE = "report.json"
FORMAT = 1
WINDOW, REPLAY = "window", "replay"
# What the writers read of a run's options.
OPTIONS = ("fast", "timeout", "costs", "no_rates")


class UnreadableError(ValueError):
    """A folder whose results cannot be read back."""


class Part:
    """A report read back: its folder, its Report, where its frames came
    from, each state's position in its source's order, its options (by the
    names in OPTIONS) and when its last state was judged."""

    def __init__(self, directory, report, source, positions, options, ended):
        self.directory = directory
        self.report = report
        self.source = source
        self.positions = positions      # state id -> position
        self.options = options
        self.ended = ended


def pack_identity(directory):
    """A trace pack's identity: the SHA-256 of its pack.json, which names
    every trace with its size, frames and last call, and when it was
    recorded."""
    with open(os.path.join(directory, PACK_FILE), "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def run_source(options, source):
    """A run's source as report.json keeps it, and each state's position
    in that source's whole order: a replay's pack order, or the
    catalogue's."""
    if options.replay is not None:
        pack = source.pack
        order = [e.id for _, entries in pack.programs() for e in entries]
        kept = dict(kind=REPLAY, identity=pack_identity(pack.directory), places=[pack.directory])
    else:
        order = [s.id for name in st.NAMES for s in st.program_states(name)]
        kept = dict(kind=WINDOW, identity=None, places=[os.path.abspath(options.build)])
    kept["description"] = source.description
    return kept, {state_id: position for position, state_id in enumerate(order)}


def record(report, source):
    """report.json of a run whose states are all judged, from its source."""
    kept, positions = run_source(report.options, source)
    kept["traces"] = len(report.traces)
    write(report, kept, positions, {name: getattr(report.options, name) for name in OPTIONS},
          time.time())


def write(report, source, positions, options, ended):
    """report.json in the report's directory, written whole or not at all."""
    document = {
        "format": FORMAT, "source": source, "options": options,
        "renderers": [r._asdict() for r in report.renderers],
        "tolerance": report.tolerance, "bits": report.bits,
        "began": report.began, "ended": ended,
        "programs": [{"program": program, "built": built,
                      "states": [state_json(s, positions.get(s.id)) for s in states]}
                     for program, built, states in report.programs],
        "pictures": [{"renderer": r, "state": s, "path": path, "count": count}
                     for (r, s), (path, count) in sorted(report.pictures.items())],
        "outcomes": [dict(outcome_json(o), renderer=r, state=s)
                     for (r, s), o in sorted(report.outcomes.items())],
        "rates": [{"program": p, "renderer": r, "fps": fps, "base": base, "size": size}
                  for (p, r), (fps, base, size) in sorted(report.rates.items())],
        "instructions": [{"program": p, "renderer": r, "frames": frames, "objects": objects,
                          "functions": [[o, f, ir] for (o, f), ir in functions.items()]}
                         for (p, r), (frames, objects, functions)
                         in sorted(report.instructions.items())],
    }
    path = os.path.join(report.out, REPORT_FILE)
    with open(path + ".part", "w") as f:
        json.dump(document, f, indent=1)
    os.replace(path + ".part", path)


def state_json(state, position):
    return {"name": state.name, "label": state.label, "entries": state.entries,
            "settings": state.settings, "combination": state.combination,
            "position": position}


def outcome_json(outcome):
    """Every attribute of an Outcome, as JSON takes it."""
    fields = dict(vars(outcome))
    fields["probes"] = [list(p) for p in outcome.probes]
    fields["cost"] = outcome.cost.rates if outcome.cost else None
    fields["earlier"] = [list(e) for e in outcome.earlier]
    return fields


def tupled(value):
    return tuple(tupled(v) for v in value) if isinstance(value, list) else value


def outcome_of(fields):
    """An Outcome from outcome_json()'s fields (renderer and state aside)."""
    outcome = Outcome(fields["status"])
    for name, value in fields.items():
        if name not in ("renderer", "state"):
            setattr(outcome, name, value)
    # JSON keeps tuples as lists; the writers format a probe's pixel and
    # colours as tuples.
    outcome.probes = [tupled(p) for p in outcome.probes]
    outcome.earlier = [tuple(e) for e in outcome.earlier]
    outcome.cost = costs.Cost(outcome.cost) if outcome.cost else None
    return outcome


def load(directory):
    """The parsed report.json of a folder; UnreadableError for none."""
    document = jsonfile.load(
        directory, REPORT_FILE, UnreadableError,
        "%s holds no results to merge (no %s: a report from before merging, or one that "
        "stopped before its states were judged)" % (directory, REPORT_FILE), "results file")
    if not isinstance(document, dict) or document.get("format") != FORMAT:
        raise UnreadableError("%s is not of format %d"
                              % (os.path.join(directory, REPORT_FILE), FORMAT))
    return document


def read(directory, report):
    """The Part in a folder, its results filled into report (a fresh
    run.Report, whose out is the folder); UnreadableError where the folder holds
    none, or a broken one."""
    document = load(directory)
    try:
        return filled(directory, report, document)
    except (KeyError, TypeError, ValueError, AttributeError) as error:
        raise UnreadableError("%s is not a valid results file (%s: %s)" % (
            os.path.join(directory, REPORT_FILE), type(error).__name__, error))


def filled(directory, report, document):
    report.renderers = [Renderer(r["name"], r["env"], r["info"]) for r in document["renderers"]]
    report.tolerance, report.bits = document["tolerance"], list(document["bits"])
    report.began = document["began"]
    report.source = document["source"]["description"]
    positions, report.programs = {}, []
    for item in document["programs"]:
        states = []
        for s in item["states"]:
            state = st.State(item["program"], s["name"], s["label"], s["entries"],
                             s["settings"], s["combination"])
            positions[state.id] = s["position"]
            states.append(state)
        report.programs.append((item["program"], item["built"], states))
    report.pictures = {(p["renderer"], p["state"]): (p["path"], p["count"])
                       for p in document["pictures"]}
    report.outcomes = {(o["renderer"], o["state"]): outcome_of(o)
                       for o in document["outcomes"]}
    report.rates = {(r["program"], r["renderer"]): (r["fps"], r["base"], tuple(r["size"]))
                    for r in document["rates"]}
    report.instructions = {
        (i["program"], i["renderer"]): (i["frames"], i["objects"],
                                        {(o, f): ir for o, f, ir in i["functions"]})
        for i in document["instructions"]}
    return Part(directory, report, document["source"], positions, document["options"],
                document["ended"])


def picture_files(report):
    """Every picture the report's results name, relative to its folder:
    the states' own and the verdicts' expected pictures and masks (each
    has its thumbnail beside it)."""
    named = {path for path, _ in report.pictures.values()}
    named.update(p for o in report.outcomes.values() for p in o.pictures.values())
    return sorted(named)
