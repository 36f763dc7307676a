#!/usr/bin/python3
"""Kalvix over the desktop's calendar service with one large calendar: how soon the events show, and
what the running Kalvix costs while idle.

Runs Evolution Data Server on a session bus and in a home of its own, with N events (default 10,000)
in its local calendar, spread over a year around today, then measures:
  - `kalvix --agenda --json` on its own (a new process: connect to the service, read every event,
    expand, answer), median of 5 runs with the service already running, as in a desktop session;
  - a new Kalvix instance: from its start to its first answer that holds the events (the store's
    first load: what the first dots and Up Next are drawn from);
  - that instance's CPU over a minute of idling (--seconds), and its resident memory.

    /usr/bin/python3 bench/calendar_service.py --kalvix build/test/app/kalvix [--events 10000] [--seconds 60]
"""
import argparse
import datetime
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

import dbus

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from idle_usage import cpu_seconds, status_kb  # noqa: E402


def write_calendar(path, count):
    start = datetime.datetime.now(datetime.timezone.utc).replace(minute=0, second=0, microsecond=0)
    start -= datetime.timedelta(days=182)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kalvix bench//EN\r\n")
        for i in range(count):
            at = start + datetime.timedelta(minutes=53 * i)
            f.write("BEGIN:VEVENT\r\nUID:bench-%d\r\nDTSTAMP:20250101T000000Z\r\nSUMMARY:Event %d\r\n"
                    "DTSTART:%s\r\nDTEND:%s\r\nEND:VEVENT\r\n"
                    % (i, i, at.strftime("%Y%m%dT%H%M%SZ"),
                       (at + datetime.timedelta(minutes=30)).strftime("%Y%m%dT%H%M%SZ")))
        f.write("END:VCALENDAR\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    parser.add_argument("--events", type=int, default=10000)
    parser.add_argument("--seconds", type=int, default=60)
    args = parser.parse_args()

    home = tempfile.mkdtemp()
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(HOME=home, XDG_CONFIG_HOME=home + "/.config", XDG_DATA_HOME=home + "/.local/share",
               XDG_CACHE_HOME=home + "/.cache", XDG_RUNTIME_DIR=home, QT_QPA_PLATFORM="offscreen",
               TZ="Europe/London", LC_ALL="en_GB.UTF-8")
    os.makedirs(home + "/.config/kalvix")
    with open(home + "/.config/kalvix/kalvix.conf", "w") as f:
        f.write("[General]\ndidRegisterLoginItem=true\n")
    write_calendar(home + "/.local/share/evolution/calendar/system/calendar.ics", args.events)
    daemon = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                            capture_output=True, text=True, check=True, env=env)
    address, daemon_pid = daemon.stdout.split()[:2]
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    instance = None

    def agenda():
        done = subprocess.run([args.kalvix, "--agenda", "--json"], env=env, capture_output=True, text=True,
                              timeout=120)
        try:
            return json.loads(done.stdout)
        except ValueError:
            return {}

    def events(doc):
        return sum(c["events"] for c in doc.get("calendars", []) if c["path"].startswith("eds:"))

    try:
        warm = agenda()  # starts the service and lets it read its calendar once
        print("service's calendar: %d events (asked for %d)" % (events(warm), args.events))
        runs = []
        for _ in range(5):
            began = time.monotonic()
            doc = agenda()
            runs.append(time.monotonic() - began)
            assert events(doc) == args.events, events(doc)
        print("kalvix --agenda --json on its own: median %.2f s (runs %s)"
              % (statistics.median(runs), ", ".join("%.2f" % r for r in runs)))

        bus = dbus.bus.BusConnection(address)
        began = time.monotonic()
        instance = subprocess.Popen([args.kalvix], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        while not bus.name_has_owner("io.kalvix.Kalvix"):
            if time.monotonic() - began > 60:
                raise SystemExit("the instance never took its name")
            time.sleep(0.01)
        # The instance answers once its calendars are loaded: the moment the dots and Up Next are drawn.
        proxy = bus.get_object("io.kalvix.Kalvix", "/io/kalvix/Kalvix")
        text, _ = proxy.Agenda(True, dbus_interface="io.kalvix.Kalvix", timeout=60)
        shown = time.monotonic() - began
        print("new instance: events shown %.2f s after start (%d events)" % (shown, events(json.loads(str(text)))))
        time.sleep(5)  # let start-up work end before the idle minute
        cpu0 = cpu_seconds(instance.pid)
        time.sleep(args.seconds)
        cpu1 = cpu_seconds(instance.pid)
        print("idle CPU over %d s: %.3f %% of one core (%.2f s); resident memory %.1f MB"
              % (args.seconds, 100 * (cpu1 - cpu0) / args.seconds, cpu1 - cpu0, status_kb(instance.pid, "VmRSS") / 1024))
    finally:
        if instance:
            instance.terminate()
            instance.wait(timeout=30)
        os.kill(int(daemon_pid), signal.SIGTERM)
        shutil.rmtree(home, ignore_errors=True)


main()
