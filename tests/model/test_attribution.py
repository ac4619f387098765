"""What a renderer's failures have in common, worked out from the
catalogue's states with the failures a fault in one feature would cause:
the feature's setting must come out, exactly, with its counts."""

import unittest

from report import catalogue as st
from report.checks import attribution
from report.outcome import FAIL, PASS, SKIP, Outcome

STATES = [s for p in st.NAMES for s in st.program_states(p, fast=True)]


def failing_where(broken, skipped=()):
    """[(State, Outcome)]: each state fails where broken(state) holds."""
    return [(s, Outcome(SKIP if s.id in skipped else FAIL if broken(s) else PASS))
            for s in STATES]


def setting(key):
    return lambda s: bool(s.settings) and s.settings.get(key)


class Attribution(unittest.TestCase):

    def test_one_feature_is_named_exactly(self):
        cases = [
            ("fog\u2260off", setting("fog")),
            ("blend=on", setting("blend")),
            ("texture=on \u2227 env=blend",
             lambda s: setting("texture")(s) and s.settings["env"] == "blend"),
            ("texture=on \u2227 fog=exp2",
             lambda s: setting("texture")(s) and s.settings["fog"] == "exp2"),
        ]
        for combination, broken in cases:
            with self.subTest(combination):
                data = attribution.attribute(failing_where(broken))
                self.assertEqual((data["kind"], data["combination"]), ("exact", combination))
                failing = sum(1 for s in STATES if broken(s))
                menu = sum(1 for s in STATES if attribution.render_settings(s))
                self.assertEqual(data["with_it"], [failing, failing])
                self.assertEqual(data["without_it"], [0, menu - failing])
                self.assertEqual(data["programs"], [])
                self.assertIn("%s: %d/%d fail with it, 0/%d without it"
                              % (combination, failing, failing, menu - failing),
                              attribution.describe(data))

    def test_programs_without_settings_count_by_program(self):
        textured = lambda s: setting("texture")(s) or s.program in ("fendrik", "tembrel")
        data = attribution.attribute(failing_where(textured))
        self.assertEqual(data["combination"], "texture=on")
        self.assertEqual(data["programs"], [["fendrik", 1, 1], ["tembrel", 1, 1]])
        self.assertTrue(attribution.describe(data).endswith(
            "failing by program: fendrik 1/1, tembrel 1/1"))
        alone = attribution.attribute(failing_where(lambda s: s.program == "quenby"))
        self.assertEqual(attribution.short(alone), "quenby")

    def test_a_stray_failure_leaves_the_setting_named_as_partial(self):
        stray = "vorntest5/m05-lighting-on"
        data = attribution.attribute(failing_where(lambda s: setting("fog")(s) or s.id == stray))
        self.assertEqual((data["kind"], data["combination"]), ("partial", "fog\u2260off"))
        self.assertEqual(data["without_it"][0], 1)
        self.assertEqual(data["explained"][1] - data["explained"][0], 1)

    def test_scattered_and_total_failures_say_so(self):
        scattered = {"vorntest5/m05-lighting-on", "vorntest/m15-shade-flat",
                     "vorntest5/c-fog-exp+texenv-decal", "vorntest/m03-blend-on"}
        data = attribution.attribute(failing_where(lambda s: s.id in scattered))
        self.assertEqual(data["kind"], "scattered")
        self.assertTrue(attribution.describe(data).startswith("no common setting"))
        # A skipped state is neither failing nor passing: every other fails.
        every = attribution.attribute(failing_where(lambda s: True, {STATES[0].id}))
        self.assertEqual(attribution.short(every), "every state fails")
        self.assertIn("(%d/%d)" % (len(STATES) - 1, len(STATES) - 1),
                      attribution.describe(every))
        self.assertIsNone(attribution.attribute(failing_where(lambda s: False)))


if __name__ == "__main__":
    unittest.main()
