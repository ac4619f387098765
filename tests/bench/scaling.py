#!/usr/bin/python3
"""How a report's time scales with --jobs and --fraction, for the README's
figures (a benchmark, not a test):

  tests/bench/scaling.py --build build [--work DIR] [--repeat N]

1. A --fast window run of the vorntest pair with --jobs 1, 2, ... up to the
   machine's cores, each repeated, alternating, medians compared.
2. Its trace pack replayed headless with --jobs 1 and with every core, and
   in three shards (--fraction 3 --fraction-start K, one after another)
   then merged: each shard's time, the merge's, and whether the merged
   results are the unsharded run's, state for state."""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
REPORT = os.path.join(ROOT, "scripts", "report")
PAIR = ["--fast", "--no-rates", "--programs", "vorntest5,vorntest"]


def timed(*args):
    """Seconds that scripts/report took with these arguments, and its
    exit status."""
    began = time.time()
    done = subprocess.run([REPORT] + list(args), capture_output=True, text=True)
    if done.returncode not in (0, 1):
        sys.exit("scripts/report %s: %s" % (" ".join(args), done.stderr[-2000:]))
    return time.time() - began, done.returncode


def statuses(out):
    """{(renderer, test): status} of a report's piglit results."""
    found = {}
    for renderer in sorted(os.listdir(os.path.join(out, "piglit"))):
        with open(os.path.join(out, "piglit", renderer, "results.json")) as f:
            for test, result in json.load(f)["tests"].items():
                found[(renderer, test)] = result["result"]
    return found


def window_jobs(build, work, repeat):
    """Median seconds of the pair's window run per --jobs value."""
    counts = sorted({1, 2, os.cpu_count() or 1})
    seconds = {jobs: [] for jobs in counts}
    for _ in range(repeat):
        for jobs in counts:
            took, _ = timed("--build", build, "--jobs", str(jobs), "--out",
                            os.path.join(work, "window-%d" % jobs), *PAIR)
            seconds[jobs].append(took)
    return {jobs: statistics.median(times) for jobs, times in seconds.items()}


def replay_shards(build, work):
    """The pack's replay: unsharded at --jobs 1 and at every core; three
    shards one after another, and their merge."""
    recorded = os.path.join(work, "record")
    timed("--build", build, "--traces", "--out", recorded, *PAIR)
    pack = os.path.join(recorded, "traces")
    figures = {}
    for jobs in sorted({1, os.cpu_count() or 1}):
        figures["unsharded, --jobs %d" % jobs], _ = timed(
            "--replay", pack, "--jobs", str(jobs), "--out", os.path.join(work, "whole-%d" % jobs))
    shards = []
    for k in (1, 2, 3):
        shards.append(os.path.join(work, "shard-%d" % k))
        figures["shard %d of 3" % k], _ = timed(
            "--replay", pack, "--fraction", "3", "--fraction-start", str(k), "--out", shards[-1])
    figures["merge of 3"], _ = timed("--merge", *shards, "--out", os.path.join(work, "merged"))
    whole = statuses(os.path.join(work, "whole-%d" % (os.cpu_count() or 1)))
    same = statuses(os.path.join(work, "merged")) == whole
    return figures, len(whole), same


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", default=None)
    parser.add_argument("--repeat", type=int, default=3)
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    work = options.work or tempfile.mkdtemp(prefix="scaling-")
    print("%d cores; work in %s" % (os.cpu_count() or 1, work))
    window = window_jobs(build, work, options.repeat)
    for jobs, seconds in window.items():
        print("window run, vorntest pair --fast, --jobs %d: %.1f s (%.2f of --jobs 1)"
              % (jobs, seconds, seconds / window[1]))
    figures, count, same = replay_shards(build, work)
    for what, seconds in figures.items():
        print("replay of the pair's pack, %s: %.1f s" % (what, seconds))
    print("3 shards merged: %d results, %s the unsharded run's"
          % (count, "the same as" if same else "NOT the same as"))
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
