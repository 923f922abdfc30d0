"""vantry and a real vantry-host on a temporary data folder."""
import json
import os
import signal
import subprocess
import tempfile
import time
import unittest
import uuid

import agent_files as af
from host_run import HOST, Host
from vantry_run import VANTRY, vantry


class HostCase(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.folder = os.path.join(self.scratch.name, "store")
        self.api = af.api(self.folder)

    def tearDown(self):
        self.scratch.cleanup()

    def run_vantry(self, *args, timeout="10"):
        status, out, err = vantry("--json", "--data-dir", self.folder, "--timeout", timeout, *args)
        self.assertEqual(err, b"")
        return status, json.loads(out)

    def ok(self, *args):
        status, envelope = self.run_vantry(*args)
        self.assertEqual(status, 0, envelope)
        return envelope["data"]

    def job_names(self):
        return [job["name"] for job in self.ok("jobs", "list", "--limit", "1000")["items"]]


class RoundTrips(HostCase):
    def test_a_short_session(self):
        with Host(self.folder) as host:
            doctor = self.ok("doctor")
            self.assertEqual((doctor["fresh"], doctor["ready"]), (True, True))
            self.assertEqual(doctor["status"]["appVersion"], "1.0 (vantry-host)")

            created = self.ok("jobs", "create", "--name", "Caf\u00e9 / Bar", "--rate", "12.5")
            job_id = created["job"]["id"]
            self.assertEqual(self.job_names(), ["Caf\u00e9 / Bar"])

            dry = self.ok("jobs", "create", "--name", "Dry", "--dry-run")
            self.assertEqual((dry["dryRun"], dry["job"]["name"]), (True, "Dry"))
            self.assertEqual(self.job_names(), ["Caf\u00e9 / Bar"])

            revision = self.ok("jobs", "show", job_id)["revision"]
            self.ok("jobs", "update", job_id, "--name", "Renamed", "--if-match", revision)
            status, stale = self.run_vantry("jobs", "update", job_id, "--name", "Again", "--if-match", revision)
            self.assertEqual((status, stale["error"]["code"], stale["error"]["retryable"]), (1, "conflict", True))
            self.assertEqual(self.job_names(), ["Renamed"])

            with open(os.path.join(self.folder, "pellam.json"), "rb") as f:
                self.assertEqual(json.loads(f.read())["jobs"][0]["name"], "Renamed")
            self.assertEqual(os.stat(os.path.join(self.folder, "pellam.json")).st_mode & 0o777, 0o600)

            status, missing = self.run_vantry("jobs", "show", str(uuid.uuid4()))
            self.assertEqual((status, missing["error"]["code"]), (1, "not_found"))
            self.assertEqual(os.listdir(os.path.join(self.api, "Requests")), [])
        # One line per request, and never an argument value.
        log = host.log_text()
        self.assertEqual(log.count(" jobs.create "), 2)
        self.assertNotIn("Caf", log)
        self.assertNotIn("Renamed", log)

    def test_app_commands(self):
        with Host(self.folder):
            status = self.ok("app", "status")
            self.assertEqual((status["locked"], status["dataFile"]), (False, "absent"))
            self.assertEqual(self.ok("app", "data-folder"), {"path": self.folder})
            self.assertEqual(self.ok("backups", "list"), {"items": [], "total": 0})
            for words in (["app", "show"], ["ui", "dismiss"], ["cloud", "sync"], ["location", "start"],
                          ["notifications", "request"], ["reports", "print"]):
                status, envelope = self.run_vantry(*words)
                self.assertEqual((status, envelope["error"]["code"]), (1, "app_required"), words)
            self.assertEqual(self.ok("app", "lock"), {"locked": True, "dryRun": False})
            status, envelope = self.run_vantry("jobs", "list")
            self.assertEqual(envelope["error"]["code"], "app_locked")
            self.assertEqual(self.ok("app", "status")["locked"], True)
            self.ok("app", "unlock")
            self.ok("jobs", "list")

    def test_a_host_started_locked(self):
        with Host(self.folder, "--locked"):
            self.assertTrue(self.ok("doctor")["status"]["locked"])
            self.assertFalse(self.ok("doctor")["ready"])
            self.ok("app", "unlock")
            self.assertTrue(self.ok("doctor")["ready"])

    def test_lock_on_launch_locks_every_start_until_unlocked(self):
        with Host(self.folder):
            self.ok("jobs", "create", "--name", "First")
            self.ok("preferences", "set", "--lock-on-launch", "true")
            self.ok("jobs", "list")  # the host that runs stays unlocked
        for restart in range(2):
            with Host(self.folder) as host:
                self.assertTrue(self.ok("doctor")["status"]["locked"], restart)
                status, envelope = self.run_vantry("jobs", "list")
                self.assertEqual((status, envelope["error"]["code"]), (1, "app_locked"))
                self.assertTrue(self.ok("app", "status")["locked"])
                self.ok("app", "unlock")
                self.ok("jobs", "list")
            self.assertIn("(locked); lockOnLaunch is on: vantry app unlock unlocks it", host.log_text())
        # A data file that cannot be read leaves the host unlocked, so a backup can be restored.
        with open(os.path.join(self.folder, "pellam.json"), "ab") as f:
            f.write(b"garbage")
        with Host(self.folder):
            status = self.ok("app", "status")
            self.assertEqual((status["locked"], status["dataFile"]), (False, "unreadable"))
            (backup, *_) = self.ok("backups", "list")["items"]
            preview = self.ok("backups", "preview", backup["id"])
            self.ok("backups", "restore", backup["id"], "--preview", preview["preview"])

    def test_backups_can_be_previewed_and_restored(self):
        with Host(self.folder):
            self.ok("jobs", "create", "--name", "First")
            self.ok("jobs", "create", "--name", "Second")
            (backup,) = self.ok("backups", "list")["items"]
            preview = self.ok("backups", "preview", backup["id"])
            self.assertEqual(preview["jobs"], 1)
            status, envelope = self.run_vantry("backups", "restore", backup["id"], "--preview", "0" * 64)
            self.assertEqual(envelope["error"]["code"], "preview_conflict")
            restored = self.ok("backups", "restore", backup["id"], "--preview", preview["preview"])
            self.assertTrue(restored["restored"])
            self.assertEqual(self.job_names(), ["First"])
            self.assertEqual(self.ok("backups", "list")["total"], 2)

    def test_backups_made_before_a_restart_outrank_others_dated_later(self):
        with Host(self.folder):
            for n in range(6):
                self.ok("jobs", "create", "--name", "Job %d" % n)
            made = [item["id"] for item in self.ok("backups", "list")["items"]]
        self.assertEqual(len(made), 5)
        later = time.time() + 366 * 86400
        for n in range(30):
            path = os.path.join(self.folder, "Backups", "pellam-%d-%08X.json" % (1_800_000_000 + n, n))
            af.write(path, b"{}")
            os.utime(path, (later + n, later + n))
        with Host(self.folder):
            self.ok("jobs", "create", "--name", "After")
            listed = [item["id"] for item in self.ok("backups", "list")["items"]]
        self.assertEqual(len(listed), 30)
        self.assertEqual(listed[1:6], made)

    def test_an_unreadable_data_file_is_left_alone(self):
        os.makedirs(self.folder)
        damaged = b'{"format": "PellamDesktop", "jobs": ['
        af.write(os.path.join(self.folder, "pellam.json"), damaged)
        with Host(self.folder):
            for args in (["jobs", "list"], ["jobs", "create", "--name", "X"]):
                status, envelope = self.run_vantry(*args)
                self.assertEqual((status, envelope["error"]["code"]), (1, "data_unreadable"))
                self.assertIn("pellam.json", envelope["error"]["message"])
            self.assertEqual(self.ok("app", "status")["dataFile"], "unreadable")
        with open(os.path.join(self.folder, "pellam.json"), "rb") as f:
            self.assertEqual(f.read(), damaged)


class Replays(HostCase):
    def test_a_timed_out_mutation_is_replayed_not_repeated(self):
        # No host yet: a fresh heartbeat written by hand, so the request is left waiting.
        af.write_status(self.folder)
        request_id = str(uuid.uuid4()).upper()
        status, envelope = self.run_vantry("--request-id", request_id, "jobs", "create", "--name", "Once",
                                           timeout="1")
        self.assertEqual((status, envelope["error"]["code"]), (1, "outcome_unknown"))
        with Host(self.folder):
            deadline = time.monotonic() + 5
            while not os.path.exists(os.path.join(self.api, "Responses", request_id + ".json")):
                self.assertLess(time.monotonic(), deadline)
                time.sleep(0.02)
            first = self.ok("--request-id", request_id, "jobs", "create", "--name", "Once")
            again = self.ok("--request-id", request_id, "jobs", "create", "--name", "Once")
            self.assertEqual(first, again)
            self.assertEqual(self.job_names(), ["Once"])
            status, conflict = self.run_vantry("--request-id", request_id, "jobs", "create", "--name", "Other")
            self.assertEqual((status, conflict["error"]["code"]), (1, "id_conflict"))
            self.assertEqual(self.job_names(), ["Once"])

    def test_answers_outlive_a_clock_set_forward_and_reads_are_not_kept(self):
        # Kept a week of the host's own running time: files that look eight days old after the
        # clock was set forward are kept, and a change replayed after the restart is not run again.
        change_id, read_id = str(uuid.uuid4()).upper(), str(uuid.uuid4()).upper()
        responses = os.path.join(self.api, "Responses")
        with Host(self.folder):
            first = self.ok("--request-id", change_id, "jobs", "create", "--name", "Once")
            self.ok("--request-id", read_id, "jobs", "list")
            self.assertTrue(os.path.exists(os.path.join(responses, read_id + ".json")))
        stray = os.path.join(responses, "old.json")
        af.write(stray, b"{}")
        moment = time.time() - 8 * 86400
        for folder in (responses, os.path.join(self.api, "Rejected")):
            for name in os.listdir(folder):
                os.utime(os.path.join(folder, name), (moment, moment), follow_symlinks=False)
        with Host(self.folder):
            self.assertEqual(self.ok("--request-id", change_id, "jobs", "create", "--name", "Once"), first)
            self.assertEqual(self.job_names(), ["Once"])
            self.assertTrue(os.path.exists(stray))
            # A read's answer was withdrawn with the earlier run: the replay runs it again.
            self.assertFalse(os.path.exists(os.path.join(responses, read_id + ".json")))
            self.assertEqual(self.ok("--request-id", read_id, "jobs", "list")["total"], 1)


class Robustness(HostCase):
    def test_garbage_in_requests_is_answered_or_ignored_and_the_host_carries_on(self):
        with Host(self.folder) as host:
            requests = os.path.join(self.api, "Requests")
            ids = {label: str(uuid.uuid4()).upper()
                   for label in ("json", "version", "huge", "folder", "link", "mismatch")}
            path = {label: os.path.join(requests, request_id + ".json") for label, request_id in ids.items()}
            af.write(path["json"], b"\xff{ not json")
            request = {"version": 2, "id": ids["version"], "createdAt": "2026-01-01T00:00:00Z",
                       "command": "jobs.list", "arguments": {}, "dryRun": False}
            af.write(path["version"], json.dumps(request).encode())
            af.write(path["huge"], b"")
            os.truncate(path["huge"], 2 * 1024 ** 3)
            os.mkdir(path["folder"])
            os.symlink("/etc/passwd", path["link"])
            af.write(path["mismatch"], json.dumps({**request, "version": 1, "id": str(uuid.uuid4())}).encode())
            for name in ("notes.txt", "not-a-uuid.json", ".hidden.pending"):
                af.write(os.path.join(requests, name), b"x")

            expected = {"json": "invalid_request", "version": "unsupported_version", "huge": "request_too_large",
                        "folder": "invalid_request", "link": "invalid_request", "mismatch": "invalid_request"}
            deadline = time.monotonic() + 5
            for label, code in expected.items():
                answer = os.path.join(self.api, "Responses", ids[label] + ".json")
                while not os.path.exists(answer):
                    self.assertLess(time.monotonic(), deadline, label)
                    time.sleep(0.02)
                with open(answer, "rb") as f:
                    self.assertEqual(json.loads(f.read())["error"]["code"], code, label)
            self.assertEqual(sorted(os.listdir(requests)), [".hidden.pending", "not-a-uuid.json", "notes.txt"])
            self.assertEqual(host.process.poll(), None)
            self.ok("jobs", "list")

    def test_a_huge_file_named_as_a_backup_is_refused_at_once(self):
        with Host(self.folder) as host:
            self.ok("jobs", "create", "--name", "First")
            name = "pellam-1700000000-0BADF00D.json"
            path = os.path.join(self.folder, "Backups", name)
            af.write(path, b"")
            os.truncate(path, 2 * 1024 ** 3)
            for args in (["backups", "preview", name], ["backups", "restore", name, "--preview", "0" * 64]):
                started = time.monotonic()
                status, envelope = self.run_vantry(*args)
                self.assertLess(time.monotonic() - started, 2, args)
                self.assertEqual((status, envelope["error"]["code"]), (1, "invalid_argument"), args)
                self.assertEqual(envelope["error"]["message"],
                                 "The backup %s cannot be read: it holds 2147483648 bytes, more than the 536870912 "
                                 "bytes (512 MiB) Vantry reads." % name)
            # Never read: the host's peak memory stays far below the file's size.
            with open("/proc/%d/status" % host.process.pid) as f:
                peak = next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))
            self.assertLess(peak, 256 * 1024, "peak resident kB")
            self.assertEqual(self.job_names(), ["First"])

    def test_symbolic_links_in_the_host_folders_stop_it_at_start(self):
        os.makedirs(self.folder)
        elsewhere = os.path.join(self.scratch.name, "elsewhere")
        os.mkdir(elsewhere)
        os.symlink(elsewhere, self.api)
        done = subprocess.run([HOST, "--data-dir", self.folder], capture_output=True, timeout=10)
        self.assertEqual(done.returncode, 1)
        self.assertIn(b"symbolic link", done.stderr)
        self.assertEqual(os.listdir(elsewhere), [])

    def test_one_host_per_folder(self):
        with Host(self.folder):
            done = subprocess.run([HOST, "--data-dir", self.folder], capture_output=True, timeout=10)
            self.assertEqual(done.returncode, 1)
            self.assertIn(b"Another vantry-host", done.stderr)

    def test_usage_errors(self):
        for args in (["--bogus"], ["--data-dir"], ["--data-dir", "a", "--data-dir", "b"]):
            done = subprocess.run([HOST, *args], capture_output=True, timeout=10)
            self.assertEqual(done.returncode, 2, args)
            self.assertIn(b"Usage: vantry-host", done.stderr)

    def test_a_stop_signal_finishes_the_request_in_hand(self):
        host = Host(self.folder)
        requests = os.path.join(self.api, "Requests")
        placed = []
        for index in range(30):
            request_id = str(uuid.uuid4()).upper()
            request = {"version": 1, "id": request_id, "createdAt": "2026-01-01T00:00:00Z",
                       "command": "jobs.create", "arguments": {"name": "J%d" % index}, "dryRun": False}
            af.write(os.path.join(requests, "." + request_id + ".pending"), json.dumps(request).encode())
            os.rename(os.path.join(requests, "." + request_id + ".pending"),
                      os.path.join(requests, request_id + ".json"))
            placed.append(request_id)
        time.sleep(0.02)
        self.assertEqual(host.stop(signal.SIGTERM), 0)
        self.assertIn("stopped", host.log_text())
        answered = [i for i in placed if os.path.exists(os.path.join(self.api, "Responses", i + ".json"))]
        waiting = [i for i in placed if os.path.exists(os.path.join(requests, i + ".json"))]
        # Each request either ran to the end (answer, no request file) or not at all.
        self.assertEqual(sorted(answered + waiting), sorted(placed))
        # Whatever is still staged is already answered (its name is dropped at the next request).
        for name in os.listdir(os.path.join(self.api, "Staged")):
            self.assertIn(name[:36], answered)
        self.assertGreater(len(waiting), 0)
        with Host(self.folder):
            # The restarted host answers what was left, after which each request ran once.
            self.assertEqual(sorted(self.job_names()), sorted("J%d" % index for index in range(30)))

    def test_a_stopped_host_is_seen_as_gone_at_once(self):
        # Within three seconds of the stop a heartbeat left behind would still look fresh: the
        # command would wait out its whole timeout for an answer that never comes.
        host = Host(self.folder)
        self.assertEqual(host.stop(signal.SIGTERM), 0)
        self.assertFalse(os.path.exists(os.path.join(self.api, "status.json")))
        started = time.monotonic()
        status, envelope = self.run_vantry("jobs", "list", timeout="10")
        self.assertLess(time.monotonic() - started, 5)
        self.assertEqual((status, envelope["error"]["code"]), (1, "app_unavailable"))
        self.assertEqual(os.listdir(os.path.join(self.api, "Requests")), [])
        status, envelope = self.run_vantry("doctor")
        self.assertEqual((status, envelope["error"]["code"]), (1, "app_unavailable"))
        with Host(self.folder):  # and the next start publishes it again
            self.assertEqual(self.ok("jobs", "list")["total"], 0)


class Concurrency(HostCase):
    def test_fifty_clients_at_once_are_each_answered_once(self):
        with Host(self.folder):
            env = dict(os.environ, VANTRY_DATA_DIR=self.folder)
            processes = [subprocess.Popen([VANTRY, "--json", "--timeout", "60", "jobs", "create", "--name",
                                           "Client %02d" % index], stdout=subprocess.PIPE, env=env)
                         for index in range(50)]
            results = [(process.wait(timeout=90), json.loads(process.stdout.read())) for process in processes]
            for process in processes:
                process.stdout.close()
            for status, envelope in results:
                self.assertEqual(status, 0, envelope)
            ids = [envelope["requestID"] for _, envelope in results]
            self.assertEqual(len(set(ids)), 50)
            self.assertEqual(sorted(self.job_names()), ["Client %02d" % index for index in range(50)])
            answers = set(os.listdir(os.path.join(self.api, "Responses")))
            self.assertTrue({i + ".json" for i in ids} <= answers)


if __name__ == "__main__":
    unittest.main()
