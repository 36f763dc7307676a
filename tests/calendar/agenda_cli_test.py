#!/usr/bin/env python3
"""End to end: `--agenda --json` on a folder of .ics files named in calendarSources, at a pinned time."""
import json
import os
import subprocess
import sys
import tempfile

# The clock of a process set with libfaketime (see the script for why not the faketime command).
AT_TIME = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "at-time")

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from checks import check, check_equal, summary  # noqa: E402

AGENDA = sys.argv[1]


def vevent(lines):
    return "BEGIN:VEVENT\r\n" + "".join(l + "\r\n" for l in lines) + "END:VEVENT\r\n"


def calendar(body, header=""):
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + header + body + "END:VCALENDAR\r\n"


def run(home, args, when, tz="Europe/London", lang=None):
    env = dict(os.environ)
    env.update({
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, "config"),
        "XDG_DATA_HOME": os.path.join(home, "data"),
        "TZ": tz,
        "LC_ALL": "en_GB.UTF-8",
        "LANG": "en_GB.UTF-8",
        # The clock starts at `when` and runs; timers keep the real monotonic clock.
        "FAKETIME_DONT_FAKE_MONOTONIC": "1",
    })
    if lang is not None:  # the locale from LANG alone
        del env["LC_ALL"]
        env.pop("LC_TIME", None)
        env["LANG"] = lang
    try:
        return subprocess.run([AT_TIME, "@" + when, AGENDA] + args, env=env, capture_output=True, text=True,
                              timeout=60)
    except subprocess.TimeoutExpired:
        return subprocess.CompletedProcess(args, "timeout", "", f"no answer within 60 s in {tz} at {when}")


def write_sources(home, folder, files):
    """A calendar folder with the given files, named in calendarSources."""
    cals = os.path.join(home, folder)
    os.makedirs(cals, exist_ok=True)
    for name, text in files.items():
        with open(os.path.join(cals, name), "w") as f:
            f.write(text)
    os.makedirs(os.path.join(home, "config", "kalvix"), exist_ok=True)
    with open(os.path.join(home, "config", "kalvix", "kalvix.conf"), "w") as f:
        f.write('[General]\ncalendarSources="' + cals + '"\n')


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
    if check(result.returncode == 0, "exit 0", result.stderr):
        doc = json.loads(result.stdout)
        check_equal("access", doc["access"], "granted")
        check_equal("now minute", doc["now"][:16] + doc["now"][19:], "2025-03-05T11:55+00:00")
        up = [(e["title"], e["relative"], e["timeRange"]) for e in doc["upNext"]]
        # The standup of Thursday the 6th is excluded.
        check_equal("upNext", up, [("Review", "in 2h 4m", "14:00 \u2013 15:00"),
                                   ("Trip", "Friday", "All day"),
                                   ("Standup", "Friday", "09:30 \u2013 09:45"),
                                   ("Standup", "Saturday", "09:30 \u2013 09:45")])
        # The UID qualified by its calendar, then the start in UTC.
        check_equal("first id", doc["upNext"][0]["id"], cals + "#review2025-03-05 14:00:00 +0000")
        check_equal("colour", doc["upNext"][0]["color"], "#1e88e5")
        days = [(d["title"], d["date"], [e["title"] for e in d["events"]]) for d in doc["agenda"]]
        # A three-day trip is listed under its first day only.
        check_equal("agenda", days, [("Today", "5 Mar", ["Review"]),
                                     ("Friday", "7 Mar", ["Trip", "Standup"]),
                                     ("Saturday", "8 Mar", ["Standup"]),
                                     ("Sunday", "9 Mar", ["Standup"]),
                                     ("Monday", "10 Mar", ["Standup"]),
                                     ("Tuesday", "11 Mar", ["Standup"])])
        # One folder is one calendar, named by the first file that names it; the broken file is skipped.
        check_equal("calendars", [(c["name"], c["events"]) for c in doc["calendars"]], [("Work", 3)])

    # Locale names ICU cannot use as they are: readable dates, never a crash.
    for lang, want in [("abcdefghijkl", ["Mar 5", "Mar 7"]), ("xx_YY.UTF-8", ["Mar 5", "Mar 7"]),
                       ("sr_RS.UTF-8@latin", ["5. mar", "7. mar"])]:
        result = run(home, ["--json"], "2025-03-05 11:55:30", lang=lang)
        if check(result.returncode == 0, f"LANG={lang}: exit 0", result.stderr):
            check_equal(f"LANG={lang} dates", [d["date"] for d in json.loads(result.stdout)["agenda"]][:2], want)

    text = run(home, [], "2025-03-05 11:55:30")
    check_equal("text exit", text.returncode, 0)
    for needle in ["Calendar access: granted", "Up Next", "in 2h 4m", "Review", "Agenda", "Friday (7 Mar)"]:
        check(needle in text.stdout, f"text output has {needle!r}", text.stdout)

