"""Import through the real vantry and vantry-host: what `export` writes, `import` reads back."""
import csv
import io
import json
import os

from host_run import Host
from test_reports_export import ReportsCase
from vantry_run import vantry

EPOCH_2001 = 978307200


class Imports(ReportsCase):
    def setUp(self):
        super().setUp()
        self.fresh = os.path.join(self.scratch.name, "fresh")

    def in_fresh(self, *args):
        status, out, err = vantry("--json", "--data-dir", self.fresh, "--timeout", "10", *args)
        self.assertEqual(err, b"")
        return status, json.loads(out)

    def fresh_ok(self, *args):
        status, envelope = self.in_fresh(*args)
        self.assertEqual(status, 0, envelope)
        return envelope["data"]

    def exported_file(self, fmt, *args):
        _, data = self.exported(fmt, *args)
        path = os.path.join(self.scratch.name, "import." + fmt)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def fresh_archive(self):
        with open(os.path.join(self.fresh, "pellam.json"), "rb") as f:
            return json.loads(f.read())

    def test_csv_round_trip_then_nothing_new(self):
        with self.host:
            path = self.exported_file("csv", "--range", "all")
        with open(self.data_file, "rb") as f:
            source = json.loads(f.read())
        with Host(self.fresh):
            preview = self.fresh_ok("import", "preview", path)
            self.assertEqual(preview["detail"],
                             "Add 3 entries and 2 jobs. Skip 0 duplicates. Existing entries stay as they are.")
            self.assertEqual((preview["applied"], preview["dryRun"], preview["entries"]), (False, False, 3))
            self.assertFalse(os.path.exists(os.path.join(self.fresh, "pellam.json")))

            status, refused = self.in_fresh("import", "apply", path, "--preview", "0" * 64)
            self.assertNotEqual(status, 0)
            self.assertEqual(refused["error"], {
                "code": "preview_conflict", "retryable": True,
                "message": "The file or current records changed, or the preview token is missing. "
                           "Run import preview again."})

            applied = self.fresh_ok("import", "apply", path, "--preview", preview["preview"])
            self.assertTrue(applied["applied"])
            again = self.fresh_ok("import", "preview", path)
            self.assertEqual(again["detail"],
                             "Add 0 entries and 0 jobs. Skip 3 duplicates. Existing entries stay as they are.")
        imported = {e["id"]: e for e in self.fresh_archive()["entries"]}
        self.assertEqual(sorted(imported), sorted(e["id"] for e in source["entries"]))
        for original in source["entries"]:
            copy = imported[original["id"]]
            for key in ("start", "end"):
                self.assertEqual(int(copy[key]), int(original[key]))
            for key in ("rate", "tips", "miles", "tags", "comment", "pauses", "manualBreakMinutes"):
                self.assertEqual(copy[key], original[key], key)
            self.assertEqual(copy["source"], "CSV import")

    def test_marks_quotes_and_formulas_come_back_through_csv(self):
        # A combining mark at the start, a quote followed by one, and formula-like values.
        comments = ["\u0301abc", 'say "\u0301hi"', '=HYPERLINK("http://x","y")']
        names = ["-5 crew\u0301", "\u0301Caf\u00e9"]
        with open(self.data_file, "rb") as f:
            archive = json.loads(f.read())
        for job, name in zip(archive["jobs"], names):
            job["name"] = name
        for entry, comment in zip(archive["entries"], comments):
            entry["comment"] = comment
        with open(self.data_file, "w") as f:
            json.dump(archive, f)
        with self.host:
            path = self.exported_file("csv", "--range", "all")
        with open(path, "rb") as f:
            data = f.read().decode("utf-8")
        for field in ['"\u0301abc"', '"say ""\u0301hi"""', '"\'=HYPERLINK(""http://x"",""y"")"',
                      '"\'-5 crew\u0301"', '"\u0301Caf\u00e9"']:
            self.assertIn("," + field + ",", data)
        # Python's csv reads what a spreadsheet shows: the values, with the added quote.
        rows = list(csv.reader(io.StringIO(data, newline=""), strict=True))
        read = {(row[1], row[12]) for row in rows[1:]}
        self.assertEqual(read, {("'-5 crew\u0301", "\u0301abc"), ("\u0301Caf\u00e9", 'say "\u0301hi"'),
                                ("'-5 crew\u0301", "'=HYPERLINK(\"http://x\",\"y\")")})
        with Host(self.fresh):
            preview = self.fresh_ok("import", "preview", path)
            self.assertEqual(preview["detail"],
                             "Add 3 entries and 2 jobs. Skip 0 duplicates. Existing entries stay as they are.")
            self.fresh_ok("import", "apply", path, "--preview", preview["preview"])
        imported = self.fresh_archive()
        self.assertEqual(sorted(job["name"] for job in imported["jobs"]), sorted(names))
        self.assertEqual(sorted(entry["comment"] for entry in imported["entries"]), sorted(comments))

    def test_json_backup_round_trip(self):
        with self.host:
            path = self.exported_file("json")
        with open(path, "rb") as f:
            backup = json.loads(f.read())
        with Host(self.fresh):
            self.fresh_ok("jobs", "create", "--name", "Replaced")
            preview = self.fresh_ok("import", "preview", path)
            self.assertEqual(preview["detail"],
                             "Replace all records with 2 jobs and 3 entries. The app saves a local backup first. "
                             "0 running timers resume from their original starts.")
            dry = self.fresh_ok("--dry-run", "import", "apply", path, "--preview", preview["preview"])
            self.assertEqual((dry["applied"], dry["dryRun"]), (False, True))
            self.assertEqual(self.job_names_in_fresh(), ["Replaced"])
            self.fresh_ok("import", "apply", path, "--preview", preview["preview"])
        self.assertEqual(self.fresh_archive(), backup)
        self.assertTrue(os.listdir(os.path.join(self.fresh, "Backups")))

    def job_names_in_fresh(self):
        return [job["name"] for job in self.fresh_ok("jobs", "list")["items"]]

    def test_too_large_a_file_is_refused(self):
        path = os.path.join(self.scratch.name, "big.csv")
        with open(path, "wb") as f:
            f.write(b"a" * 600001)
        with self.host:
            status, envelope = self.run_vantry("import", "preview", path)
        self.assertNotEqual(status, 0)
        self.assertEqual(envelope["error"], {"code": "invalid_argument", "retryable": False,
                                             "message": "Choose a regular file no larger than 600000 bytes."})
