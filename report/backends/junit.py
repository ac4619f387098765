"""The report's results as a JUnit XML file, which CI systems show as test
reports: one testsuite per renderer, one testcase per state (classname the
program, name the state); a failed picture is a <failure> with its worst
differing pixels, a crash or a timeout an <error>, a skip <skipped>."""

import re
import xml.etree.ElementTree as ET

from ..outcome import CRASH, FAIL, SKIP, TIMEOUT
from .piglit import differing_lines

# XML 1.0 has no place for most control characters, which a program's
# standard error may hold.
NOT_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]")


def text(value):
    return NOT_XML.sub("?", value)


def testcase(program, state_name, outcome):
    case = ET.Element("testcase", classname=program, name=state_name,
                      time="%.3f" % outcome.seconds())
    if outcome.status == FAIL:
        ET.SubElement(case, "failure", message=text(outcome.note), type="fail").text = \
            text("\n".join(differing_lines(outcome)))
    elif outcome.status in (CRASH, TIMEOUT):
        ET.SubElement(case, "error", message=text(outcome.note),
                      type=outcome.status.lower()).text = text(outcome.detail)
    elif outcome.status == SKIP:
        ET.SubElement(case, "skipped", message=text(outcome.note))
    if outcome.out:
        ET.SubElement(case, "system-out").text = text(outcome.out)
    if outcome.err:
        ET.SubElement(case, "system-err").text = text(outcome.err)
    return case


def write(path, suites):
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
            suite.append(testcase(program, state_name, outcome))
        for key in totals:
            totals[key] += counts[key]
    root.attrib.update({k: str(v) for k, v in totals.items()})
    ET.ElementTree(root).write(path, encoding="UTF-8", xml_declaration=True)
