"""vantry-host killed (SIGKILL) at random moments while clients send changes: every change a
client was told about is in the archive exactly once, none is applied twice, and pellam.json
is a complete archive whenever the host is dead."""
import json
import os
import random
import signal
import tempfile
import threading
import time
import unittest
import uuid

from host_run import Host
from vantry_run import vantry

RETRY_CODES = {"outcome_unknown", "request_pending", "app_unavailable"}


class CrashLoop(unittest.TestCase):
    def test_changes_survive_kills_exactly_once(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        folder = os.path.join(scratch.name, "store")
        data_file = os.path.join(folder, "pellam.json")
        seed = random.randrange(1 << 30)
        rng = random.Random(seed)
        host = [Host(folder)]
        stop = threading.Event()
        kills = [0]
        broken = []

        def killer():
            while not stop.wait(rng.uniform(0.01, 0.15)):
                host[0].stop(signal.SIGKILL)
                kills[0] += 1
                if os.path.exists(data_file):
                    try:
                        with open(data_file, "rb") as f:
                            if not isinstance(json.loads(f.read()), dict):
                                broken.append("not an object")
                    except ValueError as error:
                        broken.append(str(error))
                host[0] = Host(folder)

        answered = {}
        attempted = []
        failures = []

        # Each client makes at least `count` changes and goes on until the host has been killed
        # often enough to mean something: answers arrive fast, and a short run could otherwise
        # end before many kills.
        def client(prefix, count):
            index = 0
            while index < count or (kills[0] <= 15 and index < 500):
                index += 1
                name, request_id = "%s %03d" % (prefix, index), str(uuid.uuid4()).upper()
                attempted.append(name)
                for _ in range(400):
                    status, out, _ = vantry("--json", "--data-dir", folder, "--timeout", "3",
                                            "--request-id", request_id, "jobs", "create", "--name", name)
                    envelope = json.loads(out)
                    if status == 0:
                        answered[name] = envelope["data"]["job"]["id"]
                        break
                    if envelope["error"]["code"] not in RETRY_CODES:
                        failures.append((name, envelope["error"]))
                        break
                    time.sleep(0.05)

        thread = threading.Thread(target=killer)
        thread.start()
        clients = [threading.Thread(target=client, args=(prefix, 30)) for prefix in ("A", "B")]
        try:
            for c in clients:
                c.start()
            for c in clients:
                c.join(timeout=120)
        finally:
            stop.set()
            thread.join()
        try:
            self.assertEqual(failures, [], "seed %d" % seed)
            self.assertEqual(broken, [], "seed %d" % seed)
            self.assertGreaterEqual(len(answered), 60, "seed %d" % seed)
            self.assertEqual(sorted(answered), sorted(attempted), "seed %d" % seed)
            self.assertGreater(kills[0], 10)
            with open(data_file, "rb") as f:
                names = [job["name"] for job in json.loads(f.read())["jobs"]]
            # Exactly once each: the archive holds every answered change and nothing twice.
            self.assertEqual(sorted(names), sorted(answered), "seed %d" % seed)
        finally:
            host[0].stop()


if __name__ == "__main__":
    unittest.main()
