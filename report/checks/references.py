"""Pictures against each other: every renderer's picture of a state against
the first renderer's, and llvmpipe's against the reduced reference pictures
kept in the repository, where a difference beyond the tolerance fails the
state as a regression."""

import os
import shutil

from progdriver import images

from .. import catalogue as st
from .. import pictures
from ..outcome import FAIL, PASS

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
                    pictures.diff_image(pa, pb, os.path.join(report.out, diff),
                                        report.tolerance)
                report.differences[(renderer, state.id)] = (count, diff)


def reference_name(state):
    return "%s--%s.png" % (state.program, state.name)


def check_references(report):
    """llvmpipe's pictures against the reference images kept in the
    repository, both reduced alike; a state that differs beyond the tolerance
    is a regression, and fails. A moving picture has no reference."""
    if "llvmpipe" not in [r.name for r in report.renderers]:
        return
    for program, built, states in report.programs:
        if st.program(program).moving:
            continue
        for state in states:
            picture = report.pictures.get(("llvmpipe", state.id))
            if not picture:
                continue
            reduced = pictures.reduce(os.path.join(report.out, picture[0]),
                                      os.path.join(report.out, "reduced", program,
                                                   state.name + ".png"))
            reference = os.path.join(REFERENCE_DIR, reference_name(state))
            if report.options.update_reference:
                os.makedirs(REFERENCE_DIR, exist_ok=True)
                shutil.copyfile(reduced, reference)
            if not os.path.exists(reference):
                report.references[state.id] = (None, None)
                continue
            count = pictures.differing(images.load(reduced), images.load(reference),
                                       report.tolerance)
            kept = "reference/%s" % reference_name(state)
            os.makedirs(os.path.join(report.out, "reference"), exist_ok=True)
            shutil.copyfile(reference, os.path.join(report.out, kept))
            report.references[state.id] = (count, kept)
            outcome = report.outcomes[("llvmpipe", state.id)]
            if (count is None or count > 0) and outcome.status == PASS:
                outcome.status = FAIL
                outcome.note += "; regression: %s reduced pixels differ from the reference" \
                    % ("the size" if count is None else count)
