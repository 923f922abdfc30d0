"""Reports and exports through the real vantry and vantry-host, files written with --out."""
import base64
import csv
import hashlib
import io
import json
import os
import shutil
import subprocess
import sys
import unittest
import uuid
import zipfile

from host_run import Host
from test_host import HostCase
from vantry_run import VANTRY

EPOCH_2001 = 978307200  # the archive counts seconds from 2001-01-01T00:00:00Z
AT = "2026-10-22T09:00:00-04:00"  # a Thursday; its week (from Monday) is 19 to 25 October


def stamp(unix):
    return unix - EPOCH_2001


def entry(job_id, start, end, rate, **fields):
    record = {"id": str(uuid.uuid4()).upper(), "jobID": job_id, "start": stamp(start), "end": stamp(end),
              "pauses": [], "manualBreakMinutes": 0, "timeAdjustmentMinutes": 0, "rate": rate, "tips": 0,
              "miles": 0, "adjustment": 0, "adjustmentTaxable": True, "comment": "", "tags": [],
              "source": "Manual"}
    record.update(fields)
    return record


def openpyxl_or_none():
    try:
        import openpyxl
    except ImportError:
        sys.path.append("/usr/lib/python3/dist-packages")  # Debian's python3-openpyxl
        try:
            import openpyxl
        except ImportError:
            return None
    return openpyxl


class ReportsCase(HostCase):
    """Two jobs (USD and EUR) and three finished entries in the week of 19 October 2026, in
    New York time; a host serving them."""

    def setUp(self):
        super().setUp()
        self.data_file = os.path.join(self.folder, "pellam.json")
        with Host(self.folder):
            self.acme = self.ok("jobs", "create", "--name", "Acme", "--rate", "25", "--withholding", "10")["job"]["id"]
            self.cafe = self.ok("jobs", "create", "--name", "Corner Caf\u00e9", "--rate", "20",
                                "--currency", "EUR", "--mileage-rate", "0.5")["job"]["id"]
        # Entries cannot be made through vantry yet: write them while no host runs.
        with open(self.data_file, "rb") as f:
            archive = json.loads(f.read())
        archive["preferences"]["timeZone"] = "America/New_York"
        archive["preferences"]["weekStartsOn"] = 2
        monday = 1792382400  # 2026-10-19T04:00:00Z, midnight in New York
        hour = 3600
        # Acme is paid weekly, Friday to Thursday.
        archive["jobs"][0].update(schedule="Weekly", payAnchor=stamp(monday - 3 * 24 * hour))
        archive["entries"] = [
            entry(self.acme, monday + 33 * hour, monday + 41 * hour, 25, tags=["plumbing/pipes"],
                  comment='Fixed the "big" sink, then left\nearly'),
            # 22:00 to 02:00 local: a line on each day; tips and miles on the later one.
            entry(self.cafe, monday + 46 * hour, monday + 50 * hour, 20, tips=5, miles=10),
            entry(self.acme, monday - 10 * 24 * hour, monday - 10 * 24 * hour + 2 * hour, 25),  # the week before
        ]
        with open(self.data_file, "w") as f:
            json.dump(archive, f)
        self.host = Host(self.folder)
        self.out = os.path.join(self.scratch.name, "out")
        os.mkdir(self.out)

    def tearDown(self):
        self.host.stop()
        super().tearDown()

    def refused(self, args, status, code, message):
        got, envelope = self.run_vantry(*args)
        self.assertEqual((got, envelope["error"]), (status, {"code": code, "message": message, "retryable": False}))
        self.assertIsNone(envelope["data"])

    def exported(self, *args):
        """Runs an export with --out to a new file; returns (result, the file's bytes)."""
        path = os.path.join(self.out, "file-%d" % len(os.listdir(self.out)))
        result = self.ok("export", *args, "--out", path)
        self.assertEqual(result["path"], path)
        self.assertNotIn("base64", result)
        with open(path, "rb") as f:
            data = f.read()
        self.assertEqual(os.stat(path).st_mode & 0o777, 0o600)
        self.assertEqual((result["bytes"], result["sha256"]), (len(data), hashlib.sha256(data).hexdigest()))
        self.assertEqual([n for n in os.listdir(self.out) if n.startswith(".")], [])
        return result, data


