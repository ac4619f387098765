"""The commands, each a thin layer that parses its arguments, calls the
report's parts and turns what they return into an exit status: the report
(report), one state judged in a window (run_state), one trace of a pack
judged headless (judge_trace), and the piglit profiles of the suite
(suite_profile) and of a trace pack (pack_profile)."""
