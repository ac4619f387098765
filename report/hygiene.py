"""Whether every entry of the expectation lists names a state the run
knows: a state of the suite's catalogue, or of the trace pack it replays
(or the parts it merges). A fails list's entry is a test name, which must
be one of them exactly; a flakes or skips list's entry is an expression,
which must match one of them at least. An entry that names nothing is a
list error with its file and line: a state renamed or dropped leaves its
line behind, and a misspelt one would gate nothing without a word."""

import re

from . import catalogue as st
from .checks.expectations import ListError, lines_of
from .names import test_name


def known_tests(extra=()):
    """The test names of every state of the catalogue, and those in extra."""
    return {test_name(p.name, s.name) for p in st.PROGRAMS
            for s in st.program_states(p.name)} | set(extra)


def compiles(expression):
    try:
        re.compile(expression)
        return True
    except re.error:
        return False


def problems(fails, patterns, known):
    """A line "FILE:LINE: ..." for each entry that names no known test.
    fails and patterns: list files, each with a path and entries() giving
    (index from 0, the entry without its comment)."""
    found = []
    for f in fails:
        for index, body in f.entries():
            test = body.partition(",")[0].strip()
            if test not in known:
                found.append("%s:%d: %s is no state of the catalogue or of the run"
                             % (f.path, index + 1, test))
    for f in patterns:
        for index, body in f.entries():
            if compiles(body) and not any(re.search(body, t) for t in known):
                found.append("%s:%d: %r matches no state of the catalogue or of the run"
                             % (f.path, index + 1, body))
    return found


class Listed:
    """A list file as a run reads it."""

    def __init__(self, path):
        self.path = path
        self.numbered = list(lines_of(path))

    def entries(self):
        return [(number - 1, body) for number, body in self.numbered]


def check(options, extra=()):
    """ListError, naming every entry at fault, where a list of the run's
    options names a state the run does not know; extra: the test names of
    the pack or the parts besides the catalogue's."""
    found = problems([Listed(p) for p in options.fails],
                     [Listed(p) for p in list(options.flakes) + list(options.skips)],
                     known_tests(extra))
    if found:
        raise ListError("; ".join(found))
