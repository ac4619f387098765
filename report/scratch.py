"""One folder for a command's temporary files: the programs' work folders,
traces on their way into a pack, replayed frames. Everything the command
and the processes it starts put in the temporary folder goes into a folder
of its own there, removed when the command ends, whatever way it ends, so
that no run leaves files behind on the machine."""

import contextlib
import os
import shutil
import tempfile


@contextlib.contextmanager
def scratch(prefix):
    folder = tempfile.mkdtemp(prefix=prefix)
    kept = tempfile.tempdir, os.environ.get("TMPDIR")
    tempfile.tempdir = os.environ["TMPDIR"] = folder
    try:
        yield folder
    finally:
        tempfile.tempdir = kept[0]
        if kept[1] is None:
            os.environ.pop("TMPDIR", None)
        else:
            os.environ["TMPDIR"] = kept[1]
        shutil.rmtree(folder, ignore_errors=True)
