"""The report's pages as a browser shows them. A small report on three
renderers (llvmpipe; softpipe under its own name, failing where its fails
list says; llvmpipe with the fog
colour broken and flat shading crashing, from outside the programs) against
a baseline that remembers the broken renderer otherwise, loaded from
file:// in headless Chromium: the DOM it builds must hold the results
matrix with the real statuses, views that list exactly the failing and the
changed results, and a block per state, open where it failed, whose links
all lead to files of the report, its pictures shown as thumbnails. Then a
program's states spread over pages when a page may hold only a few of its
figures, every link to a state's block leading to the page that holds it."""

import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import urllib.parse

import harness as h
from pagetree import Tree, read
from report import catalogue as st
from report.outcome import FAIL, PASS, Outcome
from report.renderers import Renderer
from report.run import Report
from report.summary import html
from test_report import report_command, softpipe_fails

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
STATES = {"vorntest5/start", "vorntest5/m07-fog-linear", "vorntest5/m15-shade-flat",
          "fendrik/start"}
RENDERERS = ["llvmpipe", "soft", "broken"]
# What the broken renderer does to each state; llvmpipe passes them all, and
# softpipe those its fails list leaves out.
BROKEN = {"vorntest5/start": "pass", "vorntest5/m07-fog-linear": "fail",
          "vorntest5/m15-shade-flat": "crash", "fendrik/start": "pass"}
# The baseline's broken renderer: the flat state passed, fendrik failed.
BEFORE = {"vorntest5/start": "pass", "vorntest5/m07-fog-linear": "fail",
          "vorntest5/m15-shade-flat": "pass", "fendrik/start": "fail"}
SOFT_FAILS = softpipe_fails()
# What a page of the report may weigh, whatever the renderers and states.
PAGE_BYTES = 400 * 1024


def dom(path, query=""):
    """The DOM of a page of the report once Chromium has loaded it from
    file:// and run its script."""
    profile = tempfile.mkdtemp(prefix="page-chromium-")
    try:
        result = subprocess.run(
            [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" +
             profile, "--dump-dom", "file://" + urllib.parse.quote(path) + query],
            capture_output=True, text=True, timeout=h.COMMAND_SECONDS)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    if result.returncode != 0 or "<body" not in result.stdout:
        raise AssertionError("chromium: %s" % result.stderr[-2000:])
    return Tree(result.stdout).root


def renderer_of(figure):
    """The renderer a figure of a state's block shows, from its caption
    ("<status> <renderer> · <class>: <note>"); None for the reference."""
    caption = next(figure.all("figcaption"), None)
    return caption.text.split(":")[0].split("\u00b7")[0].strip() if caption else None


def baseline_dir():
    """A baseline report of the broken renderer alone, in piglit's results
    format, as an earlier run would have left it."""
    directory = tempfile.mkdtemp(prefix="page-baseline-")
    tests = {"vorn@%s@%s" % tuple(state.split("/")): {"result": status}
             for state, status in BEFORE.items()}
    path = os.path.join(directory, "piglit", "broken", "results.json")
    os.makedirs(os.path.dirname(path))
    with open(path, "w") as f:
        json.dump({"results_version": 10, "name": "broken", "tests": tests}, f)
    return directory


@unittest.skipUnless(CHROMIUM, "chromium is not installed")
@unittest.skipUnless(all(os.access(os.path.join(h.BIN_DIR, p), os.X_OK)
                         for p in ("vorntest5", "fendrik")), "vorntest5 or fendrik not built")
