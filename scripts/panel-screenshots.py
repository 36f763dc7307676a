#!/usr/bin/python3
"""Pictures of Kalvix in real panels, light and dark, for the README: each panel is started on a
headless display of its own (sway for waybar), Kalvix is started in it, and the panel's status area is
cut out of a screenshot once Kalvix's item shows. Nothing is drawn by hand.

    /usr/bin/python3 scripts/panel-screenshots.py --kalvix build/test/app/kalvix [--out docs/panels]
        [--only lxqt]
"""
import argparse
import os
import shutil
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
from panel_session import Session, wait_until  # noqa: E402
import panels  # noqa: E402

WIDTH = 360  # the right end of each panel: the status area
# A fixed clock for the pictures: the time of the pictures does not change them from run to run.
PREFS = "[General]\ndidRegisterLoginItem=true\n"
ONLY = [""]  # the start of the names of the pictures to make

WAYBAR_LIGHT = """* { font-family: sans-serif; font-size: 13px; }
window#waybar { background-color: #f2f2f2; color: #202020; border-bottom: 1px solid #c8c8c8; }
#tray { padding: 0 10px; }
"""


def x11_picture(kalvix, out, name, start_panel, panel_name, ready, locale=None, clock=None, env=None, before=None):
    """`clock`, when given, is the wall-clock time Kalvix sees (faketime's form, "2026-07-05 21:28:00");
    `before`, when given, is called with the session once the panel is started, before Kalvix is."""
    if not name.startswith(ONLY[0]):
        return
    session = Session("shot-" + name, env=dict(env or {}, **({"LC_ALL": locale} if locale else {})))
    try:
        with open(os.path.join(session.config, "kalvix", "kalvix.conf"), "w") as f:
            f.write(PREFS)
        start_panel(session)
        if before:
            before(session)
        session.start("kalvix", (["faketime", clock] if clock else []) + [kalvix])
        if not wait_until(lambda: ready(session), 30, step=0.25):
            raise RuntimeError("%s: Kalvix's item did not show:\n%s" % (name, session.log("kalvix")))
        # The panel as wide as the screen (Plasma has smaller windows of the same name), else a narrow one.
        panel = (panels.panel_window(session, panel_name, width=session.width)
                 or panels.panel_window(session, panel_name))
        width = min(WIDTH, panel.width)
        session.screenshot(os.path.join(out, name + ".png"), (panel.x + panel.width - width, panel.y, width, panel.height))
    finally:
        session.close()


def waybar_picture(kalvix, out, name, style):
    if not name.startswith(ONLY[0]):
        return
    from wayland_session import WaylandSession
    session = WaylandSession("shot-" + name, waybar_style=style)
    try:
        path = os.path.join(session.config, "kalvix", "kalvix.conf")
        with open(path, "w") as f:
            f.write(PREFS)
        os.chown(path, session.uid, session.gid)
        session.start("waybar", ["waybar"])
        session.start("kalvix", [kalvix])
        shot = os.path.join(session.home, "bar.png")
        # Waits for the bar's picture to stop changing: waybar draws the tray item a moment after it reads it.
        seen = []

        def settled():
            session.screenshot(shot, (1280 - WIDTH, 0, WIDTH, 30))
            with open(shot, "rb") as f:
                seen.append(f.read())
            return len(seen) > 3 and seen[-1] == seen[-2] and seen[-1] != seen[0]
        if not wait_until(settled, 30, step=0.5):
            raise RuntimeError("%s: the bar did not settle:\n%s" % (name, session.log("kalvix")))
        shutil.copy(shot, os.path.join(out, name + ".png"))
    finally:
        session.close()


# The popover on a laptop's screen under the Xfce panel, with the README's calendars, six world clocks and
# three countdowns, at the README's fixed time: more than the screen's height, so the popover scrolls.
LAPTOP_AT = "2026-03-05 09:41:00"
LAPTOP_PREFS = PREFS + (
    'calendarSources="%(cals)s/work", "%(cals)s/home", "%(cals)s/birthdays"\n'
    'worldClockCities="London", "New York", "Dubai", "Tokyo", "San Francisco", "Sydney"\n'
    'countdowns=[{"id":"6F9619FF-8B86-4D11-B42D-00C04FC964FF","title":"Lisbon holiday","date":796464000},'
    '{"id":"3F2504E0-4F89-41D3-9A0C-0305E82C3301","title":"Anna\'s birthday","date":795441600},'
    '{"id":"7C9E6679-7425-40DE-944B-E07FC1F90AE7","title":"Tax return due","date":794491200}]\n')


