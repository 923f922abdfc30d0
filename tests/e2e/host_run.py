"""Starts and stops a real vantry-host on a folder for the end-to-end tests."""
import json
import os
import signal
import subprocess
import time

HOST = os.environ.get("VANTRY_HOST_BIN", os.path.join(os.path.dirname(__file__), "../../build/host/vantry-host"))


class Host:
    """A running vantry-host; stderr goes to a log file in the test's scratch folder."""

    def __init__(self, folder, *extra, log_path=None, env=None):
        self.folder = folder
        self.log_path = log_path or os.path.join(os.path.dirname(folder.rstrip("/")), "host.log")
        self.log = open(self.log_path, "ab")
        self.log_start = os.path.getsize(self.log_path)
        self.process = subprocess.Popen([HOST, "--data-dir", folder, *extra], stdout=subprocess.DEVNULL,
                                        stderr=self.log, env=env)
        self.wait_ready()

    def wait_ready(self, timeout=10):
        status = os.path.join(self.folder, "AgentAPI", "status.json")
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("vantry-host exited with %s: %s" % (self.process.returncode, self.log_text()))
            try:
                with open(status, "rb") as f:
                    json.loads(f.read())
                with open(self.log_path, "rb") as f:
                    f.seek(self.log_start)
                    if b"serving" in f.read():
                        return
            except (OSError, ValueError):
                pass
            time.sleep(0.01)
        raise RuntimeError("vantry-host did not start in %s s (%s): %s" % (
            timeout, "running" if self.process.poll() is None else "exited", self.log_text()))

    def log_text(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stop(self, sig=signal.SIGTERM, timeout=10):
        if self.process.poll() is None:
            self.process.send_signal(sig)
            self.process.wait(timeout=timeout)
        self.log.close()
        return self.process.returncode

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
