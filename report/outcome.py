"""What became of one state on one renderer, and what the checks after the
run found of it.

The statuses are one ordered vocabulary, least severe first, as piglit
orders its own: SKIP is a renderer that cannot run the program (or a
state the skips list leaves out); PASS and FAIL are verdicts on a picture;
TIMEOUT is a program that stopped making progress (no new frame, no menu,
no exit after Esc); CRASH is a program that ended before its picture was
taken or before Esc, or ended with a status other than 1. FAIL, TIMEOUT
and CRASH count as failed. Each status has its word in piglit's results
and in the CI runners' lists.

An Outcome is settled once, by the pipeline, and never changed after: a
retry makes a new one. A check that comes after (the reference pictures,
a baseline, the expectation lists, the costs) adds Findings beside it;
final() gives the Outcome as the writers show it, the findings folded in."""

import dataclasses
from typing import Optional

PASS, FAIL, CRASH, TIMEOUT, SKIP = "PASS", "FAIL", "CRASH", "TIMEOUT", "SKIP"

#            status   piglit's   the runners'  failed
VOCABULARY = ((SKIP, "skip", "Skip", False),
              (PASS, "pass", "Pass", False),
              (FAIL, "fail", "Fail", True),
              (TIMEOUT, "timeout", "Timeout", True),
              (CRASH, "crash", "Crash", True))

STATUSES = tuple(row[0] for row in VOCABULARY)          # least severe first
PIGLIT = {row[0]: row[1] for row in VOCABULARY}
RUNNER = {row[0]: row[2] for row in VOCABULARY}
FAILED = tuple(row[0] for row in VOCABULARY if row[3])

STDERR_LINES = 20


def worst(statuses):
    """The most severe of some statuses, as piglit takes the worst of a
    test's subtests."""
    return max(statuses, key=STATUSES.index)


@dataclasses.dataclass(frozen=True)
class Outcome:
    """status, a one-line note, the probes (pixel, expected, observed, ok)
    of a verdict with its counts (pixels judged, differing, the worst
    difference) and its pictures (relative paths by kind: "expected",
    "mask"), and what the program did meanwhile: its output (out, err),
    for a crash or a hang what is known of it (detail), its exit status,
    its pid, the state's start and end times, the command that runs it
    again, the frame rates measured in its windows, the (status, note)
    of its earlier runs where --retries ran it again, and the (status,
    note) of every try, in order, where --repeat judged it several times.
    extra holds the lines the checks' findings add to its output, in
    final() alone."""

    status: str
    note: str = ""
    probes: tuple = ()
    checked: int = 0
    judged: Optional[int] = None
    differing: Optional[int] = None
    worst: Optional[int] = None
    pictures: dict = dataclasses.field(default_factory=dict)
    detail: str = ""
    out: str = ""
    err: str = ""
    returncode: Optional[int] = None
    pid: Optional[int] = None
    start: float = 0.0
    end: float = 0.0
    command: str = ""
    rates: tuple = ()
    earlier: tuple = ()
    tries: tuple = ()
    extra: tuple = ()

    @classmethod
    def of_record(cls, record, verdict=None, **more):
        """The outcome of a driven state (a pipeline.Record): the verdict on
        its picture where one was taken, else the status that ended it; with
        what the program did meanwhile, and any other field given."""
        if record.status is None:
            judged = dict(status=verdict.status, note=verdict.note,
                          probes=tuple(verdict.probes), checked=verdict.checked,
                          judged=verdict.judged, differing=verdict.differing,
                          worst=verdict.worst)
        else:
            judged = dict(status=record.status, note=record.note)
        return cls(detail=record.detail, out=record.out, err=record.err,
                   returncode=record.returncode, pid=record.pid, start=record.start,
                   end=record.end, rates=tuple(record.rates), **judged, **more)

    def failures(self):
        return [p for p in self.probes if not p[3]]

    def seconds(self):
        return self.end - self.start

    def try_statuses(self):
        """The status of every run of the state, in order: its earlier runs,
        then every try of a repeated state, or its own status."""
        own = [status for status, _ in self.tries] or [self.status]
        return [status for status, _ in self.earlier] + own

    def retried(self, earlier):
        """This outcome as the last of several runs of its state."""
        return dataclasses.replace(self, earlier=tuple(earlier))

    def to_json(self):
        fields = dataclasses.asdict(self)
        del fields["extra"]
        fields["probes"] = [list(p) for p in self.probes]
        fields["rates"] = list(self.rates)
        fields["earlier"] = [list(e) for e in self.earlier]
        fields["tries"] = [list(t) for t in self.tries]
        return fields

    @classmethod
    def from_json(cls, fields):
        """An Outcome from to_json()'s fields; a field of another name, or
        one missing, raises TypeError."""
        fields = dict(fields)
        # JSON keeps tuples as lists; the writers format a probe's pixel and
        # colours as tuples.
        fields["probes"] = tuple(tupled(p) for p in fields["probes"])
        fields["rates"] = tuple(fields["rates"])
        fields["earlier"] = tuple(tuple(e) for e in fields["earlier"])
        # A report from before --repeat has no tries.
        fields["tries"] = tuple(tuple(t) for t in fields.get("tries", ()))
        return cls(**fields)


def tupled(value):
    return tuple(tupled(v) for v in value) if isinstance(value, list) else value


@dataclasses.dataclass(frozen=True)
class Finding:
    """What a check found of one state on one renderer: the check, a status
    it gives the state where it fails it (None where it leaves the
    pipeline's own), a note, whether that note is a line of the result's
    output, and the check's own data (JSON values)."""

    check: str
    renderer: str
    state: str
    status: Optional[str] = None
    note: str = ""
    line: bool = False
    data: dict = dataclasses.field(default_factory=dict)

    @property
    def key(self):
        return self.renderer, self.state

    def to_json(self):
        return dataclasses.asdict(self)

    @classmethod
    def from_json(cls, fields):
        return cls(**fields)


def final(outcome, findings):
    """An outcome as the writers show it: its status the worst of its own
    and the findings', each failing finding's note after its own, and the
    lines the findings add to its output."""
    failing = [f for f in findings if f.status is not None]
    if not failing and not any(f.line for f in findings):
        return outcome
    return dataclasses.replace(
        outcome, status=worst([outcome.status] + [f.status for f in failing]),
        note="; ".join([outcome.note] + [f.note for f in failing]),
        extra=tuple((f.check, f.note) for f in findings if f.line))


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
