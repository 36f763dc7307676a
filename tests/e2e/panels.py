"""Real panels from Debian, configured and started in a Session: the Xfce panel with its status tray
(StatusNotifierItem and XEmbed), LXQt's panel with its status notifier (a watcher of its own), trayer
(a classic XEmbed tray) and KDE Plasma's panel with its system tray.
Used by the panel tests and the screenshot script."""
import os

from panel_session import wait_until, ink_box

XFCE_PANEL = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="%(dark)s"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="%(position)s"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="%(size)d"/>
      <property name="icon-size" type="uint" value="%(icon)d"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
"""

XSETTINGS = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xsettings" version="1.0">
  <property name="Net" type="empty">
    <property name="ThemeName" type="string" value="%s"/>
  </property>
</channel>
"""

# Where an Xfce panel sits: snapped to the top-left corner, or to the bottom-left one, as wide as the screen.
XFCE_TOP = "p=6;x=0;y=0"
XFCE_BOTTOM = "p=8;x=0;y=0"


def xfce_panel(session, dark=True, size=30, icon_size=22, position=XFCE_TOP):
    """Starts xfce4-panel with one panel (at the top unless `position` says otherwise): a spacer and the
    status tray."""
    channels = os.path.join(session.config, "xfce4", "xfconf", "xfce-perchannel-xml")
    os.makedirs(channels, exist_ok=True)
    with open(os.path.join(channels, "xfce4-panel.xml"), "w") as f:
        f.write(XFCE_PANEL % {"dark": "true" if dark else "false", "size": size, "icon": icon_size,
                              "position": position})
    with open(os.path.join(channels, "xsettings.xml"), "w") as f:
        f.write(XSETTINGS % ("Adwaita-dark" if dark else "Adwaita"))
    return session.start("panel", ["xfce4-panel", "--disable-wm-check"])


LXQT_PANEL = """[General]
__userfile__=true
panels=panel1

[panel1]
alignment=-1
position=Top
panelSize=%(size)d
iconSize=%(icon)d
width=100
width-percent=true
plugins=spacer, statusnotifier
%(custom)s
[spacer]
type=spacer
expandable=true

[statusnotifier]
type=statusnotifier
"""


def lxqt_panel(session, theme, size=30, icon_size=22, custom=""):
    """Starts lxqt-panel with one top panel, a spacer and the status notifier, in an lxqt-themes theme
    named in lxqt.conf, as LXQt's settings write it; `custom` holds lines for the panel's section, as its
    own settings dialog writes them (a background colour and opacity of the user's)."""
    folder = os.path.join(session.config, "lxqt")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "panel.conf"), "w") as f:
        f.write(LXQT_PANEL % {"size": size, "icon": icon_size, "custom": custom})
    with open(os.path.join(folder, "lxqt.conf"), "w") as f:
        f.write("[General]\ntheme=%s\n" % theme)
    return session.start("panel", ["lxqt-panel"])


def trayer(session, height=24, tint=None):
    argv = ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", str(height),
            "--SetDockType", "true", "--SetPartialStrut", "true", "--expand", "true"]
    if tint:
        argv += ["--transparent", "true", "--alpha", "0", "--tint", tint]
    return session.start("panel", argv)


# What a Plasma session sets; Plasma's panel and Kalvix both see it, as in a real session.
PLASMA_ENV = {"XDG_CURRENT_DESKTOP": "KDE", "KDE_FULL_SESSION": "true", "KDE_SESSION_VERSION": "5",
              "XDG_SESSION_TYPE": "x11"}
PLASMA_PANEL = "Plasma"  # the name of plasmashell's panel window


# What System Settings does to change Plasma's look: a fresh home has Breeze's light look with nothing
# written; Breeze Dark is its colour scheme and its global theme; Breeze Twilight (light applications, a
# dark panel) is a global theme alone.
PLASMA_LOOKS = {
    "light": [],
    "dark": [["plasma-apply-colorscheme", "BreezeDark"], ["lookandfeeltool", "-a", "org.kde.breezedark.desktop"]],
    "twilight": [["lookandfeeltool", "-a", "org.kde.breezetwilight.desktop"]],
}


def plasma_panel(session, look="light", plasmarc=None):
    """Starts KDE Plasma's shell, which lays out its default panel (launcher, task manager, system tray,
    clock) at the bottom of a fresh home: kwin, which the panel needs to be placed and drawn, kded5, whose
    module is the StatusNotifierWatcher, and plasmashell; in one of PLASMA_LOOKS, with `plasmarc` written
    afterwards as the user's own (applying a global theme resets the user's keys). As a Plasma session
    does, the global theme's defaults folder is put among the config folders, for Kalvix too."""
    defaults = os.path.join(session.config, "kdedefaults")
    session.env["XDG_CONFIG_DIRS"] = defaults + ":" + session.env["XDG_CONFIG_DIRS"]
    for argv in PLASMA_LOOKS[look]:
        done = session.run(argv, env=PLASMA_ENV, timeout=60)
        if done.returncode != 0:
            raise RuntimeError("%s failed:\n%s%s" % (argv[0], done.stdout, done.stderr))
    if plasmarc is not None:
        with open(os.path.join(session.config, "plasmarc"), "w") as f:
            f.write(plasmarc)
    session.start("kwin", ["kwin_x11"], env=PLASMA_ENV)
    session.start("kded", ["kded5"], env=PLASMA_ENV)
    return session.start("panel", ["plasmashell"], env=PLASMA_ENV)


