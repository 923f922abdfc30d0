"""Reminders shown through a real session bus: a private dbus-daemon per host, a stand-in
notification server on it that records every Notify call (notification_listener.py), and
vantry-host instances whose clocks libfaketime moves to a few seconds before a minute, so that
a reminder falls due without waiting for a real one. The hosts all wait for the same minute at
once, each in its own situation, so the whole file takes about ten seconds."""
import datetime
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from zoneinfo import ZoneInfo

from host_run import Host
from vantry_run import vantry

FAKETIME_LIBRARY = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"
DBUS_DAEMON = shutil.which("dbus-daemon")
LISTENER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "notification_listener.py")
ZONE = "Asia/Kolkata"  # +05:30: neither the machine's zone nor a whole hour from UTC

SUMMARY = "Time to clock in"
BODY = "No Vantry timer is running. Start one with: vantry timer clock-in JOB"
NO_BUS = "vantry-host: reminders cannot be shown: no session bus"


def python_with_gi():
    """An interpreter that has GLib's bindings (python3-gi serves the system one)."""
    for candidate in (sys.executable, "/usr/bin/python3"):
        if candidate and os.path.exists(candidate) and subprocess.run(
                [candidate, "-c", "from gi.repository import Gio"], capture_output=True).returncode == 0:
            return candidate
    return None


GI_PYTHON = python_with_gi() if DBUS_DAEMON else None


