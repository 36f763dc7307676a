#!/usr/bin/env python3
"""Hostile calendars, generated here, each given to `kalvix --agenda --json` on its own: wall time,
peak resident memory, exit status and what the calendar list reports. Every case must answer within
2 s and 300 MB. Usage: bench/calendar-hostile.py path/to/kalvix [case ...]"""
import json
import multiprocessing
import os
import subprocess
import sys
import tempfile
import time

KALVIX = sys.argv[1]
ONLY = set(sys.argv[2:])
HEAD = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\n"
TAIL = "END:VCALENDAR\r\n"
LIMIT_S = 2.0
LIMIT_MB = 300.0


def event(uid, start="20250306T090000Z", more=""):
    return f"BEGIN:VEVENT\r\nUID:{uid}\r\nSUMMARY:{uid}\r\nDTSTART:{start}\r\nDURATION:PT1H\r\n{more}END:VEVENT\r\n"


def write(path, text):
    with open(path, "wb") as f:
        f.write(text.encode("utf-8") if isinstance(text, str) else text)


def nested(folder):
    write(os.path.join(folder, "cal.ics"), HEAD + event("before") + "BEGIN:VEVENT\r\nUID:deep\r\n"
          + "BEGIN:VALARM\r\n" * 300000 + "END:VALARM\r\n" * 300000 + "END:VEVENT\r\n" + event("after") + TAIL)
    return [folder]


def unbalanced(folder):
    body = "BEGIN:X-A\r\n" * 420000  # 4.6 MB of components never closed
    write(os.path.join(folder, "cal.ics"), HEAD + event("before") + "BEGIN:VEVENT\r\nUID:u\r\n" + body + TAIL)
    return [folder]


def long_summary(folder):
    write(os.path.join(folder, "cal.ics"), HEAD + event("x" * (8 << 20)) + event("after") + TAIL)
    return [folder]


def line_100mb(folder):
    write(os.path.join(folder, "cal.ics"), HEAD + event("attached", more="ATTACH:" + "A" * (100 << 20) + "\r\n") + TAIL)
    return [folder]


def nul_byte(folder):
    events = [event(f"e{i}") for i in range(1000)]
    events[500] = events[500].replace("SUMMARY:e500", "SUMMARY:e5\0" "00")
    write(os.path.join(folder, "cal.ics"), HEAD + "".join(events) + TAIL)
    return [folder]


def setpos(folder):
    rule = "RRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-366\r\n"
    write(os.path.join(folder, "cal.ics"), HEAD + "".join(event(f"r{i}", more=rule) for i in range(100)) + TAIL)
    return [folder]


def year_9999(folder):
    zone = ("BEGIN:VTIMEZONE\r\nTZID:Custom\r\nBEGIN:STANDARD\r\nDTSTART:16011104T020000\r\n"
            "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
            "BEGIN:DAYLIGHT\r\nDTSTART:16010311T020000\r\nRRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\r\n"
            "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n")
    events = "".join(f"BEGIN:VEVENT\r\nUID:y{i}\r\nDTSTART;TZID=Custom:9999{1 + i % 12:02d}{1 + i % 28:02d}T120000\r\n"
                     "END:VEVENT\r\n" for i in range(4000))
    write(os.path.join(folder, "cal.ics"), HEAD + zone + events + TAIL)
    return [folder]


def tiny_million(folder):
    with open(os.path.join(folder, "cal.ics"), "w") as f:
        f.write(HEAD)
        for i in range(1000000):
            f.write(f"BEGIN:VEVENT\r\nUID:{i}\r\nDTSTART:2025{1 + i % 12:02d}{1 + i % 28:02d}T090000Z\r\nEND:VEVENT\r\n")
        f.write(TAIL)
    return [folder]


def link_loops(folder):
    cal = os.path.join(folder, "cal")
    os.makedirs(cal)
    write(os.path.join(cal, "a.ics"), HEAD + event("a") + TAIL)
    for i in range(60):
        os.symlink(folder, os.path.join(folder, f"loop{i}"))
    return [folder]


