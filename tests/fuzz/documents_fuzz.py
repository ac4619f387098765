"""pack.json and report.json drawn from their forms or changed from real ones:
each reader, run here with eglretrace, glinfo and the models stood in for,
refuses in one line with status 2 or goes on, never raises, and reads or
writes nothing outside its folders. Derandomized: the same run each time."""

import contextlib
import functools
import glob
import io
import json
import operator
import os
import pathlib
import re
import shutil
import tempfile
import unittest

import numpy as np
from hypothesis import HealthCheck, configuration, example, given, settings, strategies as st
from PIL import Image

from expected import judge, probes
from progdriver import images
from report import catalogue, inputs, pipeline
from report.backends import parts
from report.programs import judge_trace, pack_profile, report
from report.sources import pack as packs, replay, retrace

with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds", "pack.json")) as f:
    SEED = json.load(f)
SANDBOX = tempfile.mkdtemp(prefix="documents-fuzz-")
configuration.set_hypothesis_home_dir(os.path.join(SANDBOX, "hypothesis"))
# Deep, so that a name climbing out of --out stays in the sandbox.
HOME, CLIMB = os.path.join(SANDBOX, *"d1 d2 d3 d4 d5 d6 d7 d8".split()), "../" * 6
PACK, PART, OUT = (os.path.join(HOME, n) for n in ("pack", "part", "out"))
ONE = ["--renderer", "fuzz=VORN_FUZZ=90", "--renderers", "fuzz", "--jobs", "1"]
# Two renderers, one llvmpipe: a merge writes their differences and reduced pictures.
TWO = ONE[:2] + ["--renderer", "llvmpipe=VORN_FUZZ=200", "--renderers", "fuzz,llvmpipe",
                 "--states", r"^(fendrik/start|vorntest5/c-fog-linear\+texenv-decal)$"]
HOSTILE = ["..", "", "../x", "../../../../tmp/EVIL", CLIMB + "outside/x", "a/b", "/", "-h",
           SANDBOX + "/x", "a\nb", "a\x00b", "\u00e9", "x" * 300, None, True, 0, -1, 2 ** 64,
           1.5, float("nan"), float("inf"), [], {}, {"../x": 1}, "fendrik/../x", "/etc/passwd",
           CLIMB + "outside/x.png", "fendrik/passwd.trace", "fuzz/fendrik/passwd.png"]
PASSWD, PACK_PROFILE = open("/etc/passwd", "rb").read(), os.path.join(PACK, "vorn-replay.xml.gz")
FUZZ = settings(max_examples=int(os.environ.get("DOCUMENT_FUZZ_EXAMPLES", "100")), deadline=None,
                derandomize=True, database=None, suppress_health_check=list(HealthCheck))
NAMES = st.sampled_from([s.name for p in catalogue.NAMES for s in catalogue.program_states(p)]
                        + ["llvmpipe", "a..b"]) | st.from_regex(r"\A[\w.][\w.+/-]{0,12}\Z")
SIMPLE = {"name": NAMES, "path": NAMES, "count": st.integers(0, inputs.MAXIMUM + 1),
          "program": st.sampled_from(catalogue.NAMES + ["nosuch"]),
          "state id": st.builds("{}/{}".format, st.sampled_from(catalogue.NAMES), NAMES)}
OTHER = st.integers() | st.floats() | st.booleans() | st.text(max_size=8) | st.lists(st.integers())


def drawn(form):
    """Values of a form, and now and then of none."""
    kind, more = {"maybe": "nullable"}.get(form[0], form[0]), form[1:]
    made = {"nullable": lambda: st.none() | drawn(more[0]),
            "either": lambda: st.one_of(list(map(drawn, more[0]))),
            "list": lambda: st.lists(drawn(more[0]), max_size=2),
            "tuple": lambda: st.tuples(*map(drawn, more[0])).map(list),
            "map": lambda: st.dictionaries(NAMES, drawn(more[1]), max_size=2),
            "object": lambda: st.fixed_dictionaries({k: drawn(f) for k, f in more[0].items()}),
            "choice": lambda: st.sampled_from(more[0])}
    return (made[kind]() if kind in made else SIMPLE.get(kind, OTHER)) | st.sampled_from(HOSTILE)


def places(value, place=()):
    items = value.items() if isinstance(value, dict) else \
        enumerate(value) if isinstance(value, list) else ()
    return [place] + [p for key, item in items for p in places(item, place + (key,))]


def changes(document, form):
    """Mostly one value set or dropped, or one name renamed wherever it is."""
    fields = places(document)[1:]
    one = st.tuples(st.just("set"), st.sampled_from(fields), st.sampled_from(HOSTILE) | NAMES)
    names = {functools.reduce(operator.getitem, p, document) for p in fields
             if p[0] in ("traces", "renderers", "programs") and p[-1] in ("state", "name")}
    rename = st.tuples(st.just("rename"), st.sampled_from(sorted(names)), drawn(inputs.NAME))
    return st.one_of(one, one, rename, rename, st.tuples(st.just("drop"), st.sampled_from(fields)),
                     st.tuples(st.just("whole"), drawn(form)))


def changed(document, change):
    if change[0] == "whole":
        return change[1]
    if change[0] == "rename":
        # The name, and a state id or test name of it, as whole strings.
        return json.loads(re.sub(r'"((?:\w+/|vorn@\w+@)?)%s"' % re.escape(change[1]),
                                 lambda m: json.dumps(m.group(1) + str(change[2])),
                                 json.dumps(document)))
    document = json.loads(json.dumps(document))
    *above, last = change[1]
    container = functools.reduce(operator.getitem, above, document)
    container.pop(last) if change[0] == "drop" else operator.setitem(container, last, change[2])
    return document


