"""The program tests' view of the program driver and the expected-picture
models: one Driver for the programs of this build on the X server that the
whole test run shares, the driver's functions by their short names, and what
only the tests need (texture files by name, pictures kept with the run's
artifacts, one run through a list of menu states).

The test run sets SUITE_BIN_DIR (programs and textures), SUITE_PRELOAD_DIR
(the preloaded libraries), SUITE_XSTATE_DIR (where the X server's display
is kept) and SUITE_ARTIFACT_DIR (where pictures are kept)."""

import os
import tempfile

from expected import texels
from expected.texels import close_to, sample_linear  # noqa: F401 - the tests' h.*
from progdriver import menus, traces, xserver
from progdriver.programs import (  # noqa: F401
    Driver, at_one_frame, capture, find_window, frames_stop, freeze, geometry, kill, place,
    pointer_into, quit, shutdown_log, stderr, stdout, swaps, wait_swaps, wait_unchanged,
    wait_until)

BIN_DIR = os.environ.get("SUITE_BIN_DIR", "")
PRELOAD_DIR = os.environ.get("SUITE_PRELOAD_DIR", "")
XSTATE_DIR = os.environ.get("SUITE_XSTATE_DIR", "")
ARTIFACT_DIR = os.environ.get("SUITE_ARTIFACT_DIR", tempfile.gettempdir())


def _display():
    try:
        return xserver.display_of(XSTATE_DIR)
    except OSError:
        return None     # no shared server: only tests that start no program can run


# Two minutes without progress is a hang: a machine busy with other work
# was seen to keep a sanitizer build from showing its window for one.
DRIVER = Driver(BIN_DIR, PRELOAD_DIR, _display(), timeout=120.0)
# How long a whole command the tests run (a report, a replay, a bundle) may
# take before it counts as hung: a guard against hangs, never a measure of
# speed. Beside other work on 2 cores a stress replay took over 300 s.
COMMAND_SECONDS = 1800

program_env = DRIVER.program_env
x = DRIVER.x
start = DRIVER.start
start_at = DRIVER.start_at
library = DRIVER.library
gl_calls = traces.gl_calls
MENU_OPEN_AT = menus.OPEN_AT
open_menu = menus.open_menu
menu_entry_point = menus.entry_point
choose_menu_entry = menus.choose
wait_menu = menus.wait_menu


def read_raw(name, width, height, bits):
    """A texture file of the build by its name."""
    return texels.read_raw(os.path.join(BIN_DIR, name), width, height, bits)


def save(image, name):
    """Keeps a picture as a PNG with the test run's other artifacts."""
    return image.save(os.path.join(ARTIFACT_DIR, name))


def capture_menu_states(program, title, entry_count, steps, frames=3):
    """Starts program and, in one run, chooses each step's menu entries in
    turn and captures the picture that follows. steps holds (entries, name,
    ...) tuples; returns the pictures by name (each also saved as
    "<program>-<name>.png") and the run, ended by Esc (its status is
    run.proc.returncode)."""
    images = {}
    run = start(program, preload=("swapcount",))
    try:
        find_window(run, title)
        place(run)
        wait_swaps(run, 3)
        for entries, name, *_ in steps:
            for entry in entries:
                choose_menu_entry(run, entry, entry_count)
            wait_swaps(run, frames)
            images[name] = capture(run)
            save(images[name], "%s-%s.png" % (program, name))
        quit(run)
        return images, run
    finally:
        kill(run)
