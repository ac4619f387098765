"""Expected pictures: what a correct renderer draws for each program of the
suite, worked out from the texture files (texels) and the fixed-function
equations (fixedfunction), with each program's probes and verdict (vorntest,
fendrik, tembrel, quenby, probes) and one entry point for them all (judge).
The tests and the renderer report both judge pictures with it."""
