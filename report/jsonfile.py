"""A JSON document kept in a report's folder or a trace pack's, read with
the errors a reader can act on: no folder, no file, or no valid JSON."""

import json
import os


def load(directory, name, error, missing, kind):
    """The parsed file name in directory. Raises error(text): where the
    folder is none, where the file is missing (text: missing), and where it
    cannot be read or parsed (naming it a kind, e.g. "pack file")."""
    path = os.path.join(directory, name)
    if not os.path.isdir(directory):
        raise error("%s is no folder" % directory)
    try:
        with open(path) as f:
            return json.load(f)
    except FileNotFoundError:
        raise error(missing)
    except (OSError, ValueError) as problem:
        raise error("%s is not a valid %s (%s)" % (path, kind, problem))
