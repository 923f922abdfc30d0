"""vantry-host with its data folder on a small tmpfs that fills up."""
import errno
import json
import os
import tempfile
import unittest
import uuid

from host_run import Host
from small_disk import mount_small_disk
from vantry_run import vantry


class FullDisk(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)
        self.disk = mount_small_disk(self, self.scratch.name, "4m")
        self.folder = os.path.join(self.disk, "store")
        self.filler = os.path.join(self.disk, "filler")

    def run_vantry(self, *args):
        status, out, err = vantry("--json", "--data-dir", self.folder, *args)
        self.assertEqual(err, b"")
        return status, json.loads(out)

    def fill_leaving(self, free_bytes):
        with open(self.filler, "wb", buffering=0) as f:
            try:
                while True:
                    f.write(b"\0" * 4096)
            except OSError as error:
                self.assertEqual(error.errno, errno.ENOSPC)
        os.truncate(self.filler, max(0, os.path.getsize(self.filler) - free_bytes))

    def test_a_save_that_failed_on_a_full_disk_runs_again_later_under_the_same_request_id(self):
        request_id = str(uuid.uuid4()).upper()
        change = ("--request-id", request_id, "jobs", "create", "--name", "Later")
        with Host(self.folder, log_path=os.path.join(self.scratch.name, "host.log")):
            for name in ("Big 1", "Big 2", "Big 3"):  # a data file far larger than an answer
                status, envelope = self.run_vantry("jobs", "create", "--name", name, "--notes", "n" * 100_000)
                self.assertEqual(status, 0, envelope)
            self.fill_leaving(64 * 1024)
            status, failed = self.run_vantry(*change)
            self.assertEqual(status, 1, failed)
            self.assertEqual((failed["error"]["code"], failed["error"]["retryable"]), ("save_failed", True))
            os.remove(self.filler)
            self.assertEqual(self.run_vantry(*change), (1, failed))  # within the hold: the same answer
        with Host(self.folder, log_path=os.path.join(self.scratch.name, "host.log")):
            status, landed = self.run_vantry(*change)
            self.assertEqual(status, 0, landed)
            self.assertEqual(self.run_vantry(*change), (0, landed))
            status, jobs = self.run_vantry("jobs", "list")
            self.assertEqual(sorted(job["name"] for job in jobs["data"]["items"]), ["Big 1", "Big 2", "Big 3", "Later"])


if __name__ == "__main__":
    unittest.main()
