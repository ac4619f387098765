"""Pictures against each other: every renderer's picture of a state against
the first renderer's, and llvmpipe's against the reduced reference pictures
kept in the repository, where a difference beyond the tolerance fails the
state as a regression."""

import concurrent.futures
import os
import shutil

from progdriver import images

from .. import catalogue as st
from .. import options as opts
from .. import pictures
from ..outcome import FAIL, PASS, Finding

CHECK = "reference"
REFERENCE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference")


def compare_renderers(report):
    """Every renderer's picture of a state against the first renderer's."""
    if len(report.renderers) < 2:
        return
    first = report.renderers[0].name
    for renderer, _, _ in report.renderers[1:]:
        for _, built, states in report.programs:
            for state in states:
                a, b = report.pictures.get((first, state.id)), \
                    report.pictures.get((renderer, state.id))
                if not a or not b:
                    continue
                pa, pb = (os.path.join(report.out, p[0]) for p in (a, b))
                count = pictures.differing(images.load(pa), images.load(pb),
                                           report.tolerance)
                diff = None
                if count:
                    diff = "diff/%s-vs-%s/%s/%s.png" % (renderer, first, state.program,
                                                        state.name)
                    pictures.diff_image(pa, pb, opts.within(report.out, diff),
                                        report.tolerance)
                report.differences[(renderer, state.id)] = (count, diff)


def reference_name(state):
    return "%s--%s.png" % (state.program, state.name)


def check_references(report):
    """llvmpipe's pictures against the reference images kept in the
    repository, both reduced alike; a state that differs beyond the tolerance
    is a regression, and fails. A moving picture has no reference. The
    states are reduced and compared --jobs at a time."""
    if "llvmpipe" not in [r.name for r in report.renderers]:
        return
    states = [state for program, built, states in report.programs
              if not st.program(program).moving for state in states
              if ("llvmpipe", state.id) in report.pictures]
    with concurrent.futures.ThreadPoolExecutor(max_workers=report.options.jobs) as pool:
        compared = list(zip(states, pool.map(lambda s: against_reference(report, s), states)))
    found = []
    for state, (count, kept) in compared:
        report.references[state.id] = count, kept
        if kept is None:
            continue
        failed = (count is None or count > 0) and \
            report.outcomes[("llvmpipe", state.id)].status == PASS
        found.append(Finding(
            CHECK, "llvmpipe", state.id, FAIL if failed else None,
            "regression: %s reduced pixels differ from the reference"
            % ("the size" if count is None else count) if failed else "",
            data={"differing": count, "reference": kept}))
    report.add(found)


def against_reference(report, state):
    """llvmpipe's picture of a state reduced and compared with its kept
    reference: (differing pixels or None where the sizes differ, the
    reference's copy in the report), (None, None) where none is kept."""
    picture = report.pictures[("llvmpipe", state.id)][0]
    reduced = pictures.reduce(os.path.join(report.out, picture),
                              opts.within(report.out, "reduced", state.program,
                                          state.name + ".png"))
    reference = os.path.join(REFERENCE_DIR, reference_name(state))
    if report.options.update_reference:
        os.makedirs(REFERENCE_DIR, exist_ok=True)
        shutil.copyfile(reduced, reference)
    if not os.path.exists(reference):
        return None, None
    count = pictures.differing(images.load(reduced), images.load(reference), report.tolerance)
    kept = "reference/%s" % reference_name(state)
    os.makedirs(os.path.join(report.out, "reference"), exist_ok=True)
    shutil.copyfile(reference, opts.within(report.out, kept))
    return count, kept
