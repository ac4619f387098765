"""Runs the suite's real programs on the shared virtual X server and looks at
them from outside: their window, their pixels, their output, their exit
status, their GL calls. Nothing here changes a program.

The test run sets SUITE_BIN_DIR (programs and textures), SUITE_TOOLS_DIR (the
preloaded counters) and SUITE_XSTATE_DIR (where the X server's display number
is kept)."""

import os
import re
import subprocess
import tempfile
import time

BIN_DIR = os.environ.get("SUITE_BIN_DIR", "")
TOOLS_DIR = os.environ.get("SUITE_TOOLS_DIR", "")
XSTATE_DIR = os.environ.get("SUITE_XSTATE_DIR", "")
ARTIFACT_DIR = os.environ.get("SUITE_ARTIFACT_DIR", tempfile.gettempdir())

# Sanitizer reports must not pass for the programs' own exit status 1.
SANITIZER_STATUS = 86


def display():
    with open(os.path.join(XSTATE_DIR, "display")) as f:
        return ":" + f.read().strip()


def program_env(extra=None):
    env = dict(os.environ)
    env["DISPLAY"] = display()
    env["ASAN_OPTIONS"] = ("detect_leaks=0:verify_asan_link_order=0:exitcode=%d"
                           % SANITIZER_STATUS)
    env["UBSAN_OPTIONS"] = "halt_on_error=1:print_stacktrace=1:exitcode=%d" % SANITIZER_STATUS
    if extra:
        env.update(extra)
    return env


def x(*args, check=True):
    """Runs an X client (xdotool, xwininfo) against the shared display."""
    result = subprocess.run(list(args), env=program_env(), capture_output=True,
                            timeout=30)
    if check and result.returncode != 0:
        raise RuntimeError("%s failed: %s" % (args[0], result.stderr.decode()))
    return result.stdout.decode()


class Run:
    """One running program: its process, where its output goes, its files."""

    def __init__(self, proc, workdir, stdout_path, stderr_path):
        self.proc = proc
        self.workdir = workdir
        self.stdout_path = stdout_path
        self.stderr_path = stderr_path
        self.window = None

    def file(self, name):
        return os.path.join(self.workdir, name)


def start(program, args=(), cwd=None, preload=(), trace=False, env=None):
    """Starts a program from cwd (the directory with the textures by default),
    with the named test libraries preloaded or under apitrace."""
    workdir = tempfile.mkdtemp(prefix=program + "-")
    extra = dict(env or {})
    extra["SWAPCOUNT_FILE"] = os.path.join(workdir, "swaps")
    extra["SHUTDOWNLOG_FILE"] = os.path.join(workdir, "shutdown")
    libs = [os.path.join(TOOLS_DIR, "lib%s.so" % name) for name in preload]
    if libs:
        extra["LD_PRELOAD"] = ":".join(libs)
    command = [os.path.join(BIN_DIR, program)] + list(args)
    if trace:
        command = ["apitrace", "trace", "-o", os.path.join(workdir, "calls.trace")] + command
    out = os.path.join(workdir, "stdout")
    err = os.path.join(workdir, "stderr")
    with open(out, "wb") as o, open(err, "wb") as e:
        proc = subprocess.Popen(command, cwd=cwd or BIN_DIR, env=program_env(extra),
                                stdin=subprocess.DEVNULL, stdout=o, stderr=e)
    return Run(proc, workdir, out, err)


def find_window(run, title, timeout=20):
    """Waits for the program's window and moves it fully onto the screen: with
    no window manager, freeglut opens a window with no set position at
    (-1, -1)."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if run.proc.poll() is not None:
            raise RuntimeError("program ended early, status %d: %s"
                               % (run.proc.returncode, stderr(run)))
        ids = x("xdotool", "search", "--onlyvisible", "--name",
                "^%s$" % re.escape(title), check=False).split()
        if ids:
            run.window = ids[0]
            return run.window
        time.sleep(0.05)
    raise RuntimeError("no window titled %r" % title)


def place(run, left=0, top=0):
    x("xdotool", "windowmove", "--sync", run.window, str(left), str(top))


def geometry(run):
    info = x("xwininfo", "-id", run.window)
    def field(name):
        return int(re.search(name + r":\s+(-?\d+)", info).group(1))
    return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
            field("Width"), field("Height"))


def swaps(run):
    """Buffer swaps so far, counted by the preloaded swapcount library."""
    try:
        with open(run.file("swaps")) as f:
            return int(f.read().split()[0])
    except (OSError, IndexError, ValueError):
        return 0


def wait_swaps(run, count, timeout=20):
    """Waits until the program has swapped at least count more times."""
    target = swaps(run) + count
    deadline = time.time() + timeout
    while swaps(run) < target:
        if time.time() > deadline or run.proc.poll() is not None:
            raise RuntimeError("only %d of %d frames drawn" % (swaps(run), target))
        time.sleep(0.02)


def frames_stop(run, quiet=0.7, timeout=5):
    """True once no frame has been drawn for quiet seconds."""
    deadline = time.time() + timeout
    last, since = swaps(run), time.time()
    while time.time() < deadline:
        time.sleep(0.05)
        now = swaps(run)
        if now != last:
            last, since = now, time.time()
        elif time.time() - since >= quiet:
            return True
    return False


def capture(run):
    """The window's pixels as an Image, read back from the X server."""
    ppm = subprocess.run(["import", "-silent", "-window", run.window, "-depth", "8", "ppm:-"],
                         env=program_env(), capture_output=True, timeout=30,
                         check=True).stdout
    return parse_ppm(ppm)


