#!/usr/bin/env python3
"""Big answers end to end, whole vantry processes against a running vantry-host:

  - `export xlsx --range all --out F` at 10k entries, beside libxlsxwriter writing the same rows
    and columns (bench/xlsxwriter_rows.c, built only where libxlsxwriter-dev is installed;
    said so when it is not), with compression and in its constant-memory mode;
  - `export csv --range all --out F` at 10k entries;
  - the first answer after start at 100k entries (host spawned, `jobs list` sent as soon as
    the heartbeat appears; the data file read from the page cache);
  - the host's peak memory (VmHWM, cleared once the data file is read) when it refuses a
    too-large `export xlsx` at 100k, beside a whole-history `reports summary` on a fresh host.

    bench/big_answers.py [--build build] [--before OTHER_BUILD] [--runs 9] [--exports-only]

--exports-only stops after the 10k exports (no 100k archive, no start or peak figures).

With --before, each figure is taken for both builds in the same run, interleaved. Medians in
milliseconds.
"""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import tempfile
import time
import zipfile


def generate(build, entries, folder):
    os.makedirs(folder, exist_ok=True)
    subprocess.run([os.path.join(build, "bench", "write_archive"), str(entries), os.path.join(folder, "pellam.json")],
                   check=True, stdout=subprocess.DEVNULL)


class Host:
    def __init__(self, build, folder):
        self.folder = folder
        self.process = subprocess.Popen([os.path.join(build, "host", "vantry-host"), "--data-dir", folder],
                                        stderr=subprocess.DEVNULL)
        status = os.path.join(folder, "AgentAPI", "status.json")
        while not os.path.exists(status):
            time.sleep(0.002)

    def reset_peak(self):
        # Linux: 5 clears the peak resident size, so the start's own peak does not hide the command's.
        with open("/proc/%d/clear_refs" % self.process.pid, "w") as f:
            f.write("5")

    def peak_kb(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            return int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1))

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait()
        shutil.rmtree(os.path.join(self.folder, "AgentAPI"), ignore_errors=True)


def timed(command):
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000, done.returncode


def export_ms(build, folder, fmt, out):
    if os.path.exists(out):
        os.remove(out)
    ms, code = timed([os.path.join(build, "cli", "vantry"), "--data-dir", folder, "export", "--format", fmt,
                      "--range", "all", "--out", out])
    if code != 0:
        raise SystemExit("export %s failed" % fmt)
    return ms


def sheet_rows_tsv(xlsx, tsv):
    """The workbook's cells as the yardstick reads them: type letter and value, tab-separated."""
    with zipfile.ZipFile(xlsx) as z:
        sheet = z.read("xl/worksheets/sheet1.xml").decode()
    cell = re.compile(r'<c r="[A-Z]+\d+"(?: s="(\d)")?(?: t="inlineStr")?>(?:<v>([^<]*)</v>|<is><t xml:space="preserve">([^<]*)</t></is>)</c>')
    unescape = lambda t: t.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", '"').replace("&amp;", "&")
    with open(tsv, "w") as out:
        for row in re.findall(r"<row r=\"\d+\">(.*?)</row>", sheet):
            cells = []
            for style, value, text in cell.findall(row):
                if style:
                    cells.append(("d" if style == "2" else "n") + value)
                else:
                    text = unescape(text).replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
                    cells.append("s" + text.replace("\r", "\\r"))
            out.write("\t".join(cells) + "\n")


def first_answer_ms(build, folder):
    shutil.rmtree(os.path.join(folder, "AgentAPI"), ignore_errors=True)
    with open(os.path.join(folder, "pellam.json"), "rb") as f:
        while f.read(1 << 24):
            pass  # from the page cache, as a host restarted on a file in use finds it
    start = time.perf_counter()
    host = Host(build, folder)
    subprocess.run([os.path.join(build, "cli", "vantry"), "--data-dir", folder, "jobs", "list"], check=True,
                   stdout=subprocess.DEVNULL)
    ms = (time.perf_counter() - start) * 1000
    host.stop()
    return ms


