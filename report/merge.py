"""scripts/report --merge DIR... --out OUT: the reports of several runs put
together as one run of all their states would have written them. The runs
are the shards of one run (--fraction N --fraction-start K) or runs on other
machines and renderers; each left its results whole in its report.json
(backends.parts), as they were before any check changed what they mean.

The merge reads them back, copies their pictures into OUT and hands the one
Report to run.finish, which works out what needs every result (the costs'
ratios, the renderers' pictures against each other, the contact sheet),
applies the checks once, to the merged results (the reference pictures,
--baseline, the expectation lists: --fails and --flakes, or a renderer's
own list in ci/ as a run that may take it uses), writes every file and
gives the exit status a single run would. OUT gets a report.json of its
own, so a merged report can be merged again.

The parts must come from one kind of source, and replays from one trace
pack; no state may be in two of them on the same renderer, a renderer of one
name must be the same (its environment and GL_RENDERER) in each, and all
must have judged with one tolerance. A run that recorded traces (--traces)
is not merged: the replays of its pack are. The states keep their source's
order (the catalogue's or the pack's) however the shards cut it. The merged
report's time runs from the parts' earliest start to the latest end of
their judging."""

import argparse
import os
import shutil

from . import catalogue as st
from . import options as opts
from . import hygiene, pipeline, pictures, run
from .names import test_name
from .backends import parts as kept
from .checks import baseline, expectations
from .renderers import GALLIUM_CANDIDATES
from .sources import replay, window

KINDS = {window.KIND: "a window run", replay.KIND: "a replay of a trace pack"}


def merge(options):
    """The merged report in options.out; the exit status a single run of
    every part's states would give."""
    out = os.path.abspath(options.out)
    checked_places(out, options.merge, options.baseline)
    found = [read(directory) for directory in options.merge]
    checked_together(found)
    report = merged(found, options, out)
    lists = expectations.load(options, may_take=[r.name for r in report.renderers])
    hygiene.check(options, [test_name(s.program, s.name)
                            for _, _, states in report.programs for s in states])
    before = baseline.load(options.baseline) if options.baseline else None
    run.emptied(out)
    for part in found:
        copy_pictures(part, out)
    return run.finish(report, lists, before)


def checked_places(out, directories, baseline_dir):
    """OUT, which is replaced, may hold neither a part nor the baseline,
    and may lie in no part."""
    for directory in directories:
        if opts.inside(out, directory) or opts.inside(directory, out):
            raise opts.UsageError("--out %s and the part %s are the same folder or one holds "
                                  "the other; write the merge elsewhere" % (out, directory))
    if baseline_dir and opts.inside(baseline_dir, out):
        raise opts.UsageError("--baseline %s is this merge's own --out, or in it; write the "
                              "merge elsewhere" % baseline_dir)


def read(directory):
    """A part, its named pictures all there; a folder that holds none is a
    usage error."""
    try:
        part = kept.read(directory, run.Report(None, os.path.abspath(directory)))
    except kept.UnreadableError as error:
        raise opts.UsageError(str(error))
    missing = [p for p in kept.picture_files(part.report)
               if not os.path.isfile(os.path.join(directory, p))]
    if missing:
        raise opts.UsageError("%s lacks pictures its %s names: %s"
                              % (directory, kept.REPORT_FILE, ", ".join(missing[:3])))
    return part


def checked_together(found):
    """Whether the parts make one run: a usage error where they do not."""
    first = found[0]
    for part in found:
        source = part.source
        if source["traces"]:
            raise opts.UsageError("%s recorded traces (--traces), which are not merged; "
                                  "merge the replays of its pack instead" % part.directory)
        if source["kind"] != first.source["kind"]:
            raise opts.UsageError("%s is %s and %s %s: merge runs of one kind" % (
                first.directory, KINDS[first.source["kind"]], part.directory,
                KINDS[source["kind"]]))
        if source["identity"] != first.source["identity"]:
            raise opts.UsageError("%s and %s replayed different trace packs (%s)" % (
                first.directory, part.directory, "; ".join(
                    "%s, whose pack.json hashes to %s" % (", ".join(s["places"]),
                                                          s["identity"][:12])
                    for s in (first.source, source))))
    checked_renderers(found)
    checked_states(found)


