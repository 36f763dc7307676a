#!/usr/bin/python3
"""Kalvix's popover on a laptop screen (1366x768) in the real Xfce panel, at the top of the screen and at
its bottom, with six world clocks: a popover whose natural height (909 px) is more than the screen has.

Checks, from what the X server shows: the popover is wholly on the screen, never over the panel that holds
the item (so the second click on the item reaches it and closes the popover), and shorter than its natural
height (it scrolls instead). The Settings window carries its own title, nothing appended. Every wait is
for a condition, with a deadline.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, failures, summary  # noqa: E402
from panel_session import Session, wait_until  # noqa: E402
import panels  # noqa: E402

SCREEN = (1366, 768)
NATURAL_HEIGHT = 909  # the Standard layout with six clocks and the tip, its month of five rows or more
SIX_CLOCKS = 'worldClockCities="London", "New York", "Dubai", "Tokyo", "San Francisco", "Sydney"\n'


def popover(session):
    w = session.window_named("Kalvix Calendar")
    return w if w and session.visible("Kalvix Calendar") else None


def settled_popover(session):
    """The popover window once it shows the same geometry on two looks in a row."""
    seen = []

    def same_twice():
        seen.append(popover(session))
        return seen[-1] if len(seen) > 1 and seen[-1] and repr(seen[-1]) == repr(seen[-2]) else None
    return wait_until(same_twice, 5) or seen[-1]


def overlaps(a, b):
    return a.x < b.x + b.width and b.x < a.x + a.width and a.y < b.y + b.height and b.y < a.y + a.height


def check_panel(kalvix, where, position):
    session = Session("fit-" + where, screen="%dx%dx24" % SCREEN)
    try:
        check(session.start_kalvix(kalvix, prefs=SIX_CLOCKS), "%s: Kalvix runs" % where)
        panels.xfce_panel(session, position=position)
        box = panels.wait_for_ink(session, "xfce4-panel")
        panel = panels.panel_window(session, "xfce4-panel", width=SCREEN[0])
        if not check(box is not None and panel is not None, "%s: the panel shows Kalvix's item" % where):
            return
        at_bottom = panel.y > SCREEN[1] // 2
        check(at_bottom == (where == "bottom"), "%s: the panel is at the %s (%r)" % (where, where, panel))
        cx, cy = box[0] + box[2] // 2, box[1] + box[3] // 2

        session.click(cx, cy)
        shown = wait_until(lambda: popover(session), 10)
        if not check(shown, "%s: a click on the item opens the popover" % where):
            return
        w = settled_popover(session)
        print("%s panel %r, popover %r" % (where, panel, w))
        check(w.x >= 0 and w.y >= 0 and w.x + w.width <= SCREEN[0] and w.y + w.height <= SCREEN[1],
              "%s: the popover is wholly on the screen (%r)" % (where, w))
        check(not overlaps(w, panel), "%s: the popover does not cover the panel (%r over %r)" % (where, w, panel))
        check(w.height < NATURAL_HEIGHT, "%s: shorter than its natural height, it scrolls (%d)" % (where, w.height))
        if at_bottom:
            check(panel.y - 8 <= w.y + w.height <= panel.y, "%s: it opens right above the panel" % where)
        else:
            check(panel.y + panel.height <= w.y <= panel.y + panel.height + 8, "%s: right under the panel" % where)
        check(w.x <= cx <= w.x + w.width, "%s: the popover is at the item" % where)

        session.click(cx, cy)
        check(wait_until(lambda: not session.visible("Kalvix Calendar"), 10),
              "%s: a second click on the item closes it" % where)
        session.click(cx, cy)
        check(wait_until(lambda: session.visible("Kalvix Calendar"), 10), "%s: a third click opens it again" % where)

        if where == "top":
            # Settings from another kalvix: the popover closes, and the window is named only by itself.
            session.run([kalvix, "--open-settings"])
            check(wait_until(lambda: session.visible("Kalvix Settings"), 10), "Settings opens")
            check(wait_until(lambda: not session.visible("Kalvix Calendar"), 10), "the popover closed for it")
            found = session.run(["xdotool", "search", "--onlyvisible", "--name", "^Kalvix Settings"]).stdout.split()
            names = [session.run(["xprop", "-id", wid, "_NET_WM_NAME"]).stdout.strip() for wid in found]
            check(names == ['_NET_WM_NAME(UTF8_STRING) = "Kalvix Settings"'],
                  "the Settings window's title is its own, once: %r" % names)
        check(session.processes["kalvix"].poll() is None, "%s: Kalvix kept running" % where)
    finally:
        if failures:
            print("kalvix log:\n" + session.log("kalvix"))
        session.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    args = parser.parse_args()
    check_panel(args.kalvix, "bottom", panels.XFCE_BOTTOM)
    check_panel(args.kalvix, "top", panels.XFCE_TOP)


if __name__ == "__main__":
    main()
    sys.exit(summary())
