#!/usr/bin/python3
"""Resident memory of the running item before and after its first popover, and after ten more.

Runs Kalvix as a desktop would (as bench/idle_usage.py does: X11 with a stand-in panel, or Wayland alone
in sway's headless session with waybar), waits until the item is up and its memory has settled, opens the
popover with `kalvix --toggle`, waits until it shows and the memory settles again, then closes and opens
it ten more times. Memory is read from /proc/PID/smaps_rollup (Rss, and the part of it that is anonymous
memory); with --objects, the shared objects the first popover mapped are listed with their resident size.

    /usr/bin/python3 bench/first_popover_memory.py --kalvix build/test/app/kalvix [--display wayland]
        [--runs 3] [--objects] [--env NAME=VALUE ...]

Prints each run and the median of the runs.
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from panel_session import Session, wait_until  # noqa: E402

REOPENINGS = 10


def rollup_kb(pid):
    """{"Rss": kB, "Anonymous": kB, ...} of the whole process."""
    values = {}
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 3 and parts[2] == "kB":
                values[parts[0].rstrip(":")] = int(parts[1])
    return values


def objects_kb(pid):
    """Resident kB per mapped file (shared objects, fonts, ...), from /proc/PID/smaps."""
    sizes, current = {}, None
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            fields = line.split()
            if "-" in fields[0] and len(fields) >= 5 and not fields[0].endswith(":"):
                current = fields[5] if len(fields) >= 6 and fields[5].startswith("/") else None
                if current:
                    sizes.setdefault(current, 0)
            elif current and fields[0] == "Rss:":
                sizes[current] += int(fields[1])
    return sizes


def settled(pid, quiet_seconds=1.5, timeout=20):
    """Rss once it has not moved by more than 64 kB for `quiet_seconds` (or at the timeout)."""
    deadline = time.monotonic() + timeout
    last, since = rollup_kb(pid)["Rss"], time.monotonic()
    while time.monotonic() < deadline:
        time.sleep(0.25)
        now = rollup_kb(pid)["Rss"]
        if abs(now - last) > 64:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= quiet_seconds:
            break
    return rollup_kb(pid)


def popover_open(session):
    if hasattr(session, "visible"):  # X11
        return session.visible("Kalvix Calendar")
    return "Kalvix Calendar" in session.swaymsg("-t", "get_tree")


def start_session(display, kalvix, extra_env):
    conf = "[General]\ndidRegisterLoginItem=true\n"
    if display == "x11":
        session = Session("first-popover")
        with open(os.path.join(session.config, "kalvix", "kalvix.conf"), "w") as f:
            f.write(conf)
        watcher = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e", "sni_watcher.py")
        session.start("panel", ["/usr/bin/python3", watcher, "--serve"])
        return session, session.start("kalvix", [kalvix], env=extra_env), kalvix
    from wayland_session import WaylandSession
    from reachable import ReachableProgram
    session = WaylandSession("first-popover")
    program = ReachableProgram(kalvix, session.uid, session.gid)
    session.program = program
    path = os.path.join(session.config, "kalvix", "kalvix.conf")
    with open(path, "w") as f:
        f.write(conf)
    os.chown(path, session.uid, session.gid)
    session.start("waybar", ["waybar"])
    return session, session.start("kalvix", [program.path], env=extra_env), program.path


def one_run(display, kalvix, extra_env, show_objects):
    session, process, path = start_session(display, kalvix, extra_env)
    try:
        title = os.path.join(session.env["XDG_RUNTIME_DIR"], "kalvix", "title")
        if not wait_until(lambda: os.path.exists(title), 20):
            raise RuntimeError("Kalvix did not start:\n" + session.log("kalvix"))
        pid = process.pid
        before = settled(pid)
        objects_before = objects_kb(pid)

        def toggle(shown, tries=1):
            for _ in range(tries):
                toggled = session.run([path, "--toggle"], env=extra_env)
                if toggled.returncode == 0 and wait_until(lambda: bool(popover_open(session)) == shown, 20):
                    return _ + 1
            raise RuntimeError("the popover did not %s (--toggle: %d %s)\n%s" % (
                "open" if shown else "close", toggled.returncode, toggled.stderr.strip(), session.log("kalvix")))

        toggle(True)
        first = settled(pid)
        objects_first = objects_kb(pid)
        # The memory, not the toggling, is measured here: a reopening that needs a second --toggle (seen on
        # X11) is counted and reported, not fatal.
        repeated = 0
        for _ in range(REOPENINGS):
            toggle(False)
            repeated += toggle(True, tries=2) - 1
        again = settled(pid)
        if repeated:
            print("  %d of %d reopenings needed a second --toggle" % (repeated, REOPENINGS))
        if process.poll() is not None:
            raise RuntimeError("Kalvix ended during the measurement")
        if show_objects:
            grown = sorted(((objects_first.get(k, 0) - objects_before.get(k, 0), k) for k in objects_first),
                           reverse=True)
            print("  files the first popover mapped or grew (resident kB):")
            for kb, name in grown:
                if kb >= 256:
                    print("    %7d  %s%s" % (kb, name, "" if name in objects_before else "  (new)"))
            print("  %d files mapped before, %d after" % (len(objects_before), len(objects_first)))
        said = session.log("kalvix").strip()
        if said:
            print("  Kalvix's standard error: " + said[:2000].replace("\n", "\n    "))
        return before, first, again
    finally:
        session.close()
        if getattr(session, "program", None):
            session.program.remove()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    parser.add_argument("--display", choices=("x11", "wayland"), default="x11")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--objects", action="store_true", help="list the files the first popover maps")
    parser.add_argument("--env", action="append", default=[], help="NAME=VALUE for Kalvix (to try a setting)")
    args = parser.parse_args()
    extra_env = dict(e.split("=", 1) for e in args.env)
    mb = lambda kb: kb / 1024  # noqa: E731
    rows = []
    for run in range(args.runs):
        before, first, again = one_run(args.display, os.path.abspath(args.kalvix), extra_env, args.objects)
        rows.append((before["Rss"], first["Rss"], again["Rss"], before["Anonymous"], first["Anonymous"]))
        print("run %d: RSS %.1f MB before, %.1f MB after the first popover (+%.1f MB, anonymous +%.1f MB), "
              "%.1f MB after %d more" % (run + 1, mb(rows[-1][0]), mb(rows[-1][1]), mb(rows[-1][1] - rows[-1][0]),
                                         mb(rows[-1][4] - rows[-1][3]), mb(rows[-1][2]), REOPENINGS), flush=True)
    median = [statistics.median(column) for column in zip(*rows)]
    growth = statistics.median(r[1] - r[0] for r in rows)
    print("display: %s%s; median of %d runs: RSS %.1f MB before, %.1f MB after the first popover (+%.1f MB), "
          "%.1f MB after %d more" % (args.display, (" (" + " ".join(args.env) + ")") if args.env else "", args.runs,
                                     mb(median[0]), mb(median[1]), mb(growth), mb(median[2]), REOPENINGS))


if __name__ == "__main__":
    main()
