"""python3 -m report.replay.profile PACK (scripts/pack-profile): writes a
trace pack's piglit profile, PACK/vorn-replay.xml.gz, for where the pack and
this checkout are now. A gzipped PiglitTestList, as the build's profile
(report.profile): one test per trace, named vorn@<program>@<state> as in the
report's piglit results, each running this checkout's scripts/judge-trace
on the pack by absolute paths (piglit takes no other), free to run beside
the others. A pack written by a --traces run has its profile already; a
copied pack needs it written again in its new place."""

import gzip
import os
import sys
import xml.etree.ElementTree as ET

from ..backends import piglit
from ..options import ROOT

PROFILE = "vorn-replay.xml.gz"
COMMAND = os.path.join(ROOT, "scripts", "judge-trace")


def profile(pack, command):
    root = ET.Element("PiglitTestList", name=piglit.GROUP + "-replay")
    for entry in pack.entries:
        test = ET.SubElement(root, "Test", type="gl", name=entry.test)
        ET.SubElement(test, "option", name="command",
                      value=repr([command, pack.directory, entry.program, entry.state]))
        ET.SubElement(test, "option", name="run_concurrent", value="True")
    root.set("count", str(len(pack.entries)))
    return root


def write(pack, command=COMMAND):
    path = os.path.join(pack.directory, PROFILE)
    with gzip.open(path, "wb") as f:
        ET.ElementTree(profile(pack, os.path.abspath(command))).write(
            f, encoding="utf-8", xml_declaration=True)
    return path


def main(argv):
    from .pack import PackError, load
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        pack = load(os.path.abspath(argv[0]))
    except PackError as error:
        print("scripts/pack-profile: error: %s" % error, file=sys.stderr)
        return 2
    print(write(pack))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
