"""Bad input to every command: an unknown program or state, a folder that
is no trace pack or a pack with parts missing, a pack or a report naming
what lies outside its folder, a wrong number of arguments. Each is a usage
error: one line on standard error, exit status 2, and never a traceback."""

import argparse
import glob
import json
import os
import shutil
import subprocess
import tempfile
import unittest

from expected import judge
from report import catalogue, run
from report.backends import parts
import harness as h
from test_report import BUILD, ROOT


def command(name, *args):
    return subprocess.run([os.path.join(ROOT, "scripts", name)] + list(args),
                          capture_output=True, text=True, timeout=h.COMMAND_SECONDS)


def pack(textures=True, trace=True, where=None, **entry_changes):
    """A pack of one trace of fendrik's start, its files made up: enough to
    be read, never replayed; in where, its entry changed."""
    directory = tempfile.mkdtemp(prefix="pack-", dir=where)
    entry = {"test": "vorn@fendrik@start", "program": "fendrik", "state": "start",
             "label": "start", "settings": {}, "entries": [], "combination": False,
             "path": "fendrik/start.trace", "frames": 5, "last_call": 10, "size": 4}
    with open(os.path.join(directory, "pack.json"), "w") as f:
        json.dump({"format": 1, "recorded": {"renderer": "llvmpipe"},
                   "traces": [dict(entry, **entry_changes)]}, f)
    os.makedirs(os.path.join(directory, "fendrik"))
    if trace:
        with open(os.path.join(directory, entry["path"]), "wb") as f:
            f.write(b"made")
    os.makedirs(os.path.join(directory, "textures"))
    for _, name, side, bits in judge.TEXTURE_FILES[:None if textures else -1]:
        with open(os.path.join(directory, "textures", name), "wb") as f:
            f.write(bytes(side * side * bits // 8))
    return directory


class UsageErrors(unittest.TestCase):

    def test_every_command_refuses_bad_input_in_one_line(self):
        whole = pack()
        # Packs and a part that name what lies outside their folders, where
        # nothing is written.
        deep = os.path.join(tempfile.mkdtemp(prefix="elsewhere-"), "a", "b")
        os.makedirs(deep)
        os.rename(pack(where=deep), os.path.join(deep, "b15-pack"))
        evil, out = pack(where=deep, state="../../../../tmp/EVIL"), os.path.join(deep, "out")
        part, linked, passwd = (tempfile.mkdtemp(dir=deep), pack(where=deep),
                                pack(where=deep, trace=False))
        report = run.Report(argparse.Namespace(fast=True, timeout=1.0, costs=False,
                                               no_rates=True), part)
        report.programs = [("fendrik", True, [catalogue.State("fendrik", "../x", "x")])]
        report.origin = dict(kind="replay", identity=None, places=[], description=None)
        parts.write(report, part)
        os.symlink(deep, os.path.join(linked, "vorn-replay.xml.gz"))
        os.symlink("/etc/passwd", os.path.join(passwd, "fendrik", "start.trace"))
        cases = [
            ("run-state", ["--build", BUILD, "nosuch", "start"], "unknown program nosuch"),
            ("run-state", ["--build", BUILD, "vorntest5", "nosuch"], "no state vorntest5/nosuch"),
            ("judge-trace", [whole, "nosuch", "start"], "has no trace of nosuch/start"),
            ("judge-trace", [whole, "fendrik", "nosuch"], "has no trace of fendrik/nosuch"),
            ("judge-trace", [pack(textures=False), "fendrik", "start"],
             "lacks texture files the models read"),
            ("judge-trace", [pack(trace=False), "fendrik", "start"], "lacks traces"),
            ("judge-trace", [tempfile.mkdtemp(), "fendrik", "start"], "is no trace pack"),
            ("pack-profile", [pack(textures=False)], "lacks texture files"),
            ("pack-profile", [], "usage: scripts/pack-profile PACK"),
            ("report", ["--replay", pack(textures=False), "--out", tempfile.mkdtemp()],
             "lacks texture files"),
            ("report", ["--build", BUILD, "--programs", "nosuch"], "unknown program: nosuch"),
            # A job on the wrong driver stops before it judges anything (the
            # pack's made-up trace would crash the replayer).
            ("report", ["--replay", whole, "--renderers", "llvmpipe", "--renderer-check",
                        "llvmpipe=^radeonsi", "--out", tempfile.mkdtemp()],
             "renderer llvmpipe is 'llvmpipe ("),
            ("report", ["--build", BUILD, "--fraction", "3", "--fraction-start", "4"],
             "needs 1 <= K <= N (got N=3, K=4)"),
            ("report", ["--merge", whole, "--fast"], "--merge does not go with --fast"),
            ("judge-trace", [evil, "fendrik", "start"], "entry traces[0], field state: '../../"),
            ("report", ["--replay", evil, "--out", out], "state: '../../../../tmp/EVIL' is not"),
            ("pack-profile", [pack(where=deep, path="../b15-pack/fendrik/start.trace")],
             "pack.json: entry traces[0], field path: '../b15-pack/fendrik/start.trace' is not"),
            ("report", ["--replay", passwd, "--out", out],
             "field path: 'fendrik/start.trace' leads outside"),
            ("report", ["--merge", part, "--out", out],
             "report.json: entry programs[0], field states[0].name: '../x' is not a name"),
            ("pack-profile", [linked], "vorn-replay.xml.gz lies outside"),
        ]
        tree = os.path.join(os.path.dirname(deep), "**")
        before = sorted(glob.glob(tree, recursive=True))
        for name, args, text in cases:
            with self.subTest(command=name, args=args):
                done = command(name, *args)
                self.assertEqual(done.returncode, 2, done.stdout + done.stderr)
                self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)
                self.assertIn(text, done.stderr)
                self.assertNotIn("Traceback", done.stdout + done.stderr)
        self.assertEqual(sorted(glob.glob(tree, recursive=True)), before)


class FirstMinute(unittest.TestCase):
    """--help and a mistyped option answer from a checkout with nothing
    built, before any command installs or builds: apt-get, dpkg-query and
    cmake fail loudly (status 99) if anything calls them."""

    def test_help_and_usage_errors_come_before_install_and_build(self):
        checkout = tempfile.mkdtemp(prefix="checkout-")
        for folder in ("scripts", "report"):
            shutil.copytree(os.path.join(ROOT, folder), os.path.join(checkout, folder),
                            ignore=shutil.ignore_patterns("__pycache__"))
        guard = os.path.join(checkout, "guard")
        os.makedirs(guard)
        for tool in ("apt-get", "dpkg-query", "cmake", "sudo"):
            with open(os.path.join(guard, tool), "w") as f:
                f.write("#!/bin/sh\necho %s called >&2\nexit 99\n" % tool)
            os.chmod(os.path.join(guard, tool), 0o755)
        env = dict(os.environ, PATH=guard + os.pathsep + os.environ["PATH"])

        def command(name, *args):
            return subprocess.run([os.path.join(checkout, "scripts", name)] + list(args),
                                  capture_output=True, text=True, env=env,
                                  timeout=h.COMMAND_SECONDS)

        for name in ("report", "run", "run-state", "judge-trace", "pack-profile", "test",
                     "test-debian"):
            for ask in ("--help", "-h"):
                with self.subTest(command=name, args=ask):
                    done = command(name, ask)
                    self.assertEqual((done.returncode, done.stderr), (0, ""))
                    self.assertIn("scripts/" + name, done.stdout)
        for name, args, text in [("report", ["--fsat"], "unrecognized arguments: --fsat"),
                                 ("report", ["--replay"], "expected one argument"),
                                 ("report", ["--programs", "nosuch"], "unknown program"),
                                 ("run", ["--fsat"], "unrecognized option --fsat"),
                                 ("run", ["nosuch"], "no such program: nosuch"),
                                 ("run", [], "no program given"),
                                 ("run-state", ["--fsat", "fendrik", "start"], "--fsat"),
                                 ("judge-trace", ["--fsat", "P", "fendrik", "start"], "--fsat"),
                                 ("pack-profile", ["--fsat", "P"], "--fsat"),
                                 ("test", ["--fsat"], "--fsat")]:
            with self.subTest(command=name, args=args):
                done = command(name, *args)
                self.assertEqual((done.returncode, done.stdout), (2, ""), done.stderr)
                self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)
                self.assertIn(text, done.stderr)
        # Arguments that are fine go on to the install, which the guard stops.
        for name, args in [("report", ["--fast"]), ("run", ["fendrik", "--help"])]:
            with self.subTest(command=name, args=args):
                done = command(name, *args)
                self.assertEqual(done.returncode, 99, done.stdout + done.stderr)
                self.assertIn("called", done.stderr)


if __name__ == "__main__":
    unittest.main()
