"""An answer that cannot be written is a failure: vantry and vantry-host --help with standard
output on a full device, closed, or a pipe whose reader left, and on a full disk."""
import base64
import json
import os
import shutil
import signal
import subprocess
import tempfile
import unittest
import uuid

from host_run import HOST, Host
from small_disk import mount_small_disk
from test_host import HostCase
from vantry_run import VANTRY

EPOCH_2001 = 978307200
SOURCE = os.environ.get("PELLAM_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))


def run_with_stdout(program, args, target, ignore_sigpipe=False, cwd=None):
    """Runs program with standard output on `target`: "full" (/dev/full), "closed" (>&-),
    "left" (a pipe whose reader is gone), or a file path. Returns (status, stderr bytes);
    a process killed by a signal has the negative signal number as its status."""
    def prepare():
        if ignore_sigpipe:
            signal.signal(signal.SIGPIPE, signal.SIG_IGN)
    if target == "closed":
        done = subprocess.run(["bash", "-c", 'exec "$@" >&-', "bash", program, *args], stderr=subprocess.PIPE,
                              preexec_fn=prepare, cwd=cwd, timeout=60)
        return done.returncode, done.stderr
    if target == "left":
        read_end, write_end = os.pipe()
        os.close(read_end)
        try:
            done = subprocess.run([program, *args], stdout=write_end, stderr=subprocess.PIPE, preexec_fn=prepare,
                                  cwd=cwd, timeout=60)
        finally:
            os.close(write_end)
        return done.returncode, done.stderr
    with open("/dev/full" if target == "full" else target, "wb") as out:
        done = subprocess.run([program, *args], stdout=out, stderr=subprocess.PIPE, preexec_fn=prepare, cwd=cwd,
                              timeout=60)
    return done.returncode, done.stderr


# Where standard output goes, and the status that must follow: 1 for a failed write, or death
# by SIGPIPE when the reader left and SIGPIPE keeps its default.
UNWRITABLE = [
    ("full", False, 1),
    ("closed", False, 1),
    ("left", False, -signal.SIGPIPE),
    ("left", True, 1),
]


class LocalAnswers(unittest.TestCase):
    def test_help_and_version_that_cannot_be_written_are_failures(self):
        for args in (["help"], ["--version"], ["--version", "--json"], ["jobs", "--json"]):
            for target, ignore, status in UNWRITABLE:
                got, err = run_with_stdout(VANTRY, args, target, ignore)
                self.assertEqual((got, err), (status, b""), (args, target, ignore))

    def test_host_usage_that_cannot_be_written_is_a_failure(self):
        for target, ignore, status in UNWRITABLE:
            got, _ = run_with_stdout(HOST, ["--help"], target, ignore)
            # The host may ignore SIGPIPE for its log; its usage then fails with status 1.
            self.assertIn(got, (status, 1), (target, ignore))
            self.assertNotEqual(got, 0)
        with tempfile.TemporaryDirectory() as scratch:
            path = os.path.join(scratch, "usage")
            self.assertEqual(run_with_stdout(HOST, ["--help"], path), (0, b""))
            with open(path, "rb") as f:
                self.assertTrue(f.read().startswith(b"Usage: vantry-host "))


class RemoteAnswers(HostCase):
    def setUp(self):
        super().setUp()
        self.host = Host(self.folder)

    def tearDown(self):
        self.host.stop()
        super().tearDown()

    def vantry_args(self, *args):
        return ["--data-dir", self.folder, *args]

    def test_answers_that_cannot_be_written_are_failures(self):
        self.ok("jobs", "create", "--name", "Acme")
        for args in (["jobs", "list"], ["--json", "export", "json"], ["export", "csv", "--out", "-"]):
            for target, ignore, status in UNWRITABLE:
                got, err = run_with_stdout(VANTRY, self.vantry_args(*args), target, ignore)
                self.assertEqual((got, err), (status, b""), (args, target, ignore))

    def test_nothing_is_sent_while_standard_output_is_closed(self):
        got, _ = run_with_stdout(VANTRY, self.vantry_args("jobs", "create", "--name", "Unseen"), "closed")
        self.assertEqual(got, 1)
        self.assertEqual(os.listdir(os.path.join(self.api, "Responses")), [])
        self.assertEqual(self.job_names(), [])

    def test_an_export_file_in_place_stays_when_the_answer_cannot_be_written(self):
        self.ok("jobs", "create", "--name", "Acme")
        expected = base64.b64decode(self.ok("export", "json")["base64"])
        target = os.path.join(self.scratch.name, "backup.json")
        got, err = run_with_stdout(VANTRY, self.vantry_args("export", "json", "--out", target), "full")
        self.assertEqual((got, err), (1, b""))
        with open(target, "rb") as f:
            self.assertEqual(f.read(), expected)


def demo_tree(folder):
    """A copy of scripts/demo.sh whose setup and build steps do nothing, with the built programs
    where it looks for them. Returns the script's path."""
    for sub in ("scripts", "build/cli", "build/host"):
        os.makedirs(os.path.join(folder, sub))
    shutil.copy(os.path.join(SOURCE, "scripts", "demo.sh"), os.path.join(folder, "scripts"))
    for step in ("setup.sh", "build.sh"):
        with open(os.path.join(folder, "scripts", step), "w") as f:
            f.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(folder, "scripts", step), 0o755)
    os.symlink(os.path.abspath(VANTRY), os.path.join(folder, "build", "cli", "vantry"))
    os.symlink(os.path.abspath(HOST), os.path.join(folder, "build", "host", "vantry-host"))
    return os.path.join(folder, "scripts", "demo.sh")


