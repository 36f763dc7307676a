#!/usr/bin/python3
"""Kalvix in LXQt's real panel (its status notifier, which is its own watcher) on a headless X server
with a session bus of its own, in lxqt-themes' light, KDE-Plasma and dark themes, and in the light theme
with a dark background colour chosen in the panel's own settings; and a switch from the light theme to the
dark one while Kalvix runs, as LXQt's settings write lxqt.conf (a new file renamed over the old).

Checks, from the X server's pixels: the item is a square face at the panel's icon size, and its ink
stands out from the panel's own ground behind it with a contrast of at least 4.5:1 (WCAG's level for
text), whatever the theme. Every wait is for a condition, with a deadline.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, failures, summary  # noqa: E402
from panel_session import Session, item_colours, item_contrast, wait_until  # noqa: E402
import panels  # noqa: E402

ICON = 22
PANEL = "LXQt Panel"
LEAST_CONTRAST = 4.5
GRIP = 200  # the grip's dots differ from the panel by about 130 in the channels' sum
DARK_GRIP = 450  # on a dark ground of the user's the same grey dots differ by more, the light face by more still
# lxqt-themes' panel themes: a light gradient, an opaque near-white, and half see-through black.
# Each case: its name, the theme, and what the panel's settings dialog wrote into the panel's section.
CASES = (("light", "light", ""), ("KDE-Plasma", "KDE-Plasma", ""), ("dark", "dark", ""),
         # #2b3036 as the dialog saves a colour (a QColor in QSettings' form), opaque.
         ("light-custom-dark", "light",
          "background-color=@Variant(\\0\\0\\0\\x43\\x1\\xff\\xff++0066\\0\\0)\nopacity=100\n"))


def check_theme(kalvix, name, theme, custom):
    session = Session("lxqt-" + name.lower())
    try:
        panels.lxqt_panel(session, theme, icon_size=ICON, custom=custom)
        check(session.start_kalvix(kalvix), "%s: Kalvix runs" % name)
        # The light theme draws a grip of grey dots left of each plugin: the face's ink stands out more.
        box = panels.wait_for_ink(session, PANEL, tolerance=DARK_GRIP if custom else GRIP)
        panel = panels.panel_window(session, PANEL, width=1280)
        if not box:
            # Too faint to tell from the grip: what contrast is there at all, for the failure's message.
            faint = panels.wait_for_ink(session, PANEL, seconds=5)
            rows = session.pixels(0, panel.y, panel.width, panel.height) if panel else []
            check(False, "%s: the panel shows Kalvix's item, standing out (%s)"
                  % (name, "%.2f:1" % item_contrast(rows, (faint[0], faint[1] - panel.y, faint[2], faint[3]))
                     if faint else "nothing found"))
            return
        x, y, w, h = box
        check(ICON * 0.75 <= h <= ICON + 1 and ICON * 0.4 <= w <= ICON + 1,
              "%s: the item is a %dx%d face in a %d px icon" % (name, w, h, ICON))
        rows = session.pixels(0, panel.y, panel.width, panel.height)
        ratio, ink, ground = item_colours(rows, (x, y - panel.y, w, h))
        check(ratio >= LEAST_CONTRAST, "%s: the item's contrast on the panel is %.2f:1 (at least %.1f:1; ink %s on %s)"
              % (name, ratio, LEAST_CONTRAST, ink, ground))
        if custom:
            # The panel paints the colour its settings chose, not the theme's.
            check(ground is not None and max(ground) < 0x40,
                  "%s: the panel's ground is the chosen dark colour (%s)" % (name, ground))
    finally:
        if failures:
            print("kalvix log:\n" + session.log("kalvix"))
        session.close()


def check_switch(kalvix):
    name = "light-to-dark"
    session = Session("lxqt-" + name)
    try:
        panels.lxqt_panel(session, "light", icon_size=ICON)
        check(session.start_kalvix(kalvix), "%s: Kalvix runs" % name)
        check(panels.wait_for_ink(session, PANEL, tolerance=GRIP) is not None, "%s: the face shows" % name)
        conf = os.path.join(session.config, "lxqt", "lxqt.conf")
        with open(conf + ".new", "w") as f:
            f.write("[General]\ntheme=dark\n")
        os.rename(conf + ".new", conf)

        def measured():
            # The panel turns dark first; the item follows once Kalvix has learnt the new ink.
            panel = panels.panel_window(session, PANEL, width=1280)
            box = panels.status_area_ink(session, panel, tolerance=GRIP) if panel else None
            if not box:
                return None
            rows = session.pixels(0, panel.y, panel.width, panel.height)
            ratio, ink, ground = item_colours(rows, (box[0], box[1] - panel.y, box[2], box[3]))
            return (ratio, ink, ground) if ground and max(ground) < 0x40 and ratio >= LEAST_CONTRAST else None
        found = wait_until(measured, 10)
        check(found is not None, "%s: after the switch the item's contrast on the dark panel is %s"
              % (name, "%.2f:1 (ink %s on %s)" % found if found else "below %.1f:1" % LEAST_CONTRAST))
    finally:
        if failures:
            print("kalvix log:\n" + session.log("kalvix"))
        session.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    args = parser.parse_args()
    for name, theme, custom in CASES:
        check_theme(args.kalvix, name, theme, custom)
    check_switch(args.kalvix)


if __name__ == "__main__":
    main()
    sys.exit(summary())
