"""What a renderer's failures have in common: the smallest combination of
the catalogue's render settings (texture, blend, lighting, fog, env, flat,
perspective, persp, mouse, and the program where two render-state programs
ran) such that the states with it fail and those without it pass, with
how many fail with it and without it; where no combination does so
exactly, the one that explains the most states, and how many it explains;
"no common setting" where even that explains too little, and "every state
fails" where there is nothing to tell apart.

A combination is a conjunction of up to three terms, each key=value or,
for a setting of more than two values, key≠value (fog≠off). The
programs without menu settings (the texture tester, the clock, the
starfield) have one state each: they are counted by program beside the
combination, which only the render-state programs' states decide.

Each renderer with failures gets one finding of its own, for the
renderer as a whole (its state is ""), whose data keeps the combination
and its counts; the summary and the page show its note, and report.json
keeps it, so a merge, which applies the checks again, attributes the
whole run."""

import itertools

from ..outcome import FAILED, SKIP, Finding

CHECK = "attribution"
WHOLE = ""              # the state of a finding about a renderer as a whole
MAX_TERMS = 3
# A best combination whose states overlap the failing ones less than this
# (the states that both fail and have it, of those that fail or have it) is
# no explanation: the failures are scattered.
LEAST_OVERLAP = 0.5
# The order terms are tried in, and of two combinations as good, the one
# taken: the render settings first, the program last.
KEYS = ("texture", "blend", "lighting", "fog", "env", "flat", "perspective", "persp", "mouse",
        "program")


def value_text(value):
    """A setting's value as the catalogue's menu names it: on and off for
    the switches, off for no fog."""
    if value is True:
        return "on"
    if value is False or value is None:
        return "off"
    return str(value)


def render_settings(state):
    """The settings that tell a render-state program's states apart, or
    None for a program without menu settings (the clock's time is no render
    setting)."""
    settings = state.settings or {}
    if not settings or "time" in settings:
        return None
    return dict(settings, program=state.program)


class Term:
    def __init__(self, key, equal, value):
        self.key, self.equal, self.value = key, equal, value

    def holds(self, settings):
        if self.key not in settings:
            return False
        return (value_text(settings[self.key]) == self.value) == self.equal

    def __str__(self):
        return "%s%s%s" % (self.key, "=" if self.equal else "\u2260", self.value)


def terms_of(rows):
    """Every term the states' settings offer, in the order of KEYS then of
    first appearance: key=value for each value, key≠value too where the
    key takes more than two; the program only where more than one ran."""
    found = []
    for key in KEYS:
        values = []
        for settings in rows:
            if key in settings and value_text(settings[key]) not in values:
                values.append(value_text(settings[key]))
        if len(values) < 2:
            continue
        found += [Term(key, True, v) for v in values]
        if len(values) > 2:
            found += [Term(key, False, v) for v in values]
    return found


def best_combination(rows, failing):
    """(terms, mask of the states with them) of the smallest combination
    whose states are exactly the failing ones (a bit per state), or else
    of the one whose states overlap the failing ones most (the states that
    both fail and have it, of those that fail or have it), the smaller
    first;
    (None, 0) where no term tells the states apart."""
    everyone = (1 << len(rows)) - 1
    masks = []
    for term in terms_of(rows):
        mask = sum(1 << i for i, s in enumerate(rows) if term.holds(s))
        if mask and mask != everyone:
            masks.append((term, mask))
    best, best_score = (None, 0), None
    for size in range(1, MAX_TERMS + 1):
        for combination in itertools.combinations(masks, size):
            # One term per setting: two of the same key are one of them or none.
            if len({t.key for t, _ in combination}) < size:
                continue
            mask = everyone
            for _, m in combination:
                mask &= m
            if not mask:
                continue
            if mask == failing:
                return [t for t, _ in combination], mask
            overlap = count(mask & failing) / count(mask | failing)
            if best_score is None or overlap > best_score:
                best, best_score = ([t for t, _ in combination], mask), overlap
    return best


def count(mask):
    return bin(mask).count("1")


