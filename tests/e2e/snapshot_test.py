#!/usr/bin/python3
"""kalvix --snapshot DIR from a terminal: no display needed, both pictures at scale 2, the process ends by
itself, a folder that cannot be written fails loudly, and it works while another Kalvix runs on the same
session bus without taking its name or adding a second status item. Run under dbus-run-session."""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib
import dbus
import dbus.service

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, summary  # noqa: E402
from sni_watcher import Watcher, pump  # noqa: E402

INSTANCE = "io.kalvix.Kalvix"


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def first_pixel(path):
    """The top-left pixel's red, green and blue: whatever a row's filter, its first pixel is stored as is."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    raw = zlib.decompress(idat)
    return tuple(raw[1:4])


class Portal(dbus.service.Object):
    """A stand-in settings portal: answers the colour scheme with `first`, then announces `then`."""
    SETTINGS = "org.freedesktop.portal.Settings"

    def __init__(self, bus, first, then):
        self.first, self.then = first, then
        self.bus_name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
        super().__init__(bus, "/org/freedesktop/portal/desktop")

    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v")
    def Read(self, group, key):
        if (group, key) != ("org.freedesktop.appearance", "color-scheme"):
            raise dbus.exceptions.DBusException("no such setting", name="org.freedesktop.portal.Error.NotFound")
        if self.then is not None:
            GLib.idle_add(lambda: self.SettingChanged(group, key, dbus.UInt32(self.then)) and False)
        return dbus.UInt32(self.first, variant_level=1)  # a variant holding the value's variant, as portals answer

    @dbus.service.signal(SETTINGS, signature="ssv")
    def SettingChanged(self, group, key, value):
        pass


def run(process, seconds):
    """Waits for a child while the stand-in panel keeps answering on the bus; None if it did not end."""
    pump(seconds, lambda: process.poll() is not None)
    return process.poll()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    kalvix = parser.parse_args().kalvix

    home = tempfile.mkdtemp(prefix="kalvix-snapshot-")
    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700)
    os.makedirs(os.path.join(home, "config", "kalvix"))
    with open(os.path.join(home, "config", "kalvix", "kalvix.conf"), "w") as f:
        f.write("[General]\ndidRegisterLoginItem=true\ncompactMode=true\n")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_RUNTIME_DIR=runtime, TZ="Europe/London", LC_ALL="en_GB.UTF-8")

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    # Another Kalvix, running as usual (drawn offscreen: this test needs no X server).
    running = subprocess.Popen([kalvix], env=dict(env, QT_QPA_PLATFORM="offscreen"),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        check(pump(15, lambda: watcher.items and bus.name_has_owner(INSTANCE)), "the other Kalvix runs with its item")
        owner = bus.get_name_owner(INSTANCE)

        out = os.path.join(home, "pictures")
        os.makedirs(out)
        with open(os.path.join(out, "standard.png"), "wb") as f:
            f.write(b"old")
        snap = subprocess.Popen([kalvix, "--snapshot", out], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        status = run(snap, 30)
        check(status == 0, "the snapshot ends by itself with status 0 (got %r: %s)"
              % (status, snap.stderr.read() if status is not None else "still running"))
        if status is None:
            snap.kill()
        check(png_size(os.path.join(out, "standard.png")) is not None
              and png_size(os.path.join(out, "standard.png"))[0] == 1280,
              "standard.png is 1280 pixels wide, replacing the old file: %r" % (png_size(os.path.join(out, "standard.png")),))
        check(png_size(os.path.join(out, "compact.png")) is not None
              and png_size(os.path.join(out, "compact.png"))[0] == 600,
              "compact.png is 600 pixels wide: %r" % (png_size(os.path.join(out, "compact.png")),))
        pump(0.5)
        check(len(watcher.items) == 1, "no second status item: %r" % watcher.items)
        check(bus.get_name_owner(INSTANCE) == owner, "the running Kalvix keeps its name")
        check(running.poll() is None, "the running Kalvix is still there")

        # The desktop prefers dark: Kalvix follows the portal's answer, and a change it announces later.
        light_window = first_pixel(os.path.join(out, "compact.png"))
        portal = Portal(bus, 1, None)
        for first, then, how in ((1, None, "when the portal answers dark"), (0, 1, "when it turns dark later")):
            portal.first, portal.then = first, then
            dark = os.path.join(home, "dark-%d" % first)
            os.makedirs(dark)
            snap = subprocess.Popen([kalvix, "--snapshot", dark], env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            check(run(snap, 30) == 0, "a snapshot with a portal on the bus")
            dark_window = first_pixel(os.path.join(dark, "compact.png"))
            check(sum(dark_window) < 3 * 80 < sum(light_window),
                  "drawn dark %s: %r, light %r" % (how, dark_window, light_window))

        missing = os.path.join(home, "no", "such", "folder")
        failed = subprocess.Popen([kalvix, "--snapshot", missing], env=env, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, text=True)
        status = run(failed, 30)
        said = failed.stderr.read() if status is not None else ""
        check(status not in (None, 0), "a missing folder ends with a failure status (got %r)" % status)
        check(os.path.join(missing, "standard.png") in said and os.path.join(missing, "compact.png") in said,
              "and names the files it could not write: %r" % said)
        check(not os.path.exists(missing), "and creates no folder")
    finally:
        running.terminate()
        running.wait(timeout=10)
        shutil.rmtree(home, ignore_errors=True)
    sys.exit(summary())


if __name__ == "__main__":
    main()