class Reports(ReportsCase):
    def test_summary_daily_and_pay_period(self):
        summary = self.ok("reports", "summary", "--range", "week", "--at", AT)
        self.assertEqual(summary, {
            "currencies": [
                {"currency": "EUR", "workedSeconds": 14400, "regularSeconds": 14400, "overtimeSeconds": 0,
                 "doubleTimeSeconds": 0, "gross": "85", "withholding": "0", "reimbursement": "5", "net": "90"},
                {"currency": "USD", "workedSeconds": 28800, "regularSeconds": 28800, "overtimeSeconds": 0,
                 "doubleTimeSeconds": 0, "gross": "200", "withholding": "20", "reimbursement": "0", "net": "180"}],
            "workedSeconds": 43200, "timeZone": "America/New_York", "weekStartsOn": 2,
            "from": "2026-10-19T04:00:00Z", "before": "2026-10-26T04:00:00Z"})

        daily = self.ok("reports", "daily", "--range", "week", "--at", AT)
        # By day, then by job identifier (random here).
        first_day = sorted([(self.acme, "Acme", "200"), (self.cafe, "Corner Caf\u00e9", "40")])
        self.assertEqual([(d["day"], d["jobID"], d["job"], d["gross"]) for d in daily["days"]],
                         [("2026-10-20T04:00:00Z",) + group for group in first_day] +
                         [("2026-10-21T04:00:00Z", self.cafe, "Corner Caf\u00e9", "45")])

        everything = self.ok("reports", "summary", "--range", "all")
        self.assertEqual((everything["from"], everything["before"], everything["workedSeconds"]), (None, None, 50400))

        period = self.ok("reports", "pay-period", "--job", "Acme", "--at", AT)
        self.assertEqual((period["from"], period["before"], period["workedSeconds"]),
                         ("2026-10-16T04:00:00Z", "2026-10-23T04:00:00Z", 28800))
        self.refused(["reports", "payperiod", "--range", "all"], 1, "invalid_argument", "Supply --job.")
        self.refused(["reports", "summary", "--at", "2026-10-22"], 1, "invalid_argument",
                     "Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.")


