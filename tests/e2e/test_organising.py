"""Preferences, tags and saved views through the real vantry and vantry-host."""
import json
import os
import unittest
import uuid

from data_checks import DataFileChecks
from host_run import Host
from test_host import HostCase

EPOCH_2001 = 978307200  # the archive counts seconds from 2001-01-01T00:00:00Z


class OrganisingCase(DataFileChecks, HostCase):
    """A data folder with one job and entries tagged as given, and a host serving it."""

    TAGS = [["travel", "client"], ["client"], ["zeta", "alpha"], ["client", "travel", "alpha"]]

    def setUp(self):
        super().setUp()
        self.data_file = os.path.join(self.folder, "pellam.json")
        with Host(self.folder):
            self.job_id = self.ok("jobs", "create", "--name", "Acme")["job"]["id"]
        # Entries cannot be made through vantry yet: write them while no host runs.
        with open(self.data_file, "rb") as f:
            archive = json.loads(f.read())
        start = 1772460000 - EPOCH_2001  # 2026-03-02T14:00:00Z
        for n, tags in enumerate(self.TAGS):
            archive["entries"].append({
                "id": str(uuid.uuid4()).upper(), "jobID": self.job_id, "start": start + n * 86400,
                "end": start + n * 86400 + 7200, "pauses": [], "manualBreakMinutes": 0,
                "timeAdjustmentMinutes": 0, "rate": 20, "tips": 0, "miles": 0, "adjustment": 0,
                "adjustmentTaxable": True, "comment": "", "tags": tags, "source": "Manual"})
        with open(self.data_file, "w") as f:
            json.dump(archive, f)
        self.host = Host(self.folder)

    def tearDown(self):
        self.host.stop()
        super().tearDown()


class Preferences(OrganisingCase):
    def test_get_and_set(self):
        got = self.ok("preferences", "get")
        self.assertEqual(set(got), {"preferences", "revision", "dryRun"})
        self.assertEqual(got["preferences"]["weekStartsOn"], 2)

        changed = self.ok("preferences", "set", "--week-starts-on", "1", "--decimal-hours", "true",
                          "--if-match", got["revision"])
        self.assertEqual((changed["preferences"]["weekStartsOn"], changed["preferences"]["decimalHours"]), (1, True))
        self.assertEqual(self.stored()["preferences"]["weekStartsOn"], 1)
        self.ok("preferences", "set", "--patch", '{"weekStartsOn":2,"decimalHours":true}')
        self.assertEqual(self.ok("preferences", "get")["preferences"]["weekStartsOn"], 2)

        self.fails(["preferences", "set", "--reminder-hour", "3", "--if-match", got["revision"]], "conflict",
                   "This record changed. Read it again before applying your update.", retryable=True)
        self.fails(["preferences", "set", "--patch", '{"weekStartsOn":null}'], "invalid_argument",
                   "weekStartsOn cannot be null.")
        self.fails(["preferences", "set", "--time-zone", "Mars/Olympus"], "invalid_argument", "Invalid preferences.")
        self.fails(["preferences", "get", "--patch", "{}"], "invalid_argument",
                   "Unknown arguments for preferences.get: patch.")