def ink_blobs(rows, tolerance=40, gap=3):
    """What a panel's strip shows, item by item: runs of columns with ink (pixels that differ from the row's
    first pixel), split where at least `gap` columns are bare. Each is (x, y, width, height, pixels)."""
    width = len(rows[0]) if rows else 0
    rows = [row for row in rows if len(row) == width]  # a panel still sliding in is cut by the screen's edge
    inked = [[j for j, row in enumerate(rows) if sum(abs(a - b) for a, b in zip(row[i], row[0])) > tolerance]
             for i in range(width)]
    blobs, start, bare = [], None, 0
    for i in range(width + gap):
        if i < width and inked[i]:
            start, bare = (i if start is None else start), 0
        elif start is not None:
            bare += 1
            if bare == gap or i >= width:
                end = i - bare + 1
                ys = [j for column in inked[start:end] for j in column]
                top, bottom = min(ys), max(ys) + 1
                pixels = tuple(tuple(row[start:end]) for row in rows[top:bottom])
                blobs.append((start, top, end - start, bottom - top, pixels))
                start, bare = None, 0
    return blobs


def same_pixels(a, b, tolerance=24):
    """Whether two blobs show the same thing (wherever they are): same size, every pixel close."""
    return (len(a) == len(b) and all(len(ra) == len(rb) for ra, rb in zip(a, b))
            and all(sum(abs(x - y) for x, y in zip(pa, pb)) <= tolerance
                    for ra, rb in zip(a, b) for pa, pb in zip(ra, rb)))


class NewTrayItem:
    """Finds the item that appears in a panel's status area: what the area shows is looked at before the
    item is there (settle(), once it stops changing), and the item is the one thing of at most an icon's
    size that was not there before. Items that move aside for it keep their pixels; the panel's own clock,
    which may turn a minute meanwhile, is wider than an icon."""

    def __init__(self, panel_name, width=360, border=2):
        self.panel_name, self.width, self.border = panel_name, width, border
        self.before = None
        self.last = None

    def _look(self, session):
        panel = panel_window(session, self.panel_name, width=session.width)
        if not panel:
            return None, []
        x0 = panel.x + panel.width - self.width
        rows = session.pixels(x0, panel.y + self.border, self.width, panel.height - 2 * self.border)
        return (x0, panel.y + self.border), ink_blobs(rows)

    def settle(self, session, seconds=60, looks=4):
        """Waits for the panel's status area to show the same `looks` times in a row."""
        seen = []

        def settled():
            origin, blobs = self._look(session)
            seen.append([b[4] for b in blobs] if origin else None)
            return (origin and len(seen) >= looks and all(s == seen[-1] for s in seen[-looks:])
                    and seen[-1])
        if not wait_until(settled, seconds, step=0.5):
            raise RuntimeError("the panel's status area did not settle")
        self.before = seen[-1]

    def __call__(self, session):
        """The new item's box in screen coordinates, once it is in the same place on two looks; else None."""
        origin, blobs = self._look(session)
        if not origin:
            return None
        icon = panel_window(session, self.panel_name, width=session.width).height
        new = [b for b in blobs
               if b[2] <= icon and b[3] <= icon and not any(same_pixels(b[4], old) for old in self.before)]
        box = (origin[0] + new[0][0], origin[1] + new[0][1], new[0][2], new[0][3]) if len(new) == 1 else None
        last, self.last = self.last, box
        return box if box and box == last else None


def panel_window(session, name, width=None):
    """The panel's own top-level window: named `name`, as wide as the screen when `width` is given."""
    for w in session.windows():
        if w.name == name and w.height > 10 and (width is None or w.width == width):
            return w
    return None


def dock_window(session):
    """Kalvix's window docked in an XEmbed tray (not Kalvix's other windows of the same name)."""
    windows = session.windows()  # one listing: the tree may change between two
    root = windows[0].id if windows else None
    for w in windows:
        if w.name == "Kalvix" and w.parent not in (None, root) and w.width > 1 and w.height > 1:
            return w
    return None


def status_area_ink(session, panel, width=240, border=2, tolerance=40):
    """The bounding box of what the panel draws in its last `width` pixels, in screen coordinates; the
    panel's border rows are left out, and its background is the colour at the area's left end, row by
    row (a panel may be a gradient). Pixels within `tolerance` (the sum of the channels' differences)
    of the background are background."""
    x0 = panel.x + panel.width - width
    rows = session.pixels(x0, panel.y + border, width - border, panel.height - 2 * border)
    box = ink_box(rows, None, tolerance)
    if not box:
        return None
    return (x0 + box[0], panel.y + border + box[1], box[2], box[3])


def wait_for_ink(session, panel_name, seconds=20, least=6, **kwargs):
    """Waits for something at least `least` pixels wide and high in the panel's status area, in the same
    place on two looks in a row (a panel lays its items out again as they arrive)."""
    seen = []

    def settled():
        panel = panel_window(session, panel_name, width=session.width)
        box = status_area_ink(session, panel, **kwargs) if panel else None
        box = box if box and box[2] >= least and box[3] >= least else None
        seen.append(box)
        return box if box and len(seen) > 1 and seen[-2] == box else None
    return wait_until(settled, seconds, step=0.25)
