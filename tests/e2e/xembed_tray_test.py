#!/usr/bin/python3
"""Kalvix docked in a classic XEmbed tray (trayer) on a headless X server with a session bus of its own
and no StatusNotifierWatcher.

Checks, from what the X server shows: the dock is as wide as its text (its size hints, which Kalvix
writes before docking) and as high as the tray's slot, drawn on the tray's own background, not a box of
its own; a click opens the popover under the tray and a second click closes it; a press held on the
dock closes the open popover for good; the dock is there when the tray starts after Kalvix and again
after the tray restarts. Every wait is for a condition, with a deadline.
"""
import argparse
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, failures, summary  # noqa: E402
from panel_session import Session, wait_until, ink_box  # noqa: E402
import panels  # noqa: E402


TRAY_HEIGHT = 24


def hinted_size(session, window):
    hints = session.run(["xprop", "-id", str(window.id), "WM_NORMAL_HINTS"]).stdout
    m = re.search(r"program specified minimum size: (\d+) by (\d+)", hints)
    return (int(m.group(1)), int(m.group(2))) if m else None


def check_dock(session, when):
    # Wait until the dock is in the tray and the tray has given it its slot.
    dock = wait_until(lambda: (lambda d: d if d and d.width > 20 else None)(panels.dock_window(session)), 20,
                      step=0.1)
    if not check(dock is not None, "%s: Kalvix is docked in the tray" % when):
        return None
    # The tray may show the dock in a slot of its own width before it reads the hints: wait for the
    # hinted width (or the deadline, and the check below says what was there).
    def at_hinted_width():
        d = panels.dock_window(session) or dock
        h = hinted_size(session, d)
        return (d, h) if h and d.width == h[0] else None

    dock, hints = wait_until(at_hinted_width, 10, step=0.1) or (dock, hinted_size(session, dock))
    tray = panels.panel_window(session, "panel")
    check(hints is not None and dock.width == hints[0] and dock.width >= 100,
          "%s: the dock is as wide as its text: %dx%d, hints %s" % (when, dock.width, dock.height, hints))
    check(tray is not None and tray.height - 4 <= dock.height <= tray.height,
          "%s: the dock is as high as the tray's slot (%d in a %s px tray)"
          % (when, dock.height, tray.height if tray else "?"))
    # Drawn over the tray's background: the dock's edge is the tray's colour, and its middle holds text.
    if tray:
        outside = session.pixels(tray.x + 1, tray.y + tray.height // 2, 1, 1)[0][0]
        # Once laid out, the dock is drawn at its next paint: wait for it (or the deadline).

        def shows_tray(pixels):
            return sum(abs(a - b) for a, b in zip(pixels[1][1], outside)) <= 24

        def painted():
            pixels = session.pixels(dock.x, dock.y, dock.width, dock.height)
            return pixels if shows_tray(pixels) else None

        inside = wait_until(painted, 10, step=0.1) or session.pixels(dock.x, dock.y, dock.width, dock.height)
        check(shows_tray(inside),
              "%s: the dock shows the tray's background %s, not a box of its own %s" % (when, outside, inside[1][1]))
        text = ink_box(inside, outside)
        check(text is not None and text[2] > dock.width // 2 and text[3] >= dock.height // 3,
              "%s: the dock holds the clock text (%s)" % (when, text))
    return dock


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    args = parser.parse_args()
    session = Session("trayer")
    try:
        check(session.start_kalvix(args.kalvix), "Kalvix runs without any tray")
        panels.trayer(session, height=TRAY_HEIGHT)
        dock = check_dock(session, "tray started after Kalvix")
        if not dock:
            return
        tray = panels.panel_window(session, "panel")
        cx, cy = dock.x + dock.width // 2, dock.y + dock.height // 2

        session.click(cx, cy)
        check(wait_until(lambda: session.visible("Kalvix Calendar"), 10), "a click on the dock opens the popover")
        popover = session.window_named("Kalvix Calendar")
        if popover and tray:
            check(tray.y + tray.height <= popover.y <= tray.y + tray.height + 8,
                  "the popover sits right under the tray (top %d, tray bottom %d)"
                  % (popover.y, tray.y + tray.height))
        session.click(cx, cy)
        check(wait_until(lambda: not session.visible("Kalvix Calendar"), 10), "a second click closes it")
        session.click(cx, cy)
        check(wait_until(lambda: session.visible("Kalvix Calendar"), 10), "a third click opens it again")
        session.click(cx, cy, hold=0.6)
        check(wait_until(lambda: not session.visible("Kalvix Calendar"), 10), "a held press closes it")
        deadline = time.monotonic() + 1.0
        stayed = True
        while time.monotonic() < deadline and stayed:
            stayed = not session.visible("Kalvix Calendar")
        check(stayed, "the held press does not reopen it")

        session.stop("panel")
        check(wait_until(lambda: panels.dock_window(session) is None, 10), "the dock leaves with the tray")
        loose = [w for w in session.windows() if w.name == "Kalvix" and w.width > 1 and session.visible("Kalvix")]
        check(not loose, "no dock window is left loose on the screen: %s" % loose)
        panels.trayer(session, height=TRAY_HEIGHT)
        check_dock(session, "tray restarted")
        check(session.processes["kalvix"].poll() is None, "Kalvix kept running through it all")
    finally:
        if failures:
            print("kalvix log:\n" + session.log("kalvix"))
        session.close()


if __name__ == "__main__":
    main()
    sys.exit(summary())