def laptop_picture(kalvix, out, name, dark):
    if not name.startswith(ONLY[0]):
        return
    session = Session("shot-" + name, screen="1366x768x24",
                      env={"KALVIX_COLOR_SCHEME": "dark" if dark else "light", "FAKETIME_DONT_FAKE_MONOTONIC": "1"})
    try:
        cals = os.path.abspath(os.path.join(here, "..", "docs", "fixtures", "calendars"))
        with open(os.path.join(session.config, "kalvix", "kalvix.conf"), "w") as f:
            f.write(LAPTOP_PREFS % {"cals": cals})
        panels.xfce_panel(session, dark=dark)
        session.start("kalvix", ["faketime", LAPTOP_AT, kalvix])
        box = panels.wait_for_ink(session, "xfce4-panel")
        if not box:
            raise RuntimeError("%s: Kalvix's item did not show:\n%s" % (name, session.log("kalvix")))
        session.click(box[0] + box[2] // 2, box[1] + box[3] // 2)
        if not wait_until(lambda: session.visible("Kalvix Calendar"), 20, step=0.25):
            raise RuntimeError("%s: the popover did not open:\n%s" % (name, session.log("kalvix")))
        # The popover fades in: the picture is taken once two looks in a row are the same.
        shot = os.path.join(session.home, "screen.png")
        seen = []

        def settled():
            session.screenshot(shot)
            with open(shot, "rb") as f:
                seen.append(f.read())
            return len(seen) > 1 and seen[-1] == seen[-2]
        if not wait_until(settled, 20, step=0.25):
            raise RuntimeError("%s: the screen did not settle" % name)
        shutil.copy(shot, os.path.join(out, name + ".png"))
    finally:
        session.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    parser.add_argument("--out", default=os.path.join(here, "..", "docs", "panels"))
    parser.add_argument("--only", default="", help="make only the pictures whose names start so")
    args = parser.parse_args()
    kalvix = os.path.abspath(args.kalvix)
    ONLY[0] = args.only
    os.makedirs(args.out, exist_ok=True)

    def item_in(panel_name):
        return lambda session: panels.wait_for_ink(session, panel_name, seconds=1)

    def docked(session):
        dock = panels.dock_window(session)
        return dock if dock and dock.width > 16 else None

    for theme, dark in (("dark", True), ("light", False)):
        x11_picture(kalvix, args.out, "xfce-" + theme, lambda s, d=dark: panels.xfce_panel(s, dark=d),
                    "xfce4-panel", item_in("xfce4-panel"))
        x11_picture(kalvix, args.out, "trayer-" + theme,
                    lambda s, d=dark: panels.trayer(s, tint="0x2b2b2b" if d else None), "panel", docked)
    for theme, name in (("dark", "lxqt-dark"), ("light", "lxqt-light"), ("KDE-Plasma", "lxqt-kde-plasma")):
        x11_picture(kalvix, args.out, name, lambda s, t=theme: panels.lxqt_panel(s, t), "LXQt Panel",
                    item_in("LXQt Panel"))
    # The afternoon in a 12-hour locale: the dot beside the hours.
    x11_picture(kalvix, args.out, "lxqt-light-12h", lambda s: panels.lxqt_panel(s, "light"), "LXQt Panel",
                item_in("LXQt Panel"), locale="en_US.UTF-8", clock="2026-07-05 21:28:00")
    # KDE Plasma's own panel in a fresh home (Breeze's light look) and in Breeze Dark: the item is the one
    # new thing in its system tray.
    for theme in ("dark", "light"):
        item = panels.NewTrayItem(panels.PLASMA_PANEL)
        x11_picture(kalvix, args.out, "kde-" + theme, lambda s, t=theme: panels.plasma_panel(s, t),
                    panels.PLASMA_PANEL, item, env=panels.PLASMA_ENV, before=item.settle)
    for theme, dark in (("dark", True), ("light", False)):
        laptop_picture(kalvix, args.out, "laptop-" + theme, dark)
    waybar_picture(kalvix, args.out, "waybar-dark", None)
    waybar_picture(kalvix, args.out, "waybar-light", WAYBAR_LIGHT)
    for png in sorted(os.listdir(args.out)):
        subprocess.run(["identify", os.path.join(args.out, png)])


if __name__ == "__main__":
    main()
