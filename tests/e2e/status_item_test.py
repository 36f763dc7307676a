#!/usr/bin/python3
"""End-to-end test of Kalvix's status item.

Starts Kalvix on a headless X server inside a private session bus, plays the part of the desktop's
StatusNotifierWatcher and host, and checks what a panel would see and do: the live label, the wide
text pixmap, the menu, activation opening and closing the popover window, a second start handing its
request to the first, a preference edited by hand showing in the label, Quit, and a start right
after SIGTERM taking over from the dying instance.

Run under dbus-run-session. Needs Xvfb and xdotool.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import dbus
from dbus.mainloop.glib import DBusGMainLoop

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, summary  # noqa: E402
from sni_watcher import Watcher, pump  # noqa: E402


ITEM_IFACE = "org.kde.StatusNotifierItem"
PROPS = "org.freedesktop.DBus.Properties"

def window_visible(name):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % name],
                           capture_output=True, text=True)
    return found.returncode == 0 and found.stdout.strip() != ""


def popover_visible():
    return window_visible("Kalvix Calendar")


def wait_visible(want, seconds=5, name="Kalvix Calendar"):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        pump(0.1)
        if window_visible(name) == want:
            return True
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="kalvix-e2e-")
    config = os.path.join(home, "config")
    os.makedirs(os.path.join(config, "kalvix"))
    conf = os.path.join(config, "kalvix", "kalvix.conf")
    with open(conf, "w") as f:
        f.write("[General]\nshowSeconds=true\ntimeStyle=2\ndateStyle=1\nshowYear=false\n")

    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700)
    # Xvfb picks a free display itself and names it, so test runs side by side never share one.
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end) as names:
        display = ":" + names.readline().strip()  # written once the server accepts clients
    env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config, XDG_DATA_HOME=os.path.join(home, "data"),
               HOME=home, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime, TZ="Europe/London", LC_ALL="en_GB.UTF-8")
    os.environ["DISPLAY"] = display

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    kalvix = subprocess.Popen([args.kalvix], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        check(pump(10, lambda: watcher.items), "Kalvix registers its item with the watcher")
        if not watcher.items:
            return
        sender, _ = watcher.items[0]
        item = bus.get_object(sender, "/StatusNotifierItem")
        props = dbus.Interface(item, PROPS)

        def label():
            return str(props.Get(ITEM_IFACE, "XAyatanaLabel"))

        first = label()
        check(re.fullmatch(r"\w+ \d\d-\d\d \d\d:\d\d:\d\d", first) is not None, "label is the live title: %r" % first)
        icons = props.Get(ITEM_IFACE, "IconPixmap")
        check(len(icons) > 0 and all(int(w) > 2 * int(h) for w, h, _ in icons),
              "icon pixmaps carry the text, wider than tall: %s" % [(int(w), int(h)) for w, h, _ in icons])
        check(all(len(data) == 4 * int(w) * int(h) for w, h, data in icons), "icon pixmaps are whole ARGB32 images")
        tooltip = props.Get(ITEM_IFACE, "ToolTip")
        check(str(tooltip[2]) == first or re.match(r"\w+ \d\d-\d\d", str(tooltip[2])), "tooltip shows the title")

        pump(2.2)
        second = label()
        check(second != first, "label changes as the clock runs: %r -> %r" % (first, second))

        menu_path = props.Get(ITEM_IFACE, "Menu")
        menu = dbus.Interface(bus.get_object(sender, menu_path), "com.canonical.dbusmenu")
        _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"))
        labels = [str(child[1].get("label", "")) for child in layout[2]]
        check(labels == ["Show Calendar", "", "Settings\u2026", "Quit Kalvix"], "menu entries: %r" % labels)

        check(not popover_visible(), "popover starts closed")
        dbus.Interface(item, ITEM_IFACE).Activate(640, 30)
        check(wait_visible(True), "Activate opens the popover window")
        pump(0.5)
        dbus.Interface(item, ITEM_IFACE).Activate(640, 30)
        check(wait_visible(False), "Activate again closes it")

        pump(0.5)
        menu.Event(1, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
        check(wait_visible(True), "the menu's Show Calendar opens it (hosts that open menus on click)")

        toggled = subprocess.run([args.kalvix, "--toggle"], env=env, capture_output=True, text=True, timeout=20)
        check(toggled.returncode == 0, "kalvix --toggle reaches the running instance")
        check(wait_visible(False), "--toggle closes the open popover")

        again = subprocess.run([args.kalvix], env=env, capture_output=True, text=True, timeout=20)
        check(again.returncode == 0 and "already running" in again.stderr, "a second start exits: %r" % again.stderr)
        pump(0.5)
        check(len(watcher.items) == 1, "a second start adds no second item")

        printed = subprocess.run([args.kalvix, "--print-title"], env=dict(env, DISPLAY=""), capture_output=True,
                                 text=True, timeout=20)
        check(printed.returncode == 0 and re.fullmatch(r"\w+ \d\d-\d\d \d\d:\d\d:\d\d\n", printed.stdout) is not None,
              "--print-title works without a display: %r" % printed.stdout)

        opened = subprocess.run([args.kalvix, "--open-settings"], env=dict(env, DISPLAY=""), capture_output=True,
                                text=True, timeout=20)
        check(opened.returncode == 0, "--open-settings from a shell without a display asks the running Kalvix: %r"
              % opened.stderr.strip())
        check(wait_visible(True, name="Kalvix Settings"), "the running Kalvix shows its Settings window")

        with open(conf + ".new", "w") as f:
            f.write("[General]\nshowSeconds=false\ntimeStyle=2\ndateStyle=1\nshowYear=false\n")
        os.replace(conf + ".new", conf)
        check(pump(3, lambda: re.fullmatch(r"\w+ \d\d-\d\d \d\d:\d\d", label()) is not None),
              "a hand edit of the preferences file shows in the label: %r" % label())
        with open(conf) as f:
            check("showSeconds=false" in f.read(), "Kalvix left the edited file alone")

        menu.Event(4, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
        try:
            kalvix.wait(timeout=10)
            check(kalvix.returncode == 0, "Quit Kalvix ends the program")
        except subprocess.TimeoutExpired:
            check(False, "Quit Kalvix ends the program")

        # A session restart: the running one is told to end and the next starts at once, while the
        # dying one still holds the name. Whatever the order, the new one must end up running.
        names = dbus.Interface(bus.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus"), "org.freedesktop.DBus")

        def owner_pid():
            try:
                return int(names.GetConnectionUnixProcessID("io.kalvix.Kalvix"))
            except dbus.DBusException:
                return None

        kalvix = subprocess.Popen([args.kalvix], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        check(pump(20, lambda: owner_pid() == kalvix.pid), "a fresh Kalvix takes the name")
        for round_ in range(5):
            kalvix.terminate()
            following = subprocess.Popen([args.kalvix], env=env, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.PIPE, text=True)
            kalvix.communicate()
            taken = pump(20, lambda: owner_pid() == following.pid or following.poll() is not None)
            check(taken and following.poll() is None and owner_pid() == following.pid,
                  "round %d: the start after SIGTERM takes over (%r)"
                  % (round_, following.stderr.read() if following.poll() is not None else "running"))
            kalvix = following
    finally:
        if kalvix.poll() is None:
            kalvix.kill()
        out, err = kalvix.communicate()
        if err.strip():
            print("kalvix stderr:\n" + err)
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
    sys.exit(summary())
