"""piglit test profiles: gzipped PiglitTestLists that piglit run takes by
their absolute paths, one test per state, named vorn@<program>@<state> as in
the report's piglit results and free to run beside the others. The suite's
profile runs the per-state command on a build; a trace pack's runs the
per-trace command on the pack. Commands and folders are absolute paths, so
that a profile works wherever it is."""

import gzip
import os
import xml.etree.ElementTree as ET

from .. import catalogue as st
from ..options import ROOT, within
from ..names import GROUP, test_name

PACK_PROFILE = "vorn-replay.xml.gz"
PACK_COMMAND = os.path.join(ROOT, "scripts", "judge-trace")


def test_list(name, tests):
    """A PiglitTestList of (test name, command line) pairs."""
    root = ET.Element("PiglitTestList", name=name)
    for test_id, command in tests:
        test = ET.SubElement(root, "Test", type="gl", name=test_id)
        ET.SubElement(test, "option", name="command", value=repr(command))
        ET.SubElement(test, "option", name="run_concurrent", value="True")
    root.set("count", str(len(tests)))
    return root


def suite(command, build):
    """Every state of every program, each running command --build build
    PROGRAM STATE."""
    return test_list(GROUP, [(test_name(program.name, state.name),
                              [command, "--build", build, program.name, state.name])
                             for program in st.PROGRAMS
                             for state in st.program_states(program.name)])


def pack(trace_pack, command=PACK_COMMAND):
    """Every trace of a pack, each running command PACK PROGRAM STATE."""
    return test_list(GROUP + "-replay", [
        (entry.test, [os.path.abspath(command), trace_pack.directory, entry.program,
                      entry.state]) for entry in trace_pack.entries])


def write(path, root):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with gzip.open(path, "wb") as f:
        ET.ElementTree(root).write(f, encoding="utf-8", xml_declaration=True)
    return path


def write_pack(trace_pack, command=PACK_COMMAND):
    """The pack's profile, written in the pack for where it is now."""
    return write(within(trace_pack.directory, PACK_PROFILE), pack(trace_pack, command))
