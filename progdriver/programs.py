"""Runs the suite's real programs on a virtual X server and looks at them from
outside: their window, their pixels, their output, their exit status, their
frame count. Nothing here changes a program; small preloaded libraries watch
it (the swap counter writes its frame count to a file).

A Driver says where the programs, the preloaded libraries and the X server
are, and how long a program may go without progress; every Run remembers
its Driver."""

import os
import re
import signal
import subprocess
import tempfile
import time

from . import images

# Sanitizer reports must not pass for the programs' own exit status 1.
SANITIZER_STATUS = 86

FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
# coreutils' stdbuf library: preloaded with _STDBUF_O=L it makes a program's
# standard output line-buffered, as on a terminal, so that what it prints
# can be read as it prints it.
STDBUF_LIB = "/usr/libexec/coreutils/libstdbuf.so"


class ProgramEnded(RuntimeError):
    """The program ended while it was expected to go on."""

    def __init__(self, run, message):
        super().__init__(message)
        self.run = run
        self.status = run.proc.returncode


class NoProgress(RuntimeError):
    """The program made no progress within the driver's timeout: no new
    frame, no window, no menu, or no exit."""


class Driver:
    """Where the programs and textures (bin_dir), the preloadable libraries
    (preload_dir, each lib<name>.so) and the X server (display) are; timeout
    is how many seconds a program may go without progress; niceness what
    the programs are started with (see nice(1))."""

    def __init__(self, bin_dir, preload_dir, display, timeout=20.0, niceness=0):
        self.bin_dir = bin_dir
        self.preload_dir = preload_dir
        self.display = display
        self.timeout = timeout
        self.niceness = niceness

    def library(self, name):
        """A preloadable library by its name, or a path as it is."""
        if os.sep in name:
            return name
        return os.path.join(self.preload_dir, "lib%s.so" % name)

    def program_env(self, extra=None):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env["ASAN_OPTIONS"] = ("detect_leaks=0:verify_asan_link_order=0:exitcode=%d"
                               % SANITIZER_STATUS)
        env["UBSAN_OPTIONS"] = ("halt_on_error=1:print_stacktrace=1:exitcode=%d"
                                % SANITIZER_STATUS)
        if extra:
            env.update(extra)
        return env

    def x(self, *args, check=True):
        """Runs an X client (xdotool, xwininfo) against the display."""
        result = subprocess.run(list(args), env=self.program_env(), capture_output=True,
                                timeout=max(images.TOOL_SECONDS, self.timeout))
        if check and result.returncode != 0:
            raise RuntimeError("%s failed: %s" % (args[0], result.stderr.decode()))
        return result.stdout.decode()

    def start(self, program, args=(), cwd=None, preload=(), trace=False, env=None,
              line_buffered=False):
        """Starts a program from cwd (the directory with the textures by
        default), with the named libraries preloaded or under apitrace. A
        preload list in env (LD_PRELOAD) goes first. line_buffered: its
        standard output a line at a time, as on a terminal."""
        workdir = tempfile.mkdtemp(prefix=program + "-")
        extra = dict(env or {})
        extra["SWAPCOUNT_FILE"] = os.path.join(workdir, "swaps")
        extra["SHUTDOWNLOG_FILE"] = os.path.join(workdir, "shutdown")
        extra["CRASHTRACE_FILE"] = os.path.join(workdir, "crash")
        libs = [l for l in extra.get("LD_PRELOAD", "").split(":") if l]
        libs += [self.library(name) for name in preload]
        if line_buffered:
            libs.append(STDBUF_LIB)
            extra["_STDBUF_O"] = "L"
        if libs:
            extra["LD_PRELOAD"] = ":".join(libs)
        command = [os.path.join(self.bin_dir, program)] + list(args)
        if trace:
            command = ["apitrace", "trace", "-o", os.path.join(workdir, "calls.trace")] + command
        if self.niceness:
            # nice execs the program: the process, and its pid, are the program's.
            command = ["nice", "-n", str(self.niceness)] + command
        out = os.path.join(workdir, "stdout")
        err = os.path.join(workdir, "stderr")
        with open(out, "wb") as o, open(err, "wb") as e:
            proc = subprocess.Popen(command, cwd=cwd or self.bin_dir,
                                    env=self.program_env(extra),
                                    stdin=subprocess.DEVNULL, stdout=o, stderr=e)
        return Run(self, program, proc, workdir, out, err)

    def start_at(self, program, when, args=(), cwd=None, preload=(), trace=False, env=None):
        """Starts a program whose wall clock stands still at when, a local
        time "YYYY-MM-DD hh:mm:ss" in UTC, through libfaketime. An absolute
        time with no "@" does not advance; the monotonic clock, which GLUT's
        loop uses, keeps running. libfaketime goes first in LD_PRELOAD."""
        extra = dict(env or {})
        extra.update({"FAKETIME": when, "FAKETIME_NO_CACHE": "1",
                      "FAKETIME_DONT_FAKE_MONOTONIC": "1", "TZ": "UTC",
                      "LD_PRELOAD": ":".join([FAKETIME_LIB] + [
                          l for l in extra.get("LD_PRELOAD", "").split(":") if l])})
        return self.start(program, args, cwd=cwd, preload=preload, trace=trace, env=extra)


