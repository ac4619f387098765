#!/usr/bin/python3
"""The report's pages in headless Chromium: each page's size and how much
longer than an empty page it takes to load from file://, the median of a
few loads, each in a fresh browser and profile, the empty page loaded in
every round so that the machine's load weighs on both alike. Two figures:
the page's own load, timed inside the browser (a frame of a small harness
page, from inserting the frame to its load event: parsing, styles, scripts
and the pictures the page asks for before it is loaded), and the whole
run of `chromium --headless --dump-dom` on the page, start-up included.

    tests/bench/page_load.py REPORT_DIR [--runs N] [--pages GLOB]"""

import argparse
import fnmatch
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

EMPTY = ('<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8"><title>empty</title>'
         '</head><body></body></html>\n')
# The frame has the size of a browser window, so that the page's script
# gives its source to as many thumbnails as a reader would first see.
HARNESS = """<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body style="margin:0">
<script>
var began = performance.now();
var frame = document.createElement("iframe");
frame.style.cssText = "width:1280px;height:900px;border:0";
frame.onload = function () {
  document.body.setAttribute("data-ms", (performance.now() - began).toFixed(1));
};
frame.src = %s;
document.body.appendChild(frame);
</script>
</body></html>
"""
WINDOW = "--window-size=1300,950"


def chromium():
    found = shutil.which("chromium") or shutil.which("chromium-browser")
    if not found:
        sys.exit("page_load: chromium is not installed")
    return found


def dump_dom(browser, path):
    """(DOM Chromium dumped once the page loaded, wall-clock seconds)."""
    profile = tempfile.mkdtemp(prefix="page-load-")
    try:
        began = time.perf_counter()
        done = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", WINDOW,
                               "--user-data-dir=" + profile, "--dump-dom",
                               "file://" + urllib.parse.quote(path)],
                              capture_output=True, text=True, timeout=300)
        seconds = time.perf_counter() - began
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    if done.returncode != 0 or "<body" not in done.stdout:
        raise RuntimeError("chromium failed on %s: %s" % (path, done.stderr[-1000:]))
    return done.stdout, seconds


def in_frame_seconds(browser, path, scratch):
    """Seconds from inserting a frame of the page to its load event."""
    harness = os.path.join(scratch, "harness.html")
    with open(harness, "w") as f:
        f.write(HARNESS % json.dumps("file://" + urllib.parse.quote(path)))
    dom, _ = dump_dom(browser, harness)
    found = re.search(r'data-ms="([\d.]+)"', dom)
    if not found:
        raise RuntimeError("the frame of %s never loaded" % path)
    return float(found.group(1)) / 1000


def pages(directory, pattern):
    return sorted(os.path.join(directory, n) for n in os.listdir(directory)
                  if n.endswith(".html") and fnmatch.fnmatch(n, pattern))


def measure(browser, paths, empty, runs, scratch):
    """{path: ([in-frame seconds], [wall-clock seconds])}, the empty
    page's under empty."""
    times = {p: ([], []) for p in [empty] + paths}
    for _ in range(runs):
        for path, (frame, wall) in times.items():
            frame.append(in_frame_seconds(browser, path, scratch))
            wall.append(dump_dom(browser, path)[1])
    return times


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("report")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--pages", default="*.html", help="which pages (a glob)")
    args = parser.parse_args()
    paths = pages(os.path.abspath(args.report), args.pages)
    if not paths:
        sys.exit("page_load: no page matches %s in %s" % (args.pages, args.report))
    scratch = tempfile.mkdtemp(prefix="page-load-empty-")
    empty = os.path.join(scratch, "empty.html")
    with open(empty, "w") as f:
        f.write(EMPTY)
    try:
        times = measure(chromium(), paths, empty, args.runs, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    frame0, wall0 = (statistics.median(t) for t in times[empty])
    print("empty page: %.3f s in a frame, %.2f s a whole run (medians of %d)"
          % (frame0, wall0, args.runs))
    print("%-24s %9s %10s %10s" % ("page", "bytes", "+s frame", "+s run"))
    for path in paths:
        frame, wall = times[path]
        print("%-24s %9d %10.3f %10.2f" % (os.path.basename(path), os.path.getsize(path),
                                           statistics.median(frame) - frame0,
                                           statistics.median(wall) - wall0))


if __name__ == "__main__":
    main()
