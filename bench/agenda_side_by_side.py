#!/usr/bin/env python3
"""`kalvix --agenda` with a running Kalvix and without one, and `khal list` with its cache warm, on
the same vdir: medians of 5 runs each. Used by calendar-corpus.sh, which writes the corpus, khal's
configuration and Kalvix's preferences under WORK. Usage: agenda_side_by_side.py KALVIX WORK"""
import os
import shutil
import statistics
import subprocess
import sys
import time

KALVIX, WORK = sys.argv[1], sys.argv[2]
WHEN = "@2025-03-05 12:00:00"  # inside the corpus's years, as khal's dates below
RUNS = 5


def timed(cmd, env=None):
    start = time.monotonic()
    done = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return time.monotonic() - start, done.stdout


def median(cmd, env=None):
    return statistics.median(timed(cmd, env)[0] for _ in range(RUNS))


home = os.path.join(WORK, "home")
env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_DATA_HOME=os.path.join(home, "data"),
           XDG_RUNTIME_DIR=home, TZ="Europe/London", LC_ALL="en_GB.UTF-8", QT_QPA_PLATFORM="offscreen",
           FAKETIME_DONT_FAKE_MONOTONIC="1")
agenda = ["faketime", "-f", WHEN, KALVIX, "--agenda"]

results = {}
results["kalvix --agenda, no running Kalvix (reads the files)"] = median(agenda, env)

daemon = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                        capture_output=True, text=True, check=True)
address, daemon_pid = daemon.stdout.split()[:2]
bus_env = dict(env, DBUS_SESSION_BUS_ADDRESS=address)
instance = subprocess.Popen(["faketime", "-f", WHEN, KALVIX], env=bus_env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
try:
    # Until the running Kalvix owns its name; its answer to the first call waits for its calendars to
    # load, and the runs measured come after.
    subprocess.run(["gdbus", "wait", "--session", "--timeout", "60", "io.kalvix.Kalvix"], env=bus_env, check=True)
    timed(agenda, bus_env)
    results["kalvix --agenda, a running Kalvix answers"] = median(agenda, bus_env)
finally:
    instance.terminate()
    instance.wait(timeout=30)
    os.kill(int(daemon_pid), 15)

if shutil.which("khal"):
    khal = ["khal", "-c", os.path.join(WORK, "khal", "config"), "list", "2025-03-05", "14d"]
    cold, _ = timed(khal)
    print(f"khal list, first run (builds its cache from the vdir): {cold:.2f} s")
    results["khal list 14 days, cache warm"] = median(khal)
else:
    print("khal is not installed")

for what, seconds in results.items():
    print(f"{what:55} {seconds:7.3f} s")
khal_warm = results.get("khal list 14 days, cache warm")
if khal_warm:
    for what, seconds in results.items():
        if not what.startswith("khal"):
            print(f"{what:55} {khal_warm / seconds:7.1f} times faster than khal")