class Run:
    """One running program: its driver, name, process, where its output
    goes, its files and, once found, its window."""

    def __init__(self, driver, program, proc, workdir, stdout_path, stderr_path):
        self.driver = driver
        self.program = program
        self.proc = proc
        self.workdir = workdir
        self.stdout_path = stdout_path
        self.stderr_path = stderr_path
        self.window = None

    def file(self, name):
        return os.path.join(self.workdir, name)


def check_alive(run, doing):
    if run.proc.poll() is not None:
        raise ProgramEnded(run, "program ended %s, %s: %s"
                           % (doing, describe_status(run.proc.returncode),
                              stderr(run)[-2000:]))


def describe_status(status):
    """"status 86" or "killed by SIGSEGV"."""
    if status is not None and status < 0:
        try:
            return "killed by %s" % signal.Signals(-status).name
        except ValueError:
            return "killed by signal %d" % -status
    return "status %s" % status


def find_window(run, title, timeout=None):
    """Waits for the program's window and returns its id. A program whose
    window is not found is killed: left on the screen, its window could
    be taken for a later program's of the same title."""
    deadline = time.time() + (timeout or run.driver.timeout)
    try:
        while time.time() < deadline:
            check_alive(run, "early")
            ids = run.driver.x("xdotool", "search", "--onlyvisible", "--name",
                               "^%s$" % re.escape(title), check=False).split()
            if ids:
                run.window = ids[0]
                return run.window
            time.sleep(0.05)
        raise NoProgress("no window titled %r" % title)
    except BaseException:
        kill(run)
        raise


def place(run, left=0, top=0):
    """Moves the window fully onto the screen: with no window manager,
    freeglut opens a window with no set position at (-1, -1)."""
    run.driver.x("xdotool", "windowmove", "--sync", run.window, str(left), str(top))


def window_info(driver, window):
    info = driver.x("xwininfo", "-id", window)

    def field(name):
        return int(re.search(name + r":\s+(-?\d+)", info).group(1))
    return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
            field("Width"), field("Height"))


def geometry(run):
    """(left, top, width, height) of the window on the screen."""
    return window_info(run.driver, run.window)


def swaps(run):
    """Buffer swaps so far, counted by the preloaded swapcount library."""
    try:
        with open(run.file("swaps")) as f:
            return int(f.read().split()[0])
    except (OSError, IndexError, ValueError):
        return 0


def wait_swaps(run, count, timeout=None):
    """Waits until the program has swapped at least count more times; it
    may take as long as it likes while it goes on drawing, but not timeout
    seconds without a new frame."""
    stall = timeout or run.driver.timeout
    now = swaps(run)
    target = now + count
    last, since = now, time.time()
    while now < target:
        check_alive(run, "after %d of %d frames" % (now, target))
        if now != last:
            last, since = now, time.time()
        elif time.time() - since > stall:
            raise NoProgress("only %d of %d frames drawn: no new frame for %g s"
                             % (now, target, stall))
        time.sleep(0.02)
        now = swaps(run)


