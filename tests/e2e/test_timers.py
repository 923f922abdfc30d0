"""Timers and time entries through the real vantry and vantry-host."""
import uuid

from data_checks import DataFileChecks
from host_run import Host
from test_host import HostCase


class TimerCase(DataFileChecks, HostCase):
    """A host serving a data folder with two jobs, Acme and Beta."""

    def setUp(self):
        super().setUp()
        self.host = Host(self.folder)
        self.acme = self.ok("jobs", "create", "--name", "Acme", "--rate", "18.5")["job"]["id"]
        self.beta = self.ok("jobs", "create", "--name", "Beta")["job"]["id"]

    def tearDown(self):
        self.host.stop()
        super().tearDown()

    def stored_entries(self):
        return self.stored()["entries"]

    def states(self):
        return [timer["state"] for timer in self.ok("timer", "status")["active"]]


class Lifecycle(TimerCase):
    def test_a_working_day(self):
        request_id = str(uuid.uuid4()).upper()
        started = self.ok("--request-id", request_id, "timer", "clock-in", "Acme")
        entry = started["entry"]
        self.assertEqual((entry["id"], entry["jobID"], entry["source"], entry["rate"]),
                         (request_id, self.acme, "Agent CLI timer", 18.5))
        self.assertNotIn("end", entry)
        # Clocking in again keeps the timer that runs.
        self.assertEqual(self.ok("timer", "clock-in", self.acme.lower())["entry"], entry)

        status = self.ok("timer", "status")
        self.assertEqual(set(status), {"active", "multipleTimers", "asOf"})
        self.assertEqual(len(status["active"]), 1)
        timer = status["active"][0]
        self.assertEqual(set(timer), {"entry", "job", "revision", "workedSeconds", "state"})
        self.assertEqual((timer["entry"]["id"], timer["job"]["name"], timer["state"]), (request_id, "Acme", "working"))
        self.assertGreaterEqual(timer["workedSeconds"], 0)
        self.assertEqual(self.ok("timer", "status", "--job", "Beta")["active"], [])

        on_break = self.ok("timer", "break", "--paid", "true", "--kind", "Lunch")["entry"]
        self.assertEqual([(p["paid"], p["kind"], "end" in p) for p in on_break["pauses"]], [(True, "Lunch", False)])
        self.assertEqual(self.states(), ["paid-break"])
        self.fails(["timer", "break"], "invalid_argument",
                   "Resume the existing break before choosing a different break type.")
        self.ok("timer", "resume", request_id)
        self.assertEqual(self.states(), ["working"])
        self.ok("timer", "break", request_id, "--paid", "false")
        self.assertEqual(self.states(), ["unpaid-break"])

        # Clocking in for Beta stops Acme's timer and its break: one timer at a time.
        beta = self.ok("timer", "clock-in", self.beta)["entry"]
        acme = next(e for e in self.stored_entries() if e["id"] == request_id)
        self.assertIn("end", acme)
        self.assertTrue(all("end" in p for p in acme["pauses"]))
        ended = self.ok("timer", "clock-out")["entry"]
        self.assertEqual(ended["id"], beta["id"])
        self.assertIn("end", ended)
        self.assertEqual(self.ok("timer", "status")["active"], [])
        self.fails(["timer", "clock-out"], "invalid_argument",
                   "Specify --entry when there is not exactly one active timer.")
        self.fails(["timer", "resume", request_id], "invalid_argument", "This timer has already ended.")
        again = self.ok("timer", "clock-out", request_id)
        self.assertEqual(again["entry"], self.ok("entries", "show", request_id)["entry"])

        listed = self.ok("entries", "list", "--range", "today")
        self.assertEqual((listed["total"], listed["limit"], listed["offset"]), (2, 100, 0))
        self.assertEqual({e["id"] for e in listed["items"]}, {request_id, beta["id"]})
        self.assertEqual(self.ok("entries", "list", "--running", "true")["total"], 0)
        self.assertEqual([e["id"] for e in self.ok("entries", "list", "--job", "Beta")["items"]], [beta["id"]])


