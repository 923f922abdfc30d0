"""A real vantry-host when things outside it change: pellam.json edited by another program in a
way that keeps its size and times, and the reader of the host's log going away."""
import json
import os
import shutil
import signal
import subprocess
import unittest

from host_run import HOST, Host
from test_host import HostCase


def edit_keeping_size_and_times(path, old, new, how):
    """Rewrites `path` in place with `old` replaced by `new` (of the same length), leaving its size and
    modification time as they were: by `cp -p` from an edited copy, or by writing it and then putting
    the times back with os.utime."""
    assert len(old) == len(new)
    before = os.stat(path)
    with open(path, "rb") as f:
        edited = f.read().replace(old, new)
    assert len(edited) == before.st_size
    if how == "cp -p":
        copy = path + ".edited"
        with open(copy, "wb") as f:
            f.write(edited)
        os.chmod(copy, before.st_mode & 0o7777)
        os.utime(copy, ns=(before.st_atime_ns, before.st_mtime_ns))
        subprocess.run(["cp", "-p", copy, path], check=True)
        os.remove(copy)
    else:
        with open(path, "r+b") as f:
            f.write(edited)
        os.utime(path, ns=(before.st_atime_ns, before.st_mtime_ns))
    after = os.stat(path)
    kept = ("st_ino", "st_size", "st_mtime_ns", "st_mode", "st_uid", "st_gid")
    assert [getattr(after, key) for key in kept] == [getattr(before, key) for key in kept]


class OutsideEdits(HostCase):
    def test_an_edit_that_keeps_size_and_times_is_served_and_kept(self):
        data_file = os.path.join(self.folder, "pellam.json")
        for how in ("cp -p", "os.utime"):
            with self.subTest(how=how):
                shutil.rmtree(self.folder, ignore_errors=True)
                with Host(self.folder):
                    self.ok("jobs", "create", "--name", "Alpha")
                    self.assertEqual(self.job_names(), ["Alpha"])
                    edit_keeping_size_and_times(data_file, b'"Alpha"', b'"Omega"', how)
                    self.assertEqual(self.job_names(), ["Omega"])
                    self.ok("jobs", "create", "--name", "New")
                    with open(data_file, "rb") as f:
                        self.assertEqual([job["name"] for job in json.loads(f.read())["jobs"]], ["Omega", "New"])
                    # The file the host replaced is kept as it was edited.
                    backups = os.path.join(self.folder, "Backups")
                    kept = []
                    for name in os.listdir(backups):
                        if not (name.startswith("pellam-") and name.endswith(".json")):
                            continue  # the record of the order the host made them in
                        with open(os.path.join(backups, name), "rb") as f:
                            kept.append(sorted(job["name"] for job in json.loads(f.read())["jobs"]))
                    self.assertIn(["Omega"], kept)


class LogReaderGone(HostCase):
    def test_the_host_keeps_serving_after_the_reader_of_its_log_went_away(self):
        # As `vantry-host 2>&1 | head -n 1`: the reader takes one line and goes.
        process = subprocess.Popen([HOST, "--data-dir", self.folder], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE)
        try:
            self.assertIn(b"data folder", process.stderr.readline())  # the first line names the folder
            self.assertIn(b"serving", process.stderr.readline())
            process.stderr.close()
            for name in ("First", "Second", "Third"):  # each one a log line nobody reads
                status, envelope = self.run_vantry("jobs", "create", "--name", name, timeout="5")
                self.assertEqual(status, 0, envelope)
                self.assertIsNone(process.poll())
            self.assertEqual(self.job_names(), ["First", "Second", "Third"])
        finally:
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                process.wait(timeout=10)
        self.assertEqual(process.returncode, 0)

if __name__ == "__main__":
    unittest.main()
