#!/usr/bin/env python3
"""How fast a vantry process starts and exits: `vantry --version` against a lean peer that
also prints its version (Timewarrior's `timew --version` when installed, and /bin/true as the
floor of starting any process), run in turn A B C A B C ... so that a drift in the machine's
speed touches all alike; median wall and CPU (user + system) time of each, in milliseconds.

    bench/process_start.py [--build build] [--runs 30]
"""
import argparse
import os
import shutil
import statistics
import time


def run_once(argv):
    """Wall and CPU milliseconds of one run of argv, its output thrown away. posix_spawn rather
    than fork: copying this interpreter would be timed as part of the command."""
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=[
        (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
        (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
    _, status, usage = os.wait4(pid, 0)
    wall = (time.perf_counter() - start) * 1000
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("%s failed" % " ".join(argv))
    return wall, (usage.ru_utime + usage.ru_stime) * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=30)
    options = parser.parse_args()
    commands = [("vantry --version", [os.path.join(options.build, "cli", "vantry"), "--version"])]
    timew = shutil.which("timew")
    if timew:
        commands.append(("timew --version", [timew, "--version"]))
    else:
        print("timew is not installed (apt-get install timewarrior): only the floor is compared")
    commands.append(("/bin/true", ["/bin/true"]))

    for _, argv in commands:  # warm-up: the files are in the page cache before timing starts
        run_once(argv)
    walls = {label: [] for label, _ in commands}
    cpus = {label: [] for label, _ in commands}
    for _ in range(options.runs):
        for label, argv in commands:
            wall, cpu = run_once(argv)
            walls[label].append(wall)
            cpus[label].append(cpu)
    print("%-17s %12s %12s   (median of %d, interleaved)" % ("command", "wall", "cpu", options.runs))
    for label, _ in commands:
        print("%-17s %10.2fms %10.2fms" % (label, statistics.median(walls[label]), statistics.median(cpus[label])))


if __name__ == "__main__":
    main()
