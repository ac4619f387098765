"""The checks that change what a run's results mean once every state is
judged, applied in this order by apply(): llvmpipe's pictures against the
kept reference pictures (references: a state that passed but differs
fails), the results against an earlier run (baseline: regressions and
fixes) and against the expectation lists (expectations: each result's
class), then what each renderer's failures have in common (attribution:
the settings that explain them). Each adds its findings beside the results, which it never changes;
each sees the findings of those before it (report.outcomes). Retries
happen before, in the pipeline, state by state."""

from . import attribution, baseline, expectations, references


def apply(report, lists, before):
    references.check_references(report)
    if before is not None:
        report.comparison = baseline.compare(
            before, {r.name: {(p, n): o for p, n, o in report.states_on(r.name)}
                     for r in report.renderers},
            report.out, report.tolerance, report.left_out)
        report.add(baseline.findings(report.comparison))
    if lists is not None:
        report.expectations = expectations.judge(report, lists)
    report.add(attribution.findings(report))