def wait_for(condition, what, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


class Bus:
    """A private session bus with a notification server on it, which records the Notify calls."""

    def __init__(self, folder, hang=False):
        self.folder = folder
        self.daemon = subprocess.Popen([DBUS_DAEMON, "--session", "--nofork", "--print-address",
                                        "--address=unix:path=" + os.path.join(folder, "bus")],
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.address = self.daemon.stdout.readline().decode().strip()
        self.calls_path = os.path.join(folder, "notify.jsonl")
        with open(self.calls_path, "wb") as out:
            self.listener = subprocess.Popen([GI_PYTHON, LISTENER] + (["--hang"] if hang else []), stdout=out,
                                             env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address))
        wait_for(lambda: self.lines()[:1] == ["ready"], "the notification server")

    def lines(self):
        with open(self.calls_path, "rb") as f:
            return f.read().decode().splitlines()

    def calls(self):
        return [json.loads(line) for line in self.lines()[1:]]

    def stop(self):
        for process in (self.listener, self.daemon):
            process.terminate()
            process.wait(timeout=10)


@unittest.skipUnless(DBUS_DAEMON, "dbus-daemon is not installed (Debian package dbus-daemon)")
@unittest.skipUnless(GI_PYTHON, "GLib's Python bindings are not installed (Debian package python3-gi)")
@unittest.skipUnless(os.path.exists(FAKETIME_LIBRARY), "libfaketime is not installed (Debian package faketime)")
@unittest.skipIf(os.environ.get("PELLAM_SANITIZED") == "1",
                 "libfaketime beside the sanitizers' interceptors is unsupported; the normal build runs this")
class Reminders(unittest.TestCase):
    """Every situation gets its own folder, bus and host; all of them meet one minute."""

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        # Wall clocks 12 seconds before a minute, moved together for every host and client here.
        # The monotonic clock stays real: libfaketime moves it too, but not the deadlines of
        # the waits on it (the heartbeat's), which would then wait the offset longer.
        now = time.time()
        cls.offset = int((48 - now % 60) % 60)
        cls.clock = dict(os.environ, LD_PRELOAD=FAKETIME_LIBRARY, FAKETIME="%+d" % cls.offset, FAKETIME_DONT_RESET="1",
                         FAKETIME_DONT_FAKE_MONOTONIC="1")
        cls.clock.pop("DBUS_SESSION_BUS_ADDRESS", None)
        cls.buses, cls.hosts, cls.envs = {}, {}, {}
        try:
            cls.start_all()
            cls.arrange_all()
        except BaseException:
            cls.stop_all()
            raise
        # A second past the minute the hosts have surely asked; one more shows that nothing
        # comes twice.
        time.sleep(max(0, cls.minute + 2.5 - cls.fake_now()))
        cls.answered_in = cls.time_request("hung")
        time.sleep(0.5)
        cls.results = {name: bus.calls() for name, bus in cls.buses.items()}
        # A host started again within the hour remembers that it showed the reminder.
        cls.hosts["due"].stop()
        cls.hosts["due"] = Host(cls.folder("due"), env=cls.envs["due"])
        time.sleep(1.5)
        cls.after_restart = cls.buses["due"].calls()
        cls.logs = {name: host.log_text() for name, host in cls.hosts.items()}
        cls.still_serving = vantry("--json", "app", "status", env=cls.client("no-bus"))[0] == 0
        cls.stop_all()

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    @classmethod
    def fake_now(cls):
        return time.time() + cls.offset

    @classmethod
    def folder(cls, name):
        return os.path.join(cls.scratch.name, name, "data")

    @classmethod
    def client(cls, name):
        return dict(cls.clock, VANTRY_DATA_DIR=cls.folder(name))

    @classmethod
    def start_all(cls):
        situations = {  # name: (host options, a bus? and how it answers)
            "due": ([], "answers"), "timer-running": ([], "answers"), "no-reminders": (["--no-reminders"], "answers"),
            "turned-off": ([], "answers"), "locked": ([], "answers"), "moved-onto": ([], "answers"),
            "moved-away": ([], "answers"), "edited-onto": ([], "answers"), "hung": ([], "hangs"), "no-bus": ([], None)}
        for name, (options, bus) in situations.items():
            os.makedirs(os.path.dirname(cls.folder(name)))
            env = dict(cls.clock)
            if bus:
                cls.buses[name] = Bus(os.path.dirname(cls.folder(name)), hang=bus == "hangs")
                env["DBUS_SESSION_BUS_ADDRESS"] = cls.buses[name].address
            else:
                env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(cls.scratch.name, name, "no-bus")
                env.pop("XDG_RUNTIME_DIR", None)
            cls.envs[name] = env
            cls.hosts[name] = Host(cls.folder(name), *options, env=env)

    @classmethod
    def ok(cls, name, *args):
        status, out, _ = vantry("--json", *args, env=cls.client(name))
        if status != 0:
            raise AssertionError("vantry %s failed in %s: %s" % (" ".join(args), name, out))
        return json.loads(out)["data"]

    @classmethod
    def remind_at(cls, name, instant, enabled=True):
        """Sets the reminder to the minute of `instant` in ZONE, on that day's weekday only."""
        local = datetime.datetime.fromtimestamp(instant, ZoneInfo(ZONE))
        weekday = local.isoweekday() % 7 + 1  # 1 = Sunday
        cls.ok(name, "preferences", "set", "--time-zone", ZONE, "--reminders-enabled", "true" if enabled else "false",
               "--reminder-hour", str(local.hour), "--reminder-minute", str(local.minute),
               "--reminder-weekdays", "[%d]" % weekday)

    @classmethod
    def arrange_all(cls):
        cls.ok("timer-running", "jobs", "create", "--name", "Cafe")
        cls.ok("timer-running", "timer", "clock-in", "Cafe")
        # The minute they all wait for: the next one with time to spare (the one after on a
        # machine so slow that the preferences might not be in place before it).
        cls.minute = (int(cls.fake_now() + 4) // 60 + 1) * 60
        for name in ("due", "timer-running", "no-reminders", "locked", "moved-away", "hung", "no-bus"):
            cls.remind_at(name, cls.minute)
        cls.remind_at("turned-off", cls.minute, enabled=False)
        cls.ok("locked", "app", "lock")
        for name in ("moved-onto", "edited-onto"):
            cls.remind_at(name, cls.minute + 60)
        # The hosts have read those; now the changes, shortly before the minute.
        time.sleep(max(0, cls.minute - 2 - cls.fake_now()))
        cls.remind_at("moved-onto", cls.minute)
        cls.remind_at("moved-away", cls.minute + 60)
        # Another program edits the data file.
        data = os.path.join(cls.folder("edited-onto"), "pellam.json")
        with open(data, "rb") as f:
            archive = json.loads(f.read())
        local = datetime.datetime.fromtimestamp(cls.minute, ZoneInfo(ZONE))
        archive["preferences"]["reminderHour"], archive["preferences"]["reminderMinute"] = local.hour, local.minute
        with open(data + ".edit", "w") as f:
            json.dump(archive, f)
        os.replace(data + ".edit", data)
        if cls.fake_now() > cls.minute - 0.5:
            raise AssertionError("the machine is too slow to arrange the reminders before their minute")

    @classmethod
    def time_request(cls, name):
        started = time.monotonic()
        cls.ok(name, "app", "status")
        return time.monotonic() - started

    @classmethod
    def stop_all(cls):
        if "hung" in cls.buses:
            cls.buses["hung"].stop()  # the host's call in hand fails at once instead of timing out
        for host in cls.hosts.values():
            host.stop()
        for bus in cls.buses.values():
            bus.stop()

    def test_a_due_reminder_arrives_once_with_its_text(self):
        calls = self.results["due"]
        self.assertEqual(len(calls), 1, calls)
        self.assertEqual((calls[0]["app"], calls[0]["summary"], calls[0]["body"]), ("Vantry", SUMMARY, BODY))
        self.assertEqual(calls[0]["hints"], {"urgency": 1})
        self.assertEqual(calls[0]["expire"], 600000)
        self.assertEqual(self.logs["due"].count("vantry-host: reminder shown"), 1)
        self.assertNotIn(NO_BUS, self.logs["due"])
        self.assertEqual(self.after_restart, calls)

    def test_none_while_a_timer_runs_turned_off_or_locked(self):
        for name in ("timer-running", "no-reminders", "turned-off", "locked"):
            with self.subTest(name):
                self.assertEqual(self.results[name], [])
        self.assertNotIn("vantry-host: reminder", self.logs["no-reminders"])

    def test_a_preference_change_reschedules_at_once(self):
        for name in ("moved-onto", "edited-onto"):
            with self.subTest(name):
                self.assertEqual([call["summary"] for call in self.results[name]], [SUMMARY])
        self.assertEqual(self.results["moved-away"], [])

    def test_a_hung_notification_server_does_not_hold_up_requests(self):
        self.assertEqual(len(self.results["hung"]), 1)  # the call was in hand
        self.assertLess(self.answered_in, 2.0)  # the call waits up to 5 seconds, not the request

    def test_without_a_bus_the_host_says_so_once_and_serves(self):
        log = self.logs["no-bus"]
        self.assertEqual(log.count(NO_BUS), 1, log)
        self.assertIn(NO_BUS + " (No such file or directory); serving without them", log)
        self.assertTrue(self.still_serving)


if __name__ == "__main__":
    unittest.main()
