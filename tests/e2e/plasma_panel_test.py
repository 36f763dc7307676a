#!/usr/bin/python3
"""Kalvix in KDE Plasma's real panel (kwin, kded5's StatusNotifierWatcher and plasmashell's system tray)
on a headless X server with a session bus of its own, in a fresh home (Breeze's light look), and in
Breeze Dark and Breeze Twilight as System Settings applies them.

Checks, from the X server's pixels: the item is a square face at the tray's icon size, and its ink stands
out from the panel behind it with a contrast of at least 4.5:1 (WCAG's level for text). Every wait is for
a condition, with a deadline.

Plasma is large and no build needs it: where it is not installed, the test says so and exits with 77,
which ctest reports as skipped.
"""
import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, failures, summary  # noqa: E402
from panel_session import Session, item_colours, wait_until  # noqa: E402
import panels  # noqa: E402

SKIPPED = 77
ICON = 22  # the size Plasma 5.27's tray gives an icon in its default panel
LEAST_CONTRAST = 4.5
NEEDED = ("plasmashell", "kwin_x11", "kded5", "plasma-apply-colorscheme", "lookandfeeltool")


# Each look: its name here, PLASMA_LOOKS' key, and a plasmarc of the user's.
LOOKS = (
    ("fresh home", "light", None),
    ("Breeze Dark", "dark", None),
    # Light applications, a dark panel whose theme is named among the global theme's defaults only, under
    # a plasmarc of the user's with other settings.
    ("Breeze Twilight", "twilight", "[Wallpapers]\nusersWallpapers=\n"),
)


def check_look(kalvix, look, key, plasmarc):
    session = Session("plasma-" + key, env=panels.PLASMA_ENV)
    try:
        panels.plasma_panel(session, key, plasmarc)
        item = panels.NewTrayItem(panels.PLASMA_PANEL)
        item.settle(session)
        check(session.start_kalvix(kalvix), "%s: Kalvix runs" % look)
        box = wait_until(lambda: item(session), 30, step=0.25)
        if not check(box is not None, "%s: the tray shows Kalvix's item" % look,
                     "nothing new stands out in the tray: no item, or one in the panel's own colour"):
            return
        x, y, w, h = box
        check(ICON * 0.75 <= h <= ICON + 1 and ICON * 0.4 <= w <= ICON + 1,
              "%s: the item is a %dx%d face in a %d px icon" % (look, w, h, ICON))
        panel = panels.panel_window(session, panels.PLASMA_PANEL, width=session.width)
        rows = session.pixels(0, panel.y, panel.width, panel.height)
        ratio, ink, ground = item_colours(rows, (x, y - panel.y, w, h))
        check(ratio >= LEAST_CONTRAST, "%s: the item's contrast is %.2f:1 (at least %.1f:1): ink #%02x%02x%02x on "
              "the panel's #%02x%02x%02x" % ((look, ratio, LEAST_CONTRAST) + ink + ground))
    finally:
        if failures:
            print("kalvix log:\n" + session.log("kalvix"))
        session.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    args = parser.parse_args()
    missing = [program for program in NEEDED if not shutil.which(program)]
    if missing:
        print("skip: KDE Plasma is not installed (no %s)" % ", ".join(missing), flush=True)
        return SKIPPED
    for look in LOOKS:
        check_look(args.kalvix, *look)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