class Image:
    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, px, py):
        """RGB at column px, row py counted from the top."""
        i = 3 * (py * self.width + px)
        return tuple(self.data[i:i + 3])

    def save(self, name):
        """Writes a PNG next to the test run's other artifacts."""
        os.makedirs(ARTIFACT_DIR, exist_ok=True)
        path = os.path.join(ARTIFACT_DIR, name)
        header = b"P6\n%d %d\n255\n" % (self.width, self.height)
        subprocess.run(["/usr/bin/convert", "ppm:-", path], input=header + self.data,
                       check=True)
        return path


def parse_ppm(ppm):
    fields = []
    pos = 0
    while len(fields) < 4:
        while ppm[pos:pos + 1].isspace():
            pos += 1
        if ppm[pos:pos + 1] == b"#":
            pos = ppm.index(b"\n", pos)
            continue
        end = pos
        while not ppm[end:end + 1].isspace():
            end += 1
        fields.append(ppm[pos:end])
        pos = end
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    width, height = int(fields[1]), int(fields[2])
    pos += 1
    return Image(width, height, ppm[pos:pos + 3 * width * height])


def pointer_into(run, px=None, py=None):
    """Moves the pointer over the window (the centre by default); with no
    window manager the keyboard focus follows the pointer."""
    _, _, width, height = geometry(run)
    px = width // 2 if px is None else px
    py = height // 2 if py is None else py
    x("xdotool", "mousemove", "--window", run.window, str(px), str(py))


def key(run, name):
    """Types a key as a user would, through the X server's input (XTEST)."""
    pointer_into(run)
    x("xdotool", "key", name)


def finish(run, timeout=20):
    """Waits for the program to end; returns its exit status."""
    try:
        return run.proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        run.proc.kill()
        run.proc.wait()
        raise


def quit(run):
    """Ends the program with Esc; returns its exit status."""
    key(run, "Escape")
    return finish(run)


def stdout(run):
    with open(run.stdout_path, "rb") as f:
        return f.read()


def stderr(run):
    with open(run.stderr_path, "rb") as f:
        return f.read().decode(errors="replace")


def shutdown_log(run):
    with open(run.file("shutdown")) as f:
        return f.read().split("\n")[:-1]


def gl_calls(run, pattern=None):
    """The traced GL calls as (name, arguments) in call order; apitrace marks
    the array pointers it records at draw time as fake, so their position is
    that of the draw, not the program's own."""
    dump = subprocess.run(["apitrace", "dump", "--color=never", "--call-nos=no",
                           run.file("calls.trace")],
                          capture_output=True, check=True, timeout=120).stdout.decode()
    calls = []
    for line in dump.split("\n"):
        match = re.match(r"(\w+)\((.*)\)( = .*)?( // fake)?$", line)
        if match and (pattern is None or re.match(pattern, match.group(1))):
            calls.append((match.group(1), match.group(2)))
    return calls


def kill(run):
    if run.proc.poll() is None:
        run.proc.kill()
        run.proc.wait()


# Textures and the fixed-function sampling that the expected pictures need.

def read_raw(name, width, height, bits):
    """A raw texture as rows of texels, row 0 first, each a tuple of bytes."""
    comps = bits // 8
    with open(os.path.join(BIN_DIR, name), "rb") as f:
        data = f.read(width * height * comps)
    return [[tuple(data[(r * width + c) * comps:(r * width + c + 1) * comps])
             for c in range(width)] for r in range(height)]


