"""python3 -m report.profile OUT COMMAND BUILD: writes the piglit test
profile of the suite, a gzipped PiglitTestList that piglit run takes by its
absolute path: one test per state of every program, named
vorn@<program>@<state> as in the report's piglit results, each running
COMMAND --build BUILD PROGRAM STATE (absolute paths, so the profile works
wherever the build is) and free to run beside the others."""

import gzip
import os
import sys
import xml.etree.ElementTree as ET

from .backends import piglit
from . import states as st


def profile(command, build):
    root = ET.Element("PiglitTestList", name=piglit.GROUP)
    count = 0
    for program, *_ in st.PROGRAMS:
        for state in st.program_states(program):
            test = ET.SubElement(root, "Test", type="gl",
                                 name=piglit.test_name(program, state.name))
            ET.SubElement(test, "option", name="command",
                          value=repr([command, "--build", build, program, state.name]))
            ET.SubElement(test, "option", name="run_concurrent", value="True")
            count += 1
    root.set("count", str(count))
    return root


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    out, command, build = argv
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with gzip.open(out, "wb") as f:
        ET.ElementTree(profile(os.path.abspath(command), os.path.abspath(build))).write(
            f, encoding="utf-8", xml_declaration=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
