"""What a trace pack's pack.json and a report's report.json may hold. Both
come from other machines (a pack is recorded by one CI job and judged by
others; the shards' reports are merged by a third), and what they name
becomes the report's file names and the files it reads. So a document is
taken only in the form the suite writes it: programs of the catalogue;
state and renderer names of one strict form (is_name), which never climbs
out of a folder or names another; trace and picture paths relative, made
of such names, and inside their folder once links are resolved; counts,
call numbers and sizes ints within bounds. Anything else refuses the
document whole (DocumentError), in one line naming its file, the entry and
the field, before anything is replayed or written.

The forms are data (PACK, REPORT): check() walks them, and the fuzzing
test draws documents from them."""

import math
import os
import re

from . import catalogue
from .names import test_name
from .outcome import STATUSES

# The names the suite makes: the catalogue's state names (lower-case
# letters, digits, "-" and "+"), Mesa's driver names and those --renderer
# accepts: a letter or digit, then letters, digits, ".", "_", "+" or "-".
NAME_FORM = re.compile(r"[A-Za-z0-9][A-Za-z0-9._+-]*\Z")
NAME_LENGTH = 100
NAME_RULE = ("a letter or digit, then letters, digits, '.', '_', '+' or '-', with no "
             "'..', at most %d characters" % NAME_LENGTH)
# More than any count, call number or size a pack or a report holds, and
# still an int wherever one goes (eglretrace's --snapshot among them).
MAXIMUM = 2 ** 31 - 1
# Times, rates and instruction counts: finite, not negative, and below this.
LARGEST = 1e15
# The most folders a kept path goes down.
DEPTH = 8


def is_name(text):
    """Whether text is a state's or a renderer's name in the suite's form."""
    return (isinstance(text, str) and len(text) <= NAME_LENGTH
            and NAME_FORM.match(text) is not None and ".." not in text)


# The forms, as tuples: (kind, ...).
NAME = ("name",)
PROGRAM = ("program",)              # a program of the catalogue
STATE_ID = ("state id",)            # program/state
COUNT = ("count",)                  # an int, 0 to MAXIMUM
INTEGER = ("integer",)              # an int, -MAXIMUM to MAXIMUM (an exit status)
NUMBER = ("number",)                # an int or a float, 0 to LARGEST
FLAG = ("flag",)
TEXT = ("text",)
ANY = ("any",)
BITS = ("bits",)                    # channel depths: red, green, blue 1 to 16, alpha 0 to 16
TRACE = ("path", ".trace")          # relative, of names, ending so
PICTURE = ("path", ".png")


def nullable(form):
    return ("nullable", form)


def listed(form):
    return ("list", form)


def fixed(*forms):
    """A list of so many items, each of its form."""
    return ("tuple", forms)


def mapping(key, value):
    return ("map", key, value)


def choice(*values):
    return ("choice", values)


def either(*forms):
    return ("either", forms)


def maybe(form):
    """A field of a record that may be absent: one that reports from before
    it have not."""
    return ("maybe", form)


def record(**fields):
    """An object with exactly these fields."""
    return ("object", fields, None)


def record_and(more, **fields):
    """An object with these fields, and any others of the form more."""
    return ("object", fields, more)


ENV = mapping(TEXT, TEXT)
SETTINGS = nullable(mapping(NAME, nullable(either(FLAG, INTEGER, TEXT))))

PACK = record(
    format=choice(1),
    recorded=mapping(TEXT, either(TEXT, ENV)),
    traces=listed(record(test=TEXT, program=PROGRAM, state=NAME, label=TEXT,
                         settings=SETTINGS, entries=listed(COUNT), combination=FLAG,
                         path=TRACE, frames=COUNT, last_call=COUNT, size=COUNT)))

STATUS = choice(*STATUSES)
COLOUR = either(TEXT, listed(INTEGER))
REPORT = record(
    format=choice(2),
    source=record(kind=choice("window", "replay"), identity=nullable(TEXT),
                  places=listed(TEXT), description=nullable(TEXT), traces=COUNT),
    options=record(fast=FLAG, timeout=NUMBER, costs=FLAG, no_rates=FLAG),
    # What the GL said of itself: its name and channel depths, and more
    # (its version, its vendor) as text.
    renderers=listed(record(name=NAME, env=ENV,
                            info=nullable(record_and(TEXT, renderer=TEXT, bits=BITS)))),
    tolerance=COUNT, bits=BITS,
    began=NUMBER, ended=NUMBER,
    programs=listed(record(program=PROGRAM, built=FLAG, states=listed(record(
        name=NAME, label=TEXT, entries=listed(COUNT), settings=SETTINGS, combination=FLAG,
        position=nullable(COUNT))))),
    pictures=listed(record(renderer=NAME, state=STATE_ID, path=PICTURE, count=COUNT)),
    outcomes=listed(record(
        renderer=NAME, state=STATE_ID, status=STATUS, note=TEXT,
        probes=listed(fixed(fixed(INTEGER, INTEGER), COLOUR, COLOUR, FLAG)),
        checked=COUNT, judged=nullable(COUNT), differing=nullable(COUNT),
        worst=nullable(COUNT), pictures=mapping(NAME, PICTURE), detail=TEXT, out=TEXT,
        err=TEXT, returncode=nullable(INTEGER), pid=nullable(COUNT), start=NUMBER,
        end=NUMBER, command=TEXT, rates=listed(NUMBER), earlier=listed(fixed(STATUS, TEXT)),
        tries=maybe(listed(fixed(STATUS, TEXT))))),
    findings=listed(ANY),
    rates=listed(record(program=PROGRAM, renderer=NAME, fps=NUMBER, base=nullable(NUMBER),
                        size=fixed(COUNT, COUNT))),
    instructions=listed(record(program=PROGRAM, renderer=NAME, frames=COUNT,
                               objects=mapping(TEXT, NUMBER),
                               functions=listed(fixed(TEXT, nullable(TEXT), NUMBER)))))


