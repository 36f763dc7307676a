"""A stand-in for the desktop panel: a StatusNotifierWatcher that records the items registering."""
import time

import dbus
import dbus.service
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
PROPS = "org.freedesktop.DBus.Properties"


def pump(seconds, until=None):
    """Runs the GLib loop for up to `seconds`, or until `until()` is true."""
    ctx = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while ctx.pending():
            ctx.iteration(False)
        if until and until():
            return True
        time.sleep(0.02)
    return bool(until and until())


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        self.items = []
        self.bus_name = dbus.service.BusName(WATCHER, bus)
        super().__init__(bus, "/StatusNotifierWatcher")

    @dbus.service.method(WATCHER, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        self.items.append((sender, service))
        self.StatusNotifierItemRegistered(sender + "/StatusNotifierItem")

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, name):
        pass

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        return {
            "RegisteredStatusNotifierItems": dbus.Array([s for _, s in self.items], signature="s"),
            "IsStatusNotifierHostRegistered": True,
            "ProtocolVersion": dbus.Int32(0),
        }[prop]


if __name__ == "__main__":
    # As a process of its own (`--serve`): the stand-in panel for as long as it runs.
    import sys

    import dbus.mainloop.glib

    if "--serve" in sys.argv:
        dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
        watcher = Watcher(dbus.SessionBus())
        GLib.MainLoop().run()
