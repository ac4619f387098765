"""python3 -m report: the report command (see report.programs.report)."""

import sys

from .programs.report import main

sys.exit(main())
