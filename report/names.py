"""The names and texts every writer and summary shares: a state's test
name, the same in piglit's results, the runners' lists, the JUnit file and
a pack's profile; a renderer's environment, a probe's colour and a failing
result's worst pixels, as each output writes them."""

# The group every test of the suite is in.
GROUP = "vorn"


def test_name(program, state_name):
    return "@".join((GROUP, program, state_name))


def environment_text(env):
    return " ".join('%s="%s"' % item for item in sorted(env.items()))


def colour(value):
    return value if isinstance(value, str) else "(%s)" % ", ".join(str(c) for c in value)


def differing_lines(outcome):
    return ["pixel %s expected %s observed %s" % (pixel, colour(expected), colour(observed))
            for pixel, expected, observed, _ in outcome.failures()]
