#!/usr/bin/env python3
"""Start-to-ready of vantry-host: how long `vantry-host --detach` takes to return (the host
has locked the folder, written its heartbeat, watches Requests/ and has read pellam.json),
on generated archives of a few sizes.

Usage: python3 bench/host_start.py --build build [--entries 0,10000,100000] [--runs 5]
"""
import argparse
import os
import signal
import statistics
import subprocess
import tempfile
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--entries", default="0,10000,100000")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    host = os.path.join(args.build, "host", "vantry-host")
    writer = os.path.join(args.build, "bench", "write_archive")
    print("%9s %12s %10s %10s %10s" % ("entries", "bytes", "min ms", "median ms", "max ms"))
    for entries in (int(n) for n in args.entries.split(",")):
        with tempfile.TemporaryDirectory() as scratch:
            archive = os.path.join(scratch, "pellam.json")
            if entries:
                subprocess.run([writer, str(entries), archive], check=True, capture_output=True)
            size = os.path.getsize(archive) if entries else 0
            times = []
            for run in range(args.runs):
                folder = os.path.join(scratch, "run%d" % run)
                os.makedirs(folder)
                if entries:
                    os.link(archive, os.path.join(folder, "pellam.json"))
                started = time.monotonic()
                done = subprocess.run([host, "--detach", "--data-dir", folder], capture_output=True, check=True)
                times.append((time.monotonic() - started) * 1000)
                pid = int(done.stdout)
                os.kill(pid, signal.SIGTERM)
                log = os.path.join(folder, "AgentAPI", "host.log")
                while True:
                    with open(log, encoding="utf-8") as f:
                        if f.read().endswith("stopped\n"):
                            break
                    time.sleep(0.01)
            print("%9d %12d %10.1f %10.1f %10.1f" % (entries, size, min(times), statistics.median(times), max(times)))


if __name__ == "__main__":
    main()
