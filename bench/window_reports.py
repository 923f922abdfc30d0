#!/usr/bin/env python3
"""Window reports against a running vantry-host, end to end and host side.

On a generated archive (bench/archive_generator: jobs with daily and weekly overtime tiers,
the America/Chicago zone) of --entries entries, runs in interleaved rounds: `jobs list`
(the floor of a round trip), `reports summary --range week`, `reports daily --range week`,
`export txt --range week` and `entries list` over the same week, and the whole-history
`reports summary`. Each whole `vantry` process is timed end to end; the host's own time per
request comes from its log (one line per request, ending in milliseconds). With
--timew-entries, also times `timew summary :all` (Timewarrior, when installed) on a database
of that many intervals beside `vantry reports summary` at the same size.

With --compare-host PATH (another build's vantry-host, say the one before a change), the
same commands run against it too, on a copy of the same archive, interleaved with this
build's: one line per command and host. --compare-build FOLDER does the same with that
build's vantry and vantry-host both, for a change on the client's side too.

Prints medians (and p95) per command. The machine may be shared: say so with the figures.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import tempfile
import time

WEEK_AT = "2020-06-10T12:00:00Z"  # inside the generated history (2014 onwards)
WEEK_FROM = "2020-06-07"  # that week, from Sunday (the generated archive's first weekday)
WEEK_THROUGH = "2020-06-13"


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def start_host(host, folder):
    log_path = os.path.join(folder, "host.log")
    log = open(log_path, "wb")
    served = subprocess.Popen([host, "--data-dir", folder], stderr=log)
    while b"serving" not in open(log_path, "rb").read():
        time.sleep(0.01)
    return served, log, log_path


def log_lines(log_path):
    return open(log_path, encoding="utf-8", errors="replace").read().splitlines()


def host_ms_after(log_path, seen, command):
    """The milliseconds of the first request of `command` logged after line `seen`. The host
    logs a request after publishing its answer, so the line may come just after vantry exits."""
    pattern = re.compile(r" %s \S+ ([0-9.]+)ms$" % re.escape(command))
    deadline = time.perf_counter() + 1.0
    while time.perf_counter() < deadline:
        for line in log_lines(log_path)[seen:]:
            match = pattern.search(line)
            if match:
                return float(match.group(1))
        time.sleep(0.002)
    return None


def time_commands(vantries, hosts, commands, runs, out):
    """`hosts`: (name, folder, log path); `vantries`: the vantry of each host's name. Every run
    goes through each command on each host in turn."""
    counter = iter(range(10**9))

    def words_of(words):
        # export writes a new file each time (--out never replaces one).
        return [w if w != "OUT" else os.path.join(out, "r%d.txt" % next(counter)) for w in words]

    for name, folder, _ in hosts:
        for _, words, _ in commands:  # warm-up: the host reads the data file at its first request
            for _ in range(3):
                subprocess.run([vantries[name], "--json", "--data-dir", folder] + words_of(words), check=True,
                               stdout=subprocess.DEVNULL)
    ends = {(name, label): [] for name, _, _ in hosts for label, _, _ in commands}
    host_ms = {key: [] for key in ends}
    for _ in range(runs):  # interleaved: a load that comes and goes touches every command alike
        for label, words, wire in commands:
            for name, folder, log_path in hosts:
                command = [vantries[name], "--json", "--data-dir", folder] + words_of(words)
                seen = len(log_lines(log_path))
                start = time.perf_counter()
                subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
                ends[(name, label)].append((time.perf_counter() - start) * 1000)
                measured = host_ms_after(log_path, seen, wire)
                if measured is not None:
                    host_ms[(name, label)].append(measured)
    return ends, host_ms


def report(entries, hosts, commands, ends, host_ms):
    for name, _, _ in hosts:
        floor = statistics.median(ends[(name, "jobs list")])
        for label, _, _ in commands:
            key = (name, label)
            end = statistics.median(ends[key])
            host = statistics.median(host_ms[key]) if host_ms[key] else float("nan")
            print("%-9d %-8s %-30s %8.1fms %8.1fms %8.1fms %6.2fx" % (entries, name, label, end,
                                                                     percentile(ends[key], 0.95), host, end / floor))


def timew_database(folder, intervals):
    """A Timewarrior database of `intervals` intervals, a few hours each, one a day or more."""
    data = os.path.join(folder, "data")
    os.makedirs(data)
    open(os.path.join(folder, "timewarrior.cfg"), "w").close()
    files = {}
    first = time.mktime((2014, 1, 1, 0, 0, 0, 0, 0, 0)) - time.timezone
    for i in range(intervals):
        start = first + i * 86400 * 3650 // max(intervals, 1) + 7 * 3600
        end = start + 4 * 3600 + (i % 7) * 900
        s = time.gmtime(start)
        name = "%04d-%02d.data" % (s.tm_year, s.tm_mon)
        line = "inc %s - %s # job%d\n" % (time.strftime("%Y%m%dT%H%M%SZ", s),
                                           time.strftime("%Y%m%dT%H%M%SZ", time.gmtime(end)), i % 5)
        files.setdefault(name, []).append(line)
    for name, lines in files.items():
        with open(os.path.join(data, name), "w") as out:
            out.writelines(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--timew-entries", type=int, default=10000)
    parser.add_argument("--compare-host", help="another vantry-host to run the same commands against")
    parser.add_argument("--compare-build", help="another build folder whose vantry and vantry-host to compare")
    options = parser.parse_args()
    vantry = os.path.join(options.build, "cli", "vantry")
    host = os.path.join(options.build, "host", "vantry-host")
    writer = os.path.join(options.build, "bench", "write_archive")

    print("%-9s %-8s %-30s %10s %10s %10s %7s" % ("entries", "host", "command", "end-to-end", "p95", "host",
                                                   "/floor"))
    root = tempfile.mkdtemp(prefix="pellam-window-")
    served = []
    try:
        builds = [("this", host)]
        vantries = {"this": vantry}
        if options.compare_build:
            builds.append(("compared", os.path.join(options.compare_build, "host", "vantry-host")))
            vantries["compared"] = os.path.join(options.compare_build, "cli", "vantry")
        elif options.compare_host:
            builds.append(("compared", options.compare_host))
            vantries["compared"] = vantry
        hosts = []
        for name, program in builds:
            folder = os.path.join(root, name)
            os.makedirs(folder)
            subprocess.run([writer, str(options.entries), os.path.join(folder, "pellam.json")], check=True,
                           stdout=subprocess.DEVNULL)
            process, log, log_path = start_host(program, folder)
            served.append((process, log))
            hosts.append((name, folder, log_path))
        out = os.path.join(root, "out")
        os.makedirs(out)
        week = ["--range", "week", "--at", WEEK_AT]
        commands = [
            ("jobs list", ["jobs", "list"], "jobs.list"),
            ("reports summary --range week", ["reports", "summary"] + week, "reports.summary"),
            ("reports daily --range week", ["reports", "daily"] + week, "reports.daily"),
            ("export txt --range week", ["export", "txt", "--out", "OUT"] + week, "export"),
            ("entries list (that week)", ["entries", "list", "--from", WEEK_FROM, "--through", WEEK_THROUGH],
             "entries.list"),
            ("reports summary (all)", ["reports", "summary"], "reports.summary"),
        ]
        ends, host_ms = time_commands(vantries, hosts, commands, options.runs, out)
        report(options.entries, hosts, commands, ends, host_ms)
    finally:
        for process, log in served:
            process.terminate()
            process.wait()
            log.close()
        shutil.rmtree(root)

    timew = shutil.which("timew")
    if options.timew_entries:
        if not timew:
            print("timew is not installed (apt-get install timewarrior): no whole-history comparison")
            return
        folder = tempfile.mkdtemp(prefix="pellam-window-timew-")
        try:
            subprocess.run([writer, str(options.timew_entries), os.path.join(folder, "pellam.json")], check=True,
                           stdout=subprocess.DEVNULL)
            database = os.path.join(folder, "timew")
            timew_database(database, options.timew_entries)
            served, log, log_path = start_host(host, folder)
            try:
                env = dict(os.environ, TIMEWARRIORDB=database)
                subprocess.run([timew, "summary", ":all"], check=True, stdout=subprocess.DEVNULL, env=env)
                ours, theirs, host_side = [], [], []
                base = [vantry, "--json", "--data-dir", folder, "reports", "summary"]
                for _ in range(3):
                    subprocess.run(base, check=True, stdout=subprocess.DEVNULL)
                for _ in range(options.runs):
                    seen = len(log_lines(log_path))
                    start = time.perf_counter()
                    subprocess.run(base, check=True, stdout=subprocess.DEVNULL)
                    ours.append((time.perf_counter() - start) * 1000)
                    host_side.append(host_ms_after(log_path, seen, "reports.summary") or float("nan"))
                    start = time.perf_counter()
                    subprocess.run([timew, "summary", ":all"], check=True, stdout=subprocess.DEVNULL, env=env)
                    theirs.append((time.perf_counter() - start) * 1000)
                print("%-9d %-30s %8.1fms (host %.1fms)" % (options.timew_entries, "reports summary (all)",
                                                           statistics.median(ours), statistics.median(host_side)))
                print("%-9d %-30s %8.1fms" % (options.timew_entries, "timew summary :all", statistics.median(theirs)))
                print("ratio timew / vantry end to end: %.1fx, host side: %.1fx" %
                      (statistics.median(theirs) / statistics.median(ours),
                       statistics.median(theirs) / statistics.median(host_side)))
            finally:
                served.terminate()
                served.wait()
                log.close()
        finally:
            shutil.rmtree(folder)


if __name__ == "__main__":
    main()
