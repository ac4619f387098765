"""Benchmark figures, never verdicts: frame rates and per-state costs
(costs), and a frame's instructions under callgrind (callgrind)."""
