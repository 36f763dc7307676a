#!/usr/bin/python3
"""Idle CPU over a minute and resident memory of the running item, with the popover closed or
(--open-popover) open.

Runs Kalvix as a desktop would, then reads /proc for its CPU time and memory:
  --display x11      a headless X server with a session bus of its own and a stand-in panel (a
                     StatusNotifierWatcher written in Python that answers the item's calls);
  --display wayland  sway on its headless backend with waybar's tray, no X server (run as an ordinary
                     user, made when missing: sway refuses root).

    /usr/bin/python3 bench/idle_usage.py --kalvix build/test/app/kalvix [--display wayland] [--seconds 60]
        [--show-seconds] [--open-popover [--compact]] [--places] [--calendars DIR...]
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from panel_session import Session, wait_until  # noqa: E402


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime + stime


def status_kb(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def popover_open(session):
    if hasattr(session, "visible"):  # X11
        return session.visible("Kalvix Calendar")
    return "Kalvix Calendar" in session.swaymsg("-t", "get_tree")


def x11_session(kalvix, conf):
    session = Session("idle")
    with open(os.path.join(session.config, "kalvix", "kalvix.conf"), "w") as f:
        f.write(conf)
    # The stand-in panel runs on the session's bus, in its own process, for as long as the session.
    watcher = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e", "sni_watcher.py")
    session.start("panel", ["/usr/bin/python3", watcher, "--serve"])
    process = session.start("kalvix", [kalvix])
    return session, process


def wayland_session(kalvix, conf):
    from wayland_session import WaylandSession
    session = WaylandSession("idle")
    path = os.path.join(session.config, "kalvix", "kalvix.conf")
    with open(path, "w") as f:
        f.write(conf)
    os.chown(path, session.uid, session.gid)
    session.start("waybar", ["waybar"])
    process = session.start("kalvix", [kalvix])
    return session, process


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    parser.add_argument("--display", choices=("x11", "wayland"), default="x11")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--show-seconds", action="store_true", help="title with seconds (repaints every second)")
    parser.add_argument("--open-popover", action="store_true", help="measure with the popover open")
    parser.add_argument("--compact", action="store_true", help="the Compact layout (with --open-popover)")
    parser.add_argument("--places", action="store_true",
                        help="six world clocks and four countdowns (the fullest Standard layout)")
    parser.add_argument("--calendars", nargs="*", default=[], help="calendar files or folders to show")
    args = parser.parse_args()
    conf = "[General]\ndidRegisterLoginItem=true\nshowSeconds=%s\ncompactMode=%s\n" % (
        "true" if args.show_seconds else "false", "true" if args.compact else "false")
    if args.places:
        conf += 'worldClockCities="London", "New York", "Dubai", "Tokyo", "San Francisco", "Sydney"\n'
        # Dates as seconds since 2001-01-01 UTC, spread over the coming months.
        conf += "countdowns=[%s]\n" % ",".join(
            '{"id":"00000000-0000-4000-8000-00000000000%d","title":"Countdown %d","date":%d}'
            % (i, i, time.time() - 978307200 + (1 + 9 * i) * 86400) for i in range(4))
    if args.calendars:
        conf += "calendarSources=%s\n" % ", ".join('"%s"' % os.path.abspath(c) for c in args.calendars)
    start_session = wayland_session if args.display == "wayland" else x11_session
    session, kalvix = start_session(os.path.abspath(args.kalvix), conf)
    try:
        title = os.path.join(session.env["XDG_RUNTIME_DIR"], "kalvix", "title")
        if not wait_until(lambda: os.path.exists(title), 20):
            raise RuntimeError("Kalvix did not start:\n" + session.log("kalvix"))
        time.sleep(5)  # settle after start-up: the host reads the item, the calendars load
        if args.open_popover:
            toggled = session.run([os.path.abspath(args.kalvix), "--toggle"])
            opened = toggled.returncode == 0 and wait_until(lambda: popover_open(session), 10)
            if not opened:
                sys.exit("the popover did not open (--toggle: %d %s)" % (toggled.returncode, toggled.stderr.strip()))
            time.sleep(2)  # its fade and first paint
        start_cpu, start = cpu_seconds(kalvix.pid), time.monotonic()
        time.sleep(args.seconds)
        used, elapsed = cpu_seconds(kalvix.pid) - start_cpu, time.monotonic() - start
        if kalvix.poll() is not None:
            sys.exit("Kalvix ended during the measurement (status %d)" % kalvix.returncode)
        print("display: %s, title with seconds: %s" % (args.display, "yes" if args.show_seconds else "no"))
        print("popover: %s" % (("open, " + ("Compact" if args.compact else "Standard")) if args.open_popover
                               else "closed"))
        print("idle CPU: %.3f s over %.0f s = %.3f %% of one core" % (used, elapsed, 100 * used / elapsed))
        print("resident memory: %.1f MB (VmRSS), peak %.1f MB (VmHWM)"
              % (status_kb(kalvix.pid, "VmRSS") / 1024, status_kb(kalvix.pid, "VmHWM") / 1024))
    finally:
        session.close()


if __name__ == "__main__":
    main()
