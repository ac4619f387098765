"""python3 -m report.programs.suite_profile OUT COMMAND BUILD: writes the
piglit test profile of the suite to OUT: one test per state of every
program, each running COMMAND --build BUILD PROGRAM STATE."""

import os
import sys

from ..backends import profile


def main(argv):
    if len(argv) != 3:
        print("usage: python3 -m report.programs.suite_profile OUT COMMAND BUILD",
              file=sys.stderr)
        return 2
    out, command, build = argv
    profile.write(out, profile.suite(os.path.abspath(command), os.path.abspath(build)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
