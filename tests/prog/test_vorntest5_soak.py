"""Hundreds of real menu changes in vorntest5: each rebuilds the menu from
inside its own callback, and the program neither fails nor grows. Its own
file, as it takes half a minute, and runs in the plain build only: the menu
choices of the other tests already run under the sanitizers."""

import re
import unittest

import harness as h
from test_vorntest5 import (ENTRIES, FOG_EXP, FOG_OFF, STARTUP_MARKS, marked, menu_log,
                            open_vorntest5)


def rss_kib(run):
    with open("/proc/%d/status" % run.proc.pid) as f:
        return int(re.search(r"VmRSS:\s+(\d+) kB", f.read()).group(1))


class ManyRebuilds(unittest.TestCase):
    """Hundreds of menu changes made with the real menu, each a rebuild from
    inside the menu callback: the program neither fails nor grows."""

    WARM_UP = 200
    # Enough rebuilds that a leaked menu window, of tens of kilobytes each,
    # grows the program well past the 3 MB allowed below.
    CHANGES = 400
    BATCH = 50

    def choose_many(self, run, menu, indices):
        # As choose_menu_entry, with the menu's place measured once: each
        # choice waits for the menu to show before it picks the entry (a
        # press that comes before freeglut has shown the menu leaves it on
        # the screen but no longer open) and for it to go.
        left, top, _, _ = h.geometry(run)
        spot = [str(left + h.MENU_OPEN_AT[0]), str(top + h.MENU_OPEN_AT[1])]
        for index in indices:
            h.x("xdotool", "mousemove", *spot, "mousedown", "3", "mouseup", "3")
            h.wait_menu(run, True)
            px, py = h.menu_entry_point(menu, index)
            h.x("xdotool", "mousemove", str(px), str(py), "mousedown", "3", "mouseup", "3")
            h.wait_menu(run, False)

    def test_hundreds_of_changes(self):
        # In a sanitizer build freed memory is held back to catch late uses,
        # which would look like growth: here it is handed back at once.
        asan = h.program_env()["ASAN_OPTIONS"] + ":quarantine_size_mb=0"
        run = open_vorntest5(menulog=True, env={"ASAN_OPTIONS": asan})
        try:
            h.wait_swaps(run, 3)
            menu = h.open_menu(run, ENTRIES)
            h.x("xdotool", "mousedown", "3", "mouseup", "3")   # on the border: closes
            h.wait_menu(run, False)
            # Warm up before the first reading: the first few hundred
            # rebuilds grow the libraries' caches and heap, which later ones
            # reuse.
            for _ in range(self.WARM_UP // self.BATCH):
                self.choose_many(run, menu, [FOG_EXP, FOG_OFF] * (self.BATCH // 2))
            h.wait_swaps(run, 5)
            before, start = rss_kib(run), len(menu_log(run)[0])
            batches = 0
            while len(menu_log(run)[0]) - start < self.CHANGES:
                # Counted, not timed: a program that stops rebuilding fails.
                batches += 1
                self.assertLessEqual(batches, 2 * self.CHANGES // self.BATCH)
                self.choose_many(run, menu, [FOG_EXP, FOG_OFF] * (self.BATCH // 2))
                self.assertIsNone(run.proc.poll(), h.stderr(run))
            h.wait_swaps(run, 5)
            after = rss_kib(run)
            h.choose_menu_entry(run, FOG_EXP, ENTRIES)
            builds, destroyed = menu_log(run)
            self.assertEqual(len(destroyed), len(builds) - 1)
            for _, entries in builds:
                self.assertEqual([v for v, _ in entries], list(range(ENTRIES)))
            self.assertEqual(marked(builds[-1][1]), STARTUP_MARKS - {FOG_OFF} | {FOG_EXP})
            print("VmRSS %d kB before, %d kB after %d rebuilds"
                  % (before, after, len(builds) - 1 - start), flush=True)
            # The rebuild itself allocates nothing. freeglut and Mesa keep
            # one to two kilobytes per menu window that was shown and
            # destroyed, and the heap grows in steps of up to a megabyte; a
            # leaked menu window with its context would cost tens of
            # kilobytes, with its back buffer 800 more.
            self.assertLess(after - before, 3 * 1024, "grew by %d kB" % (after - before))
            self.assertEqual(h.quit(run), 1, h.stderr(run))
        finally:
            h.kill(run)


if __name__ == "__main__":
    unittest.main()