class Entries(TimerCase):
    def test_create_correct_copy_delete(self):
        made = self.ok("entries", "create", "--job", "Acme", "--start", "2026-03-02T09:00:00-05:00",
                       "--end", "2026-03-02T17:00:00-05:00", "--patch", '{"tags":["site"],"comment":"Shift"}')
        entry = made["entry"]
        self.assertEqual((entry["start"], entry["end"], entry["source"], entry["tags"]),
                         ("2026-03-02T14:00:00Z", "2026-03-02T22:00:00Z", "Agent CLI", ["site"]))
        shown = self.ok("entries", "show", entry["id"])
        self.assertEqual(shown, made)

        # A forgotten clock-out, corrected against the revision just read.
        fixed = self.ok("entries", "update", entry["id"], "--end", "2026-03-02T16:30:00-05:00",
                        "--if-match", shown["revision"])
        self.assertEqual(fixed["entry"]["end"], "2026-03-02T21:30:00Z")
        self.fails(["entries", "update", entry["id"], "--comment", "x", "--if-match", shown["revision"]],
                   "conflict", "This record changed. Read it again before applying your update.", retryable=True)
        self.fails(["entries", "update", entry["id"], "--end", "2026-03-02T08:00:00-05:00"], "invalid_argument",
                   "A time entry contains invalid dates, amounts, or a missing job.")
        self.fails(["entries", "create", "--job", "Acme"], "invalid_argument",
                   "Supply --start for a manual entry, or use timer clock-in.")

        # A running copy of the corrected entry, then one made to run: one timer at a time.
        before = self.data_bytes()
        dry = self.ok("entries", "update", entry["id"], "--running", "true", "--dry-run")
        self.assertEqual((dry["dryRun"], "end" in dry["entry"]), (True, False))
        self.assertEqual(self.data_bytes(), before)
        copy = self.ok("entries", "copy", entry["id"])["entry"]
        self.assertEqual((copy["start"], copy["end"], copy["comment"]), (entry["start"], "2026-03-02T21:30:00Z", "Shift"))
        self.assertNotEqual(copy["id"], entry["id"])
        running = self.ok("entries", "update", entry["id"], "--patch", '{"end":null}')["entry"]
        self.assertNotIn("end", running)
        self.ok("timer", "clock-in", "Beta")
        self.assertIn("end", self.ok("entries", "show", entry["id"])["entry"])
        self.fails(["entries", "update", entry["id"], "--job", "Nobody"], "not_found",
                   "Choose a unique job UUID from pellam jobs list.")

        deleted = self.ok("entries", "delete", copy["id"])
        self.assertEqual(deleted["deletedEntry"]["id"], copy["id"])
        self.assertNotIn(copy["id"], [e["id"] for e in self.stored_entries()])
        self.fails(["entries", "delete", copy["id"]], "not_found", "That entry no longer exists.")
        self.fails(["entries", "copy", "Acme"], "invalid_argument",
                   "--id must be a UUID from the corresponding list command.")


class Replay(TimerCase):
    def test_a_replayed_clock_in_returns_the_first_answer(self):
        request_id = str(uuid.uuid4()).upper()
        first = self.run_vantry("--request-id", request_id, "timer", "clock-in", self.acme)
        self.assertEqual(first[0], 0, first)
        self.ok("timer", "clock-out")
        before = self.data_bytes()
        # The stored answer comes back as it was, though the timer has stopped since.
        self.assertEqual(self.run_vantry("--request-id", request_id, "timer", "clock-in", self.acme), first)
        self.assertEqual(self.data_bytes(), before)
        self.assertEqual(len(self.stored_entries()), 1)
        # The same identifier with other arguments is another request.
        status, envelope = self.run_vantry("--request-id", request_id, "timer", "clock-in", self.beta)
        self.assertEqual((status, envelope["error"]["code"]), (1, "id_conflict"))
        self.assertEqual(len(self.stored_entries()), 1)