def attribute(states):
    """What the failures of one renderer's states have in common, states
    [(State, Outcome)]: the data of its finding (kind: "every", "exact",
    "partial" or "scattered"), or None where none failed."""
    judged = [(s, o) for s, o in states if o.status != SKIP]
    if not any(o.status in FAILED for _, o in judged):
        return None
    if all(o.status in FAILED for _, o in judged):
        return {"kind": "every", "failing": len(judged), "states": len(judged)}
    menu = [(render_settings(s), o.status in FAILED) for s, o in judged
            if render_settings(s) is not None]
    programs = {}
    for s, o in judged:
        if render_settings(s) is None:
            tally = programs.setdefault(s.program, [0, 0])
            tally[0] += o.status in FAILED
            tally[1] += 1
    data = {"programs": [[p, f, n] for p, (f, n) in programs.items() if f]}
    rows = [settings for settings, _ in menu]
    failing = sum(1 << i for i, (_, failed) in enumerate(menu) if failed)
    if not failing:
        return dict(data, kind="programs")
    terms, mask = best_combination(rows, failing)
    if terms is None:
        return dict(data, kind="scattered", terms=[], failing=count(failing),
                    states=len(rows))
    right = len(rows) - count(mask ^ failing)
    overlap = count(mask & failing) / count(mask | failing)
    kind = "exact" if mask == failing else \
        "partial" if overlap >= LEAST_OVERLAP else "scattered"
    return dict(data, kind=kind, terms=[[t.key, t.equal, t.value] for t in terms],
                combination=" \u2227 ".join(str(t) for t in terms),
                with_it=[count(mask & failing), count(mask)],
                without_it=[count(failing & ~mask), len(rows) - count(mask)],
                explained=[right, len(rows)])


def describe(data):
    """The finding's note: one line."""
    kind = data["kind"]
    if kind == "every":
        return "every state fails (%d/%d): no setting tells them apart" % (
            data["failing"], data["states"])
    if kind in ("exact", "partial"):
        text = "%s: %d/%d fail with it, %d/%d without it" % (
            (data["combination"],) + tuple(data["with_it"]) + tuple(data["without_it"]))
        if kind == "partial":
            text += "; explains %d of %d states" % tuple(data["explained"])
    elif kind == "scattered":
        text = "no common setting"
        if data.get("combination"):
            text += " (the nearest, %s, explains %d of %d states)" % (
                data["combination"], data["explained"][0], data["explained"][1])
    else:
        text = ""
    programs = ", ".join("%s %d/%d" % tuple(p) for p in data.get("programs", []))
    if programs:
        text = "%s%sfailing by program: %s" % (text, "; " if text else "", programs)
    return text


def short(data):
    """A few words for the matrix's column head."""
    kind = data["kind"]
    if kind == "every":
        return "every state fails"
    if kind in ("exact", "partial"):
        return data["combination"] + ("" if kind == "exact" else " (mostly)")
    if kind == "scattered":
        return "no common setting"
    return ", ".join(p for p, _, _ in data["programs"])


def findings(report):
    """A finding per renderer with failures, for the renderer as a whole."""
    found = []
    for renderer in report.renderers:
        states = [(s, report.outcomes[(renderer.name, s.id)])
                  for _, _, program_states in report.programs for s in program_states
                  if (renderer.name, s.id) in report.outcomes]
        data = attribute(states)
        if data is not None:
            found.append(Finding(CHECK, renderer.name, WHOLE, note=describe(data), data=data))
    return found


def of(report, renderer):
    """The attribution finding of a renderer (by name), or None."""
    return report.finding(CHECK, renderer, WHOLE)


def lines(report):
    """summary.txt's lines: one per renderer with failures."""
    found = [(r.name, of(report, r.name)) for r in report.renderers]
    found = [(name, f) for name, f in found if f is not None]
    if not found:
        return []
    return ["", "failures by setting (see the README's \"Failures by setting\")"] + [
        "  %-10s %s" % (name, f.note) for name, f in found]
