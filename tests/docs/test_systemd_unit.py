"""The installed user unit verifies, is sandboxed, and (where a user manager can run) serves."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import private_user_manager
from test_install import BUILD, install

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
    """Why no user manager of the session answers here, or None when one does."""
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


# The unit's own lines in the log that say a setting did not take effect. (Without a journal
# daemon, as under the private manager, every unit's output goes to /dev/null "ignoring" the
# missing journal socket: that is about the machine, not a setting.)
IGNORED_SETTING = r"(?i)ignoring|not supported|proceeding without"
NO_JOURNAL = "Failed to connect stdout to the journal socket"


def hidden_by_private_tmp(path):
    return any(path == top or path.startswith(top + "/") for top in ("/tmp", "/var/tmp"))


class UnitLive(unittest.TestCase):
    """Starts the host through the unit in a user manager and runs a command: the session's
    manager where one runs, else (as root, where PID 1 is not systemd) a private one."""

    def test_the_unit_starts_answers_and_ignores_no_setting(self):
        no_session = user_manager_problem()
        no_private = private_user_manager.problem() if no_session else None
        if no_session and no_private:
            self.skipTest("%s; %s" % (no_session, no_private))
        name = "vantry-host-test-%d.service" % os.getpid()
        # Outside /tmp and /var/tmp: the unit's private ones would hide a program (and a home)
        # there. A build folder there (a clone in /tmp) gives way to the user's home, which
        # the unit sees read-only. The manager takes absolute paths only.
        parent = next((p for p in (os.path.realpath(BUILD), os.path.realpath(os.path.expanduser("~")))
                       if not hidden_by_private_tmp(p)), None)
        if parent is None:
            self.skipTest("the build folder and the home folder are both where the unit's private /tmp hides them")
        with tempfile.TemporaryDirectory(dir=parent, prefix=".vantry-unit-live-") as work:
            prefix = os.path.join(work, "prefix")
            install("--prefix", prefix)
            env = {k: v for k, v in os.environ.items() if k not in ("VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR",
                                                                  "XDG_DATA_HOME")}
            manager = None
            log = os.path.join(work, "manager.log")
            if no_session:
                # A fresh home (no data folder yet) with a manager of its own.
                home = os.path.join(work, "home")
                runtime = os.path.join(work, "runtime")
                os.makedirs(home)
                os.makedirs(runtime, mode=0o700)
                env.update(HOME=home, XDG_RUNTIME_DIR=runtime)
                env.pop("XDG_CONFIG_HOME", None)
                manager = subprocess.Popen([sys.executable, private_user_manager.__file__, home, runtime, log],
                                           stdin=subprocess.PIPE, stdout=subprocess.PIPE)
                self.addCleanup(manager.stdout.close)
                ready = manager.stdout.readline().decode().strip()
                if ready != "ready":
                    manager.stdin.close()
                    manager.wait(timeout=60)
                    with open(log, encoding="utf-8", errors="replace") as f:
                        self.fail("%s\n%s" % (ready, f.read()))
            units = os.path.join(env.get("XDG_CONFIG_HOME", os.path.join(env["HOME"], ".config")), "systemd", "user")
            os.makedirs(units, exist_ok=True)
            target = os.path.join(units, name)
            shutil.copy(os.path.join(prefix, UNIT), target)
            since = time.strftime("%Y-%m-%d %H:%M:%S")
            try:
                subprocess.run(["systemctl", "--user", "daemon-reload"], check=True, env=env)
                start = subprocess.run(["systemctl", "--user", "start", name], capture_output=True, env=env,
                                       timeout=60)
                self.assertEqual(start.returncode, 0, start.stderr.decode() + self.unit_log(manager, log, name, since,
                                                                                             env))
                # Type=notify: start returned once the host answers, so no wait here.
                vantry = os.path.join(prefix, "bin", "vantry")
                done = subprocess.run([vantry, "jobs", "list", "--json"], capture_output=True, env=env, timeout=30)
                self.assertEqual(done.returncode, 0, done.stdout)
                self.assertTrue(json.loads(done.stdout)["ok"], done.stdout)
            finally:
                subprocess.run(["systemctl", "--user", "stop", name], capture_output=True, env=env)
                os.remove(target)
                subprocess.run(["systemctl", "--user", "daemon-reload"], capture_output=True, env=env)
                if manager:
                    manager.stdin.close()
                    manager.wait(timeout=90)
            journal = self.unit_log(manager, log, name, since, env)
            if manager:
                # The log is read: the manager's notes on the unit are there.
                self.assertIn(name + ": " + NO_JOURNAL, journal)
                journal = "".join(line for line in journal.splitlines(True) if NO_JOURNAL not in line)
            self.assertNotRegex(journal, IGNORED_SETTING)

    @staticmethod
    def unit_log(manager, log, name, since, env):
        if manager is None:
            return subprocess.run(["journalctl", "--user", "-u", name, "--since", since, "--no-pager"],
                                  capture_output=True, env=env).stdout.decode()
        with open(log, encoding="utf-8", errors="replace") as f:
            return "".join(line for line in f if name in line)


if __name__ == "__main__":
    unittest.main()