def snapshot():
    """The sandbox's folders and files (size, time), but --out's and the profile."""
    return {path: os.path.isdir(path) or (os.lstat(path).st_size, os.lstat(path).st_mtime_ns)
            for top, folders, files in os.walk(SANDBOX) for name in folders + files
            for path in [os.path.join(top, name)]
            if path != PACK_PROFILE and not (path + os.sep).startswith(OUT + os.sep)}


def stand_in_replay(pack, entry, env, timeout):
    """eglretrace's picture: a grey square, as a file and an image."""
    assert os.path.realpath(pack.trace_path(entry)).startswith(PACK + os.sep), entry.path
    record, grey = pipeline.Record(entry.as_state()), int(env.get("VORN_FUZZ", 90))
    picture = Image.new("RGB", (24, 24), (grey, grey, grey))
    record.image = images.Image(24, 24, picture.tobytes())
    record.path = tempfile.mkstemp(suffix=".png")[1]
    picture.save(record.path)
    record.settle()
    return record


def stand_in_verdict(record, *_):
    verdict = probes.Verdict("FAIL", [((1, 2), "(0..9, 5, 7)", (20, 5, 7), False)], 1, "differ")
    verdict.expected = verdict.mask = np.zeros((8, 8, 3), np.uint8)
    return verdict


STAND_INS = [(retrace, "replay", stand_in_replay), (pipeline, "verdict_of", stand_in_verdict),
             (replay, "renderer_info", lambda env: {"renderer": "fuzz", "bits": [8, 8, 8, 0]})]


def run(main, argv):
    err = io.StringIO()
    with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(err):
        return main(argv), err.getvalue()


class Documents(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        for module, name, value in STAND_INS:
            setattr(module, name, value)
        cls.addClassCleanup(shutil.rmtree, SANDBOX, True)
        for path in [e["path"] for e in SEED["traces"]] + [
                os.path.join(packs.TEXTURES, n) for _, n, _, _ in judge.TEXTURE_FILES]:
            os.makedirs(os.path.dirname(os.path.join(PACK, path)), exist_ok=True)
            with open(os.path.join(PACK, path), "wb") as f:
                f.write(bytes(4 << 16))
        with open(os.path.join(PACK, packs.PACK_FILE), "w") as f:
            json.dump(SEED, f)
        assert run(report.main, ["--replay", PACK, "--out", PART] + TWO)[0] in (0, 1)
        with open(os.path.join(PART, parts.REPORT_FILE)) as f:
            cls.part = json.load(f)
        # A trace of the pack and a picture of the part that link out of them.
        os.symlink("/etc/passwd", os.path.join(PACK, "fendrik", "passwd.trace"))
        os.symlink("/etc/passwd", os.path.join(PART, "fuzz", "fendrik", "passwd.png"))

    def stays_inside(self, folder, name, document, load, commands):
        """Each command refuses in one line (as load() does) or stays inside --out."""
        with open(os.path.join(folder, name), "w") as f:
            json.dump(document, f)
        try:
            load()
            refused = False
        except (packs.PackError, parts.UnreadableError):
            refused = True
        before = snapshot()
        for command, main, argv in commands:
            status, err = run(main, argv)
            if status == 2 or refused:
                self.assertEqual((status, len(err.splitlines())), (2, 1), err)
                self.assertTrue(err.startswith("scripts/%s: error: " % command), err)
            after = snapshot()
            self.assertEqual([p for p in set(before) | set(after)
                              if before.get(p) != after.get(p)], [], command)
            self.assertNotIn(PASSWD, [pathlib.Path(p).read_bytes() for p in glob.glob(
                OUT + "/**", recursive=True) if os.path.isfile(p)], command)
            shutil.rmtree(OUT, ignore_errors=True)

    @FUZZ
    @given(change=changes(SEED, inputs.PACK))
    @example(change=("rename", "start", "../../../../tmp/EVIL"))
    @example(change=("set", ("traces", 3, "path"), "../b15-pack/fendrik/start.trace"))
    @example(change=("set", ("traces", 3, "path"), "fendrik/passwd.trace"))
    def test_a_pack_is_refused_in_one_line_or_judged_inside_its_out(self, change):
        self.stays_inside(PACK, packs.PACK_FILE, changed(SEED, change), lambda: packs.load(PACK), [
            ("pack-profile", pack_profile.main, [PACK]),
            ("judge-trace", judge_trace.main, [PACK, "fendrik", "start"]),
            ("report", report.main, ["--replay", PACK, "--out", OUT] + ONE)])

    @FUZZ
    @given(change=st.deferred(lambda: changes(Documents.part, inputs.REPORT)))
    @example(change=("rename", "start", "../x"))
    @example(change=("rename", "llvmpipe", "../../../../tmp/EVIL"))
    @example(change=("set", ("pictures", 0, "path"), "fuzz/fendrik/passwd.png"))
    def test_a_part_is_refused_in_one_line_or_merged_inside_the_out(self, change):
        self.stays_inside(PART, parts.REPORT_FILE, changed(self.part, change),
                          lambda: parts.load(PART),
                          [("report", report.main, ["--merge", PART, "--out", OUT])])


if __name__ == "__main__":
    unittest.main(verbosity=2)
