"""One state on one renderer, whatever the source of its frame. A source
(sources.window: the programs on a virtual X server; sources.replay: a
trace pack replayed headless) has

  renderers()            the renderers it can run on (Renderer, with info
                         None where no context could be made)
  programs()             [(program, built, [State])] the options ask for
  texels()               the texture files the models read
  jobs                   how many parts it can take at once
  parts(states)          the states of one program on one renderer, cut
                         into the parts that jobs take
  take(renderer, program, states, on_picture)
                         runs the states and returns a Record for each,
                         handing each taken picture's Record to on_picture
                         as it comes (from any thread), to be judged while
                         the source goes on; up to jobs calls at once, from
                         as many threads
  again(renderer, state) the state run again by itself, in a fresh process:
                         its Record (from any thread)
  command(renderer, state)
                         the command that runs the state again by itself
  no_context             how a renderer with no context is described

and the pipeline does the rest, the same for every source: the states of
this run's fraction are chosen (every Nth, as deqp-runner shards a run);
the states a renderer cannot run or the skips list leaves out are skipped;
the rest are taken part by part, jobs parts at once; each frame is
kept with its thumbnail, judged by its program's model, and its verdict's
expected picture and mismatch mask kept beside it; the verdict, or the
status that ended the state (a crash, a hang), becomes its Outcome; a state
that failed against the lists' expectations is run again, up to --retries
times."""

import concurrent.futures
import os
import shutil
import threading
import time

from expected import judge, probes

from . import options as opts
from . import pictures, repeats
from .names import environment_text, test_name
from .checks import expectations
from .outcome import SKIP, Outcome

# Where a source has no renderer to ask (the per-state commands' private X
# server, a replayer's surface), its channels are 8 bits deep.
EIGHT_BITS = [8, 8, 8, 0]


class Record:
    """How one state went: its picture (an images.Image) and frame count
    once taken, or the status that ended it (CRASH, TIMEOUT, SKIP, FAIL)
    with a note and the crash's detail; the process's output meanwhile and
    the times. path is where a source left the picture as a PNG already, to
    be moved into the report, or None where only the image is held."""

    def __init__(self, state):
        self.state = state
        self.image = None
        self.path = None
        self.count = 0
        self.status = None          # None: the picture was taken, to be judged
        self.note = self.detail = ""
        self.out = self.err = ""
        self.returncode = None
        self.pid = None
        self.start = time.time()
        self.end = self.start
        self.marks = None
        self.rates = []             # frames per second in each window measured

    def settle(self, status=None, note="", detail=""):
        self.status, self.note, self.detail = status, note, detail
        self.end = time.time()


def channel_bits(renderers):
    """The channel depths of the renderers' pictures: those of the first
    that makes a context, else 8 bits."""
    working = [r for r in renderers if r.info]
    return list(working[0].info.get("bits", EIGHT_BITS) if working else EIGHT_BITS)


def tolerance(renderers):
    """The tolerance in 8-bit steps for the renderers' pictures."""
    return probes.tolerance(channel_bits(renderers))


def verdict_of(record, tol, texels, precision=None):
    """The verdict on a taken picture; precision: what its renderer says of
    its own (Renderer.info), where it says anything."""
    state = record.state
    return judge.judge(state.program, state.settings, record.image, record.count, tol, texels,
                       precision)


def picture_name(renderer, state, under=""):
    """Where a state's picture on a renderer goes in the report, less
    ".png"."""
    return "%s%s/%s/%s" % (under, renderer.name, state.program, state.name)


def kept(report, renderer, record, texels, under=""):
    """Keeps a state's picture (with its thumbnail) in the report as
    under<renderer>/<program>/<state>.png, judges it and keeps the verdict's
    expected picture and mismatch mask beside it: (verdict, those pictures'
    paths in the report by kind). A state's own picture (under nothing) is
    the one the report shows for it; a replay of its trace goes under
    replay/."""
    state = record.state
    name = picture_name(renderer, state, under)
    path = opts.within(report.out, name + ".png")
    if record.path is not None:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.move(record.path, path)
        pictures.add_thumbnail(path)
    else:
        pictures.save(record.image, path)
    if not under:
        report.pictures[(renderer.name, state.id)] = (name + ".png", record.count)
    verdict = verdict_of(record, report.tolerance, texels, renderer.info)
    made = pictures.save_verdict(verdict, report.out, name)
    return verdict, {kind: os.path.relpath(p, report.out) for kind, p in made.items()}


