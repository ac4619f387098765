"""The report's results in piglit's own format, so that piglit's summary
commands read them: for each renderer a results directory holding
results.json (results_version 10), one test per state named
vorn@<program>@<state>, the same on every renderer and in every run. Also
the reading of such a directory back, for baselines."""

import json
import os
import platform
import sys
import time

from ..options import within
from ..names import GROUP, differing_lines, environment_text, test_name
from ..outcome import FAIL, PIGLIT

RESULTS_VERSION = 10
RESULTS_FILE = "results.json"
PIGLIT_DIR = "piglit"

FROM_PIGLIT = {v: k for k, v in PIGLIT.items()}
# Every status piglit counts in its totals.
PIGLIT_STATUSES = ("pass", "fail", "crash", "skip", "timeout", "warn", "dmesg-warn",
                   "dmesg-fail", "notrun", "incomplete")


class ResultsError(ValueError):
    """A results file that cannot be read."""


def out_text(outcome):
    """The note, the worst differing pixels, its earlier runs and what else
    the checks found of it (its frame rate), then what the program printed."""
    lines = [outcome.note]
    failing = differing_lines(outcome)
    if failing:
        lines += ["worst differing pixels:"] + failing
    if outcome.earlier:
        lines.append("earlier runs: " + "; ".join("%s (%s)" % item for item in outcome.earlier))
    lines += ["%s: %s" % item for item in outcome.extra]
    if outcome.out:
        lines += ["program output:", outcome.out.rstrip("\n")]
    return "\n".join(lines) + "\n"


def err_text(outcome):
    return (outcome.detail + "\n" if outcome.detail else "") + outcome.err


def print_result(outcome):
    """A piglit test's own output for one state: the result's text on
    standard output, what is known of a crash or hang on standard error,
    and last the result line piglit reads. Returns the exit status, 1 for a
    failed picture."""
    sys.stdout.write(out_text(outcome))
    sys.stderr.write(err_text(outcome))
    print("PIGLIT: " + json.dumps({"result": PIGLIT[outcome.status]}), flush=True)
    return 1 if outcome.status == FAIL else 0


def test_result(outcome, env):
    return {
        "__type__": "TestResult",
        "result": PIGLIT[outcome.status],
        "out": out_text(outcome),
        "err": err_text(outcome),
        "command": outcome.command,
        "environment": environment_text(env),
        "time": {"__type__": "TimeAttribute", "start": outcome.start, "end": outcome.end},
        "returncode": outcome.returncode,
        "subtests": {"__type__": "Subtests"},
        "dmesg": "",
        "exception": None,
        "traceback": None,
        "images": None,
        "pid": [outcome.pid] if outcome.pid else [],
    }


def totals(tests):
    """piglit's totals: each status counted for every group and for root."""
    groups = {"root": {}}
    for name, result in tests.items():
        parts = name.split("@")
        for depth in range(1, len(parts)):
            groups.setdefault("@".join(parts[:depth]), {})
        for group in ["root"] + ["@".join(parts[:d]) for d in range(1, len(parts))]:
            counts = groups[group]
            counts[result["result"]] = counts.get(result["result"], 0) + 1
    return {group: dict({s: counts.get(s, 0) for s in PIGLIT_STATUSES}, __type__="Totals")
            for group, counts in groups.items()}


def write(report, folder):
    """Every renderer's results, each in a folder of its own under
    piglit/."""
    for renderer in report.renderers:
        write_renderer(within(folder, PIGLIT_DIR, renderer.name), renderer,
                       report.states_on(renderer.name), report.options, report.began,
                       report.ended)


def write_renderer(directory, renderer, outcomes, options, began, ended):
    """One renderer's results: outcomes is [(program, state name, Outcome)]."""
    tests = {test_name(program, name): test_result(outcome, renderer.env)
             for program, name, outcome in outcomes}
    info = renderer.info or {}
    document = {
        "__type__": "TestrunResult",
        "results_version": RESULTS_VERSION,
        # piglit's summaries tell runs apart by name, so each run has its own.
        "name": "%s %s" % (renderer.name, time.strftime("%Y-%m-%d %H:%M:%S",
                                                        time.localtime(began))),
        "options": {"profile": [GROUP], "env": renderer.env, "fast": options.fast,
                    "timeout": options.timeout},
        "info": {"renderer": {"name": renderer.name,
                              "GL_RENDERER": info.get("renderer", "no GL context"),
                              "GL_VERSION": info.get("version", ""),
                              "environment": environment_text(renderer.env)},
                 "system": {"uname": " ".join(platform.uname())}},
        "time_elapsed": {"__type__": "TimeAttribute", "start": began, "end": ended},
        "tests": tests,
        "totals": totals(tests),
    }
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, RESULTS_FILE), "w") as f:
        json.dump(document, f, indent=1)


def read(path):
    """The statuses of a results file, {(program, state name): status}, and
    the run's name; a file that is not such results raises ResultsError
    naming it."""
    try:
        with open(path) as f:
            document = json.load(f)
        tests = document["tests"]
        statuses = {}
        for name, result in tests.items():
            parts = name.split("@")
            if len(parts) == 3 and parts[0] == GROUP:
                statuses[(parts[1], parts[2])] = FROM_PIGLIT[result["result"]]
        return statuses, document.get("name", "")
    except (OSError, ValueError, KeyError, TypeError, AttributeError) as error:
        raise ResultsError("%s is not a valid results file (%s: %s)"
                           % (path, type(error).__name__, error))