class DemoScript(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)
        self.demo = demo_tree(self.scratch.name)

    def test_a_demo_whose_output_cannot_be_written_does_not_succeed(self):
        for target, ignore, status in UNWRITABLE:
            got, _ = run_with_stdout(self.demo, [], target, ignore)
            self.assertEqual(got, status, (target, ignore))


class FullDisk(HostCase):
    """Answers redirected onto a small tmpfs that they do not fit."""

    def setUp(self):
        super().setUp()
        self.disk = mount_small_disk(self, self.scratch.name, "16k")

    def tearDown(self):
        self.doCleanups()  # unmounts the disk before the scratch folder holding it goes
        super().tearDown()

    def test_a_backup_that_does_not_fit_is_a_failure(self):
        with Host(self.folder):
            job = self.ok("jobs", "create", "--name", "Acme")["job"]["id"]
        data_file = os.path.join(self.folder, "pellam.json")
        with open(data_file) as f:
            archive = json.load(f)
        start = 1772366400 - EPOCH_2001  # 2026-03-01T12:00:00Z
        archive["entries"] = [
            {"id": str(uuid.uuid4()).upper(), "jobID": job, "start": start + n * 7200, "end": start + n * 7200 + 3600,
             "pauses": [], "manualBreakMinutes": 0, "timeAdjustmentMinutes": 0, "rate": 20, "tips": 0, "miles": 0,
             "adjustment": 0, "adjustmentTaxable": True, "comment": "", "tags": [], "source": "Manual"}
            for n in range(300)]
        with open(data_file, "w") as f:
            json.dump(archive, f)
        backup = os.path.join(self.disk, "backup")
        with Host(self.folder):
            for args in (["--json", "export", "json"], ["export", "csv", "--range", "all", "--out", "-"]):
                got, err = run_with_stdout(VANTRY, ["--data-dir", self.folder, *args], backup)
                self.assertEqual((got, err), (1, b""), args)
                os.remove(backup)
            # A short answer still fits: the failures above were the disk's.
            self.assertEqual(run_with_stdout(VANTRY, ["--data-dir", self.folder, "jobs", "list"], backup), (0, b""))

    def test_a_demo_that_fills_the_disk_midway_does_not_succeed(self):
        tree = os.path.join(self.scratch.name, "tree")
        demo = demo_tree(tree)
        got, _ = run_with_stdout(demo, [], os.path.join(self.disk, "demo.log"))
        self.assertEqual(got, 1)
        # It got as far as the session before the disk filled, and stopped its host.
        with open(os.path.join(self.disk, "demo.log"), "rb") as f:
            self.assertIn(b"$ vantry jobs create", f.read())
        with open(os.path.join(tree, "demo-data", "host.pid")) as f:
            pid = int(f.read())
        with self.assertRaises(ProcessLookupError):
            os.kill(pid, 0)


if __name__ == "__main__":
    unittest.main()
