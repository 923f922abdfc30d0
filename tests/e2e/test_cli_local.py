"""vantry's local commands and parse failures, through the real executable."""
import json
import os
import re
import tempfile
import unittest

import agent_files
from vantry_run import vantry

SOURCE = os.environ.get("PELLAM_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))


def default_docs_url():
    with open(os.path.join(SOURCE, "cli/help_text.h"), encoding="utf-8") as f:
        return re.search(r'"(https://[^"]+)"', f.read()).group(1)


class LocalCommands(unittest.TestCase):
    def test_help_forms_print_the_same_guide(self):
        outputs = []
        for args in ([], ["help"], ["--help"], ["jobs", "--help"]):
            status, out, err = vantry(*args)
            self.assertEqual((status, err), (0, b""), args)
            outputs.append(out)
        self.assertEqual(len(set(outputs)), 1)
        text = outputs[0].decode("utf-8")
        self.assertTrue(text.startswith("Vantry CLI \u2014 local control of your running Mac Vantry app\n"))
        self.assertIn("Settings \u2192 Agent access", text)
        self.assertIn("Wait 1\u2013120 seconds", text)
        self.assertIn("docs [--website-url HTTPS_URL] Print " + default_docs_url() + "\n", text)
        self.assertTrue(text.endswith("ID. Unlock and permission requests use normal macOS authentication/dialogs.\n"))

    def test_help_in_json_mode_carries_the_whole_text(self):
        status, out, _ = vantry("help", "--json")
        _, text, _ = vantry("help")
        envelope = json.loads(out)
        self.assertEqual(status, 0)
        self.assertEqual(envelope["data"]["help"] + "\n", text.decode("utf-8"))
        self.assertEqual(out.count(b"\n"), 1)

    def test_version(self):
        self.assertEqual(vantry("--version"), (0, b"Vantry CLI 1.0 (vantry-cli; protocol 1)\n", b""))
        self.assertEqual(
            vantry("--version", "--json"),
            (0, b'{"data":{"product":"vantry-cli","protocol":1,"version":"1.0"},"error":null,"ok":true,'
                b'"requestID":null,"schema":1}\n', b""))

    def test_docs_address_precedence(self):
        with tempfile.TemporaryDirectory() as empty, tempfile.TemporaryDirectory() as app:
            # The address an app advertises counts even when its heartbeat is an hour old.
            agent_files.write_status(app, age_seconds=3600, websiteURL="https://app.example/docs")
            env = {k: v for k, v in os.environ.items() if k not in ("VANTRY_WEBSITE_URL", "PELLAM_WEBSITE_URL")}
            env["VANTRY_DATA_DIR"] = empty
            cases = [
                ([], {}, default_docs_url()),
                ([], {"VANTRY_DATA_DIR": app}, "https://app.example/docs"),
                ([], {"VANTRY_DATA_DIR": app, "PELLAM_WEBSITE_URL": "https://b.example"}, "https://b.example"),
                ([], {"VANTRY_WEBSITE_URL": "https://a.example", "PELLAM_WEBSITE_URL": "https://b.example"},
                 "https://a.example"),
                (["--website-url", "https://c.example/x"], {"VANTRY_WEBSITE_URL": "https://a.example"},
                 "https://c.example/x"),
            ]
            for args, extra, url in cases:
                status, out, err = vantry("docs", *args, env={**env, **extra})
                self.assertEqual((status, out, err), (0, (url + "\n").encode(), b""), (args, extra))

    def test_docs_refuses_an_address_that_is_not_https(self):
        status, out, _ = vantry("docs", "--website-url", "http://x.example", "--json")
        self.assertEqual(status, 2)
        self.assertEqual(json.loads(out)["error"]["message"], "The documentation URL must be an HTTPS URL.")

    def test_doctor_without_a_status_file_is_app_unavailable(self):
        with tempfile.TemporaryDirectory() as folder:
            status, out, err = vantry("doctor", "--data-dir", folder, "--json")
        self.assertEqual((status, err), (1, b""))
        self.assertEqual(json.loads(out)["error"]["code"], "app_unavailable")


class ParseFailures(unittest.TestCase):
    CASES = [
        (["--json=true", "jobs", "list"], "--json does not take a value."),
        (["jobs", "list", "--limit"], "--limit requires a value. Booleans use true or false."),
        (["jobs", "list", "--limit", "--json"], "--limit requires a value. Booleans use true or false."),
        (["--json", "--json", "help"], "Duplicate or empty option: --json."),
        (["--=x"], "Duplicate or empty option: --=x."),
        (["--request-id", "x", "jobs", "list"], "--request-id must be a UUID."),
        (["--timeout", "0", "jobs", "list"], "--timeout must be a whole number from 1 to 120 seconds."),
        (["--timeout", "121", "jobs", "list"], "--timeout must be a whole number from 1 to 120 seconds."),
        (["--timeout", "1.5", "jobs", "list"], "--timeout must be a whole number from 1 to 120 seconds."),
        (["help", "--limit", "5"], "Unknown options: limit."),
        (["--version", "--x", "1"], "Unknown options: x."),
        (["export", "csv", "--out", ""], "--out requires a value. Booleans use true or false."),
        (["export", "csv", "--out=", "--json"], "--out requires a value. Booleans use true or false."),
    ]

    def test_each_failure_exits_2_with_its_message_and_a_silent_stderr(self):
        for args, message in self.CASES:
            status, out, err = vantry(*args)
            self.assertEqual((status, err), (2, b""), args)
            compact = "--json" in args
            self.assertEqual(out.count(b"\n") == 1, compact, args)
            envelope = json.loads(out)
            self.assertEqual(envelope, {"schema": 1, "ok": False, "data": None, "requestID": None,
                                        "error": {"code": "invalid_argument", "message": message,
                                                  "retryable": False}}, args)

    def test_arbitrary_bytes_give_a_clean_failure(self):
        for args in ([b"\xff\xfe", b"--\xff", b"1", b"--\xff", b"2"], [b"--" + b"x" * 100000 + b"=1", b"--json"],
                     [b"", b"--json"], [b"--", b"--json"]):
            status, out, err = vantry(*args)
            self.assertIn(status, (1, 2), args[:2])
            self.assertEqual(err, b"")
            json.loads(out.decode("utf-8"))


if __name__ == "__main__":
    unittest.main()