def wait_until(run, done, what, timeout=None):
    """Waits until done() is true, for as long as the program runs: a busy
    machine may take any time to get there, so only timeout seconds without
    it (the driver's timeout by default) count as a hang."""
    timeout = timeout or run.driver.timeout
    deadline = time.time() + timeout
    while not done():
        check_alive(run, "waiting for %s" % what)
        if time.time() > deadline:
            raise NoProgress("no %s within %g s" % (what, timeout))
        time.sleep(0.005)


def at_one_frame(run, read):
    """(frame count, read()) at one moment: read() again until the frame
    count was read between two equal values."""
    while True:
        value = read()
        count = swaps(run)
        if read() == value:
            return count, value


def wait_unchanged(run, read, frames, what):
    """Waits until frames frames in a row leave read() unchanged; returns
    its value then. what names the change that should stop."""
    since, value = at_one_frame(run, read)

    def settled():
        nonlocal since, value
        count, now = at_one_frame(run, read)
        if now != value:
            since, value = count, now
        return count - since >= frames
    wait_until(run, settled, "end of %s" % what)
    return value


def next_frame(run):
    """(frame count, time) at the next new frame, polled closely so that a
    measurement starts and ends on a frame's boundary."""
    stall = run.driver.timeout
    first = swaps(run)
    since = time.time()
    while True:
        now = swaps(run)
        if now != first:
            return now, time.time()
        check_alive(run, "while frames were counted")
        if time.time() - since > stall:
            raise NoProgress("no new frame for %g s while frames were counted" % stall)
        time.sleep(0.001)


def frame_rates(run, windows, seconds):
    """Frames per second in back-to-back windows of at least seconds each,
    counted from outside by the swap counter, from frame boundary to frame
    boundary."""
    rates = []
    count, begin = next_frame(run)
    for _ in range(windows):
        time.sleep(seconds)
        last, end = next_frame(run)
        rates.append((last - count) / (end - begin))
        count, begin = last, end
    return rates


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
                         env=run.driver.program_env(), capture_output=True,
                         timeout=images.TOOL_SECONDS,
                         check=True).stdout
    return images.parse_ppm(ppm)


def freeze(run):
    """A capture of the stopped program with its frame count, for a picture
    that changes every frame: the count is written after each swap, so the
    picture may be a frame ahead of it, or one behind where the swap was
    still on its way."""
    os.kill(run.proc.pid, signal.SIGSTOP)
    try:
        time.sleep(0.2)
        count = swaps(run)
        image = capture(run)
    finally:
        os.kill(run.proc.pid, signal.SIGCONT)
    return image, count


def pointer_into(run, px=None, py=None):
    """Moves the pointer over the window (the centre by default); with no
    window manager the keyboard focus follows the pointer."""
    _, _, width, height = geometry(run)
    px = width // 2 if px is None else px
    py = height // 2 if py is None else py
    run.driver.x("xdotool", "mousemove", "--window", run.window, str(px), str(py))


def key(run, name):
    """Types a key as a user would, through the X server's input (XTEST)."""
    pointer_into(run)
    run.driver.x("xdotool", "key", name)


def finish(run, timeout=None):
    """Waits for the program to end; returns its exit status."""
    try:
        return run.proc.wait(timeout=timeout or run.driver.timeout)
    except subprocess.TimeoutExpired:
        kill(run)
        raise NoProgress("no exit within %g s" % (timeout or run.driver.timeout))


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


def output_marks(run):
    """How far the program's standard output and error have got, for
    output_since."""
    return os.path.getsize(run.stdout_path), os.path.getsize(run.stderr_path)


def output_since(run, marks):
    """What the program wrote to its standard output and error since marks,
    as text."""
    texts = []
    for path, mark in zip((run.stdout_path, run.stderr_path), marks):
        with open(path, "rb") as f:
            f.seek(mark)
            texts.append(f.read().decode(errors="replace"))
    return tuple(texts)


def shutdown_log(run):
    with open(run.file("shutdown")) as f:
        return f.read().split("\n")[:-1]


def kill(run):
    if run.proc.poll() is None:
        run.proc.kill()
        run.proc.wait()