class Exports(ReportsCase):
    def test_csv_is_read_back_by_pythons_csv_module(self):
        result, data = self.exported("csv", "--range", "week", "--at", AT)
        self.assertEqual((result["filename"], result["mimeType"]), ("Vantry Entries.csv", "text/csv"))
        rows = list(csv.reader(io.StringIO(data.decode("utf-8"), newline=""), strict=True))
        self.assertEqual(rows[0][:4], ["Entry ID", "Job", "Start", "End"])
        self.assertEqual(len(rows), 3)  # the week's two entries, newest first
        self.assertEqual([r[1] for r in rows[1:]], ["Corner Caf\u00e9", "Acme"])
        acme = dict(zip(rows[0], rows[2]))
        self.assertEqual(acme["Comment"], 'Fixed the "big" sink, then left\nearly')
        self.assertEqual(acme["Tags"], '["plumbing\\/pipes"]')
        self.assertEqual(json.loads(acme["Tags"]), ["plumbing/pipes"])
        self.assertEqual((acme["Start"], acme["Break Minutes"], acme["Rate"]), ("2026-10-20T13:00:00Z", "0.0", "25"))
        self.assertTrue(data.endswith(b"\r\n"))

    def test_xlsx_opens_as_a_workbook(self):
        result, data = self.exported("xlsx", "--range", "week", "--at", AT)
        self.assertEqual(result["filename"], "Vantry Report.xlsx")
        book = zipfile.ZipFile(io.BytesIO(data))
        self.assertIsNone(book.testzip())
        self.assertTrue(all(i.compress_type == zipfile.ZIP_STORED for i in book.infolist()))
        openpyxl = openpyxl_or_none()
        if openpyxl is None:
            self.skipTest("openpyxl cannot be imported (install the Debian package python3-openpyxl)")
        sheet = openpyxl.load_workbook(io.BytesIO(data)).active
        rows = [[c.value.date().isoformat() if c.is_date else c.value for c in row] for row in sheet.iter_rows()]
        # By day, then by job identifier (random here).
        first_day = [row for _, row in sorted([(self.acme, ["2026-10-20", "Acme", "USD", 8, 8, 0, 0, 200, 20, 0, 180]),
                                               (self.cafe, ["2026-10-20", "Corner Caf\u00e9", "EUR", 2, 2, 0, 0, 40, 0, 0,
                                                            40])])]
        self.assertEqual(rows, [
            ["Date", "Job", "Currency", "Hours", "Regular hours", "Overtime hours", "Double-time hours", "Gross",
             "Withholding", "Mileage", "Net"]] + first_day + [
            ["2026-10-21", "Corner Caf\u00e9", "EUR", 2, 2, 0, 0, 45, 0, 5, 50]])
        self.assertEqual(sheet.freeze_panes, "A2")

    def test_xlsx_keeps_carriage_returns_and_cuts_overlong_text(self):
        # The first name holds CR LF and reaches the limit of 32,767 UTF-16 code units with an
        # emoji (two units) at the boundary; the second is 40,000 characters long.
        head = "Night\nShift\r\nCrew "
        crew = head + "x" * (32766 - len(head)) + "\U0001F600 and more"
        long_name = "C" * 40000
        long_comment = "\u00e9" * 40000
        with open(self.data_file, "rb") as f:
            archive = json.loads(f.read())
        archive["jobs"][0]["name"], archive["jobs"][1]["name"] = crew, long_name
        archive["entries"][0]["comment"] = long_comment
        with open(self.data_file, "w") as f:
            json.dump(archive, f)
        with self.host:
            _, data = self.exported("xlsx", "--range", "week", "--at", AT)
            _, text = self.exported("csv", "--range", "week", "--at", AT)
            _, backup = self.exported("json")
        openpyxl = openpyxl_or_none()
        if openpyxl is None:
            self.skipTest("openpyxl cannot be imported (install the Debian package python3-openpyxl)")
        sheet = openpyxl.load_workbook(io.BytesIO(data)).active
        names = {row[1].value for row in sheet.iter_rows(min_row=2)}
        self.assertEqual(names, {crew[:32766], long_name[:32767]})
        # The CSV and the backup keep the whole text.
        rows = list(csv.reader(io.StringIO(text.decode("utf-8"), newline=""), strict=True))
        self.assertEqual({(row[1], row[12]) for row in rows[1:]}, {(long_name, ""), (crew, long_comment)})
        saved = json.loads(backup)
        self.assertEqual(sorted(job["name"] for job in saved["jobs"]), sorted([crew, long_name]))

    def test_libreoffice_does_not_run_csv_values_as_formulas(self):
        soffice = shutil.which("soffice") or shutil.which("libreoffice")
        if soffice is None:
            self.skipTest("LibreOffice is not installed (Debian package libreoffice-calc-nogui)")
        values = ["=1+2", "+3+4", "-5+6", "@SUM(1,2)", '=HYPERLINK("http://example.com","x")']
        with open(self.data_file, "rb") as f:
            archive = json.loads(f.read())
        archive["jobs"][0]["name"], archive["jobs"][1]["name"] = values[0], values[4]
        for entry, comment in zip(archive["entries"], values[1:4]):
            entry["comment"] = comment
        with open(self.data_file, "w") as f:
            json.dump(archive, f)
        with self.host:
            _, data = self.exported("csv", "--range", "all")
        entries = os.path.join(self.scratch.name, "entries.csv")
        with open(entries, "wb") as f:
            f.write(data)
        profile = "file://" + os.path.join(self.scratch.name, "lo-profile")
        subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--infilter=CSV:44,34,76,1",
                        "--convert-to", "xlsx", "--outdir", self.out, entries],
                       check=True, capture_output=True, timeout=180)
        openpyxl = openpyxl_or_none()
        if openpyxl is None:
            self.skipTest("openpyxl cannot be imported (install the Debian package python3-openpyxl)")
        sheet = openpyxl.load_workbook(os.path.join(self.out, "entries.xlsx")).active
        cells = [(row[1], row[12]) for row in sheet.iter_rows(min_row=2)]
        self.assertEqual(len(cells), 3)
        for cell in [c for pair in cells for c in pair if c.value]:
            self.assertNotEqual(cell.data_type, "f", cell.value)  # text, never a formula
        shown = {str(c.value) for pair in cells for c in pair if c.value}
        for value in values:
            self.assertTrue(any(value in text for text in shown), (value, shown))

    def test_libreoffice_reads_the_same_values(self):
        soffice = shutil.which("soffice") or shutil.which("libreoffice")
        if soffice is None:
            self.skipTest("LibreOffice is not installed (Debian package libreoffice-calc-nogui)")
        _, data = self.exported("xlsx", "--range", "week", "--at", AT)
        book = os.path.join(self.scratch.name, "week.xlsx")
        with open(book, "wb") as f:
            f.write(data)
        profile = "file://" + os.path.join(self.scratch.name, "lo-profile")
        subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--convert-to",
                        "csv:Text - txt - csv (StarCalc):44,34,76,1,,1033", "--outdir", self.scratch.name, book],
                       check=True, capture_output=True, timeout=180)
        with open(os.path.join(self.scratch.name, "week.csv"), encoding="utf-8", newline="") as f:
            rows = list(csv.reader(f))
        # Shown as the sheet formats them: dates in the short US form (language 1033), numbers with two decimals.
        first_day = [row for _, row in sorted([
            (self.acme, ["10/20/2026", "Acme", "USD", "8.00", "8.00", "0.00", "0.00", "200.00", "20.00", "0.00", "180.00"]),
            (self.cafe, ["10/20/2026", "Corner Caf\u00e9", "EUR", "2.00", "2.00", "0.00", "0.00", "40.00", "0.00", "0.00",
                         "40.00"])])]
        self.assertEqual(rows, [
            ["Date", "Job", "Currency", "Hours", "Regular hours", "Overtime hours", "Double-time hours", "Gross",
             "Withholding", "Mileage", "Net"]] + first_day + [
            ["10/21/2026", "Corner Caf\u00e9", "EUR", "2.00", "2.00", "0.00", "0.00", "45.00", "0.00", "5.00", "50.00"]])

    def test_text_report_and_json_backup(self):
        result, data = self.exported("txt", "--range", "week", "--at", AT)
        self.assertEqual((result["filename"], result["mimeType"]), ("Vantry Report.txt", "text/plain; charset=utf-8"))
        text = data.decode("utf-8")
        self.assertTrue(text.startswith("VANTRY \u2014 REPORT\nGenerated 2026-10-22T13:00:00Z\n"), text)
        self.assertIn("\n2026-10-20 | Acme | 8.00 | 8.00 | 0.00 | 0.00 | USD 200 | USD 180\n", text)
        self.assertTrue(text.endswith("Estimated net including mileage: USD 180\n"), text)

        result, data = self.exported()
        self.assertEqual(result["filename"], "Vantry Backup.json")
        with open(self.data_file, "rb") as f:
            self.assertEqual(json.loads(data), json.loads(f.read()))

    def test_never_over_anything_and_dry_runs_write_nothing(self):
        taken = os.path.join(self.out, "taken.csv")
        with open(taken, "w") as f:
            f.write("mine")
        folder = os.path.join(self.out, "folder.csv")
        os.mkdir(folder)
        link = os.path.join(self.out, "link.csv")
        os.symlink(os.path.join(self.out, "nowhere"), link)
        for target in (taken, folder, link):
            self.refused(["export", "csv", "--out", target], 1, "output_exists",
                         "The output already exists. Choose a new --out path; Vantry never silently overwrites exports.")
        with open(taken) as f:
            self.assertEqual(f.read(), "mine")
        self.assertEqual(sorted(os.listdir(self.out)), ["folder.csv", "link.csv", "taken.csv"])

        fresh = os.path.join(self.out, "a", "..", "fresh.xlsx")
        dry = self.ok("export", "xlsx", "--out", fresh, "--dry-run")
        self.assertEqual(dry["wouldWrite"], os.path.join(self.out, "fresh.xlsx"))
        self.assertNotIn("base64", dry)
        self.assertEqual(sorted(os.listdir(self.out)), ["folder.csv", "link.csv", "taken.csv"])

    def test_refusals(self):
        self.refused(["export", "JSON", "--out", os.path.join(self.out, "x")], 1, "invalid_argument",
                     "--format must be json, csv, xlsx, or txt (text is an alias).")
        self.refused(["export", "--range", "week"], 1, "invalid_argument",
                     "JSON exports are complete backups. Use CSV or XLSX for a filtered export.")
        self.refused(["export", "csv", "--range", "weekly"], 1, "invalid_argument",
                     "--range must be all, today, week, month, year, or pay-period.")
        self.refused(["reports", "summary", "--out", os.path.join(self.out, "x")], 2, "invalid_argument",
                     "--out is only available for export.")
        self.assertEqual(os.listdir(self.out), [])
        # Without --out the file comes back in the answer.
        result = self.ok("export", "text", "--range", "week", "--at", AT)
        self.assertTrue(base64.b64decode(result["base64"]).startswith("VANTRY \u2014 REPORT\n".encode()))

    def vantry_in(self, folder, *args):
        """Runs vantry in `folder`; returns (status, stdout bytes) after checking stderr is silent."""
        done = subprocess.run([VANTRY, "--data-dir", self.folder, *args], capture_output=True, cwd=folder,
                              timeout=60)
        self.assertEqual(done.stderr, b"")
        return done.returncode, done.stdout

    def test_out_dash_prints_the_file_and_nothing_else(self):
        week = ["--range", "week", "--at", AT]
        for selection in (["txt", *week], ["csv", *week], ["xlsx", *week], ["json"]):
            expected = base64.b64decode(self.ok("export", *selection)["base64"])
            for mode in ([], ["--json"]):
                self.assertEqual(self.vantry_in(self.out, *mode, "export", *selection, "--out", "-"), (0, expected),
                                 selection + mode)
        self.assertEqual(os.listdir(self.out), [])
        # ./- still names a file.
        expected = base64.b64decode(self.ok("export", "csv", *week)["base64"])
        status, out = self.vantry_in(self.out, "--json", "export", "csv", *week, "--out", "./-")
        self.assertEqual((status, json.loads(out)["data"]["path"]), (0, os.path.join(self.out, "-")))
        with open(os.path.join(self.out, "-"), "rb") as f:
            self.assertEqual(f.read(), expected)

    def test_out_dash_failures_and_dry_runs_print_the_envelope(self):
        refused = {"code": "invalid_argument", "message": "--format must be json, csv, xlsx, or txt (text is an alias).",
                   "retryable": False}
        for mode, lines in (([], None), (["--json"], 1)):
            status, out = self.vantry_in(self.out, *mode, "export", "JSON", "--out", "-")
            envelope = json.loads(out)
            self.assertEqual((status, envelope["ok"], envelope["error"]), (1, False, refused), mode)
            self.assertEqual(out.count(b"\n") == 1, lines == 1, mode)
        status, out = self.vantry_in(self.out, "--json", "export", "csv", "--out", "-", "--dry-run")
        data = json.loads(out)["data"]
        self.assertEqual((status, data["wouldWrite"], "base64" in data), (0, "-", False))
        self.assertEqual(os.listdir(self.out), [])


