"""One vantry-host per data folder, whatever happens to the folder while it runs, and what a
killed host leaves behind is cleared at the next start."""
import os
import subprocess
import time
import unittest
import uuid

from host_run import HOST, Host
from test_host import HostCase
from vantry_run import VANTRY


def upper_uuid():
    return str(uuid.uuid4()).upper()


class OneHostPerFolder(HostCase):
    def wait_for(self, condition, what, timeout=10):
        deadline = time.monotonic() + timeout
        while not condition():
            self.assertLess(time.monotonic(), deadline, what)
            time.sleep(0.02)

    def test_removing_agentapi_lets_no_second_host_in(self):
        with Host(self.folder) as first:
            self.ok("jobs", "create", "--name", "Before")
            # Taken away in one step (deleting it file by file races the host making it again).
            os.rename(self.api, os.path.join(self.scratch.name, "AgentAPI.removed"))
            second = subprocess.run([HOST, "--data-dir", self.folder], capture_output=True, timeout=10)
            self.assertEqual(second.returncode, 1)
            self.assertIn(b"Another vantry-host already serves this data folder.", second.stderr)
            self.wait_for(lambda: os.path.exists(os.path.join(self.api, "status.json")), "the heartbeat is back")
            self.wait_for(lambda: "made it again" in first.log_text(), "the host says it noticed")

            env = dict(os.environ, VANTRY_DATA_DIR=self.folder)
            names = ["Client %03d" % index for index in range(200)]
            processes = [subprocess.Popen([VANTRY, "--json", "--timeout", "90", "jobs", "create", "--name", name],
                                          stdout=subprocess.DEVNULL, env=env) for name in names]
            statuses = [process.wait(timeout=120) for process in processes]
            self.assertEqual(statuses, [0] * 200)
            # Every change answered is in the archive exactly once.
            self.assertEqual(sorted(self.job_names()), sorted(["Before"] + names))
            self.assertIsNone(first.process.poll())

    def test_a_host_whose_folder_is_replaced_stops(self):
        first = Host(self.folder)
        self.ok("jobs", "create", "--name", "Before")
        os.rename(self.folder, self.folder + ".moved")
        os.makedirs(self.folder)
        self.assertEqual(first.process.wait(timeout=10), 1)
        first.stop()
        self.assertIn("was moved or replaced while this host served it", first.log_text())
        with Host(self.folder):
            self.ok("jobs", "create", "--name", "After")
            self.assertEqual(self.job_names(), ["After"])

    def test_a_host_whose_agent_folder_becomes_a_link_stops(self):
        first = Host(self.folder)
        try:
            elsewhere, link = os.path.join(self.scratch.name, "elsewhere"), os.path.join(self.scratch.name, "link")
            os.mkdir(elsewhere)
            os.symlink(elsewhere, link)
            # The host may make AgentAPI again between the two moves; then the link is tried again.
            for attempt in range(100):
                try:
                    os.rename(self.api, os.path.join(self.scratch.name, "AgentAPI.%d" % attempt))
                    os.rename(link, self.api)
                    break
                except OSError:
                    pass
            self.assertTrue(os.path.islink(self.api))
            self.assertEqual(first.process.wait(timeout=10), 1)
        finally:
            first.stop()
        self.assertIn("vantry-host: stopping: %s is a symbolic link; vantry-host follows no links." % self.api, first.log_text())

    def test_temporary_files_of_killed_writes_are_removed_at_start_and_nothing_else(self):
        backups, recovery = os.path.join(self.folder, "Backups"), os.path.join(self.folder, "Recovery")
        responses = os.path.join(self.api, "Responses")
        for folder in (backups, recovery, responses):
            os.makedirs(folder)
        ours = [os.path.join(self.folder, ".pellam.json.%s.tmp" % upper_uuid()),
                os.path.join(backups, ".pellam-1700000000-0A1B2C3D.json.%s.tmp" % upper_uuid()),
                os.path.join(backups, "..backup-order.%s.tmp" % upper_uuid()),
                os.path.join(recovery, ".pellam-unreadable-%s.json.%s.tmp" % (upper_uuid(), upper_uuid())),
                os.path.join(responses, ".%s.%s.tmp" % (upper_uuid(), upper_uuid())),
                os.path.join(self.api, ".retention.json.%s.tmp" % upper_uuid()),
                os.path.join(self.api, ".reminders.json.%s.tmp" % upper_uuid())]
        theirs = [os.path.join(self.folder, "pellam.json.tmp"),
                  os.path.join(self.folder, ".pellam.json.mine.tmp"),
                  os.path.join(self.folder, ".notes.json.%s.tmp" % upper_uuid()),
                  os.path.join(backups, ".mine.json.%s.tmp" % upper_uuid()),
                  os.path.join(backups, "mine.json")]
        for path in ours + theirs:
            with open(path, "wb") as f:
                f.write(b"x" * 1000)
        with Host(self.folder):
            self.ok("jobs", "list")
        self.assertEqual([path for path in ours if os.path.exists(path)], [])
        self.assertEqual([path for path in theirs if not os.path.exists(path)], [])


if __name__ == "__main__":
    unittest.main()
