"""Where a state's frame comes from: the programs driven on a virtual X
server (window, with drive and traces, which records the states as apitrace
traces), or a trace pack (pack) replayed headless (replay, with retrace).
Each source tells its renderers, runs its states on one and re-runs one by
itself; the pipeline does the rest."""
