#!/usr/bin/env python3
"""Times the archive codec against Python's json module on the same files, in one run.

For each size it writes a generated archive (write_archive), times Python's json.loads and
json.dumps/json.dump(sort_keys=True, indent=2) on it, runs archive_io_bench for
ArchiveIO::decode (read + validate) and ArchiveIO::encode (validate + write), and measures
the peak memory of ArchiveIO::load with /usr/bin/time -v (decode_archive), beside a run
that only reads the file.

usage: compare_python.py [--build-dir DIR] [--entries N ...] [--repeat N]
"""
import argparse
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import time


def best_of(repeat, action):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        action()
        best = min(best, time.perf_counter() - start)
    return best


def python_times(path, repeat):
    with open(path, "rb") as file:
        data = file.read()
    load = best_of(repeat, lambda: json.loads(data))
    value = json.loads(data)
    dumps = best_of(repeat, lambda: json.dumps(value, sort_keys=True, indent=2))
    dump = best_of(repeat, lambda: json.dump(value, io.StringIO(), sort_keys=True, indent=2))
    return load, dumps, dump


def our_times(build_dir, entries, repeat, file_bytes):
    bench = os.path.join(build_dir, "bench", "archive_io_bench")
    output = subprocess.run(
        [bench, f"--benchmark_filter=^BM_(Decode|Encode)/{entries}$", "--benchmark_format=json",
         f"--benchmark_repetitions={repeat}"],
        check=True, capture_output=True, text=True).stdout
    times = {}
    for run in json.loads(output)["benchmarks"]:
        if run.get("run_type") != "iteration":
            continue
        if int(run["file_bytes"]) != file_bytes:
            sys.exit(f"{run['name']} measured {int(run['file_bytes'])} bytes, the file has {file_bytes}")
        name = run["name"].split("/")[0]
        unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
        times[name] = min(times.get(name, float("inf")), run["real_time"] * unit)
    return times["BM_Decode"], times["BM_Encode"]


def max_rss_bytes(command):
    result = subprocess.run(["/usr/bin/time", "-v"] + command, check=True, capture_output=True, text=True)
    match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr)
    return int(match.group(1)) * 1024, result.stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default=os.environ.get("PELLAM_BUILD_DIR", "build"))
    parser.add_argument("--entries", type=int, nargs="+", default=[1000, 10000, 100000])
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="pellam-bench-") as folder:
        print(f"{'entries':>8} {'MB':>7} | {'py load':>9} {'decode':>9} {'x':>6} | "
              f"{'py dumps':>9} {'py dump':>9} {'encode':>9} {'x':>6}")
        largest = None
        for entries in args.entries:
            os.makedirs(os.path.join(folder, str(entries)))
            path = os.path.join(folder, str(entries), "pellam.json")
            subprocess.run([os.path.join(args.build_dir, "bench", "write_archive"), str(entries), path],
                           check=True, capture_output=True)
            size = os.path.getsize(path)
            load, dumps, dump = python_times(path, args.repeat)
            decode, encode = our_times(args.build_dir, entries, args.repeat, size)
            python_write = min(dumps, dump)  # the faster of the two, to be fair to Python
            print(f"{entries:>8} {size / 1e6:>7.1f} | {load * 1e3:>7.1f}ms {decode * 1e3:>7.1f}ms "
                  f"{load / decode:>5.1f}x | {dumps * 1e3:>7.1f}ms {dump * 1e3:>7.1f}ms {encode * 1e3:>7.1f}ms "
                  f"{python_write / encode:>5.1f}x")
            largest = (entries, path, size)

        entries, path, size = largest
        tool = os.path.join(args.build_dir, "bench", "decode_archive")
        data_folder = os.path.dirname(path)
        baseline, _ = max_rss_bytes([tool, data_folder, "--read-only"])
        peak, report = max_rss_bytes([tool, data_folder])
        python_peak, _ = max_rss_bytes([sys.executable, "-c",
                                        f"import json\nwith open({path!r}, 'rb') as f: json.load(f)"])
        python_baseline, _ = max_rss_bytes([sys.executable, "-c",
                                            f"with open({path!r}, 'rb') as f: f.read()"])
        heap = json.loads(report)
        print()
        print(f"memory of loading {entries} entries ({size / 1e6:.1f} MB file) with ArchiveIO::load:")
        print(f"  peak RSS {peak / 1e6:.1f} MB = {peak / size:.2f}x the file size "
              f"(a program that only reads the file: {baseline / 1e6:.1f} MB; "
              f"difference {(peak - baseline) / 1e6:.1f} MB = {(peak - baseline) / size:.2f}x)")
        print(f"  heap held by the loaded archive: {heap['heap_archive'] / 1e6:.1f} MB = "
              f"{heap['heap_archive'] / size:.2f}x the file size")
        print(f"  Python json.load for comparison: {(python_peak - python_baseline) / 1e6:.1f} MB = "
              f"{(python_peak - python_baseline) / size:.2f}x the file size")


if __name__ == "__main__":
    main()