def settled(source, renderer, record, judged=None):
    """A state's Outcome from how it went and, where its picture was judged,
    (verdict, the verdict's pictures): the verdict, unless the state ended
    otherwise."""
    verdict, made = judged or (None, {})
    return Outcome.of_record(record, verdict, pictures=made,
                             command=source.command(renderer, record.state))


def forget_picture(report, renderer, state):
    """A state's picture, dropped before it is taken again: a rerun that
    takes none leaves none."""
    kept = report.pictures.pop((renderer.name, state.id), None)
    if kept and os.path.exists(opts.within(report.out, kept[0])):
        os.remove(opts.within(report.out, kept[0]))


def skipped(report, source, renderer, program, states, lists):
    """The states not to run on a renderer, each given its SKIP outcome;
    the rest to run."""
    for state in states:
        if renderer.info is None:
            note = "%s under %s" % (source.no_context, environment_text(renderer.env))
            report.settle((renderer.name, state.id), Outcome(SKIP, note))
            continue
        pattern = lists.skip_pattern(test_name(program, state.name)) if lists else None
        if pattern is not None:
            report.settle((renderer.name, state.id), expectations.skipped_outcome(pattern))
    return [s for s in states if (renderer.name, s.id) not in report.results]


def fraction(programs, every, start):
    """The states of one shard, [(program, built, [State])]: every
    every-th state of the run, in its order, from the start-th (counted from
    1), as deqp-runner's --fraction and --fraction-start take them. A
    program left with no state is left out."""
    chosen, index = [], 0
    for program, built, states in programs:
        kept = []
        for state in states:
            if index % every == start - 1:
                kept.append(state)
            index += 1
        if kept:
            chosen.append((program, built, kept))
    return chosen


def run_all(report, source, lists, texels, log):
    """Every state of every program the report runs, on every renderer:
    the source's parts of them, up to source.jobs at once, the largest
    first, so that no long part is left to run alone at the end."""
    repeat = repeats.count(report.options)
    parts = [(renderer, program, part, index)
             for renderer in report.renderers
             for program, built, states in report.programs if built
             for part in source.parts(skipped(report, source, renderer, program, states,
                                              lists))
             for index in range(repeat)]
    parts.sort(key=lambda p: (-len(p[2]), p[3]))
    tries = repeats.Tries(repeat)
    with concurrent.futures.ThreadPoolExecutor(max_workers=source.jobs) as pool:
        for done in [pool.submit(run_part, report, source, renderer, program, states, lists,
                                 texels, log, tries, index)
                     for renderer, program, states, index in parts]:
            done.result()


def run_part(report, source, renderer, program, states, lists, texels, log, tries=None,
             index=0):
    """A part of one program's states on one renderer; with --repeat, its
    try index (from 0), each state settled once its last try is in."""
    tries = tries or repeats.Tries(1)
    log("%s on %s%s%s" % (program, renderer.name, "" if len(states) > 1 else
                           ": " + states[0].name, ", try %d" % (index + 1) if index else ""))
    judged, lock = {}, threading.Lock()
    under = repeats.under(index)

    def on_picture(record):
        result = kept(report, renderer, record, texels, under)
        with lock:
            judged[record.state.id] = result

    for record in source.take(renderer, program, states, on_picture):
        state = record.state
        key = (renderer.name, state.id)
        outcome = settled(source, renderer, record, judged.get(state.id))
        picture = (picture_name(renderer, state, under) + ".png", record.count) \
            if state.id in judged else None
        every = tries.add(key, index, outcome, picture)
        if every is None:
            continue
        outcome = repeats.settled(report, key, every)
        if lists is not None:
            outcome = expectations.with_retries(
                lists, renderer.name, test_name(program, state.name), outcome,
                lambda: rerun(report, source, renderer, state, texels, log))
        report.settle(key, outcome)


def rerun(report, source, renderer, state, texels, log):
    """A state run again by itself in a fresh process, judged as before; its
    pictures replace those before, and where it took none the page shows
    none."""
    log("  %s on %s: once more in a process of its own" % (state.id, renderer.name))
    forget_picture(report, renderer, state)
    record = source.again(renderer, state)
    judged = None
    if record.status is None and (record.image is not None or record.path is not None):
        judged = kept(report, renderer, record, texels)
    return settled(source, renderer, record, judged)
