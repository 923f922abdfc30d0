"""The transport client's refusals, driven through the real vantry with status and response
files written by hand (no host runs here)."""
import base64
import json
import os
import tempfile
import time
import unittest
import uuid

import agent_files as af
from small_disk import mount_small_disk
from vantry_run import vantry

ID = "0F8FAD5B-D9CB-469F-A165-70867728950E"
UNSAFE = ("unsafe_path", "Agent transport paths must not be symbolic links.")
UNAVAILABLE = ("app_unavailable", "Open Vantry on this Mac and enable Agent access in Settings. Use --data-dir only "
                                  "for an explicitly selected store.")
STALE = ("app_unavailable", "The Vantry app heartbeat is stale. Open Vantry and retry after it becomes active.")
ID_CONFLICT = ("id_conflict", "This request ID belongs to different arguments. Reuse a request ID only for the "
                              "identical command, arguments, and dry-run setting.")
INVALID_RESPONSE = ("invalid_response", "The app returned a response for a different request or protocol.")


class Transport(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.folder = os.path.join(self.scratch.name, "store")
        os.mkdir(self.folder)
        self.api = af.api(self.folder)

    def tearDown(self):
        self.scratch.cleanup()

    def run_vantry(self, *args, timeout="2"):
        status, out, err = vantry("--json", "--data-dir", self.folder, "--timeout", timeout, *args)
        self.assertEqual(err, b"")
        return status, json.loads(out)

    def assertFailure(self, args, code_message, exit_status=1, timeout="2"):
        status, envelope = self.run_vantry(*args, timeout=timeout)
        self.assertEqual(status, exit_status, envelope)
        self.assertFalse(envelope["ok"])
        self.assertEqual((envelope["error"]["code"], envelope["error"]["message"]), code_message)
        return envelope

    def requests(self):
        folder = os.path.join(self.api, "Requests")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def test_status_refusals(self):
        def link_api():
            os.rename(self.api, self.api + ".real")
            os.symlink(self.api + ".real", self.api)

        def link_status():
            status = os.path.join(self.api, "status.json")
            os.rename(status, status + ".real")
            os.symlink(status + ".real", status)

        def oversized():
            af.write(os.path.join(self.api, "status.json"), b" " * 65537)

        cases = [
            ("no status file", lambda: None, UNAVAILABLE, False),
            ("status folder is a link", link_api, UNSAFE, True),
            ("status file is a link", link_status, UNSAFE, True),
            ("status over 64 KiB", oversized, UNAVAILABLE, True),
            ("status not JSON", lambda: af.write(os.path.join(self.api, "status.json"), b"{"),
             ("invalid_status", "Vantry's local agent status is unreadable. Reopen the app."), True),
            ("status of version 2", lambda: af.write_status(self.folder, version=2),
             ("unsupported_version", "Update Vantry and the CLI together."), True),
            ("heartbeat 5 s old", lambda: af.write_status(self.folder, age_seconds=5), STALE, True),
            ("heartbeat 3 s ahead", lambda: af.write_status(self.folder, age_seconds=-3), STALE, True),
            ("agent access off", lambda: af.write_status(self.folder, enabled=False),
             ("agent_disabled", "Enable Agent access in Vantry Settings."), True),
            ("app locked", lambda: af.write_status(self.folder, locked=True),
             ("app_locked", "Unlock Vantry in the app before using agent commands."), True),
        ]
        for label, prepare, expected, with_status in cases:
            with self.subTest(label):
                self.tearDown()
                self.setUp()
                if with_status:
                    af.write_status(self.folder)
                prepare()
                self.assertFailure(["jobs", "list"], expected)
                self.assertEqual(self.requests(), [])

    def test_doctor_reports_readiness_and_never_refuses_a_heartbeat_it_can_read(self):
        cases = [
            ("ready", {}, True, True),
            ("heartbeat 5 s old", {"age_seconds": 5}, False, False),
            ("heartbeat 3 s ahead", {"age_seconds": -3}, False, False),
            ("agent access off", {"enabled": False}, True, False),
            ("app locked", {"locked": True}, True, False),
        ]
        for label, status_fields, fresh, ready in cases:
            with self.subTest(label):
                af.write_status(self.folder, **status_fields)
                status, envelope = self.run_vantry("doctor")
                self.assertEqual((status, envelope["ok"], envelope["requestID"]), (0, True, None))
                data = envelope["data"]
                self.assertEqual((data["fresh"], data["ready"], data["dataDirectory"]), (fresh, ready, self.folder))
                self.assertEqual(data["status"]["enabled"], status_fields.get("enabled", True))
        self.assertEqual(self.requests(), [])

    def test_a_locked_app_still_takes_status_show_and_unlock(self):
        for words in (["app", "status"], ["app", "show"], ["app", "unlock"]):
            # A fresh heartbeat each time: every wait below takes a second of it.
            af.write_status(self.folder, locked=True)
            # Nobody answers here: the request is written and the wait ends without an answer.
            envelope = self.run_vantry(*words, timeout="1")[1]
            self.assertEqual(envelope["error"]["code"], "outcome_unknown", words)
        self.assertEqual(len(self.requests()), 3)

    def test_transport_folders_that_are_links_are_refused(self):
        for name in ("Requests", "Responses"):
            with self.subTest(name):
                self.tearDown()
                self.setUp()
                af.write_status(self.folder)
                elsewhere = os.path.join(self.scratch.name, "elsewhere")
                os.mkdir(elsewhere)
                os.symlink(elsewhere, os.path.join(self.api, name))
                self.assertFailure(["jobs", "list"], UNSAFE)
                self.assertEqual(os.listdir(elsewhere), [])

    def test_folders_are_created_private_and_tightened(self):
        af.write_status(self.folder)
        os.chmod(self.api, 0o755)
        os.mkdir(os.path.join(self.api, "Requests"), 0o755)
        self.run_vantry("jobs", "list", timeout="1")
        for name in ("", "Requests", "Responses"):
            self.assertEqual(os.stat(os.path.join(self.api, name)).st_mode & 0o777, 0o700, name)
        (request,) = self.requests()
        self.assertEqual(os.stat(os.path.join(self.api, "Requests", request)).st_mode & 0o777, 0o600)

    def test_timeout_leaves_the_request_and_says_how_to_replay(self):
        af.write_status(self.folder)
        started = time.monotonic()
        envelope = self.assertFailure(["--request-id", ID.lower(), "jobs", "list"],
                                      ("outcome_unknown", unknown_message(ID)), timeout="1")
        self.assertGreaterEqual(time.monotonic() - started, 1.0)
        self.assertTrue(envelope["error"]["retryable"])
        self.assertEqual(envelope["requestID"], ID)
        self.assertEqual(self.requests(), [ID + ".json"])
        with open(os.path.join(self.api, "Requests", ID + ".json"), "rb") as f:
            request = json.loads(f.read())
        self.assertEqual((request["id"], request["command"], request["arguments"], request["dryRun"]),
                         (ID, "jobs.list", {}, False))
        # The same identifier again while the request still waits (on a fresh heartbeat).
        af.write_status(self.folder)
        self.assertFailure(["--request-id", ID, "jobs", "list"],
                           ("request_pending", "This request ID is already pending. Inspect its result before "
                                               "retrying."))

    def test_stored_responses_are_checked_before_they_are_believed(self):
        good_print = af.fingerprint("jobs.list")
        def answer_path():
            return os.path.join(self.api, "Responses", ID + ".json")

        def oversized():
            af.write(answer_path(), b"")
            os.truncate(answer_path(), 32_000_001)

        def linked():
            target = os.path.join(self.scratch.name, "answer.json")
            af.write(target, af.response_bytes(ID, data={"x": 1}, print_=good_print))
            os.symlink(target, answer_path())

        cases = [
            ("no fingerprint", af.response_bytes(ID, data={"total": 0}), ID_CONFLICT),
            ("another fingerprint", af.response_bytes(ID, data={"total": 0}, print_=af.fingerprint("jobs.show")),
             ID_CONFLICT),
            ("another dry-run setting", af.response_bytes(ID, print_=af.fingerprint("jobs.list", dry_run=True)),
             ID_CONFLICT),
            ("another version", af.response_bytes(ID, print_=good_print, version=2), INVALID_RESPONSE),
            ("another identifier", af.response_bytes(str(uuid.uuid4()).upper(), print_=good_print), INVALID_RESPONSE),
            ("over 32 MB", oversized,
             ("response_too_large", "The response exceeds 32 MB. Narrow the export or list filters.")),
            ("a link", linked, UNSAFE),
        ]
        for label, content, expected in cases:
            with self.subTest(label):
                self.tearDown()
                self.setUp()
                af.write_status(self.folder)
                os.makedirs(os.path.join(self.api, "Responses"))
                if callable(content):
                    content()
                else:
                    af.write_response(self.folder, ID, content)
                self.assertFailure(["--request-id", ID, "jobs", "list"], expected)
                self.assertEqual(self.requests(), [])  # a replay writes no request

    def test_a_stored_answer_is_replayed_as_it_is(self):
        af.write_status(self.folder)
        args = {"archived": "true"}
        af.write_response(self.folder, ID, af.response_bytes(ID, data={"items": [], "total": 0},
                                                             print_=af.fingerprint("jobs.list", args)))
        status, envelope = self.run_vantry("--request-id", ID, "jobs", "list", "--archived", "true")
        self.assertEqual((status, envelope), (0, {"schema": 1, "ok": True, "data": {"items": [], "total": 0},
                                                  "error": None, "requestID": ID}))
        self.assertEqual(self.requests(), [])

    def test_an_app_failure_exits_1_even_for_invalid_argument(self):
        af.write_status(self.folder)
        failure = {"code": "invalid_argument", "message": "Bad.", "retryable": False}
        af.write_response(self.folder, ID, af.response_bytes(ID, ok=False, error=failure,
                                                             print_=af.fingerprint("jobs.list")))
        status, envelope = self.run_vantry("--request-id", ID, "jobs", "list")
        self.assertEqual(status, 1)
        self.assertEqual(envelope["error"], failure)
        self.assertIsNone(envelope["data"])

    def test_a_request_over_1_mib_is_not_written(self):
        # Building this request takes seconds on a slow sanitizer build: a heartbeat almost a
        # second ahead (still fresh) keeps it fresh until the size is checked.
        af.write_status(self.folder, age_seconds=-0.9)
        # Each "/" of this file grows to seven bytes once stored as JSON text inside the request.
        args = os.path.join(self.scratch.name, "args.json")
        af.write(args, json.dumps({"slashes": ["/"] * 200_000}).encode())
        self.assertFailure(["command", "jobs.list", "--args-file", args],
                           ("request_too_large", "The encoded request exceeds 1 MiB. Import files must be at most "
                                                 "600000 bytes."))
        self.assertEqual(self.requests(), [])

    def answer_export(self, data, dry_run=False, ok=True):
        """A stored answer to `export csv` (written as the app would), replayed by ID."""
        af.write_status(self.folder)
        request_id = str(uuid.uuid4()).upper()
        error = None if ok else {"code": "invalid_argument", "message": "No.", "retryable": False}
        af.write_response(self.folder, request_id, af.response_bytes(
            request_id, ok=ok, data=data, error=error,
            print_=af.fingerprint("export", {"format": "csv"}, dry_run=dry_run)))
        return request_id

    def test_export_out_writes_a_new_private_file(self):
        target = os.path.join(self.scratch.name, "sub", "..", "report.csv")
        request_id = self.answer_export({"base64": base64.b64encode(b"a,b\n").decode(), "format": "csv"})
        status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", target)
        written = os.path.join(self.scratch.name, "report.csv")
        self.assertEqual((status, envelope["data"]), (0, {"format": "csv", "path": written}))
        with open(written, "rb") as f:
            self.assertEqual(f.read(), b"a,b\n")
        self.assertEqual(os.stat(written).st_mode & 0o777, 0o600)
        # Never over an existing item, and no temporary file is left behind.
        status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", written)
        self.assertEqual((status, envelope["error"]["code"], envelope["requestID"]), (1, "output_exists", request_id))
        self.assertIsNone(envelope["data"])
        self.assertEqual(sorted(os.listdir(self.scratch.name)), ["report.csv", "store"])

    def test_export_out_expands_a_leading_tilde_to_the_home_folder(self):
        home = os.path.join(self.scratch.name, "home")
        os.mkdir(home)
        request_id = self.answer_export({"base64": base64.b64encode(b"a,b\n").decode()})
        status, out, err = vantry("--json", "--data-dir", self.folder, "--request-id", request_id,
                                  "export", "csv", "--out", "~/report.csv", env={**os.environ, "HOME": home})
        written = os.path.join(home, "report.csv")
        self.assertEqual((status, err, json.loads(out)["data"]), (0, b"", {"path": written}))
        with open(written, "rb") as f:
            self.assertEqual(f.read(), b"a,b\n")

    def test_export_dry_run_reports_where_it_would_write(self):
        target = os.path.join(self.scratch.name, "dry.csv")
        request_id = self.answer_export({"base64": "YQ==", "dryRun": True}, dry_run=True)
        status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", target, "--dry-run")
        self.assertEqual((status, envelope["data"]), (0, {"dryRun": True, "wouldWrite": target}))
        self.assertFalse(os.path.exists(target))

    def test_export_out_needs_a_file_in_the_answer(self):
        target = os.path.join(self.scratch.name, "x.csv")
        for data in ({"rows": 1}, {"base64": "not base64!"}, {"base64": 5}, [1]):
            with self.subTest(data):
                request_id = self.answer_export(data)
                status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", target)
                self.assertEqual((status, envelope["error"]["message"]),
                                 (2, "--out applies to an export that returns a file."))
                self.assertFalse(os.path.exists(target))
        request_id = self.answer_export(None, ok=False)  # a failure: --out is not looked at
        status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", target)
        self.assertEqual((status, envelope["error"]["code"]), (1, "invalid_argument"))

    # The file of an export answer is decoded straight into the --out file, part by part.
    def test_large_export_files_arrive_byte_for_byte(self):
        part = 3 * 64 * 1024  # the client's parts, on either side of whose ends the sizes fall
        for size in (0, 1, part - 1, part, part + 1, 2 * part + 2, 1000003):
            with self.subTest(size=size):
                data = bytes((i * 131 + size) & 0xFF for i in range(size))
                target = os.path.join(self.scratch.name, "f%d.bin" % size)
                request_id = self.answer_export({"base64": base64.b64encode(data).decode()})
                status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", target)
                self.assertEqual((status, envelope["data"]), (0, {"path": target}))
                with open(target, "rb") as f:
                    self.assertEqual(f.read(), data)
        self.assertEqual([n for n in os.listdir(self.scratch.name) if n.startswith(".")], [])

    def test_a_bad_export_file_or_a_cut_answer_leaves_nothing(self):
        target = os.path.join(self.scratch.name, "bad.csv")
        text = base64.b64encode(bytes(range(256)) * 3000).decode()
        late = text[:-100] + "*" + text[-99:]  # found after most of the file was decoded
        for base64_text in (late, text + "QR=="):
            with self.subTest(base64_text[-8:]):
                request_id = self.answer_export({"base64": base64_text})
                status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", target)
                self.assertEqual((status, envelope["error"]["message"]),
                                 (2, "--out applies to an export that returns a file."))
                self.assertEqual(os.listdir(self.scratch.name), ["store"])
        # An answer cut short (a host that died while writing it) does not parse: nothing is written.
        af.write_status(self.folder)
        request_id = str(uuid.uuid4()).upper()
        whole = af.response_bytes(request_id, data={"base64": text},
                                  print_=af.fingerprint("export", {"format": "csv"}, dry_run=False))
        af.write_response(self.folder, request_id, whole[:len(whole) // 2])
        status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", target)
        self.assertEqual((status, envelope["error"]["code"]), (1, "operation_failed"))
        self.assertEqual(os.listdir(self.scratch.name), ["store"])

    def test_a_full_disk_leaves_no_part_of_an_export_file(self):
        disk = mount_small_disk(self, self.scratch.name, "256k")
        try:
            target = os.path.join(disk, "big.csv")
            request_id = self.answer_export({"base64": base64.b64encode(b"x" * 600000).decode()})
            status, envelope = self.run_vantry("--request-id", request_id, "export", "csv", "--out", target)
            self.assertEqual((status, envelope["error"]["code"], envelope["error"]["message"]),
                             (1, "export_failed", "Could not prepare an export in %s." % disk))
            self.assertEqual(os.listdir(disk), [])
        finally:
            self.doCleanups()  # unmounts the disk before the scratch folder holding it goes


def unknown_message(request_id):
    return ("Vantry did not answer before the request timeout. The command may still finish. Inspect the app state "
            "or retry with the same --request-id %s; do not blindly repeat a mutation with a new ID." % request_id)


if __name__ == "__main__":
    unittest.main()