def sample_linear(texels, s, t):
    """GL_LINEAR sampling with the default GL_REPEAT wrap at (s, t)."""
    height, width = len(texels), len(texels[0])
    u = s * width - 0.5
    v = t * height - 0.5
    i0, j0 = int(u // 1), int(v // 1)
    a, b = u - i0, v - j0
    def texel(i, j):
        return texels[j % height][i % width]
    result = []
    for c in range(len(texels[0][0])):
        result.append((1 - a) * (1 - b) * texel(i0, j0)[c] + a * (1 - b) * texel(i0 + 1, j0)[c]
                      + (1 - a) * b * texel(i0, j0 + 1)[c] + a * b * texel(i0 + 1, j0 + 1)[c])
    return tuple(result)


def close_to(actual, expected, tolerance):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


# Pop-up menus, driven as a user drives them. freeglut opens a menu with its
# top-left corner at the pointer (moved up only if it would leave the
# screen), as an override-redirect window titled "freeglut menu", 2 pixels of
# border above and below the entries and one equal-height row per entry.

MENU_TITLE = "^freeglut menu$"
MENU_BORDER = 2
MENU_OPEN_AT = (10, 10)     # where, in the program's window, menus are opened


def menu_windows():
    return x("xdotool", "search", "--onlyvisible", "--name", MENU_TITLE,
             check=False).split()


def wait_menu(visible, timeout=10):
    """Waits until a menu is shown (visible) or none is; returns the shown
    menu's window id."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        ids = menu_windows()
        if bool(ids) == visible:
            return ids[0] if ids else None
        time.sleep(0.01)
    raise RuntimeError("menu still %s" % ("hidden" if visible else "shown"))


def open_menu(run, entry_count):
    """Opens the right-button menu of run's window with a right click at
    MENU_OPEN_AT and returns (left, top, width, entry_height) of the shown
    menu in screen pixels. The click's release lands on the menu's border,
    which chooses nothing, so the menu stays open. Checks that the menu has
    room for exactly entry_count rows."""
    wait_menu(False)
    x("xdotool", "mousemove", "--window", run.window, str(MENU_OPEN_AT[0]),
      str(MENU_OPEN_AT[1]), "mousedown", "3", "mouseup", "3")
    menu = wait_menu(True)
    info = x("xwininfo", "-id", menu)
    def field(name):
        return int(re.search(name + r":\s+(-?\d+)", info).group(1))
    height = field("Height") - 2 * MENU_BORDER
    if height % entry_count:
        raise RuntimeError("menu of %d pixels has no room for %d equal rows"
                           % (height, entry_count))
    return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
            field("Width"), height // entry_count)


def menu_entry_point(menu, index):
    """Screen position of the middle of entry index of an open menu (as
    open_menu returned it)."""
    left, top, width, entry_height = menu
    return (left + width // 2, top + MENU_BORDER + entry_height * index + entry_height // 2)


def choose_menu_entry(run, index, entry_count):
    """Chooses entry index (0 = top) of run's right-button menu, which must
    have entry_count entries, as a user does: a right click opens the menu,
    a right click on the entry chooses it (press and release with no pause:
    xdotool's "click" adds a tenth of a second). Returns once the menu has
    gone and, where swapcount is preloaded, two more frames are drawn:
    freeglut hides the menu before it calls the program's menu callback and
    draws the next frame only after it, so those frames show the choice.
    The window needs room below MENU_OPEN_AT for the whole menu, and nothing
    may cover it."""
    menu = open_menu(run, entry_count)
    px, py = menu_entry_point(menu, index)
    x("xdotool", "mousemove", str(px), str(py), "mousedown", "3", "mouseup", "3")
    wait_menu(False)
    if os.path.exists(run.file("swaps")):
        wait_swaps(run, 2)


def tool_library(name):
    """Path of the preloadable lib<name>.so: the one the build made, or, for
    a tool the build does not list yet, one compiled here from
    tests/tools/<name>.c."""
    built = os.path.join(TOOLS_DIR, "lib%s.so" % name)
    if os.path.exists(built):
        return built
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools",
                          name + ".c")
    out = os.path.join(tempfile.gettempdir(), "suite-tools-%d" % os.getpid())
    os.makedirs(out, exist_ok=True)
    path = os.path.join(out, "lib%s.so" % name)
    if not os.path.exists(path):
        subprocess.run(["cc", "-shared", "-fPIC", "-O1", "-o", path, source, "-ldl"],
                       check=True, timeout=60)
    return path


# Programs run at a set local time.

FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"


def start_at(program, when, args=(), cwd=None, preload=(), trace=False, env=None):
    """Starts a program whose wall clock stands still at when, a local time
    "YYYY-MM-DD hh:mm:ss" in UTC, through libfaketime. An absolute time with
    no "@" does not advance; the monotonic clock, which GLUT's loop uses,
    keeps running. libfaketime goes first in LD_PRELOAD, the named test
    libraries after it."""
    libs = [FAKETIME_LIB] + [os.path.join(TOOLS_DIR, "lib%s.so" % name) for name in preload]
    extra = dict(env or {})
    extra.update({"FAKETIME": when, "FAKETIME_NO_CACHE": "1",
                  "FAKETIME_DONT_FAKE_MONOTONIC": "1", "TZ": "UTC",
                  "LD_PRELOAD": ":".join(libs)})
    return start(program, args, cwd=cwd, preload=(), trace=trace, env=extra)


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
            images[name].save("%s-%s.png" % (program, name))
        quit(run)
        return images, run
    finally:
        kill(run)
