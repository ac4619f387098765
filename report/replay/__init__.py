"""The states as apitrace traces: recording and trimming a trace per state,
and its replay with piglit's replayer for the checksums of traces.yml
(traces)."""
