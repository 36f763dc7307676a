#!/usr/bin/python3
"""`kalvix --agenda` with a running Kalvix and without one gives the same output. The running Kalvix
(offscreen, on a private session bus, with a pinned clock) answers from the calendars it has loaded;
the asking process's own home has no calendars at all, so events in its output can only come from
the running one. Without a bus, the same command reads the files itself."""
import json
import os
import subprocess
import sys
import tempfile

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

# The clock of a process set with libfaketime (see the script for why not the faketime command).
AT_TIME = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "at-time")

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from checks import check_equal, summary  # noqa: E402

KALVIX = sys.argv[1]
WHEN = "2025-03-05 11:55:05"  # early in a minute: the runs below stay within it


def vevent(lines):
    return "BEGIN:VEVENT\r\n" + "".join(l + "\r\n" for l in lines) + "END:VEVENT\r\n"


def home_with(root, calendars):
    """A home whose preferences name `calendars` (none: no calendar anywhere)."""
    os.makedirs(os.path.join(root, "config", "kalvix"))
    with open(os.path.join(root, "config", "kalvix", "kalvix.conf"), "w") as f:
        f.write("[General]\ndidRegisterLoginItem=true\n")
        if calendars:
            f.write('calendarSources="' + calendars + '"\n')
    return {"HOME": root, "XDG_CONFIG_HOME": os.path.join(root, "config"),
            "XDG_DATA_HOME": os.path.join(root, "data"), "XDG_RUNTIME_DIR": root}


def environment(home, bus):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(home)
    env.update(TZ="Europe/London", LC_ALL="en_GB.UTF-8", LANG="en_GB.UTF-8", QT_QPA_PLATFORM="offscreen",
               FAKETIME_DONT_FAKE_MONOTONIC="1")
    if bus:
        env["DBUS_SESSION_BUS_ADDRESS"] = bus
    else:
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    return env


def agenda(env, args):
    done = subprocess.run([AT_TIME, "@" + WHEN, KALVIX, "--agenda"] + args, env=env,
                          capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout


def without_seconds(doc):
    doc["now"] = doc["now"][:16] + doc["now"][19:]
    return doc


def wait_for_name(bus_address, start):
    """Starts the instance with `start` and returns once it owns its name on the bus."""
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(bus_address)
    loop = GLib.MainLoop()
    owned = []

    def changed(name, old, new):
        if name == "io.kalvix.Kalvix" and new:
            owned.append(new)
            loop.quit()

    bus.add_signal_receiver(changed, signal_name="NameOwnerChanged", dbus_interface="org.freedesktop.DBus")
    process = start()
    GLib.timeout_add_seconds(30, loop.quit)  # a bound for failure only
    loop.run()
    return process, bool(owned)


with tempfile.TemporaryDirectory() as root:
    cals = os.path.join(root, "cals")
    os.makedirs(cals)
    with open(os.path.join(cals, "work.ics"), "w") as f:
        f.write("BEGIN:VCALENDAR\r\nX-WR-CALNAME:Work\r\n"
                + vevent(["UID:standup", "SUMMARY:Standup", "DTSTART;TZID=Europe/London:20250303T093000",
                          "DURATION:PT15M", "RRULE:FREQ=DAILY;COUNT=10"])
                + vevent(["UID:review", "SUMMARY:Review", "DTSTART:20250305T140000Z", "DURATION:PT1H"])
                + vevent(["UID:trip", "SUMMARY:Trip", "DTSTART;VALUE=DATE:20250307", "DTEND;VALUE=DATE:20250310"])
                + "END:VCALENDAR\r\n")
    instance_home = home_with(os.path.join(root, "instance"), cals)
    asking_home = home_with(os.path.join(root, "asking"), None)

    # A bus that offers no services (the desktop's calendar service among them): both ways read the same files.
    config = os.path.join(root, "bus.conf")
    with open(config, "w") as f:
        f.write('<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"'
                ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
                '<busconfig><type>session</type><listen>unix:tmpdir=%s</listen>'
                '<policy context="default"><allow send_destination="*" eavesdrop="true"/>'
                '<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>\n' % root)
    daemon = subprocess.run(["dbus-daemon", "--config-file=" + config, "--fork", "--print-address=1",
                             "--print-pid=1"], capture_output=True, text=True, check=True)
    address, daemon_pid = daemon.stdout.split()[:2]
    instance = None
    try:
        instance, owned = wait_for_name(address, lambda: subprocess.Popen(
            [AT_TIME, "@" + WHEN, KALVIX], env=environment(instance_home, address),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        check_equal("the instance owns its name", owned, True)

        for args in ([], ["--json"]):
            asked = agenda(environment(asking_home, address), args)
            read = agenda(environment(instance_home, None), args)
            check_equal(f"exit {args}", asked[0], read[0])
            if args:
                asked_doc, read_doc = without_seconds(json.loads(asked[1])), without_seconds(json.loads(read[1]))
                check_equal("JSON from the running Kalvix", asked_doc, read_doc)
                check_equal("events came from the running Kalvix", [e["title"] for e in asked_doc["upNext"]],
                            ["Review", "Standup", "Trip", "Standup"])
            else:
                check_equal("text from the running Kalvix", asked[1], read[1])
    finally:
        if instance:
            instance.terminate()
            instance.wait(timeout=30)
        os.kill(int(daemon_pid), 15)

sys.exit(summary())