class Tags(OrganisingCase):
    def tags(self):
        return self.ok("tags", "list")["items"]

    def test_rename_merge_remove(self):
        self.assertEqual(self.tags(), ["alpha", "client", "travel", "zeta"])
        self.assertEqual(self.ok("tags", "list", "--limit", "2", "--offset", "1"),
                         {"items": ["client", "travel"], "total": 4, "limit": 2, "offset": 1})
        view = self.ok("filters", "create", "--name", "Clients", "--tag", "client")["filter"]

        renamed = self.ok("tags", "rename", "client", "  customer ")
        self.assertEqual(renamed, {"from": "client", "to": "customer", "affectedEntries": 3, "dryRun": False})
        entries = self.stored()["entries"]
        self.assertEqual([e["tags"] for e in entries],
                         [["customer", "travel"], ["customer"], ["zeta", "alpha"], ["alpha", "customer", "travel"]])
        self.assertEqual(self.ok("filters", "list")["items"][0]["tag"], "customer")

        merged = self.ok("tags", "merge", "travel", "customer")
        self.assertEqual(merged["affectedEntries"], 2)
        self.assertEqual(self.tags(), ["alpha", "customer", "zeta"])

        before = self.data_bytes()
        dry = self.ok("tags", "remove", "customer", "--dry-run")
        self.assertEqual(dry, {"from": "customer", "to": "", "affectedEntries": 3, "dryRun": True})
        self.assertEqual(self.data_bytes(), before)

        self.ok("tags", "remove", "customer")
        self.assertEqual([e["tags"] for e in self.stored()["entries"]], [[], [], ["zeta", "alpha"], ["alpha"]])
        self.assertEqual(self.ok("filters", "list")["items"][0], dict(view, tag=""))

    def test_refusals(self):
        self.ok("filters", "create", "--name", "Only here", "--tag", "view-only")
        self.fails(["tags", "merge", "view-only", "client"], "not_found", "That tag does not exist.")
        self.fails(["tags", "rename", "Client", "x"], "not_found", "That tag does not exist.")
        self.fails(["tags", "rename", "client", " \t "], "invalid_argument", "The new tag name cannot be empty.")
        self.fails(["tags", "rename", "client"], "invalid_argument", "Supply --to.")
        self.fails(["tags", "remove", "client", "--to", "x"], "invalid_argument",
                   "Unknown arguments for tags.remove: to.")


class SavedViews(OrganisingCase):
    def test_create_update_delete(self):
        request_id = str(uuid.uuid4()).upper()
        week = self.ok("filters", "create", "--name", "Week", "--request-id", request_id)["filter"]
        self.assertEqual(week["id"], request_id)
        self.assertEqual((week["range"], week["query"], week["tag"]), ("This week", "", ""))
        self.assertNotIn("jobID", week)
        self.assertEqual(week["from"], week["through"])

        acme = self.ok("filters", "create", "--name", "Acme", "--range", "All time", "--job-id", self.job_id)
        acme_id = acme["filter"]["id"]
        self.assertEqual(acme["filter"]["jobID"], self.job_id)
        self.assertEqual([v["name"] for v in self.ok("filters", "list")["items"]], ["Week", "Acme"])

        # The option's text "null" is a string, which is no identifier; only a JSON null clears.
        before = self.data_bytes()
        status, envelope = self.run_vantry("filters", "update", acme_id, "--job-id", "null")
        self.assertEqual((status, envelope["error"]["code"]), (1, "invalid_argument"))
        self.assertTrue(envelope["error"]["message"].startswith("Invalid patch value: "), envelope)
        self.assertEqual(self.data_bytes(), before)
        cleared = self.ok("filters", "update", acme_id, "--patch", '{"jobID":null}', "--if-match", acme["revision"])
        self.assertNotIn("jobID", cleared["filter"])
        self.assertNotIn("jobID", self.stored()["filters"][1])
        self.fails(["filters", "delete", acme_id, "--if-match", acme["revision"]], "conflict",
                   "This record changed. Read it again before applying your update.", retryable=True)

        deleted = self.ok("filters", "delete", acme_id)
        self.assertEqual(deleted["deletedFilter"], cleared["filter"])
        self.assertEqual(deleted["revision"], cleared["revision"])
        self.assertEqual([v["id"] for v in self.stored()["filters"]], [request_id])
        self.fails(["filters", "delete", acme_id], "not_found", "That saved view does not exist.")
        self.fails(["filters", "update", "Week", "--name", "x"], "invalid_argument",
                   "--id must be a UUID from the corresponding list command.")
        self.fails(["filters", "create", "--name", "Never", "--range", "Never"], "invalid_argument",
                   "A saved view contains an invalid name, job, or date range.")


if __name__ == "__main__":
    unittest.main()