# Zones whose local midnight is 10 hours or more ahead of UTC, in the week before they spring forward
# (6 October 2024 in Sydney, 29 September in Auckland), with no events and with an all-day event that
# spans the change. The times are local: faketime reads them in the zone of the run.
ZONE_ROWS = [
    # name, zone, now, events, expected (title, relative) of Up Next, expected agenda day titles
    ("sydney_empty", "Australia/Sydney", "2024-10-05 09:00:00", [], [], []),
    ("auckland_empty", "Pacific/Auckland", "2024-09-25 09:00:00", [], [], []),
    ("sydney_all_day_september_to_november", "Australia/Sydney", "2024-10-05 09:00:00",
     [["UID:spring", "SUMMARY:Spring term", "DTSTART;VALUE=DATE:20240901", "DTEND;VALUE=DATE:20241101"]],
     [("Spring term", "Now")], [("Today", "5 Oct")]),
    ("auckland_timed_on_the_change_day", "Pacific/Auckland", "2024-09-25 09:00:00",
     [["UID:brunch", "SUMMARY:Brunch", "DTSTART;TZID=Pacific/Auckland:20240929T110000",
       "DTEND;TZID=Pacific/Auckland:20240929T120000"]],
     [("Brunch", "Sunday")], [("Sunday", "29 Sept")]),
]

for name, tz, now, events, want_up, want_days in ZONE_ROWS:
    with tempfile.TemporaryDirectory() as home:
        write_sources(home, "cals", {"c.ics": calendar("".join(vevent(e) for e in events))} if events else {})
        result = run(home, ["--json"], now, tz)
        if not check(result.returncode == 0, f"{name}: exit 0", result.stderr):
            continue
        doc = json.loads(result.stdout)
        check_equal(f"{name} now", doc["now"][:16], now[:10] + "T" + now[11:16])
        check_equal(f"{name} upNext", [(e["title"], e["relative"]) for e in doc["upNext"]], want_up)
        check_equal(f"{name} agenda", [(d["title"], d["date"]) for d in doc["agenda"]], want_days)

# Hostile titles and sources: control characters never reach the terminal raw, a FIFO among the
# sources is never opened, and the command always ends.
with tempfile.TemporaryDirectory() as home:
    cals = os.path.join(home, "cals")
    os.makedirs(cals)
    with open(os.path.join(cals, "evil.ics"), "wb") as f:
        f.write(calendar(
            vevent(["UID:evil", "SUMMARY:Clear\x1b[2Jand\x1b]0;owned\x07\u202eend", "DTSTART:20250305T140000Z"])
            + vevent(["UID:escaped", "SUMMARY:Lunch\\, with Bob\\nat one", "DTSTART:20250305T150000Z"])
        ).encode("utf-8"))
    fifo = os.path.join(home, "pipe.ics")
    os.mkfifo(fifo)
    os.makedirs(os.path.join(home, "config", "kalvix"))
    conf = os.path.join(home, "config", "kalvix", "kalvix.conf")
    with open(conf, "w") as f:
        f.write('[General]\ncalendarSources="' + fifo + '", "' + cals + '"\n')

    text = run(home, [], "2025-03-05 11:55:30")
    check_equal("exit with a FIFO among the sources", text.returncode, 0)
    check(not any(c in text.stdout for c in "\x1b\x07\u202e"), "no control characters reach the terminal",
          repr(text.stdout))
    for needle in ["Clear\ufffd[2Jand\ufffd]0;owned\ufffd\ufffdend", "Lunch, with Bob at one"]:
        check(needle in text.stdout, f"text output has {needle!r}", text.stdout)
    doc = json.loads(run(home, ["--json"], "2025-03-05 11:55:30").stdout)
    check_equal("JSON keeps the title", doc["upNext"][0]["title"], "Clear\x1b[2Jand\x1b]0;owned\x07\u202eend")
    check_equal("JSON escaped text", doc["upNext"][1]["title"], "Lunch, with Bob\nat one")

    with open(conf, "w") as f:
        f.write('[General]\ncalendarSources="' + fifo + '"\n')
    only = run(home, [], "2025-03-05 11:55:30")
    check_equal("exit with only a FIFO", only.returncode, 2)
    check_equal("FIFO reported", "Cannot read: " + fifo in only.stdout, True)

sys.exit(summary())
