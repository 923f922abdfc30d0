"""The installed user unit verifies, is sandboxed, and (where a user manager can run) serves."""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

from test_install import install

ANALYZE = shutil.which("systemd-analyze")
SYSTEMD = next((path for path in ("/usr/lib/systemd/systemd", "/lib/systemd/systemd") if os.path.exists(path)), None)
UNIT = "lib/systemd/user/vantry-host.service"


@unittest.skipUnless(ANALYZE, "systemd-analyze is not installed (scripts/setup.sh installs systemd)")
class UnitSandbox(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = tempfile.TemporaryDirectory()
        install("--prefix", cls.prefix.name)
        cls.unit = os.path.join(cls.prefix.name, UNIT)
        # The user manager's view (--user) needs a runtime folder of its own.
        cls.runtime = tempfile.TemporaryDirectory()
        os.chmod(cls.runtime.name, 0o700)
        cls.env = dict(os.environ, XDG_RUNTIME_DIR=cls.runtime.name,
                       MANPATH=os.path.join(cls.prefix.name, "share", "man") + ":")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.cleanup()
        cls.runtime.cleanup()

    def analyze(self, *args):
        return subprocess.run([ANALYZE, *args], capture_output=True, env=self.env, timeout=60)

    def test_the_user_manager_finds_nothing_to_complain_about(self):
        done = self.analyze("verify", "--user", self.unit)
        self.assertEqual((done.returncode, done.stderr.decode()), (0, ""))

    def test_exposure_is_at_most_4(self):
        # The unit sets only what takes effect in a user manager (no IPAddressDeny=, DeviceAllow=
        # or CapabilityBoundingSet=, which it ignores or cannot apply), so the rating counts
        # nothing that is not enforced.
        done = self.analyze("security", "--user", "--offline=true", "--no-pager", self.unit)
        text = done.stdout.decode()
        level = re.search(r"Overall exposure level for vantry-host\.service: ([0-9.]+)", text)
        self.assertIsNotNone(level, text + done.stderr.decode())
        self.assertLessEqual(float(level.group(1)), 4.0, text)
        with open(self.unit, encoding="utf-8") as f:
            settings = f.read()
        for ignored in ("IPAddressDeny=", "IPAddressAllow=", "DeviceAllow=", "DevicePolicy=",
                        "CapabilityBoundingSet=", "AmbientCapabilities="):
            self.assertNotIn("\n" + ignored, settings)


def user_manager_problem():
    """Why no user manager can run here, or None when one can."""
    if not SYSTEMD:
        return "systemd is not installed"
    if not os.path.exists("/run/systemd/system"):
        with open("/proc/1/comm", encoding="utf-8") as f:
            init = f.read().strip()
        return "the machine was not booted with systemd (PID 1 is %s), so no user manager runs" % init
    if not shutil.which("systemctl") or subprocess.run(["systemctl", "--user", "is-system-running"],
                                                       capture_output=True).returncode not in (0, 1):
        return "no user manager answers systemctl --user"
    return None


class UnitLive(unittest.TestCase):
    """Starts the host through the unit in the running user manager and runs a command."""

    def test_the_unit_starts_answers_and_ignores_no_setting(self):
        problem = user_manager_problem()
        if problem:
            self.skipTest(problem)
        name = "vantry-host-test-%d.service" % os.getpid()
        units = os.path.join(os.environ.get("XDG_CONFIG_HOME", os.path.expanduser("~/.config")), "systemd", "user")
        with tempfile.TemporaryDirectory() as prefix:
            install("--prefix", prefix)
            os.makedirs(units, exist_ok=True)
            target = os.path.join(units, name)
            shutil.copy(os.path.join(prefix, UNIT), target)
            since = time.strftime("%Y-%m-%d %H:%M:%S")
            try:
                subprocess.run(["systemctl", "--user", "daemon-reload"], check=True)
                start = subprocess.run(["systemctl", "--user", "start", name], capture_output=True, timeout=60)
                self.assertEqual(start.returncode, 0, start.stderr)
                # Type=notify: start returned once the host answers, so no wait here.
                vantry = os.path.join(prefix, "bin", "vantry")
                env = {k: v for k, v in os.environ.items() if k not in ("VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR",
                                                                      "XDG_DATA_HOME")}
                done = subprocess.run([vantry, "jobs", "list", "--json"], capture_output=True, env=env, timeout=30)
                self.assertEqual(done.returncode, 0, done.stdout)
                journal = subprocess.run(["journalctl", "--user", "-u", name, "--since", since, "--no-pager"],
                                         capture_output=True).stdout.decode()
                self.assertNotRegex(journal, r"(?i)ignoring|not supported|proceeding without")
            finally:
                subprocess.run(["systemctl", "--user", "stop", name], capture_output=True)
                os.remove(target)
                subprocess.run(["systemctl", "--user", "daemon-reload"], capture_output=True)


if __name__ == "__main__":
    unittest.main()
