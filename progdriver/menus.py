"""Pop-up menus, driven as a user drives them. freeglut opens a menu with its
top-left corner at the pointer (moved up only if it would leave the screen),
as an override-redirect window titled "freeglut menu", 2 pixels of border
above and below the entries and one equal-height row per entry."""

import os
import time

from . import programs as p

TITLE = "^freeglut menu$"
BORDER = 2
OPEN_AT = (10, 10)      # where, in the program's window, menus are opened
# A right click that a loaded machine loses opens no menu: after this long
# without one the click is repeated, for as long as the program draws.
CLICK_AGAIN = 1.5


def menu_windows(driver):
    return driver.x("xdotool", "search", "--onlyvisible", "--name", TITLE,
                    check=False).split()


def wait_menu(run, visible, timeout=None):
    """Waits until a menu is shown (visible) or none is; returns the shown
    menu's window id."""
    deadline = time.time() + (timeout or run.driver.timeout)
    while time.time() < deadline:
        ids = menu_windows(run.driver)
        if bool(ids) == visible:
            return ids[0] if ids else None
        p.check_alive(run, "while a menu was %s" % ("opening" if visible else "closing"))
        time.sleep(0.01)
    raise p.NoProgress("menu still %s after %g s" % ("hidden" if visible else "shown",
                                                     timeout or run.driver.timeout))


def open_menu(run, entry_count):
    """Opens the right-button menu of run's window with a right click at
    OPEN_AT and returns (left, top, width, entry_height) of the shown menu in
    screen pixels. The click's release lands on the menu's border, which
    chooses nothing, so the menu stays open. Checks that the menu has room
    for exactly entry_count rows."""
    wait_menu(run, False)
    deadline = time.time() + run.driver.timeout
    while True:
        run.driver.x("xdotool", "mousemove", "--window", run.window, str(OPEN_AT[0]),
                     str(OPEN_AT[1]), "mousedown", "3", "mouseup", "3")
        try:
            menu = wait_menu(run, True, timeout=min(CLICK_AGAIN, deadline - time.time()))
            break
        except p.NoProgress:
            if time.time() >= deadline:
                raise p.NoProgress("no menu opened within %g s" % run.driver.timeout)
    left, top, width, height = p.window_info(run.driver, menu)
    height -= 2 * BORDER
    if height % entry_count:
        raise RuntimeError("menu of %d pixels has no room for %d equal rows"
                           % (height, entry_count))
    return (left, top, width, height // entry_count)


def entry_point(menu, index):
    """Screen position of the middle of entry index of an open menu (as
    open_menu returned it)."""
    left, top, width, entry_height = menu
    return (left + width // 2, top + BORDER + entry_height * index + entry_height // 2)


def choose(run, index, entry_count):
    """Chooses entry index (0 = top) of run's right-button menu, which must
    have entry_count entries, as a user does: a right click opens the menu,
    a right click on the entry chooses it (press and release with no pause:
    xdotool's "click" adds a tenth of a second). Returns once the menu has
    gone and, where swapcount is preloaded, two more frames are drawn:
    freeglut hides the menu before it calls the program's menu callback and
    draws the next frame only after it, so those frames show the choice.
    The window needs room below OPEN_AT for the whole menu, and nothing may
    cover it."""
    menu = open_menu(run, entry_count)
    px, py = entry_point(menu, index)
    run.driver.x("xdotool", "mousemove", str(px), str(py), "mousedown", "3", "mouseup", "3")
    wait_menu(run, False)
    if os.path.exists(run.file("swaps")):
        p.wait_swaps(run, 2)
