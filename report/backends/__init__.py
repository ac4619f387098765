"""What writes a run's results for other tools: piglit's results format
(piglit), JUnit XML (junit) and the CI runners' CSV files of results
against expectation lists (runners)."""
