#!/usr/bin/python3
"""A CalDAV calendar as GNOME's online accounts set one up: a Radicale server on this machine, a
calendar of the desktop's calendar service (Evolution Data Server) pointing at it, and Kalvix running
over the service and a calendar file. An event put on the server shows in Kalvix once the service
has fetched it; with the server gone, Kalvix keeps running, the file's events still show and the
clock keeps ticking. The service, the server and Kalvix all run in this test's own home and bus."""
import http.client
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile

import dbus

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from checks import check, check_equal, summary  # noqa: E402
from panel_session import wait_until  # noqa: E402

AT_TIME = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "at-time")
KALVIX, EDS_TOOL = sys.argv[1], sys.argv[2]
WHEN = "2025-03-05 09:00:00"
DEADLINE = 60  # seconds for the service to do what it was asked; a bound for failure only


def vcalendar(*events):
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + "".join(
        "BEGIN:VEVENT\r\n" + "".join(l + "\r\n" for l in e) + "END:VEVENT\r\n" for e in events)
        + "END:VCALENDAR\r\n")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def request(port, method, path, body=None, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request(method, path, body=body, headers=headers or {})
    status = connection.getresponse().status
    connection.close()
    return status


def until(condition, what):
    """Waits for `condition` up to the deadline and checks it; returns its last value."""
    value = wait_until(condition, DEADLINE, step=0.2)
    return check(bool(value), what) and value


root = tempfile.mkdtemp()
home = os.environ["HOME"]
for folder in (".config/evolution", ".local/share/evolution", ".cache/evolution", ".config/kalvix"):
    shutil.rmtree(os.path.join(home, folder), ignore_errors=True)
os.makedirs(os.path.join(home, ".config", "kalvix"))
files = os.path.join(root, "files.ics")
with open(files, "w") as f:
    f.write(vcalendar(["UID:lunch", "SUMMARY:Lunch", "DTSTART:20250305T120000Z", "DTEND:20250305T130000Z"]))
with open(os.path.join(home, ".config", "kalvix", "kalvix.conf"), "w") as f:
    f.write('[General]\ndidRegisterLoginItem=true\nshowSeconds=true\ncalendarSources="%s"\n' % files)

env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
env.update(QT_QPA_PLATFORM="offscreen", FAKETIME_DONT_FAKE_MONOTONIC="1")
daemon = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                        capture_output=True, text=True, check=True, env=env)
address, daemon_pid = daemon.stdout.split()[:2]
env["DBUS_SESSION_BUS_ADDRESS"] = address

port = free_port()
# Anyone may read and write: the service connects without a password, as to a server on a trusted network.
rights = os.path.join(root, "rights")
with open(rights, "w") as f:
    f.write("[anyone]\nuser: .*\ncollection: .*\npermissions: RrWw\n")
server = subprocess.Popen(["/usr/bin/python3", "-m", "radicale", "--server-hosts", "127.0.0.1:%d" % port,
                           "--storage-filesystem-folder", os.path.join(root, "radicale"), "--auth-type", "none",
                           "--rights-type", "from_file", "--rights-file", rights, "--logging-level", "error"],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
instance = None


def agenda():
    done = subprocess.run([AT_TIME, "@" + WHEN, KALVIX, "--agenda", "--json"], env=env,
                          capture_output=True, text=True, timeout=60)
    try:
        return json.loads(done.stdout)
    except ValueError:
        return {}


def titles(doc):
    return sorted(e["title"] for e in doc.get("upNext", []))


def server_answers():
    try:
        return request(port, "OPTIONS", "/") < 500
    except OSError:
        return False


def clock_title():
    try:
        proxy = dbus.bus.BusConnection(address).get_object("io.kalvix.Kalvix", "/io/kalvix/Kalvix")
        return str(proxy.Title(dbus_interface="io.kalvix.Kalvix"))
    except dbus.DBusException:
        return ""


try:
    until(server_answers, "the CalDAV server answers")
    check_equal("a calendar made on the server",
                (request(port, "MKCOL", "/test/"), request(port, "MKCALENDAR", "/test/team/")), (201, 201))
    subprocess.run([EDS_TOOL, "add-caldav", "kalvix-caldav", "Team", "#e01b24",
                    "http://127.0.0.1:%d/test/team/" % port], env=env, check=True, timeout=60)

    instance = subprocess.Popen([AT_TIME, "@" + WHEN, KALVIX], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    doc = until(lambda: (lambda d: d if "Team" in [c["name"] for c in d.get("calendars", [])] else None)(agenda()),
                "the running Kalvix lists the service's CalDAV calendar")
    check_equal("and the file's events", titles(doc or {}), ["Lunch"])

    put = request(port, "PUT", "/test/team/review.ics",
                  vcalendar(["UID:review", "SUMMARY:Design review", "DTSTART:20250305T150000Z",
                             "DTEND:20250305T160000Z", "DTSTAMP:20250301T000000Z"]),
                  {"Content-Type": "text/calendar"})
    check_equal("an event put on the server", put, 201)
    subprocess.run([EDS_TOOL, "refresh", "kalvix-caldav"], env=env, check=True, timeout=60)
    doc = until(lambda: (lambda d: d if "Design review" in titles(d) else None)(agenda()),
                "the server's event shows in the running Kalvix after the service's refresh")
    team = [e for e in (doc or {}).get("upNext", []) if e["title"] == "Design review"]
    check_equal("in the calendar's colour", [e["color"] for e in team], ["#e01b24"])

    # Without a running Kalvix the command reads the service itself.
    instance.terminate()
    instance.wait(timeout=30)
    instance = None
    check_equal("the command on its own shows the service's events too", titles(agenda()),
                ["Design review", "Lunch"])

    instance = subprocess.Popen([AT_TIME, "@" + WHEN, KALVIX], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    until(lambda: "Design review" in titles(agenda()), "a new Kalvix shows it again")
    server.send_signal(signal.SIGTERM)
    server.wait(timeout=30)
    refresh = subprocess.run([EDS_TOOL, "refresh", "kalvix-caldav"], env=env, capture_output=True, timeout=120)
    first = clock_title()
    until(lambda: clock_title() not in ("", first), "with the server gone the clock keeps ticking")
    check_equal("Kalvix keeps running", instance.poll(), None)
    check("Lunch" in titles(agenda()), "and still shows the file's events")
finally:
    if instance:
        instance.terminate()
        instance.wait(timeout=30)
    if server.poll() is None:
        server.kill()
    os.kill(int(daemon_pid), signal.SIGTERM)
    shutil.rmtree(root, ignore_errors=True)

sys.exit(summary())
