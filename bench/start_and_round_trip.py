#!/usr/bin/env python3
"""vantry's start-up and round trip against each other and against a lean peer, whole processes
run in turn (A B C A B C ...) so that a drift in the machine's speed touches all alike:
`timew --version` (when installed), `vantry --version`, `vantry doctor` (start-up and the
heartbeat read, no request) and `vantry --json jobs list` through a real vantry-host serving an
archive of ENTRIES entries. Medians in milliseconds, and the two
ratios the start-up and round-trip targets are stated in.

    bench/start_and_round_trip.py [--build build] [--runs 200] [--entries 10000]
                                  [--vantry other/vantry --host other/vantry-host ...]

Each --vantry (with the --host at the same place, else the build's host) is one more set of
rows, so two builds compare in one interleaved run.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time

from process_start import run_once  # beside this script: how a whole process is timed


def serve(host, folder):
    log = open(os.path.join(folder, "host.log"), "wb")
    served = subprocess.Popen([host, "--data-dir", folder], stderr=log)
    while b"serving" not in open(os.path.join(folder, "host.log"), "rb").read():
        if served.poll() is not None:
            raise SystemExit("%s stopped: see %s" % (host, os.path.join(folder, "host.log")))
        time.sleep(0.01)
    return served, log


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--entries", type=int, default=10000)
    parser.add_argument("--vantry", action="append", default=[])
    parser.add_argument("--host", action="append", default=[])
    options = parser.parse_args()
    vantries = [os.path.join(options.build, "cli", "vantry")] + options.vantry
    hosts = [os.path.join(options.build, "host", "vantry-host")] + options.host
    hosts += hosts[-1:] * (len(vantries) - len(hosts))
    writer = os.path.join(options.build, "bench", "write_archive")

    commands = []
    timew = shutil.which("timew")
    if timew:
        commands.append(("timew --version", [timew, "--version"]))
    folders, served = [], []
    try:
        for index, (vantry, host) in enumerate(zip(vantries, hosts)):
            folder = tempfile.mkdtemp(prefix="pellam-start-")
            folders.append(folder)
            subprocess.run([writer, str(options.entries), os.path.join(folder, "pellam.json")], check=True,
                           stdout=subprocess.DEVNULL)
            served.append(serve(host, folder))
            tag = "" if len(vantries) == 1 else " [%d]" % (index + 1)
            commands.append(("vantry --version" + tag, [vantry, "--version"]))
            commands.append(("doctor" + tag, [vantry, "--json", "--data-dir", folder, "doctor"]))
            commands.append(("jobs list" + tag, [vantry, "--json", "--data-dir", folder, "jobs", "list"]))
        for _, argv in commands:  # warm-up: the host reads its data file at the first request
            for _ in range(5):
                run_once(argv)
        walls = {label: [] for label, _ in commands}
        cpus = {label: [] for label, _ in commands}
        for _ in range(options.runs):
            for label, argv in commands:
                wall, cpu = run_once(argv)
                walls[label].append(wall)
                cpus[label].append(cpu)
    finally:
        for process, log in served:
            process.terminate()
            process.wait()
            log.close()
        for folder in folders:
            shutil.rmtree(folder)

    medians = {label: statistics.median(values) for label, values in walls.items()}
    print("%-22s %10s %10s   (median of %d, interleaved; %d entries; cpu: the client's own)" % (
        "command", "wall", "cpu", options.runs, options.entries))
    for label, _ in commands:
        print("%-22s %8.3fms %8.3fms" % (label, medians[label], statistics.median(cpus[label])))
    for index, vantry in enumerate(vantries):
        tag = "" if len(vantries) == 1 else " [%d]" % (index + 1)
        start = medians["vantry --version" + tag]
        line = "%s:" % vantry
        if timew:
            line += " start-up %.2fx timew;" % (start / medians["timew --version"])
        line += " round trip %.2fx start-up" % (medians["jobs list" + tag] / start)
        print(line)


if __name__ == "__main__":
    main()
