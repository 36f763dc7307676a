#!/usr/bin/python3
"""Kalvix in the real Xfce panel (its status tray) on a headless X server with a session bus of its own.

Checks, from what the X server shows: the item is a square face at the panel's icon size (not a squeezed
sliver of text); a click on it opens the popover right under the panel and a second click closes it; a
press held on the item closes the open popover for good; and the item is there when the panel starts
after Kalvix and again after the panel restarts. Every wait is for a condition, with a deadline.
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, failures, summary  # noqa: E402
from panel_session import Session, item_contrast, wait_until  # noqa: E402
import panels  # noqa: E402


ICON = 22


def popover_geometry(session):
    w = session.window_named("Kalvix Calendar")
    return w if w and session.visible("Kalvix Calendar") else None


def check_item(session, when):
    box = panels.wait_for_ink(session, "xfce4-panel")
    if not check(box is not None, "%s: the panel shows Kalvix's item" % when):
        return None
    x, y, w, h = box
    # The square face at the panel's icon size: two lines of digits nearly as tall as the icon, as wide
    # as two digits; never the whole title squeezed into a few pixels of height.
    check(ICON * 0.75 <= h <= ICON + 1 and ICON * 0.4 <= w <= ICON + 1,
          "%s: the item is a %dx%d face in a %d px icon" % (when, w, h, ICON))
    panel = panels.panel_window(session, "xfce4-panel", width=1280)
    ratio = item_contrast(session.pixels(0, panel.y, panel.width, panel.height), (x, y - panel.y, w, h))
    check(ratio >= 4.5, "%s: the item's contrast on the panel is %.2f:1 (at least 4.5:1)" % (when, ratio))
    return box


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    args = parser.parse_args()
    session = Session("xfce")
    try:
        # Kalvix first: it waits for a host, and the panel that starts after it gets the item.
        check(session.start_kalvix(args.kalvix), "Kalvix runs without any panel")
        panels.xfce_panel(session, icon_size=ICON)
        box = check_item(session, "panel started after Kalvix")
        if not box:
            return
        panel = panels.panel_window(session, "xfce4-panel", width=1280)
        cx, cy = box[0] + box[2] // 2, box[1] + box[3] // 2

        session.click(cx, cy)
        check(wait_until(lambda: popover_geometry(session), 10), "a click on the item opens the popover")
        popover = popover_geometry(session)
        if popover:
            check(panel.y + panel.height <= popover.y <= panel.y + panel.height + 8,
                  "the popover sits right under the panel (top %d, panel bottom %d)"
                  % (popover.y, panel.y + panel.height))
            check(popover.x <= cx <= popover.x + popover.width, "the popover is under the item")
        session.click(cx, cy)
        check(wait_until(lambda: not session.visible("Kalvix Calendar"), 10), "a second click closes it")

        session.click(cx, cy)
        check(wait_until(lambda: session.visible("Kalvix Calendar"), 10), "a third click opens it again")
        session.click(cx, cy, hold=0.6)
        check(wait_until(lambda: not session.visible("Kalvix Calendar"), 10), "a held press closes it")
        # A reopening would come from the release the panel saw: it has a second to show.
        deadline = time.monotonic() + 1.0
        stayed = True
        while time.monotonic() < deadline and stayed:
            stayed = not session.visible("Kalvix Calendar")
        check(stayed, "the held press does not reopen it")

        session.stop("panel")
        check(wait_until(lambda: panels.panel_window(session, "xfce4-panel", width=1280) is None, 10),
              "the panel is gone")
        panels.xfce_panel(session, icon_size=ICON)
        check_item(session, "panel restarted")
        check(session.processes["kalvix"].poll() is None, "Kalvix kept running through it all")
    finally:
        if failures:
            print("kalvix log:\n" + session.log("kalvix"))
        session.close()


if __name__ == "__main__":
    main()
    sys.exit(summary())
