"""The renderer report: every program of the suite and every render state,
pictured on each renderer at hand, checked against the fixed-function
equations, compared across renderers and with the kept reference pictures,
with frame rates and, optionally, a frame's instructions by ELF object.

It drives the programs with the program driver (progdriver) and judges their
pictures with the expected-picture models (expected)."""