class PageInABrowser(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.out = os.path.join(h.ARTIFACT_DIR, "report-page")
        broken = ":".join(h.library(name) for name in ("fogbreak", "crashflat"))
        result = report_command(
            cls.out, "--no-rates",
            "--programs", "vorntest5,fendrik", "--states", "|".join(
                "^%s$" % s.replace("+", r"\+") for s in sorted(STATES)),
            "--renderer", "soft=GALLIUM_DRIVER=softpipe",
            "--renderer", "broken=GALLIUM_DRIVER=llvmpipe,LD_PRELOAD=" + broken,
            "--baseline", baseline_dir())
        # The flat state crashed where it passed before: a regression.
        assert result.returncode == 1, result.stderr.decode(errors="replace")[-3000:]
        # Every page and view the tests read, loaded two at a time.
        pages = [("index.html", ""), ("index.html", "?view=all"), ("index.html", "?view=changes"),
                 ("vorntest5.html", ""), ("fendrik.html", "")]
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            cls.doms = dict(zip(pages, pool.map(
                lambda page: dom(os.path.join(cls.out, page[0]), page[1]), pages)))
        cls.index = cls.doms[("index.html", "")]

    def expected(self, renderer, state):
        if renderer == "soft":
            return "fail" if state in SOFT_FAILS else "pass"
        return BROKEN[state] if renderer == "broken" else "pass"

    def matrix(self, page):
        """{state id: [cell status, ...]} of the rows the page shows, and
        the cells' classes."""
        table = next(page.all("table", "matrix"))
        shown, classes = {}, {}
        for row in table.all("tr", "state"):
            cells = list(row.all("td"))
            classes[row.attrs["id"]] = [c.attrs["class"].split() for c in cells]
            if not row.hidden():
                shown[row.attrs["id"]] = [c.content() for c in cells]
        return shown, classes

    def test_matrix_views_and_folded_details(self):
        # The columns, headed by each renderer's counts.
        heads = list(next(self.index.all("thead")).all("th"))[1:]
        self.assertEqual([th.text.strip() for th in heads], RENDERERS)
        heads = [th.content() for th in heads]
        self.assertIn("1 fail", heads[2])
        self.assertIn("1 crash", heads[2])
        self.assertIn("%d pass" % len(STATES), heads[0])

        # Problems first: only the states that failed somewhere, and in them
        # exactly the failing results.
        shown, classes = self.matrix(self.index)
        failing = {(r, s) for s in STATES for r in RENDERERS
                   if self.expected(r, s) in ("fail", "crash")}
        self.assertEqual(set(shown), {s for _, s in failing})
        self.assertEqual({(r, s) for s, cells in shown.items()
                          for r, status in zip(RENDERERS, cells)
                          if status in ("fail", "crash", "timeout")}, failing)

        # Every state in the all view, a cell per renderer with its status
        # and its colour.
        everything, _ = self.matrix(self.doms[("index.html", "?view=all")])
        self.assertEqual(set(everything), STATES)
        for state, cells in everything.items():
            self.assertEqual(cells, [self.expected(r, state) for r in RENDERERS], state)
            for status, cls in zip(cells, classes[state]):
                self.assertIn("s-" + status, cls)

        # Against the baseline: the crash is a regression, fendrik a fix,
        # and those two states make the changes view.
        changes, _ = self.matrix(self.doms[("index.html", "?view=changes")])
        self.assertEqual(set(changes), {"vorntest5/m15-shade-flat", "fendrik/start"})
        self.assertIn("k-regression", classes["vorntest5/m15-shade-flat"][2])
        self.assertIn("k-fix", classes["fendrik/start"][2])
        self.assertNotIn("k-regression", classes["vorntest5/m07-fog-linear"][2])

        # Each row links to its state's block (its cells lead there by the
        # page's script); each block holds every renderer's part, open where
        # the state failed, and each of its links and pictures is a file of
        # the report.
        links = {a.attrs["href"] for a in next(self.index.all("table", "matrix")).all("a")}
        blocks = {}
        for program in ("vorntest5", "fendrik"):
            page = self.doms[(program + ".html", "")]
            for block in page.all("details", "state"):
                blocks["%s/%s" % (program, block.attrs["id"])] = block
                self.assertIn("%s.html#%s" % (program, block.attrs["id"]), links)
        self.assertEqual(set(blocks), STATES)
        for state, block in blocks.items():
            with self.subTest(state=state):
                failed = any(self.expected(r, state) != "pass" for r in RENDERERS)
                self.assertEqual("open" in block.attrs, failed)
                self.assertEqual(len(list(block.all("figure"))), len(RENDERERS)
                                 + (state.split("/")[0] != "quenby"))
                targets = [a.attrs["href"] for a in block.all("a")] + \
                    [img.attrs["data-src"] for img in block.all("img")]
                # A capture (thumbnail and picture) on every renderer but
                # the one that crashed, and the kept reference.
                pictures = len(RENDERERS) - (state == "vorntest5/m15-shade-flat")
                self.assertGreaterEqual(len(targets), 2 * pictures + 2)
                for target in targets:
                    self.assertTrue(os.path.isfile(os.path.join(self.out, target)), target)
                for img in block.all("img"):
                    self.assertEqual(img.attrs.get("loading"), "lazy")
        # The failing examples of the broken fog, and the crash's story.
        fog = blocks["vorntest5/m07-fog-linear"]
        rows = list(next(fog.all("table", "examples")).all("tr"))
        self.assertTrue(1 < len(rows) <= 25, len(rows))
        self.assertIn("killed by SIGSEGV", next(blocks["vorntest5/m15-shade-flat"].all("pre"))
                      .content())
        # The broken fog's capture and mismatch mask, and the model's
        # expected picture, shown once for the renderers' windows of one
        # size, are each a thumbnail linking to its full picture, a small
        # file beside it.
        part = next(f for f in fog.all("figure") if renderer_of(f) == "broken")
        shots = {a.content(): a for a in part.all("a")}
        expected = [a for a in fog.all("a") if a.content() == "expected"]
        self.assertEqual(len(expected), 1)
        shots["expected"] = expected[0]
        for caption in ("capture", "expected", "mismatch mask"):
            with self.subTest(caption=caption):
                full = shots[caption].attrs["href"]
                thumb = next(shots[caption].all("img")).attrs["data-src"]
                self.assertEqual(thumb, full[:-len(".png")] + ".thumb.png")
                self.assertLess(os.path.getsize(os.path.join(self.out, thumb)),
                                os.path.getsize(os.path.join(self.out, full)) / 2)
        for name in os.listdir(self.out):
            if name.endswith(".html"):
                self.assertLess(os.path.getsize(os.path.join(self.out, name)), PAGE_BYTES, name)


def synthetic_report(out, renderers, failing):
    """A report as a run leaves it for its pages: vorntest5's states (the
    fast run's) and fendrik's on the renderers named, each captured (an
    empty file) and passing but where failing names (renderer, state id);
    tembrel not built."""
    report = Report(None, out)
    report.renderers = [Renderer(name, {}, None) for name in renderers]
    report.programs = [("vorntest5", True, st.program_states("vorntest5", fast=True)),
                       ("fendrik", True, st.program_states("fendrik", fast=True)),
                       ("tembrel", False, [])]
    for _, _, states in report.programs:
        for state in states:
            for renderer in renderers:
                failed = (renderer, state.id) in failing
                report.settle((renderer, state.id), Outcome(
                    FAIL if failed else PASS, "%d pixels differ" % failed))
                picture = "%s/%s.png" % (renderer, state.id)
                os.makedirs(os.path.dirname(os.path.join(out, picture)), exist_ok=True)
                open(os.path.join(out, picture), "w").close()
                report.pictures[(renderer, state.id)] = (picture, 1)
    return report


class PagesSplit(unittest.TestCase):
    """Pages that may hold only 10 figures (a state on a renderer): three
    renderers' parts of vorntest5's states go on many pages, none with more
    than 10 figures or a state's block cut in two, and every link of every
    page, a state's row on the index first, leads to a file and, where it
    names one, to a block of that page."""

    FIGURES = 10
    RENDERERS = ("llvmpipe", "soft", "broken")

    @classmethod
    def setUpClass(cls):
        cls.out = tempfile.mkdtemp(prefix="page-split-")
        cls.states = [s.id for s in st.program_states("vorntest5", fast=True)]
        cls.failing = {("broken", cls.states[-1]), ("soft", cls.states[20])}
        report = synthetic_report(cls.out, cls.RENDERERS, cls.failing)
        for name in ("summary.txt", "junit.xml"):    # what the run writes beside the pages
            open(os.path.join(cls.out, name), "w").close()
        html.write_html(report, os.path.join(cls.out, "index.html"),
                        figures_per_page=cls.FIGURES)
        cls.pages = {name: read(os.path.join(cls.out, name))
                     for name in os.listdir(cls.out) if name.endswith(".html")}

    def test_states_spread_over_pages_that_link_each_other(self):
        program = sorted(n for n in self.pages if re.match(r"^vorntest5(-\d+)?\.html$", n))
        self.assertGreater(len(program), len(self.states) * len(self.RENDERERS) // self.FIGURES)
        # Each state's block is on one page, whole and in the run's order.
        found = []
        for number in range(1, len(program) + 1):
            page = self.pages[html.page_name("vorntest5", number)]
            blocks = list(page.all("details", "state"))
            self.assertTrue(blocks, number)
            figures = [len(list(b.all("figure"))) for b in blocks]
            self.assertEqual(figures, [len(self.RENDERERS)] * len(blocks))
            self.assertLessEqual(sum(figures), self.FIGURES)
            found += ["vorntest5/" + b.attrs["id"] for b in blocks]
            # The page lists its siblings, and opens where a state failed.
            listed = {a.attrs["href"] for a in next(page.all("nav", "pages")).all("a")}
            self.assertEqual(listed, set(program) - {html.page_name("vorntest5", number)})
            for block in blocks:
                self.assertEqual("open" in block.attrs, "vorntest5/" + block.attrs["id"]
                                 in {state for _, state in self.failing})
        self.assertEqual(found, self.states)
        # A link that names only the first page, made before the split,
        # finds its state there: the first page knows where each other is.
        with open(os.path.join(self.out, "vorntest5.html")) as f:
            elsewhere = json.loads(re.search(r"var elsewhere = (\{.*\});", f.read()).group(1))
        first = {b.attrs["id"] for b in self.pages["vorntest5.html"].all("details", "state")}
        self.assertEqual(set(elsewhere) | first, {s.split("/")[1] for s in self.states})
        for name, page in elsewhere.items():
            self.assertIn(name, {b.attrs["id"] for b in self.pages[page].all("details")})

    def test_every_link_leads_to_its_file_and_block(self):
        ids = {name: {e.attrs["id"] for e in page.all() if "id" in e.attrs}
               for name, page in self.pages.items()}
        rows = 0
        for name, page in self.pages.items():
            with self.subTest(page=name):
                for a in page.all("a"):
                    target, _, anchor = urllib.parse.unquote(a.attrs["href"]).partition("#")
                    if target.startswith("?"):
                        continue
                    self.assertTrue(os.path.isfile(os.path.join(self.out, target)), target)
                    if anchor:
                        self.assertIn(anchor, ids[target], a.attrs["href"])
                self.assertLess(os.path.getsize(os.path.join(self.out, name)), PAGE_BYTES)
        # Every state's row on the index leads to its block.
        for row in next(self.pages["index.html"].all("table", "matrix")).all("tr", "state"):
            href = next(row.all("a")).attrs["href"]
            page, _, anchor = href.partition("#")
            self.assertEqual(anchor, row.attrs["id"].split("/")[1])
            self.assertIn(anchor, ids[page])
            rows += 1
        self.assertEqual(rows, len(self.states) + 1)


if __name__ == "__main__":
    unittest.main()