def checked_renderers(found):
    """A renderer of one name is the same in every part, and every part
    that made a context judged with one tolerance."""
    seen, tolerances = {}, {}
    for part in found:
        for renderer in part.report.renderers:
            said = (renderer.env, (renderer.info or {}).get("renderer"))
            where, before = seen.setdefault(renderer.name, (part.directory, said))
            if before != said:
                raise opts.UsageError(
                    "renderer %s differs between %s (%s under %s) and %s (%s under %s)" % (
                        renderer.name, where, before[1], before[0], part.directory, said[1],
                        said[0]))
        if any(r.info for r in part.report.renderers):
            tolerances.setdefault(part.report.tolerance, part.directory)
    if len(tolerances) > 1:
        raise opts.UsageError("the parts judged with different tolerances: %s" % ", ".join(
            "%d in %s" % item for item in sorted(tolerances.items())))


def checked_states(found):
    """No state on a renderer in two parts."""
    where = {}
    for part in found:
        for key in part.report.results:
            if key in where:
                raise opts.UsageError("%s on %s is in both %s and %s" % (
                    key[1], key[0], where[key], part.directory))
            where[key] = part.directory


def merged_renderers(found):
    """Every part's renderers in the order a run gives them: the Gallium
    drivers, the machine's default, then those named, as first met."""
    renderers = {}
    for part in found:
        for renderer in part.report.renderers:
            renderers.setdefault(renderer.name, renderer)
    met = list(renderers)

    def rank(name):
        if name in GALLIUM_CANDIDATES:
            return 0, GALLIUM_CANDIDATES.index(name)
        return (1, 0) if name == "default" else (2, met.index(name))
    return sorted(renderers.values(), key=lambda r: rank(r.name))


def merged_programs(found):
    """[(program, built, [State])] in the catalogue's order of programs, each
    program's states in their source's order."""
    positions = merged_positions(found)
    programs = {}
    for part in found:
        for program, built, states in part.report.programs:
            was_built, by_id = programs.setdefault(program, (False, {}))
            for state in states:
                by_id.setdefault(state.id, state)
            programs[program] = (was_built or built, by_id)
    order = sorted(programs, key=lambda p: (st.NAMES.index(p) if p in st.NAMES
                                            else len(st.NAMES), p))
    return [(program, programs[program][0],
             sorted(programs[program][1].values(),
                    key=lambda s: (positions.get(s.id) is None, positions.get(s.id) or 0)))
            for program in order]


def merged_positions(found):
    positions = {}
    for part in found:
        for state_id, position in part.positions.items():
            positions.setdefault(state_id, position)
    return positions


def merged_options(found):
    """The options the writers read, as the parts ran: the fast mode where
    every part had it, the longest timeout, costs where any measured them,
    no rates where none took them."""
    taken = [part.options for part in found]
    return {"fast": all(o["fast"] for o in taken),
            "timeout": max(o["timeout"] for o in taken),
            "costs": any(o["costs"] for o in taken),
            "no_rates": all(o["no_rates"] for o in taken)}


def merged_source(found):
    """Where the merged frames came from, as report.json keeps it."""
    first = found[0].source
    places = []
    for part in found:
        places += [p for p in part.source["places"] if p not in places]
    return dict(first, places=places)


def merged(found, options, out):
    """The Report of every part's results, for OUT."""
    writers = argparse.Namespace(**vars(options))
    for name, value in merged_options(found).items():
        setattr(writers, name, value)
    report = run.Report(writers, out)
    report.began = min(part.report.began for part in found)
    report.ended = max(part.ended for part in found)
    report.origin, report.positions = merged_source(found), merged_positions(found)
    report.renderers = merged_renderers(found)
    report.bits = pipeline.channel_bits(report.renderers)
    report.tolerance = pipeline.tolerance(report.renderers)
    report.programs = merged_programs(found)
    described = found[0].source["description"]
    report.source = "%smerged from %d reports: %s" % (
        described + "; " if described else "", len(found),
        ", ".join(os.path.abspath(part.directory) for part in found))
    for part in found:
        report.pictures.update(part.report.pictures)
        report.results.update(part.report.results)
        for mine, theirs in ((report.rates, part.report.rates),
                             (report.instructions, part.report.instructions)):
            for key, value in theirs.items():
                mine.setdefault(key, value)
    return report


def copy_pictures(part, out):
    """A part's pictures, with their thumbnails, into OUT at the same
    places; a verdict's expected picture, the same on every renderer, once."""
    for path in kept.picture_files(part.report):
        for name in (path, pictures.thumbnail_path(path)):
            source, target = os.path.join(part.directory, name), opts.within(out, name)
            if os.path.isfile(source) and not os.path.exists(target):
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(source, target)
