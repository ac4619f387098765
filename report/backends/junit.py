"""The report's results as a JUnit XML file, which CI systems show as test
reports: one testsuite per renderer, one testcase per state and renderer,
its classname "<renderer>.<program>" and its name the state, so that no two
testcases of the file share both (GitLab keeps only the first test of a
name and would drop the same state's result on every other renderer). A
failed picture is a <failure> with its worst differing pixels, a crash or a
timeout an <error>, a skip <skipped>. A failing testcase's <system-out>
ends with its mismatch mask as an attachment, "[[ATTACHMENT|path]]" on a
line of its own, the path relative to the report directory (where the file
is written) unless a prefix is given; the program's own output comes
before it."""

import re
import xml.etree.ElementTree as ET

from ..options import within
from ..outcome import CRASH, FAIL, FAILED, SKIP, TIMEOUT
from ..names import differing_lines

JUNIT_FILE = "junit.xml"
# XML 1.0 has no place for most control characters, which a program's
# standard error may hold.
NOT_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]")


def text(value):
    return NOT_XML.sub("?", value)


def classname(renderer_name, program):
    return "%s.%s" % (renderer_name, program)


def attachments(outcome, prefix=""):
    """The lines that attach a failing result's mismatch mask; none for a
    result that passed or has no mask."""
    mask = (outcome.pictures or {}).get("mask")
    if outcome.status not in FAILED or not mask:
        return []
    return ["[[ATTACHMENT|%s%s]]" % (prefix, mask)]


def system_out(outcome, prefix=""):
    """The program's output, then the attachments, each on its own line."""
    lines = [outcome.out.rstrip("\n")] if outcome.out else []
    return "\n".join(lines + attachments(outcome, prefix))


def testcase(renderer_name, program, state_name, outcome, prefix=""):
    case = ET.Element("testcase", classname=classname(renderer_name, program),
                      name=state_name, time="%.3f" % outcome.seconds())
    if outcome.status == FAIL:
        ET.SubElement(case, "failure", message=text(outcome.note), type="fail").text = \
            text("\n".join(differing_lines(outcome)))
    elif outcome.status in (CRASH, TIMEOUT):
        ET.SubElement(case, "error", message=text(outcome.note),
                      type=outcome.status.lower()).text = text(outcome.detail)
    elif outcome.status == SKIP:
        ET.SubElement(case, "skipped", message=text(outcome.note))
    out = system_out(outcome, prefix)
    if out:
        ET.SubElement(case, "system-out").text = text(out)
    if outcome.err:
        ET.SubElement(case, "system-err").text = text(outcome.err)
    return case


def write(report, folder):
    """junit.xml in folder, a testsuite per renderer; --junit-prefix goes
    before each attachment's path, for a CI that resolves them from another
    directory than the report's (GitLab: the job's artifacts)."""
    write_suites(within(folder, JUNIT_FILE),
                 [(r, report.states_on(r.name)) for r in report.renderers],
                 report.options.junit_prefix)


def write_suites(path, suites, prefix=""):
    """suites: [(renderer, [(program, state name, Outcome)])]."""
    root = ET.Element("testsuites", name="Renderer report")
    totals = dict(tests=0, failures=0, errors=0, skipped=0)
    for renderer, outcomes in suites:
        counts = dict(
            tests=len(outcomes),
            failures=sum(o.status == FAIL for _, _, o in outcomes),
            errors=sum(o.status in (CRASH, TIMEOUT) for _, _, o in outcomes),
            skipped=sum(o.status == SKIP for _, _, o in outcomes))
        suite = ET.SubElement(root, "testsuite", name=renderer.name,
                              time="%.3f" % sum(o.seconds() for _, _, o in outcomes),
                              **{k: str(v) for k, v in counts.items()})
        properties = ET.SubElement(suite, "properties")
        info = renderer.info or {}
        for name, value in (("GL_RENDERER", info.get("renderer", "no GL context")),
                            ("GL_VERSION", info.get("version", ""))) + tuple(
                                sorted(renderer.env.items())):
            ET.SubElement(properties, "property", name=name, value=text(value))
        for program, state_name, outcome in outcomes:
            suite.append(testcase(renderer.name, program, state_name, outcome, prefix))
        for key in totals:
            totals[key] += counts[key]
    root.attrib.update({k: str(v) for k, v in totals.items()})
    ET.ElementTree(root).write(path, encoding="UTF-8", xml_declaration=True)
