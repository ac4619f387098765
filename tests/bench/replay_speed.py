#!/usr/bin/python3
"""What a trace pack's replay costs against the window run of the same
states, for the README's figures (a benchmark, not a test):

  tests/bench/replay_speed.py --build build [--work DIR] [--repeat N]

A --fast --traces window run records the pack once, untimed, writing the
bands its replays used into the pack's bands/. Then, alternating, each
--repeat times at the default --jobs on llvmpipe: the --fast window run
(--no-rates: the states alone) and the pack's replay (--replay PACK
--fast), each with a band cache of its own emptied first, so that the
window run works out every band and the replay reads the pack's. Prints
each run's seconds, the medians and the replay's share of the window
run's."""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
REPORT = os.path.join(ROOT, "scripts", "report")


def timed(work, name, *args):
    """Seconds that scripts/report took with these arguments, its report in
    work/name and its band cache emptied in work/name-bands."""
    cache = os.path.join(work, name + "-bands")
    shutil.rmtree(cache, ignore_errors=True)
    began = time.time()
    done = subprocess.run([REPORT, "--out", os.path.join(work, name), "--band-cache", cache]
                          + list(args), capture_output=True, text=True)
    if done.returncode not in (0, 1):
        sys.exit("scripts/report %s: %s" % (" ".join(args), done.stderr[-2000:]))
    return time.time() - began


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", help="where the reports go (default: a new temporary folder)")
    parser.add_argument("--repeat", type=int, default=3)
    options = parser.parse_args()
    work = options.work or tempfile.mkdtemp(prefix="replay-speed-")
    build = os.path.abspath(options.build)
    print("recording the pack ...", flush=True)
    timed(work, "recorded", "--build", build, "--fast", "--no-rates", "--traces")
    pack = os.path.join(work, "recorded", "traces")
    print("pack: %s, %d band files" % (pack, len(os.listdir(os.path.join(pack, "bands")))))
    window, replay = [], []
    for _ in range(options.repeat):
        window.append(timed(work, "window", "--build", build, "--fast", "--no-rates"))
        replay.append(timed(work, "replay", "--replay", pack, "--fast"))
        print("window run %.1f s, replay %.1f s" % (window[-1], replay[-1]), flush=True)
    print("medians: window run %.1f s, replay %.1f s: the replay takes %.2f of the window run"
          % (statistics.median(window), statistics.median(replay),
             statistics.median(replay) / statistics.median(window)))


if __name__ == "__main__":
    main()
