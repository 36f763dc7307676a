#!/usr/bin/python3
"""The command line as people use it from a terminal or a status bar: titles with a pinned clock
(faketime), hand-edited and unwritable preference files, --follow, and option handling.
No display and no session bus are needed."""
import argparse
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, summary  # noqa: E402
from reachable import ReachableProgram  # noqa: E402

# The clock of a process set with libfaketime (see the script for why not the faketime command).
AT_TIME = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "at-time")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    kalvix = parser.parse_args().kalvix

    home = tempfile.mkdtemp(prefix="kalvix-cli-")
    conf_dir = os.path.join(home, "config", "kalvix")
    os.makedirs(conf_dir)
    conf = os.path.join(conf_dir, "kalvix.conf")
    base_env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    base_env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"), LC_ALL="en_GB.UTF-8",
                    TZ="Europe/London", DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(home, "no-bus"))

    def title(prefs, at="2026-07-05 14:05:09", tz="Europe/London", locale="en_GB.UTF-8"):
        with open(conf, "w") as f:
            f.write(prefs)
        env = dict(base_env, TZ=tz, LC_ALL=locale, FAKETIME="@" + at)
        done = subprocess.run([AT_TIME, "@" + at, kalvix, "--print-title"], env=env,
                              capture_output=True, text=True, timeout=30)
        if done.returncode != 0 or not done.stdout:
            print("     --print-title at %s in %s: exit %d, standard error %r" % (at, tz, done.returncode, done.stderr),
                  flush=True)
        return done.stdout.rstrip("\n")

    rows = [
        ("empty_file", "", "Sun, 5 Jul 2026 14:05"),
        ("seconds_12_hour", "[General]\nshowSeconds=true\ntimeStyle=1\n", "Sun, 5 Jul 2026 2:05:09 pm"),
        ("numeric_no_year_24h", "[General]\ndateStyle=1\nshowYear=false\ntimeStyle=2\n", "Sun 05-07 14:05"),
        ("time_style_out_of_range", "[General]\ntimeStyle=7\ndateStyle=99\n", "Sun, 5 Jul 2026 14:05"),
        ("wrong_types_and_garbage",
         "this is not ini\n[General]\nshowWeekday=perhaps\ntimeStyle=two\n\x00\x01binary\nunknownKey=1\n",
         "Sun, 5 Jul 2026 14:05"),
    ]
    for name, prefs, want in rows:
        got = title(prefs)
        check(got == want, "%s: %r" % (name, got))

    # The second 01:30 of London's fall-back night, and New York's spring-forward morning.
    check(title("[General]\nshowSeconds=true\n", at="2026-10-25 01:30:00", tz="Europe/London")
          == "Sun, 25 Oct 2026 01:30:00", "london fall-back hour")
    check(title("[General]\nshowSeconds=true\ntimeStyle=2\n", at="2026-03-08 03:00:00", tz="America/New_York")
          == "Sun, 8 Mar 2026 03:00:00", "new york spring-forward hour")
    check(title("", locale="de_DE.UTF-8") == "So., 5. Juli 2026 14:05", "German locale")

    # A read-only, hand-written file is read and never rewritten.
    text = "# mine\n[General]\nshowSeconds=true\nbogus\n"
    with open(conf, "w") as f:
        f.write(text)
    os.chmod(conf, stat.S_IRUSR)
    before = os.stat(conf).st_mtime_ns
    subprocess.run([kalvix, "--print-title"], env=base_env, capture_output=True, timeout=30)
    with open(conf) as f:
        check(f.read() == text and os.stat(conf).st_mtime_ns == before, "the preferences file is left as it was")
    os.chmod(conf, stat.S_IRUSR | stat.S_IWUSR)

    # --follow prints each new title on its own line.
    with open(conf, "w") as f:
        f.write("[General]\nshowSeconds=true\n")
    follow = subprocess.Popen([kalvix, "--follow"], env=base_env, stdout=subprocess.PIPE, text=True)
    lines = []
    deadline = time.monotonic() + 6
    while len(lines) < 3 and time.monotonic() < deadline:
        lines.append(follow.stdout.readline().rstrip("\n"))
    follow.terminate()
    follow.wait()
    check(len(lines) == 3 and len(set(lines)) == 3, "--follow prints a new line per change: %r" % lines)

    odd = subprocess.run([kalvix, "--print-title", "--open-settings=1", "--Print-Title"], env=base_env,
                         capture_output=True, text=True, timeout=30)
    check(odd.returncode == 0 and odd.stderr.count("unrecognised") == 2 and odd.stdout.count("\n") == 1,
          "look-alike options are reported and ignored")
    usage = subprocess.run([kalvix, "--help"], env=base_env, capture_output=True, text=True, timeout=30)
    check(usage.returncode == 0 and "--print-title" in usage.stdout, "--help")
    no_instance = subprocess.run([kalvix, "--toggle"], env=base_env, capture_output=True, text=True, timeout=30)
    check(no_instance.returncode == 1 and "cannot toggle" in no_instance.stderr,
          "--toggle without a running Kalvix says so: %r" % no_instance.stderr.strip())

    # No display: a clear message and a failure status, never Qt's abort; the same for a display that is named
    # but cannot be reached.
    headless = {k: v for k, v in base_env.items() if k != "QT_QPA_PLATFORM"}
    for display, what in ((None, "no display"), (":97", "an unreachable display")):
        env = dict(headless, DISPLAY=display) if display else headless
        for args in ([], ["--open-settings"]):
            started = subprocess.run([kalvix] + args, env=env, capture_output=True, text=True, timeout=30)
            check(started.returncode == 1 and "no display" in started.stderr,
                  "%s %s: exit %d, %r" % (what, " ".join(args) or "start", started.returncode, started.stderr.strip()))

    # A platform Qt has no plugin for: Qt would abort; Kalvix says so and exits 1.
    bogus = subprocess.run([kalvix], env=dict(base_env, QT_QPA_PLATFORM="bogus"), capture_output=True, text=True,
                           timeout=30)
    check(bogus.returncode == 1 and 'QT_QPA_PLATFORM="bogus"' in bogus.stderr,
          "QT_QPA_PLATFORM=bogus: exit %d, %r" % (bogus.returncode, bogus.stderr.strip()))

    # No home: a user with no passwd entry and HOME unset. Only root can become such a user.
    if os.geteuid() == 0 and shutil.which("setpriv"):
        reachable = ReachableProgram(kalvix, 54321, 54321)
        homeless = reachable.env({k: v for k, v in base_env.items() if k not in ("HOME", "XDG_CONFIG_HOME")})
        started = subprocess.run(["setpriv", "--reuid", "54321", "--regid", "54321", "--clear-groups",
                                  reachable.path], env=homeless, capture_output=True, text=True, timeout=30)
        check(started.returncode == 1 and "no home folder (HOME is not set" in started.stderr,
              "no home: exit %d, %r" % (started.returncode, started.stderr.strip()))
        rooted = subprocess.run(["setpriv", "--reuid", "54321", "--regid", "54321", "--clear-groups",
                                 reachable.path], env=dict(homeless, HOME="/"), capture_output=True, text=True,
                                timeout=30)
        check(rooted.returncode == 1 and 'HOME is "/"' in rooted.stderr,
              "HOME=/ is named as such: exit %d, %r" % (rooted.returncode, rooted.stderr.strip()))
        printed = subprocess.run(["setpriv", "--reuid", "54321", "--regid", "54321", "--clear-groups",
                                  reachable.path, "--print-title"], env=homeless, capture_output=True, text=True,
                                 timeout=30)
        check(printed.returncode == 0 and printed.stdout.strip() != "", "no home: --print-title still works")
        reachable.remove()
    else:
        print("skip no-home case: needs root and setpriv", flush=True)

    shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
    sys.exit(summary())