class LargeExports(HostCase):
    def test_an_answer_over_32_mb_is_refused_and_nothing_is_written(self):
        data_file = os.path.join(self.folder, "pellam.json")
        with Host(self.folder):
            job = self.ok("jobs", "create", "--name", "Acme")["job"]["id"]
        with open(data_file, "rb") as f:
            archive = json.loads(f.read())
        # About 26 MB of archive: its Base64 alone passes 32 MB.
        note = "x" * 900
        start = 1577880000  # 2020-01-01T12:00:00Z
        archive["entries"] = [entry(job, start + n * 3600, start + n * 3600 + 1800, 20, comment=note)
                              for n in range(26000)]
        with open(data_file, "w") as f:
            json.dump(archive, f)
        target = os.path.join(self.scratch.name, "backup.json")
        with Host(self.folder):
            status, envelope = self.run_vantry("export", "json", "--out", target, timeout="60")
            self.assertEqual((status, envelope["error"]),
                             (1, {"code": "response_too_large",
                                  "message": "The response exceeds 32 MB. Narrow the export or list filters.",
                                  "retryable": False}))
            self.assertFalse(os.path.exists(target))
            # A narrower export of the same archive still fits.
            result = self.ok("export", "csv", "--from", "2020-01-01", "--through", "2020-01-31",
                             "--out", os.path.join(self.scratch.name, "january.csv"))
            self.assertGreater(result["bytes"], 0)


if __name__ == "__main__":
    unittest.main()
