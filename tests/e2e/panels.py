"""Real panels from Debian, configured and started in a Session: the Xfce panel with its status tray
(StatusNotifierItem and XEmbed), LXQt's panel with its status notifier (a watcher of its own) and
trayer (a classic XEmbed tray).
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

[spacer]
type=spacer
expandable=true

[statusnotifier]
type=statusnotifier
"""


def lxqt_panel(session, theme, size=30, icon_size=22):
    """Starts lxqt-panel with one top panel, a spacer and the status notifier, in an lxqt-themes theme
    named in lxqt.conf, as LXQt's settings write it."""
    folder = os.path.join(session.config, "lxqt")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "panel.conf"), "w") as f:
        f.write(LXQT_PANEL % {"size": size, "icon": icon_size})
    with open(os.path.join(folder, "lxqt.conf"), "w") as f:
        f.write("[General]\ntheme=%s\n" % theme)
    return session.start("panel", ["lxqt-panel"])


def trayer(session, height=24, tint=None):
    argv = ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", str(height),
            "--SetDockType", "true", "--SetPartialStrut", "true", "--expand", "true"]
    if tint:
        argv += ["--transparent", "true", "--alpha", "0", "--tint", tint]
    return session.start("panel", argv)


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
