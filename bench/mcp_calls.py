#!/usr/bin/env python3
"""A jobs_list call through one running vantry-mcp against `vantry jobs list` as a process, in
the same run, against one vantry-host serving a generated archive; and vantry-mcp's memory over
many calls in a row.

    bench/mcp_calls.py [--build build] [--runs 200] [--entries 10000] [--calls 100]

The call is timed from writing its line to reading its answer. The command line's share is its
round trip less the time of `vantry --version` (a process start that reaches no app), so the
two compare the work of a call without vantry's start: the target is a call median within that
difference + 1 ms. Memory is vantry-mcp's resident set (VmRSS) after a warm-up and after
--calls calls more, and its high-water mark (VmHWM).
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def median_ms(action, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        action()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


def memory_kib(pid):
    found = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                found[key] = int(value.split()[0])
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--entries", type=int, default=10000)
    parser.add_argument("--calls", type=int, default=100)
    options = parser.parse_args()
    vantry = os.path.join(options.build, "cli", "vantry")
    host = os.path.join(options.build, "host", "vantry-host")
    mcp = os.path.join(options.build, "mcp", "vantry-mcp")
    writer = os.path.join(options.build, "bench", "write_archive")

    folder = tempfile.mkdtemp(prefix="pellam-mcp-calls-")
    served = server = None
    try:
        subprocess.run([writer, str(options.entries), os.path.join(folder, "pellam.json")], check=True,
                       stdout=subprocess.DEVNULL)
        log = open(os.path.join(folder, "host.log"), "wb")
        served = subprocess.Popen([host, "--data-dir", folder], stderr=log)
        while b"serving" not in open(os.path.join(folder, "host.log"), "rb").read():
            time.sleep(0.01)
        base = [vantry, "--json", "--data-dir", folder]

        server = subprocess.Popen([mcp, "--data-dir", folder], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
        ids = iter(range(1, 1 << 30))

        def send(method, params):
            server.stdin.write((json.dumps({"jsonrpc": "2.0", "id": next(ids), "method": method,
                                            "params": params}) + "\n").encode())
            server.stdin.flush()
            answer = json.loads(server.stdout.readline())
            if "error" in answer or answer["result"].get("isError"):
                raise SystemExit("vantry-mcp failed: %s" % json.dumps(answer)[:500])
            return answer

        send("initialize", {"protocolVersion": "2025-06-18", "capabilities": {},
                            "clientInfo": {"name": "bench", "version": "1"}})
        call = lambda: send("tools/call", {"name": "jobs_list", "arguments": {}})  # noqa: E731
        line = lambda *words: subprocess.run(base + list(words), check=True, stdout=subprocess.DEVNULL)  # noqa: E731
        for _ in range(5):  # warm-up: the host reads the data file at its first request
            call()
            line("jobs", "list")

        # Interleaved in rounds, so that a slower stretch of the machine touches all three alike.
        rounds = 5
        per_round = max(1, options.runs // rounds)
        calls, lists, versions = [], [], []
        for _ in range(rounds):
            calls.append(median_ms(call, per_round))
            lists.append(median_ms(lambda: line("jobs", "list"), per_round))
            versions.append(median_ms(lambda: line("--version"), per_round))
        call_ms, list_ms, version_ms = (statistics.median(v) for v in (calls, lists, versions))
        target = list_ms - version_ms + 1
        print("archive: %d entries; %d runs each" % (options.entries, per_round * rounds))
        print("vantry-mcp jobs_list call     median %7.2f ms" % call_ms)
        print("vantry jobs list round trip   median %7.2f ms" % list_ms)
        print("vantry --version              median %7.2f ms" % version_ms)
        print("target (list - version + 1)          %7.2f ms: %s" % (target, "met" if call_ms <= target else "MISSED"))

        before = memory_kib(server.pid)
        for _ in range(options.calls):
            call()
        after = memory_kib(server.pid)
        print("vantry-mcp RSS after warm-up %d KiB, after %d calls more %d KiB (growth %+d KiB); peak %d KiB" % (
            before["VmRSS"], options.calls, after["VmRSS"], after["VmRSS"] - before["VmRSS"], after["VmHWM"]))
    finally:
        if server:
            server.stdin.close()
            server.wait()
        if served:
            served.terminate()
            served.wait()
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
