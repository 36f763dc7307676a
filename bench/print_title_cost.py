#!/usr/bin/python3
"""CPU cost of `kalvix --print-title`, as a bar's command plugin pays it every second: with Kalvix
running (the title comes from its title file) and without (the program computes it).

Each run's user + system CPU comes from the kernel's accounting of the child (wait4), so the figures are
the command's own, start-up and library loading included. Prints the median and the spread of N runs:

    /usr/bin/python3 bench/print_title_cost.py --kalvix build/test/app/kalvix [--runs 50]
"""
import argparse
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from panel_session import Session, wait_until  # noqa: E402


def cpu_ms(argv, env):
    # posix_spawn (vfork and exec): the child's account holds the command, not a copy of this script.
    devnull = os.open(os.devnull, os.O_WRONLY)
    pid = os.posix_spawn(argv[0], argv, env, file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)])
    os.close(devnull)
    _, status, usage = os.wait4(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError("%s failed" % argv)
    return (usage.ru_utime + usage.ru_stime) * 1000


def measure(what, kalvix, env, runs):
    samples = sorted(cpu_ms([kalvix, "--print-title"], env) for _ in range(runs))
    print("%-34s median %5.2f ms of CPU   (min %.2f, 90th %.2f, %d runs)"
          % (what, statistics.median(samples), samples[0], samples[int(0.9 * (runs - 1))], runs))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    parser.add_argument("--runs", type=int, default=50)
    args = parser.parse_args()
    kalvix = os.path.abspath(args.kalvix)

    session = Session("title-cost")
    try:
        measure("--print-title, Kalvix not running", kalvix, session.env, args.runs)
        session.start("kalvix", [kalvix])
        title_file = os.path.join(session.env["XDG_RUNTIME_DIR"], "kalvix", "title")
        if not wait_until(lambda: os.path.exists(title_file), 20):
            raise RuntimeError("Kalvix wrote no title file:\n" + session.log("kalvix"))
        measure("--print-title, Kalvix running", kalvix, session.env, args.runs)
    finally:
        session.close()


if __name__ == "__main__":
    main()
