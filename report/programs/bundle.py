"""scripts/bundle [--build DIR] REPORT RENDERER PROGRAM/STATE [OUT.tar.gz]:
one result of a report made into a reproducer, one archive (see
report.bundle): the state's trace cut to one frame and checked to draw
what the whole trace drew, the texture files, the run's, the expected and
the mask's pictures, and a README with the renderer, its environment, the
verdict, what its failures have in common, and the commands that replay
and judge the trace. The archive's folder is a one-trace pack:
scripts/judge-trace and scripts/report --replay read it on any machine
with a checkout of the suite, no build and no X server. A report run
without --traces needs --build, a build of the suite, to record the
trace. OUT defaults to REPORT/bundles/<the bundle's name>.tar.gz. The
exit status is 0 when the bundle is made, 2 for a usage error or a result
that cannot be bundled."""

import argparse
import os
import sys

from .. import bundle
from ..options import USAGE_STATUS
from ..scratch import scratch


class Parser(argparse.ArgumentParser):
    def error(self, message):
        print("scripts/bundle: error: %s" % message, file=sys.stderr)
        sys.exit(USAGE_STATUS)


def main(argv=None):
    parser = Parser(prog="scripts/bundle", description=__doc__,
                    formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", metavar="DIR",
                        help="a build of the suite, to record the trace where the report "
                             "has none")
    parser.add_argument("report", metavar="REPORT", help="a report directory")
    parser.add_argument("renderer", metavar="RENDERER", help="a renderer of the report")
    parser.add_argument("state", metavar="PROGRAM/STATE", help="a state of the report")
    parser.add_argument("out", metavar="OUT.tar.gz", nargs="?", help="the archive")
    options = parser.parse_args(sys.argv[1:] if argv is None else argv)
    out = options.out or os.path.join(options.report, "bundles", bundle.folder_name(
        options.renderer, options.state) + ".tar.gz")
    try:
        info = bundle.make(options.report, options.renderer, options.state, out, options.build)
    except bundle.BundleError as error:
        print("scripts/bundle: error: %s" % error, file=sys.stderr)
        return USAGE_STATUS
    print("%s: %s on %s, %s in the run, %s replayed here (%d kB)" % (
        out, options.state, options.renderer, info["run"]["status"],
        info["replayed"]["status"], os.path.getsize(out) // 1024))
    return 0


if __name__ == "__main__":
    with scratch("vorn-bundle-"):
        sys.exit(main())
