#!/usr/bin/env python3
"""End to end: `--agenda --json` on a folder of .ics files named in calendarSources, at a pinned time."""
import json
import os
import subprocess
import sys
import tempfile

AGENDA = sys.argv[1]


def vevent(lines):
    return "BEGIN:VEVENT\r\n" + "".join(l + "\r\n" for l in lines) + "END:VEVENT\r\n"


def calendar(body, header=""):
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + header + body + "END:VCALENDAR\r\n"


def run(home, args, when):
    env = dict(os.environ)
    env.update({
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, "config"),
        "XDG_DATA_HOME": os.path.join(home, "data"),
        "TZ": "Europe/London",
        "LC_ALL": "en_GB.UTF-8",
        "LANG": "en_GB.UTF-8",
        # The clock starts at `when` and runs; timers keep the real monotonic clock.
        "FAKETIME_DONT_FAKE_MONOTONIC": "1",
    })
    return subprocess.run(["faketime", "-f", "@" + when, AGENDA] + args, env=env, capture_output=True, text=True,
                          timeout=60)


failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")


with tempfile.TemporaryDirectory() as home:
    cals = os.path.join(home, "my calendars")
    os.makedirs(cals)
    with open(os.path.join(cals, "work.ics"), "w") as f:
        f.write(calendar(
            vevent(["UID:standup", "SUMMARY:Standup", "DTSTART;TZID=Europe/London:20250303T093000",
                    "DTEND;TZID=Europe/London:20250303T094500", "RRULE:FREQ=DAILY;COUNT=10",
                    "EXDATE;TZID=Europe/London:20250306T093000"])
            + vevent(["UID:review", "SUMMARY:Review", "DTSTART:20250305T140000Z", "DURATION:PT1H"]),
            "X-WR-CALNAME:Work\r\nCOLOR:#1e88e5\r\n"))
    with open(os.path.join(cals, "home.ics"), "w") as f:
        f.write(calendar(vevent(["UID:trip", "SUMMARY:Trip", "DTSTART;VALUE=DATE:20250307",
                                 "DTEND;VALUE=DATE:20250310"])))
    with open(os.path.join(cals, "broken.ics"), "wb") as f:
        f.write(b"BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:2025\x00\xff\xfe")
    os.makedirs(os.path.join(home, "config", "kalvix"))
    with open(os.path.join(home, "config", "kalvix", "kalvix.conf"), "w") as f:
        f.write('[General]\ncalendarSources="' + cals.replace(" ", " ") + '"\n')

    # Wednesday 5 March 2025, 11:55:30 GMT: the labels hold for the half minute the run may take.
    result = run(home, ["--json"], "2025-03-05 11:55:30")
    if result.returncode != 0:
        failures.append(f"exit {result.returncode}: {result.stderr}")
    else:
        doc = json.loads(result.stdout)
        check("access", doc["access"], "granted")
        check("now minute", doc["now"][:16] + doc["now"][19:], "2025-03-05T11:55+00:00")
        up = [(e["title"], e["relative"], e["timeRange"]) for e in doc["upNext"]]
        # The standup of Thursday the 6th is excluded.
        check("upNext", up, [("Review", "in 2h 4m", "14:00 \u2013 15:00"),
                             ("Trip", "Friday", "All day"),
                             ("Standup", "Friday", "09:30 \u2013 09:45"),
                             ("Standup", "Saturday", "09:30 \u2013 09:45")])
        check("first id", doc["upNext"][0]["id"], "review2025-03-05 14:00:00 +0000")
        check("colour", doc["upNext"][0]["color"], "#1e88e5")
        days = [(d["title"], d["date"], [e["title"] for e in d["events"]]) for d in doc["agenda"]]
        # A three-day trip is listed under its first day only.
        check("agenda", days, [("Today", "5 Mar", ["Review"]),
                               ("Friday", "7 Mar", ["Trip", "Standup"]),
                               ("Saturday", "8 Mar", ["Standup"]),
                               ("Sunday", "9 Mar", ["Standup"]),
                               ("Monday", "10 Mar", ["Standup"]),
                               ("Tuesday", "11 Mar", ["Standup"])])
        # One folder is one calendar, named by the first file that names it; the broken file is skipped.
        check("calendars", [(c["name"], c["events"]) for c in doc["calendars"]], [("Work", 3)])

    text = run(home, [], "2025-03-05 11:55:30")
    check("text exit", text.returncode, 0)
    for needle in ["Calendar access: granted", "Up Next", "in 2h 4m", "Review", "Agenda", "Friday (7 Mar)"]:
        if needle not in text.stdout:
            failures.append(f"text output lacks {needle!r}:\n{text.stdout}")

for f in failures:
    print("FAIL:", f)
print(f"{0 if failures else 1} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