class DocumentError(ValueError):
    """A document not in its form: its file, the entry and the field."""


class Wrong(Exception):
    """What is wrong where, within a document: the field's place (e.g.
    ["traces", 3, "state"]) and the problem."""

    def __init__(self, place, problem):
        Exception.__init__(self, problem)
        self.place, self.problem = place, problem


def shown(value):
    """A value as one short line."""
    text = repr(value)
    return text if len(text) <= 60 else text[:57] + "..."


def problem(value, form):
    """What is wrong with value as form, or None. Containers are walked by
    check(); this judges one value."""
    kind = form[0]
    if kind == "any":
        return None
    if kind == "name":
        return None if is_name(value) else "%s is not a name (%s)" % (shown(value), NAME_RULE)
    if kind == "program":
        return None if value in catalogue.NAMES else "%s is no program of the suite (%s)" % (
            shown(value), ", ".join(catalogue.NAMES))
    if kind == "state id":
        program, _, name = value.partition("/") if isinstance(value, str) else ("", "", "")
        return None if program in catalogue.NAMES and is_name(name) else \
            "%s is not PROGRAM/STATE, a program of the suite and a state's name" % shown(value)
    if kind in ("count", "integer"):
        least = 0 if kind == "count" else -MAXIMUM
        if type(value) is not int or not least <= value <= MAXIMUM:
            return "%s is not a whole number from %d to %d" % (shown(value), least, MAXIMUM)
        return None
    if kind == "number":
        if type(value) not in (int, float) or not (math.isfinite(value)
                                                   and 0 <= value <= LARGEST):
            return "%s is not a number from 0 to %g" % (shown(value), LARGEST)
        return None
    if kind == "flag":
        return None if type(value) is bool else "%s is not true or false" % shown(value)
    if kind == "text":
        return None if isinstance(value, str) else "%s is not a string" % shown(value)
    if kind == "path":
        parts = value.split("/") if isinstance(value, str) else []
        if not (0 < len(parts) <= DEPTH and all(is_name(p) for p in parts)
                and value.endswith(form[1])):
            return ("%s is not a relative path of at most %d names (%s) ending %s"
                    % (shown(value), DEPTH, NAME_RULE, form[1]))
        return None
    if kind == "bits":
        if not (isinstance(value, list) and len(value) == 4
                and all(type(b) is int for b in value)
                and all(1 <= b <= 16 for b in value[:3]) and 0 <= value[3] <= 16):
            return "%s is not four channel depths: red, green, blue 1 to 16, alpha 0 to 16" \
                % shown(value)
        return None
    if kind == "choice":
        return None if value in form[1] and type(value) in {type(v) for v in form[1]} else \
            "%s is none of %s" % (shown(value), ", ".join(map(repr, form[1])))
    raise AssertionError(form)


def check(value, form, place=()):
    """Raises Wrong where value is not of form."""
    kind = form[0]
    if kind in ("nullable", "maybe"):
        if value is not None or kind == "maybe":
            check(value, form[1], place)
    elif kind == "either":
        wrongs = []
        for option in form[1]:
            try:
                return check(value, option, place)
            except Wrong as wrong:
                wrongs.append(wrong)
        # The option that got furthest into the value says what is wrong.
        raise max(wrongs, key=lambda w: len(w.place))
    elif kind in ("list", "tuple"):
        if not isinstance(value, list):
            raise Wrong(place, "%s is not a list" % shown(value))
        if kind == "tuple" and len(value) != len(form[1]):
            raise Wrong(place, "%s is not a list of %d" % (shown(value), len(form[1])))
        for index, item in enumerate(value):
            check(item, form[1] if kind == "list" else form[1][index], place + (index,))
    elif kind in ("map", "object"):
        if not isinstance(value, dict):
            raise Wrong(place, "%s is not an object" % shown(value))
        if kind == "object":
            missing = [f for f, inner in form[1].items()
                       if f not in value and inner[0] != "maybe"]
            unknown = [f for f in value if f not in form[1]]
            if missing or (unknown and form[2] is None):
                raise Wrong(place, "lacks %s" % ", ".join(missing) if missing
                            else "has the unknown field %s" % shown(unknown[0]))
            for field, inner in form[1].items():
                if field in value:
                    check(value[field], inner, place + (field,))
            for field in unknown:
                check(field, TEXT, place + (field,))
                check(value[field], form[2], place + (field,))
        else:
            for key, item in value.items():
                check(key, form[1], place + (key,))
                check(item, form[2], place + (key,))
    else:
        said = problem(value, form)
        if said:
            raise Wrong(place, said)


