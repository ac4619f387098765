"""The states as apitrace traces, and their judging where no program runs:
recording and trimming a trace per state (traces), the self-contained trace
pack that a --traces run writes beside them (pack), the headless replay of
one trace (retrace), the renderers a replay can use (renderers), the
--replay run that judges a pack (run), and the pack's piglit profile with the
per-trace command of its tests (profile, state)."""