def peak_after_kb(build, folder, words):
    host = Host(build, folder)
    subprocess.run([os.path.join(build, "cli", "vantry"), "--data-dir", folder, "jobs", "list"],
                   stdout=subprocess.DEVNULL)  # the data file is read by now
    host.reset_peak()
    subprocess.run([os.path.join(build, "cli", "vantry"), "--data-dir", folder, "--timeout", "60"] + words,
                   stdout=subprocess.DEVNULL)
    peak = host.peak_kb()
    host.stop()
    return peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--before")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--exports-only", action="store_true")
    options = parser.parse_args()
    builds = [("after", options.build)] + ([("before", options.before)] if options.before else [])
    scratch = tempfile.mkdtemp(prefix="pellam-big-answers-")
    try:
        small, large = os.path.join(scratch, "10k"), os.path.join(scratch, "100k")
        generate(options.build, 10000, small)
        if not options.exports_only:
            generate(options.build, 100000, large)

        # End to end exports at 10k: one host per build, each on its own copy of the data.
        figures = {}
        hosts = {}
        for label, build in builds:
            folder = os.path.join(scratch, "10k-" + label)
            os.makedirs(folder)
            shutil.copy(os.path.join(small, "pellam.json"), folder)
            hosts[label] = (build, folder, Host(build, folder))
        xlsx = os.path.join(scratch, "sample.xlsx")
        for run in range(options.runs + 1):
            for label, (build, folder, _) in hosts.items():
                for fmt in ("xlsx", "csv"):
                    ms = export_ms(build, folder, fmt, os.path.join(scratch, "out." + fmt))
                    if run:  # the first is a warm-up
                        figures.setdefault((label, fmt), []).append(ms)
        shutil.copy(os.path.join(scratch, "out.xlsx"), xlsx)
        for _, (_, _, host) in hosts.items():
            host.stop()
        for label, _ in builds:
            print("%-6s export xlsx 10k end to end  %8.1f ms" % (label, statistics.median(figures[(label, "xlsx")])))
            print("%-6s export csv  10k end to end  %8.1f ms" % (label, statistics.median(figures[(label, "csv")])))

        if options.exports_only:
            return
        yardstick = os.path.join(options.build, "bench", "xlsxwriter_rows")
        if os.path.exists(yardstick):
            tsv = os.path.join(scratch, "rows.tsv")
            sheet_rows_tsv(xlsx, tsv)
            for mode in ([], ["--constant-memory"]):
                times = []
                for _ in range(options.runs):
                    out = os.path.join(scratch, "yardstick.xlsx")
                    if os.path.exists(out):
                        os.remove(out)
                    ms, code = timed([yardstick, tsv, out] + mode)
                    if code:
                        raise SystemExit("xlsxwriter_rows failed")
                    times.append(ms)
                print("libxlsxwriter, same rows%-18s %8.1f ms" % (" (constant memory)" if mode else "",
                                                                statistics.median(times)))
        else:
            print("libxlsxwriter: not measured; install libxlsxwriter-dev and rebuild to build bench/xlsxwriter_rows")

        starts = {}
        for _ in range(options.runs):
            for label, build in builds:
                starts.setdefault(label, []).append(first_answer_ms(build, large))
        for label, _ in builds:
            print("%-6s first answer after start, 100k  %8.1f ms" % (label, statistics.median(starts[label])))

        for label, build in builds:
            refused = peak_after_kb(build, large, ["export", "--format", "xlsx", "--range", "all", "--out",
                                                   os.path.join(scratch, "refused.xlsx")])
            report = peak_after_kb(build, large, ["reports", "summary", "--range", "all"])
            print("%-6s host peak, 100k: refused xlsx export %d MB, whole-history summary %d MB" %
                  (label, refused // 1024, report // 1024))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
