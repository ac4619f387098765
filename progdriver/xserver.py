"""Virtual X servers for the programs: Xvfb with no window manager, on a
display number that Xvfb picks itself (-displayfd), so that no fixed number
can clash with another server on the machine.

As a command it starts a server that outlives it, for a test run that shares
one, or stops it again:
    python3 -m progdriver.xserver start STATEDIR   writes STATEDIR/display and STATEDIR/xvfb.pid
    python3 -m progdriver.xserver stop STATEDIR
In a program, XServer() starts a private server and stop() ends it."""

import os
import select
import signal
import subprocess
import sys
import time

SCREEN = "1280x1024x24"
START_SECONDS = 10


class XServer:
    """One Xvfb; display is ":N" once it accepts connections."""

    def __init__(self, log_path=os.devnull, detached=False):
        read_end, write_end = os.pipe()
        # Libraries preloaded to watch or break a program stay out of the server.
        env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}
        with open(log_path, "ab") as log:
            # With no window manager windows open where the programs ask and
            # keep the input focus that follows the pointer.
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN,
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                env=env, start_new_session=detached)
        os.close(write_end)
        try:
            self.display = ":" + read_number(read_end, self.proc)
        except RuntimeError:
            self.stop()
            raise
        finally:
            os.close(read_end)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def read_number(fd, proc):
    """The display number Xvfb writes once it accepts connections."""
    text = b""
    deadline = time.time() + START_SECONDS
    while not text.endswith(b"\n"):
        ready, _, _ = select.select([fd], [], [], max(0.0, deadline - time.time()))
        chunk = os.read(fd, 16) if ready else b""
        if not chunk:
            raise RuntimeError("Xvfb did not start (status %s)" % proc.poll())
        text += chunk
    return text.decode().strip()


def display_of(state_dir):
    """The display of a server started with the start command."""
    with open(os.path.join(state_dir, "display")) as f:
        return f.read().strip()


def start_detached(state_dir):
    os.makedirs(state_dir, exist_ok=True)
    pid_path = os.path.join(state_dir, "xvfb.pid")
    if os.path.exists(pid_path) and alive(pid_path):
        return
    server = XServer(os.path.join(state_dir, "xvfb.log"), detached=True)
    with open(os.path.join(state_dir, "display"), "w") as f:
        f.write(server.display + "\n")
    with open(pid_path, "w") as f:
        f.write("%d\n" % server.proc.pid)


def stop_detached(state_dir):
    pid_path = os.path.join(state_dir, "xvfb.pid")
    if os.path.exists(pid_path):
        if alive(pid_path):
            with open(pid_path) as f:
                os.kill(int(f.read()), signal.SIGTERM)
        for name in ("xvfb.pid", "display"):
            os.remove(os.path.join(state_dir, name))


def alive(pid_path):
    try:
        with open(pid_path) as f:
            os.kill(int(f.read()), 0)
        return True
    except (OSError, ValueError):
        return False


def main(argv):
    if len(argv) != 2 or argv[0] not in ("start", "stop"):
        print("usage: python3 -m progdriver.xserver start|stop STATEDIR", file=sys.stderr)
        return 2
    try:
        (start_detached if argv[0] == "start" else stop_detached)(argv[1])
    except RuntimeError as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