def field_text(place):
    """Fields within fields as text: traces[3].state."""
    text = ""
    for part in place:
        if isinstance(part, int):
            text += "[%d]" % part
        elif isinstance(part, str) and re.match(r"[A-Za-z0-9_]+\Z", part):
            text += ("." if text else "") + part
        else:
            text += "[%s]" % shown(part)
    return text


def where(place, entries):
    """A place in a document in words: the entry (an item of one of the
    top-level lists entries), then the field within it."""
    if len(place) > 1 and place[0] in entries and isinstance(place[1], int):
        within = field_text(place[2:])
        return "entry %s%s" % (field_text(place[:2]), ", field " + within if within else "")
    return "field %s" % field_text(place) if place else "the document"


def refused(path, wrong, entries):
    return DocumentError("%s: %s: %s" % (path, where(wrong.place, entries), wrong.problem))


def inside_folder(folder, relative, place):
    """Wrong where folder/relative, links resolved, lies outside folder."""
    target, home = os.path.realpath(os.path.join(folder, relative)), os.path.realpath(folder)
    if not target.startswith(os.path.join(home, "")):
        raise Wrong(place, "%s leads outside %s, to %s" % (shown(relative), folder, target))


def twice(items, key, place, field):
    """Wrong at field of the second item of a list whose key is another's."""
    seen = set()
    for index, item in enumerate(items):
        if key(item) in seen:
            raise Wrong(place + (index, field), "%s is there twice" % shown(key(item)))
        seen.add(key(item))


def check_pack(directory, document, name, textures):
    """A pack's pack.json (name) in its form, each trace's test named for
    its program and state, no state twice, and every trace and texture file
    (textures: their paths in the pack) inside the pack; DocumentError
    otherwise."""
    try:
        check(document, PACK)
        traces = document["traces"]
        for index, entry in enumerate(traces):
            place = ("traces", index)
            if entry["test"] != test_name(entry["program"], entry["state"]):
                raise Wrong(place + ("test",), "%s is not %s" % (
                    shown(entry["test"]), test_name(entry["program"], entry["state"])))
            inside_folder(directory, entry["path"], place + ("path",))
        twice(traces, lambda e: (e["program"], e["state"]), ("traces",), "state")
        for path in textures:
            inside_folder(directory, path, ("textures",))
    except Wrong as wrong:
        raise refused(os.path.join(directory, name), wrong, ("traces",))


def check_report(directory, document, name, thumbnail):
    """A report's report.json (name) in its form; every renderer, program
    and state once, every result and picture of one of them, once, and
    every picture it names (with its thumbnail's path, thumbnail(path))
    inside the report's folder; DocumentError otherwise."""
    try:
        check(document, REPORT)
        renderers = [r["name"] for r in document["renderers"]]
        twice(document["renderers"], lambda r: r["name"], ("renderers",), "name")
        twice(document["programs"], lambda p: p["program"], ("programs",), "program")
        states = set()
        for index, item in enumerate(document["programs"]):
            twice(item["states"], lambda s: s["name"], ("programs", index, "states"), "name")
            states.update("%s/%s" % (item["program"], s["name"]) for s in item["states"])
        results = {(o["renderer"], o["state"]) for o in document["outcomes"]}
        for kind in ("outcomes", "pictures"):
            items = document[kind]
            twice(items, lambda o: (o["renderer"], o["state"]), (kind,), "state")
            for index, item in enumerate(items):
                if item["renderer"] not in renderers:
                    raise Wrong((kind, index, "renderer"), "%s is none of the renderers"
                                % shown(item["renderer"]))
                if item["state"] not in states:
                    raise Wrong((kind, index, "state"), "%s is none of the programs' states"
                                % shown(item["state"]))
                # A picture is of a result: the checks look one up for the other.
                if (item["renderer"], item["state"]) not in results:
                    raise Wrong((kind, index, "state"), "%s has no result on %s" % (
                        shown(item["state"]), item["renderer"]))
        named = [(("pictures", i, "path"), p["path"])
                 for i, p in enumerate(document["pictures"])]
        named += [(("outcomes", i, "pictures", kind), path)
                  for i, o in enumerate(document["outcomes"])
                  for kind, path in o["pictures"].items()]
        for place, path in named:
            inside_folder(directory, path, place)
            inside_folder(directory, thumbnail(path), place)
    except Wrong as wrong:
        raise refused(os.path.join(directory, name), wrong,
                      ("renderers", "programs", "pictures", "outcomes", "rates",
                       "instructions", "traces"))