def many_sources(folder):
    sources = []
    for i in range(50000):
        path = os.path.join(folder, f"{i}.ics")
        write(path, HEAD + event(f"s{i}", start=f"2025{1 + i % 12:02d}{1 + i % 28:02d}T090000Z") + TAIL)
        sources.append(path)
    return sources


def fifo(folder):
    path = os.path.join(folder, "pipe.ics")
    os.mkfifo(path)
    write(os.path.join(folder, "good.ics"), HEAD + event("good") + TAIL)
    return [path, os.path.join(folder, "good.ics")]


def device(folder):
    write(os.path.join(folder, "good.ics"), HEAD + event("good") + TAIL)
    return ["/dev/zero", os.path.join(folder, "good.ics")]


def huge_count(folder):
    write(os.path.join(folder, "cal.ics"), HEAD + event("daily", more="RRULE:FREQ=DAILY;COUNT=2147483648\r\n") + TAIL)
    return [folder]


CASES = [
    ("300,000 nested components", nested),
    ("unbalanced nesting, 4.6 MB", unbalanced),
    ("one 8 MB SUMMARY line", long_summary),
    ("one 100 MB line", line_100mb),
    ("one NUL byte among 1,000 events", nul_byte),
    ("100 rules BYSETPOS=-366", setpos),
    ("4,000 events in 9999, embedded zone", year_9999),
    ("1,000,000 tiny events", tiny_million),
    ("60 links back to their folder", link_loops),
    ("50,000 entries in calendarSources", many_sources),
    ("a FIFO in calendarSources", fifo),
    ("a device in calendarSources", device),
    ("COUNT=2147483648", huge_count),
]


def quoted(path):
    return '"' + path.replace('"', '\\"') + '"'


def prepare(home, make):
    data = os.path.join(home, "data")
    os.makedirs(data)
    sources = make(data)
    os.makedirs(os.path.join(home, "config", "kalvix"))
    with open(os.path.join(home, "config", "kalvix", "kalvix.conf"), "w") as f:
        f.write("[General]\ncalendarSources=" + ", ".join(quoted(s) for s in sources) + "\n")


def run_case(name, make, results):
    with tempfile.TemporaryDirectory() as home:
        # Written by a child process: a program inherits the peak memory of the process that starts
        # it as its own starting peak, so the process that starts Kalvix must stay small.
        writer = multiprocessing.Process(target=prepare, args=(home, make))
        writer.start()
        writer.join()
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_DATA_HOME=os.path.join(home, "share"), TZ="Europe/London", LC_ALL="en_GB.UTF-8")
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)  # read the files, not a running Kalvix
        start = time.monotonic()
        proc = subprocess.Popen([KALVIX, "--agenda", "--json"], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        out = proc.stdout.read()
        _, status, usage = os.wait4(proc.pid, 0)
        elapsed = time.monotonic() - start
        peak_mb = usage.ru_maxrss / 1024.0
        cpu = usage.ru_utime + usage.ru_stime
        code = os.waitstatus_to_exitcode(status)
        try:
            doc = json.loads(out)
            cals = doc.get("calendars", [])
            shown = f"{sum(c['events'] for c in cals)} events, {sum(c['skipped'] for c in cals)} skipped"
        except ValueError:
            shown = "no JSON"
        verdict = "ok" if elapsed <= LIMIT_S and peak_mb <= LIMIT_MB else "OVER"
        print(f"{name:40} {elapsed:6.2f} s {cpu:6.2f} s {peak_mb:7.1f} MB  exit {code}  {shown:30} {verdict}",
              flush=True)
        results.put(verdict == "ok")


def in_child(name, make):
    """Each case in a process of its own, forked from this small one."""
    results = multiprocessing.Queue()
    child = multiprocessing.Process(target=run_case, args=(name, make, results))
    child.start()
    child.join()
    return not results.empty() and results.get()


def main():
    multiprocessing.set_start_method("fork")
    print(f"{'case':40} {'wall':>8} {'CPU':>8} {'peak RSS':>10}  status  what the calendars report")
    results = [in_child(name, make) for name, make in CASES if not ONLY or name in ONLY]
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
