"""A run's results against its expectation lists in the CSV files Mesa's CI
runners (deqp-runner, piglit-runner) write: failures.csv holds the
unexpected results ("test,status", the unexpected passes as
UnexpectedPass), results.csv every result ("test,status,duration,
renderer", and in a stress run (--repeat) "failed,tries" after them). The
fails list of a driver is the failures.csv of its last run, less the
unexpected passes."""

import csv

from .. import repeats
from ..names import test_name
from ..options import within

FAILURES_FILE = "failures.csv"
RESULTS_FILE = "results.csv"


def write(report, out):
    """Both files in out, from report.expectations; none for a run without
    lists."""
    expectations = report.expectations
    if expectations is None:
        return
    failures = sorted({(test_name(p, n), expectations.status_of((r, p, n, o)))
                       for r, p, n, o in expectations.unexpected})
    with open(within(out, FAILURES_FILE), "w", newline="") as f:
        csv.writer(f, lineterminator="\n").writerows(failures)
    # A stress run's rows end with the failed tries and the tries.
    stress = any(row[3].tries for row in expectations.rows)
    with open(within(out, RESULTS_FILE), "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        for row in expectations.rows:
            renderer, program, name, outcome = row
            counted = repeats.failures(outcome) or ("", "")
            writer.writerow([test_name(program, name), expectations.status_of(row),
                             "%.3f" % outcome.seconds(), renderer] + (
                                 list(counted) if stress else []))
