"""Records that time or an older version left invalid, through a real vantry-host: a timer left
running for more than 366 days (the clocks of host and client moved together by libfaketime)
and an archive saved with a date in year 20000. Everything stays readable; what would change
such a record names it; mending it works."""
import datetime
import json
import os
import shutil
import tempfile
import unittest

from host_run import Host
from vantry_run import vantry

FAKETIME_LIBRARY = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"
EPOCH_2001 = datetime.datetime(2001, 1, 1, tzinfo=datetime.timezone.utc)


def shifted_clock(offset):
    """This environment with the wall clock moved by `offset` (libfaketime's "+400d" form)."""
    env = dict(os.environ)
    env["LD_PRELOAD"] = FAKETIME_LIBRARY
    env["FAKETIME"] = offset
    env["FAKETIME_DONT_RESET"] = "1"
    # A real clock jump moves the wall clock only; faking the monotonic one as well would put
    # the host's timed waits (the heartbeat's) 400 days away.
    env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"
    return env


class UntouchedRecordsCase(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.folder = os.path.join(self.scratch.name, "store")
        self.env = None

    def tearDown(self):
        self.scratch.cleanup()

    def run_vantry(self, *args):
        status, out, err = vantry("--json", "--data-dir", self.folder, "--timeout", "20", *args, env=self.env)
        self.assertEqual(err, b"")
        return status, json.loads(out)

    def ok(self, *args):
        status, envelope = self.run_vantry(*args)
        self.assertEqual(status, 0, envelope)
        return envelope["data"]

    def refused(self, *args):
        status, envelope = self.run_vantry(*args)
        self.assertEqual(status, 1, envelope)
        return envelope["error"]

    def archive(self):
        with open(os.path.join(self.folder, "pellam.json"), "rb") as f:
            return json.loads(f.read())


@unittest.skipUnless(os.path.exists(FAKETIME_LIBRARY) and shutil.which("faketime"),
                     "libfaketime is not installed (Debian package faketime); the engine's tests cover the rule")
@unittest.skipIf(os.environ.get("PELLAM_SANITIZED") == "1",
                 "libfaketime beside the sanitizers' interceptors is unsupported; the normal build runs this")
class TimerPastTheLimit(UntouchedRecordsCase):
    def test_a_timer_left_running_for_400_days_can_be_mended(self):
        with Host(self.folder):
            job = self.ok("jobs", "create", "--name", "Cafe")["job"]["id"]
            timer = self.ok("timer", "clock-in", "Cafe")["entry"]
            self.ok("jobs", "create", "--name", "Other")  # a backup that holds the running timer
        started = timer["start"]

        self.env = shifted_clock("+400d")
        with Host(self.folder, env=self.env) as host:
            # Everything that leaves the timer alone works.
            self.assertIn("timer.clock-out", self.ok("capabilities")["engineCommands"])
            self.assertEqual(self.ok("entries", "list")["total"], 1)
            self.assertEqual(len(self.ok("timer", "status")["active"]), 1)
            self.assertEqual(self.ok("reports", "summary", "--range", "all")["workedSeconds"], 0)
            self.ok("export", "json")
            self.ok("jobs", "update", "Other", "--rate", "20")

            # Stopping it now would record 400 days; it is refused with the way out.
            message = ("Time entry %s has been running for more than 366 days, the longest an entry may last, so it "
                       "cannot be ended or changed now. Set its end with vantry entries update %s --end <ISO>, or "
                       "remove it with vantry entries delete %s." % (timer["id"], timer["id"], timer["id"]))
            self.assertEqual(self.refused("timer", "clock-out"),
                             {"code": "invalid_argument", "message": message, "retryable": False})
            self.assertEqual(self.refused("timer", "clock-in", "Other")["message"], message)

            # A backup taken while the timer ran can still be previewed and restored.
            backups = self.ok("backups", "list")["items"]
            self.assertTrue(backups)
            for backup in backups:
                self.ok("backups", "preview", backup["id"])
            newest = max(backups, key=lambda b: b["createdAt"])
            preview = self.ok("backups", "preview", newest["id"])["preview"]
            self.ok("backups", "restore", newest["id"], "--preview", preview)

            # Mended by giving it an end: the timer commands work again.
            end = (datetime.datetime.fromisoformat(started.replace("Z", "+00:00")) +
                   datetime.timedelta(hours=8)).strftime("%Y-%m-%dT%H:%M:%SZ")
            ended = self.ok("entries", "update", timer["id"], "--end", end)["entry"]
            self.assertEqual(ended["end"], end)
            self.ok("timer", "clock-in", "Cafe")
            self.ok("timer", "clock-out")
            self.assertNotIn("data_unreadable", host.log_text())
        self.assertEqual(len(self.archive()["entries"]), 2)
        self.assertTrue(job)


class DatesOutsideTheCalendar(UntouchedRecordsCase):
    def test_an_archive_with_a_date_in_year_20000_is_read_and_mended(self):
        with Host(self.folder):
            self.ok("jobs", "create", "--name", "Cafe")
            self.ok("jobs", "create", "--name", "Bar")
            entry = self.ok("entries", "create", "--job", "Cafe", "--start", "2026-03-02T09:00:00Z",
                            "--end", "2026-03-02T17:00:00Z")["entry"]["id"]
        # Saved by an older version: an entry in year 20000 and a pay anchor there too.
        year_20000 = 5.68e11  # seconds since 2001: April of year 20000
        archive = self.archive()
        archive["entries"][0]["start"] = year_20000
        archive["entries"][0]["end"] = year_20000 + 3600
        bar = next(job for job in archive["jobs"] if job["name"] == "Bar")
        bar["payAnchor"] = year_20000
        with open(os.path.join(self.folder, "pellam.json"), "w") as f:
            json.dump(archive, f)

        with Host(self.folder) as host:
            shown = self.ok("entries", "show", entry)["entry"]
            self.assertTrue(shown["start"].startswith("20000-"), shown["start"])
            self.assertEqual(self.ok("entries", "list")["total"], 1)
            self.ok("reports", "summary", "--range", "all")
            self.ok("reports", "payperiod", "--job", "Bar")
            self.ok("export", "csv")
            # A change elsewhere is saved, the far records with it as they were.
            self.ok("jobs", "update", "Cafe", "--rate", "21")
            self.assertEqual(self.archive()["entries"][0]["start"], year_20000)

            # A change of the far entry that keeps its date names it.
            error = self.refused("entries", "update", entry, "--comment", "x")
            self.assertEqual(error["code"], "invalid_argument")
            self.assertEqual(error["message"],
                             "Time entry %s has a date outside the years 0001 to 9999. Correct it with vantry "
                             "entries update %s --start <ISO> --end <ISO>, or remove it with vantry entries delete "
                             "%s." % (entry, entry, entry))
            self.assertEqual(self.refused("jobs", "update", "Bar", "--rate", "5")["message"],
                             "Check the pay, rounding, or location settings for Bar.")
            # New far dates never enter.
            self.assertEqual(self.refused("entries", "update", entry, "--patch", '{"start": 5.68e11}')["message"],
                             "Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
                             "2026-10-22T09:00:00-04:00.")

            # Mended.
            self.ok("entries", "update", entry, "--start", "2026-03-02T09:00:00Z", "--end", "2026-03-02T17:00:00Z")
            self.ok("jobs", "update", "Bar", "--pay-anchor", "2026-01-05T00:00:00Z")
            self.ok("entries", "update", entry, "--comment", "mended")
            self.assertNotIn("data_unreadable", host.log_text())
        saved = self.archive()
        self.assertEqual(saved["entries"][0]["comment"], "mended")
        self.assertEqual(saved["entries"][0]["start"], (datetime.datetime(2026, 3, 2, 9, tzinfo=datetime.timezone.utc)
                                                        - EPOCH_2001).total_seconds())


if __name__ == "__main__":
    unittest.main()
