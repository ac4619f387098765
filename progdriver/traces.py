"""A program's GL calls, read from the apitrace trace of a run started with
trace=True."""

import re
import subprocess

CALL = re.compile(r"(\w+)\((.*)\)( = .*)?( // fake)?$")


def gl_calls(run, pattern=None):
    """The traced GL calls as (name, arguments) in call order; apitrace marks
    the array pointers it records at draw time as fake, so their position is
    that of the draw, not the program's own."""
    dump = subprocess.run(["apitrace", "dump", "--color=never", "--call-nos=no",
                           run.file("calls.trace")],
                          capture_output=True, check=True, timeout=120).stdout.decode()
    calls = []
    for line in dump.split("\n"):
        match = CALL.match(line)
        if match and (pattern is None or re.match(pattern, match.group(1))):
            calls.append((match.group(1), match.group(2)))
    return calls
