"""python3 -m report: the report command (see report.programs.report)."""

import sys

from .programs.report import main
from .scratch import scratch

with scratch("vorn-report-"):
    sys.exit(main())
