"""scripts/report --replay PACK: a trace pack judged on every renderer,
detected on EGL's surfaceless platform or named with --renderer, with no
build, no program and no X server. Each trace is replayed headless, two at
a time, and its last frame judged by the state's model; a replayer that dies
or hangs gives the state a crash or a timeout. The report is the window
run's: statuses, summary.txt, the page, piglit results, junit.xml, the
comparison with a --baseline and the expectation lists."""

import concurrent.futures
import os

from .. import expectations as ex
from .. import options as opts
from .. import pictures, references
from ..backends.piglit import environment_text
from ..outcome import PASS, SKIP, Outcome
from . import profile, renderers, retrace
from .pack import PackError, load

WORKERS = 2


def checked(options):
    """The pack that --replay names; a folder that is none is a usage
    error."""
    try:
        return load(os.path.abspath(options.replay))
    except PackError as error:
        raise opts.UsageError(str(error))


def command_text(pack, entry, env):
    """How to judge the trace again by itself: the per-trace command under
    the renderer's environment."""
    return " ".join(["%s=%s" % item for item in sorted(env.items())]
                    + [profile.COMMAND, pack.directory, entry.program, entry.state])


def run(report, pack, lists, log):
    """Fills the report with every trace's outcome on every renderer."""
    options = report.options
    report.source = "trace pack %s: %d traces recorded on %s, replayed headless" % (
        pack.directory, len(pack.entries), pack.recorded.get("renderer", "?"))
    report.renderers = renderers.choose(options.named, options.renderer_names, options.fast)
    report.bits = list(retrace.BITS)
    report.tolerance = retrace.TOLERANCE
    log("renderers: %s; tolerance %d" % (", ".join(r.name for r in report.renderers),
                                        report.tolerance))
    entries = {}
    for program, in_pack in pack.programs():
        chosen = [e for e in in_pack if opts.selected(options, program, e.state)]
        if chosen:
            states = [e.as_state() for e in chosen]
            report.programs.append((program, True, states))
            entries.update((e.id, e) for e in chosen)
    texels = pack.texels()

    def judged(job):
        renderer, entry = job
        picture = "%s/%s/%s.png" % (renderer.name, entry.program, entry.state)
        # A rerun's picture, or none, replaces the one before.
        report.pictures.pop((renderer.name, entry.id), None)
        if os.path.exists(os.path.join(report.out, picture)):
            os.remove(os.path.join(report.out, picture))
        outcome = retrace.judged(pack, entry, renderer.env, os.path.join(report.out, picture),
                                 options.timeout, texels, report.tolerance, report.out)
        outcome.command = command_text(pack, entry, renderer.env)
        if os.path.exists(os.path.join(report.out, picture)):
            report.pictures[(renderer.name, entry.id)] = (picture, entry.frames)
        return outcome

    jobs = []
    for renderer in report.renderers:
        for _, _, states in report.programs:
            for state in states:
                entry = entries[state.id]
                skip = lists.skip_pattern(entry.test) if lists else None
                if renderer.info is None:
                    report.outcomes[(renderer.name, state.id)] = Outcome(
                        SKIP, "no GL context on the surfaceless platform under %s"
                        % environment_text(renderer.env))
                elif skip is not None:
                    report.outcomes[(renderer.name, state.id)] = ex.skipped_outcome(skip)
                else:
                    jobs.append((renderer, entry))
    log("%d replays, %d at a time" % (len(jobs), WORKERS))

    def settled(job):
        outcome = judged(job)
        if lists is not None:
            outcome = ex.with_retries(lists, job[0].name, job[1].test, outcome,
                                      lambda: judged(job))
        return outcome

    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        for (renderer, entry), outcome in zip(jobs, pool.map(settled, jobs)):
            report.outcomes[(renderer.name, entry.id)] = outcome
            if outcome.status != PASS or outcome.earlier:
                earlier = "".join(" after %s" % status for status, _ in outcome.earlier)
                log("  %s on %s: %s%s %s" % (entry.id, renderer.name, outcome.status, earlier,
                                             outcome.note))
    references.compare_renderers(report)
    pictures.report_sheet(report)
