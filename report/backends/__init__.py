"""What writes a run's results for other tools: piglit's results format
(piglit) and JUnit XML (junit)."""
