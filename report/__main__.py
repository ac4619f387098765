"""python3 -m report: the report command (see report.main)."""

import sys

from .main import main

sys.exit(main())
