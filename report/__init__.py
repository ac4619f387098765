"""The renderer report: every program of the suite and every render state,
pictured on each renderer at hand, checked against the fixed-function
equations, compared across renderers and with the kept reference pictures,
with frame rates and, optionally, a frame's instructions by ELF object.

It drives the programs with the test harness of tests/prog, whose models of
the expected pictures it shares."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "prog"))
