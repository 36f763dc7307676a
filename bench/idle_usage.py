#!/usr/bin/python3
"""Idle cost of the running program: CPU time over a minute and resident memory, with the popover closed
or (--open-popover) open.

Starts Kalvix on a headless X server with its own session bus and a stand-in panel (as a desktop
would run it), lets it settle, then reads /proc for CPU time and memory. Run under dbus-run-session:

    dbus-run-session -- /usr/bin/python3 bench/idle_usage.py --kalvix build/app/kalvix [--seconds 60]
        [--open-popover [--compact]] [--calendars DIR...]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

from dbus.mainloop.glib import DBusGMainLoop
import dbus

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from sni_watcher import Watcher, pump  # noqa: E402


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks  # utime + stime


def status_kb(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def popover_visible(env):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Kalvix Calendar$"], env=env,
                           capture_output=True, text=True)
    return found.returncode == 0 and found.stdout.strip() != ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--show-seconds", action="store_true", help="title with seconds (repaints every second)")
    parser.add_argument("--open-popover", action="store_true", help="measure with the popover open")
    parser.add_argument("--compact", action="store_true", help="the Compact layout (with --open-popover)")
    parser.add_argument("--calendars", nargs="*", default=[], help="calendar files or folders to show")
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="kalvix-idle-")
    config = os.path.join(home, "config")
    os.makedirs(os.path.join(config, "kalvix"))
    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700)
    with open(os.path.join(config, "kalvix", "kalvix.conf"), "w") as f:
        f.write("[General]\ndidRegisterLoginItem=true\nshowSeconds=%s\ncompactMode=%s\n"
                % ("true" if args.show_seconds else "false", "true" if args.compact else "false"))
        if args.calendars:
            f.write("calendarSources=%s\n" % ", ".join('"%s"' % os.path.abspath(c) for c in args.calendars))
    display = ":%d" % (150 + os.getpid() % 100)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config, XDG_DATA_HOME=os.path.join(home, "data"),
               HOME=home, XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")
    for _ in range(200):  # until the server answers (it is slow to start on a busy machine)
        if subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0:
            break
        time.sleep(0.05)
    DBusGMainLoop(set_as_default=True)
    watcher = Watcher(dbus.SessionBus())
    kalvix = subprocess.Popen([args.kalvix], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if not pump(10, lambda: watcher.items):
            sys.exit("Kalvix did not start (no status item within 10 s)")
        pump(3)  # settle after start-up
        if args.open_popover:
            toggled = subprocess.run([args.kalvix, "--toggle"], env=env, capture_output=True, timeout=20)
            pump(5, lambda: popover_visible(env))
            if toggled.returncode != 0 or not popover_visible(env):
                sys.exit("the popover did not open (--toggle: %d %s)" % (toggled.returncode, toggled.stderr.strip()))
            pump(2)  # its fade and first paint
        start_cpu, start = cpu_seconds(kalvix.pid), time.monotonic()
        pump(args.seconds)  # the panel keeps answering the item's calls meanwhile
        used, elapsed = cpu_seconds(kalvix.pid) - start_cpu, time.monotonic() - start
        if kalvix.poll() is not None:
            sys.exit("Kalvix ended during the measurement (status %d)" % kalvix.returncode)
        print("title with seconds: %s" % ("yes" if args.show_seconds else "no"))
        print("popover: %s" % (("open, " + ("Compact" if args.compact else "Standard")) if args.open_popover
                               else "closed"))
        if args.open_popover and not popover_visible(env):
            print("warning: the popover closed during the measurement")
        print("idle CPU: %.3f s over %.0f s = %.3f %% of one core" % (used, elapsed, 100 * used / elapsed))
        print("resident memory: %.1f MB (VmRSS), peak %.1f MB (VmHWM)"
              % (status_kb(kalvix.pid, "VmRSS") / 1024, status_kb(kalvix.pid, "VmHWM") / 1024))
    finally:
        kalvix.terminate()
        kalvix.wait()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
