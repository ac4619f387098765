"""What became of one state on one renderer, with the statuses piglit uses:
PASS and FAIL are verdicts on a picture; CRASH is a program that ended
before its picture was taken or before Esc, or ended with a status other
than 1; TIMEOUT is a program that stopped making progress (no new frame, no
menu, no exit after Esc); SKIP is a renderer that cannot run the program.
CRASH and TIMEOUT count as failed."""

PASS, FAIL, CRASH, TIMEOUT, SKIP = "PASS", "FAIL", "CRASH", "TIMEOUT", "SKIP"
STATUSES = (PASS, FAIL, CRASH, TIMEOUT, SKIP)
FAILED = (FAIL, CRASH, TIMEOUT)

STDERR_LINES = 20


class Outcome:
    """status, a one-line note, the probes (pixel, expected, observed, ok)
    of a verdict with its counts (pixels judged, differing, the worst
    difference) and its pictures (relative paths by kind: "expected",
    "mask"), and what the program did meanwhile: its output (out, err),
    for a crash or a hang what is known of it (detail), its exit status,
    and the state's start and end times."""

    def __init__(self, status, note="", probes=(), checked=0):
        self.status = status
        self.note = note
        self.probes = list(probes)
        self.checked = checked
        self.judged = self.differing = self.worst = None
        self.pictures = {}
        self.detail = ""
        self.out = self.err = ""
        self.returncode = None
        self.pid = None
        self.start = self.end = 0.0
        self.command = ""
        self.extra = {}             # more to tell of the state, by name
        self.cost = None            # costs.Cost where the frame rate was measured
        self.earlier = []           # (status, note) of earlier runs, with --retries

    @classmethod
    def of_record(cls, record, verdict=None):
        """The outcome of a driven state (a drive.Record): the verdict on its
        picture where one was taken, else the status that ended it; with
        what the program did meanwhile."""
        if record.status is None:
            outcome = cls(verdict.status, verdict.note, verdict.probes, verdict.checked)
            outcome.judged, outcome.differing = verdict.judged, verdict.differing
            outcome.worst = verdict.worst
        else:
            outcome = cls(record.status, record.note)
        outcome.detail, outcome.out, outcome.err = record.detail, record.out, record.err
        outcome.returncode, outcome.pid = record.returncode, record.pid
        outcome.start, outcome.end = record.start, record.end
        return outcome

    def failures(self):
        return [p for p in self.probes if not p[3]]

    def seconds(self):
        return self.end - self.start


def stderr_tail(text, lines=STDERR_LINES):
    return "\n".join(text.rstrip("\n").split("\n")[-lines:]) if text.strip() else ""


def backtrace(gdb_output):
    """The crashing thread's frames from gdb's output: the frames from the
    signal on, without gdb's own chatter and the crash handler's frames."""
    frames = [line for line in gdb_output.split("\n") if line.startswith("#")]
    for i, line in enumerate(frames):
        if "<signal handler called>" in line:
            return "\n".join(frames[i + 1:])
    return "\n".join(frames)


def detail(how, stderr_text, gdb_output=""):
    """What is known of a crash or a hang: how the program ended or what it
    failed to do, the last lines of its standard error, and a backtrace
    where gdb gave one."""
    parts = [how]
    tail = stderr_tail(stderr_text)
    if tail:
        parts += ["last %d lines of standard error:" % STDERR_LINES, tail]
    frames = backtrace(gdb_output) if gdb_output else ""
    if frames:
        parts += ["backtrace of the crashing thread (gdb):", frames]
    return "\n".join(parts)
