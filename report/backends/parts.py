"""A run's results whole, as one file, report.json in the report directory:
the results as the pipeline settled them and, beside them, what the checks
after it found (the costs' ratios, the reference pictures, a baseline, the
expectation lists), so that a merge (report.merge) can put the results of
several runs together and check them as one run would, and later tools
read what each check found. Its fields (JSON):

  format        2
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
  outcomes      [{renderer, state, and every field of its Outcome}]; a
                probe is [pixel, expected, observed, ok], rates the frame
                rates measured, earlier [[status, note]], tries the
                [[status, note]] of every --repeat try
  findings      [{check, renderer, state, status, note, line, data}]: what
                the checks found, in their order ("fps", "reference",
                "baseline", "expectation"); status is the one a check gives
                a state it fails, else null
  rates         [{program, renderer, fps, base, size}]
  instructions  [{program, renderer, frames, objects: {object: Ir},
                functions: [[object, function, Ir]]}]

load() takes it only in the form the suite writes it (report.inputs): a
part comes from another machine, and its names become the merge's file
names. read() fills a Report from it again, with the results alone: a merge
checks them afresh. The files it names (pictures, their thumbnails, the
verdicts' expected pictures and masks) stay in the report directory beside
it."""

import json
import os

from .. import catalogue as st
from .. import inputs, jsonfile
from ..outcome import Outcome
from ..pictures import thumbnail_path
from ..options import within
from ..renderers import Renderer

REPORT_FILE = "report.json"
FORMAT = 2
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


def write(report, folder):
    """report.json in folder, written whole or not at all."""
    document = {
        "format": FORMAT, "source": dict(report.origin, traces=len(report.traces)),
        "options": {name: getattr(report.options, name) for name in OPTIONS},
        "renderers": [r._asdict() for r in report.renderers],
        "tolerance": report.tolerance, "bits": report.bits,
        "began": report.began, "ended": report.ended,
        "programs": [{"program": program, "built": built,
                      "states": [state_json(s, report.positions.get(s.id)) for s in states]}
                     for program, built, states in report.programs],
        "pictures": [{"renderer": r, "state": s, "path": path, "count": count}
                     for (r, s), (path, count) in sorted(report.pictures.items())],
        "outcomes": [dict(o.to_json(), renderer=r, state=s)
                     for (r, s), o in sorted(report.results.items())],
        "findings": [f.to_json() for f in report.findings],
        "rates": [{"program": p, "renderer": r, "fps": fps, "base": base, "size": size}
                  for (p, r), (fps, base, size) in sorted(report.rates.items())],
        "instructions": [{"program": p, "renderer": r, "frames": frames, "objects": objects,
                          "functions": [[o, f, ir] for (o, f), ir in functions.items()]}
                         for (p, r), (frames, objects, functions)
                         in sorted(report.instructions.items())],
    }
    path = os.path.join(folder, REPORT_FILE)
    with open(within(folder, REPORT_FILE + ".part"), "w") as f:
        json.dump(document, f, indent=1)
    os.replace(path + ".part", path)


def state_json(state, position):
    return {"name": state.name, "label": state.label, "entries": state.entries,
            "settings": state.settings, "combination": state.combination,
            "position": position}


def outcome_of(fields):
    """An Outcome from its fields in report.json (renderer and state aside)."""
    return Outcome.from_json({k: v for k, v in fields.items() if k not in ("renderer", "state")})


def load(directory):
    """The parsed report.json of a folder; UnreadableError for none."""
    document = jsonfile.load(
        directory, REPORT_FILE, UnreadableError,
        "%s holds no results to merge (no %s: a report from before merging, or one that "
        "stopped before its states were judged)" % (directory, REPORT_FILE), "results file")
    if not isinstance(document, dict) or document.get("format") != FORMAT:
        raise UnreadableError("%s is not of format %d"
                              % (os.path.join(directory, REPORT_FILE), FORMAT))
    # Its names become the merged report's file names, and its pictures are
    # copied into it: all are the suite's own, and in this folder.
    try:
        inputs.check_report(directory, document, REPORT_FILE, thumbnail_path)
    except inputs.DocumentError as error:
        raise UnreadableError(str(error))
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
    report.began, report.ended = document["began"], document["ended"]
    report.source = document["source"]["description"]
    report.origin = {k: v for k, v in document["source"].items() if k != "traces"}
    positions, report.programs = {}, []
    for item in document["programs"]:
        states = []
        for s in item["states"]:
            state = st.State(item["program"], s["name"], s["label"], s["entries"],
                             s["settings"], s["combination"])
            positions[state.id] = s["position"]
            states.append(state)
        report.programs.append((item["program"], item["built"], states))
    report.positions = positions
    report.pictures = {(p["renderer"], p["state"]): (p["path"], p["count"])
                       for p in document["pictures"]}
    report.results = {(o["renderer"], o["state"]): outcome_of(o)
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
    named.update(p for o in report.results.values() for p in o.pictures.values())
    return sorted(named)
