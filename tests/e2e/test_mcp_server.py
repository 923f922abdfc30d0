"""vantry-mcp driven over standard input and output with raw lines, against a real vantry-host:
the protocol's errors, reads, changes, replays, dry runs and exports through tools, and the
transport's failures where no host answers."""
import base64
import hashlib
import json
import os
import signal
import stat
import subprocess
import tempfile
import time
import unittest

import agent_files as af
from host_run import Host
from mcp_session import MCP, McpSession
from vantry_run import vantry

REQUEST_ID = "0C0FFEE0-0000-4000-8000-00000000CAFE"


def clean_env(home):
    env = {key: value for key, value in os.environ.items()
           if key not in ("VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR", "XDG_DATA_HOME")}
    env.update({"HOME": home, "TZ": "UTC"})
    return env


def structured(result):
    """A successful result's structured content, after checking the text beside it says the same."""
    assert result.get("isError") is not True, result
    texts = [item["text"] for item in result["content"] if item["type"] == "text"]
    assert len(texts) == 1, result
    assert json.loads(texts[0]) == result["structuredContent"], result
    return result["structuredContent"]


def failure(result):
    assert result.get("isError") is True, result
    return result["structuredContent"]["error"], result["structuredContent"]["requestID"]


class WithHost(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.folder = os.path.join(cls.scratch.name, "data")
        cls.env = clean_env(cls.scratch.name)
        cls.host = Host(cls.folder, env=cls.env)

    @classmethod
    def tearDownClass(cls):
        cls.host.stop()
        cls.scratch.cleanup()

    def setUp(self):
        self.mcp = McpSession("--data-dir", self.folder, env=self.env,
                              stderr_path=os.path.join(self.scratch.name, "mcp.log"))
        self.addCleanup(self.mcp.__exit__)
        self.assertEqual(self.mcp.initialize()["result"]["protocolVersion"], "2025-06-18")

    def vantry(self, *args):
        status, out, _ = vantry("--json", "--data-dir", self.folder, *args, env=self.env)
        return status, json.loads(out)

    def test_bad_input_gets_the_protocols_errors_and_the_server_serves_on(self):
        oversized = b'{"jsonrpc":"2.0","id":1,"method":"ping","params":{"pad":"' + b"x" * (4 * 1024 * 1024) + b'"}}\n'
        cases = [
            (b"{not json\n", -32700, None),
            (b'{"jsonrpc":"2.0","id":1,"method":"ping"} trailing\n', -32700, None),
            (b"\xc3\x28\n", -32700, None),
            (b'[{"jsonrpc":"2.0","id":2,"method":"ping"}]\n', -32600, None),
            (b'{"id":3,"method":"ping"}\n', -32600, 3),
            (b'{"jsonrpc":"2.0","id":4}\n', -32600, 4),
            (oversized, -32600, None),
            (b'{"jsonrpc":"2.0","id":5,"method":"sampling/createMessage"}\n', -32601, 5),
            (b'{"jsonrpc":"2.0","id":6,"method":"tools/call","params":{"name":"jobs_delete"}}\n', -32602, 6),
            (b'{"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"jobs_list","arguments":"limit=5"}}\n',
             -32602, 7),
            (b'{"jsonrpc":"2.0","id":8,"method":"tools/call","params":{"name":"jobs_list","arguments":{"colour":1}}}\n',
             -32602, 8),
            (b'{"jsonrpc":"2.0","id":9,"method":"tools/call","params":{"name":"jobs_show","arguments":{"id":["x"]}}}\n',
             -32602, 9),
        ]
        for line, code, id in cases:
            with self.subTest(line=line[:80]):
                self.mcp.send(line)
                answer = self.mcp.read()
                self.assertEqual((answer["jsonrpc"], answer["id"], answer["error"]["code"]), ("2.0", id, code), answer)
                self.assertEqual(self.mcp.request("ping", id="next"), {"jsonrpc": "2.0", "id": "next", "result": {}})
        # Notifications and blank lines get no answer: the next line printed answers the ping.
        self.mcp.send(b'{"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1}}\n\n  \n')
        self.assertEqual(self.mcp.request("ping", id=10)["id"], 10)

    def test_a_read_and_a_change_through_tools_are_vantrys_answers(self):
        created = structured(self.mcp.call("jobs_create", {"name": "Dock 4/B", "rate": "21.50"}))
        self.assertEqual(created["job"]["name"], "Dock 4/B")
        self.assertFalse(created["dryRun"])
        status, shown = self.vantry("jobs", "show", created["job"]["id"])
        self.assertEqual((status, shown["data"]["job"]), (0, created["job"]))

        listed = self.mcp.call("jobs_list", {"query": "Dock 4"})
        self.assertIn(created["job"], structured(listed)["items"])
        self.assertRegex(listed["_meta"]["requestID"], r"^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")

        error, request_id = failure(self.mcp.call("jobs_show", {"id": "0BADC0DE-0000-4000-8000-000000000000"}))
        status, envelope = self.vantry("jobs", "show", "0BADC0DE-0000-4000-8000-000000000000")
        self.assertEqual((status, error), (1, envelope["error"]))
        self.assertIsNotNone(request_id)

        # Standard error logs each call without its arguments or records.
        self.assertEqual(self.mcp.close(), 0)
        with open(os.path.join(self.scratch.name, "mcp.log"), encoding="utf-8") as f:
            log = f.read()
        self.assertRegex(log, r"\nvantry-mcp: jobs_create %s ok \d+ ms\n" % created["job"]["id"])
        self.assertRegex(log, r"\nvantry-mcp: jobs_show %s not_found \d+ ms\n" % request_id)
        self.assertNotIn("Dock", log)

    def test_a_repeated_request_id_replays_and_a_dry_run_changes_nothing(self):
        before = structured(self.mcp.call("jobs_list", {}))["total"]
        arguments = {"name": "Replayed", "request-id": REQUEST_ID}
        first = self.mcp.call("jobs_create", arguments)
        again = self.mcp.call("jobs_create", arguments)
        self.assertEqual(again, first)
        self.assertEqual(first["_meta"]["requestID"], REQUEST_ID)
        # The command line finds the same answer under the same id: it is the same request.
        status, envelope = self.vantry("command", "jobs.create", "--name", "Replayed", "--request-id", REQUEST_ID)
        self.assertEqual((status, envelope["data"]), (0, structured(first)))
        # Other arguments under that id are refused, as vantry refuses them.
        error, _ = failure(self.mcp.call("jobs_create", {"name": "Other", "request-id": REQUEST_ID}))
        self.assertEqual(error["code"], "id_conflict")
        self.assertEqual(structured(self.mcp.call("jobs_list", {}))["total"], before + 1)

        dry = structured(self.mcp.call("jobs_create", {"name": "Never saved", "dry-run": True}))
        self.assertTrue(dry["dryRun"])
        listed = structured(self.mcp.call("jobs_list", {"query": "Never saved"}))
        self.assertEqual(listed["total"], 0)

    def test_an_export_comes_back_as_a_resource_or_goes_to_a_new_file(self):
        structured(self.mcp.call("jobs_create", {"name": "Exported"}))
        result = self.mcp.call("export", {"format": "json"})
        data = structured(result)
        resources = [item["resource"] for item in result["content"] if item["type"] == "resource"]
        self.assertEqual(len(resources), 1, result)
        blob = base64.b64decode(resources[0]["blob"], validate=True)
        self.assertEqual(resources[0]["mimeType"], "application/json")
        self.assertTrue(resources[0]["uri"].endswith("/Vantry%20Backup.json"), resources[0]["uri"])
        self.assertNotIn("base64", data)
        self.assertEqual((data["bytes"], data["sha256"]), (len(blob), hashlib.sha256(blob).hexdigest()))
        self.assertIn("Exported", {job["name"] for job in json.loads(blob)["jobs"]})

        out = os.path.join(self.scratch.name, "entries.csv")
        would = structured(self.mcp.call("export", {"format": "csv", "out": out, "dry-run": True}))
        self.assertEqual(would["wouldWrite"], out)
        self.assertFalse(os.path.exists(out))
        written = structured(self.mcp.call("export", {"format": "csv", "out": out}))
        self.assertEqual(written["path"], out)
        self.assertNotIn("base64", written)
        self.assertEqual(stat.S_IMODE(os.stat(out).st_mode), 0o600)
        with open(out, "rb") as f:
            first = f.read()
        self.assertEqual(hashlib.sha256(first).hexdigest(), written["sha256"])
        # Never over an existing file; never a path relative to a folder the client chose.
        error, request_id = failure(self.mcp.call("export", {"format": "csv", "out": out}))
        self.assertEqual(error["code"], "output_exists")
        self.assertIsNotNone(request_id)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), first)
        # The written file (a header and no entry) goes to the host as vantry sends it: read by
        # the server, as Base64, with its extension as the format; the host's answer is the same.
        error, _ = failure(self.mcp.call("import_preview", {"file": out}))
        status, printed = self.vantry("import", "preview", out)
        self.assertEqual((status, error), (1, printed["error"]))
        self.assertEqual(error["message"], "The CSV has no entries.")
        error, request_id = failure(self.mcp.call("export", {"format": "csv", "out": "entries.csv"}))
        self.assertEqual((error["code"], error["message"], request_id),
                         ("invalid_argument", "out must be an absolute path.", None))

    def test_resources_are_the_guide_and_the_apps_status(self):
        listed = self.mcp.request("resources/list")["result"]["resources"]
        self.assertEqual({r["uri"] for r in listed}, {"vantry://docs/CLI.md", "vantry://status"})
        guide = self.mcp.request("resources/read", {"uri": "vantry://docs/CLI.md"})["result"]["contents"][0]
        with open(os.path.join(os.environ.get("PELLAM_SOURCE_DIR", "../.."), "docs", "CLI.md"), encoding="utf-8") as f:
            self.assertEqual(guide["text"], f.read())
        status = self.mcp.request("resources/read", {"uri": "vantry://status"})["result"]["contents"][0]
        document = json.loads(status["text"])
        self.assertEqual((document["ready"], document["fresh"], document["status"]["enabled"]), (True, True, True))

    def test_end_of_input_ends_the_server_with_status_0(self):
        self.mcp.send(b'{"jsonrpc":"2.0","id":"last","method":"ping"}')  # no line feed: still a message
        self.mcp.process.stdin.close()
        self.assertEqual(self.mcp.read()["id"], "last")
        self.assertIsNone(self.mcp.read())
        self.assertEqual(self.mcp.close(), 0)


class WithoutAnsweringHost(unittest.TestCase):
    """The transport's failures: the codes vantry prints, within the timeout."""

    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.folder = os.path.join(scratch.name, "data")
        os.mkdir(self.folder)
        self.env = clean_env(scratch.name)

    def both(self, tool, arguments, words, timeout="1"):
        """The tool's failure, the one vantry prints for the same command (none without words),
        and the tool's seconds."""
        with McpSession("--data-dir", self.folder, "--timeout", timeout, env=self.env) as mcp:
            mcp.initialize()
            started = time.monotonic()
            error, _ = failure(mcp.call(tool, arguments))
            seconds = time.monotonic() - started
            self.assertEqual(mcp.close(), 0)
        if not words:
            return error, None, seconds
        _, out, _ = vantry("--json", "--data-dir", self.folder, "--timeout", timeout, *words, env=self.env)
        return error, json.loads(out)["error"], seconds

    def test_no_host_a_locked_app_and_a_timeout_fail_as_vantry_does(self):
        error, printed, seconds = self.both("jobs_list", {}, ["jobs", "list"])
        self.assertEqual((error, error["code"]), (printed, "app_unavailable"))
        self.assertLess(seconds, 1)

        af.write_status(self.folder, locked=True)
        error, printed, _ = self.both("jobs_list", {}, ["jobs", "list"])
        self.assertEqual((error, error["code"]), (printed, "app_locked"))

        # A fresh heartbeat and nobody answering: the wait ends at the timeout.
        af.write_status(self.folder)
        error, _, seconds = self.both("jobs_list", {"request-id": REQUEST_ID}, [])
        self.assertEqual((error["code"], error["retryable"]), ("outcome_unknown", True))
        self.assertIn(REQUEST_ID, error["message"])
        self.assertGreaterEqual(seconds, 1)
        self.assertLess(seconds, 3)

    def test_a_host_that_stops_answering_is_a_stale_heartbeat(self):
        with Host(self.folder, env=self.env) as host:
            host.process.send_signal(signal.SIGSTOP)
            try:
                time.sleep(3.5)
                error, printed, seconds = self.both("jobs_list", {}, ["jobs", "list"], timeout="2")
            finally:
                host.process.send_signal(signal.SIGCONT)
        self.assertEqual((error, error["code"]), (printed, "app_unavailable"))
        self.assertLess(seconds, 2)


class CommandLine(unittest.TestCase):
    def run_mcp(self, *args):
        done = subprocess.run([MCP, *args], capture_output=True, stdin=subprocess.DEVNULL, timeout=30)
        return done.returncode, done.stdout.decode(), done.stderr.decode()

    def test_version_help_and_wrong_options(self):
        self.assertEqual(self.run_mcp("--version"), (0, "vantry-mcp 1.0 (Vantry CLI 1.0; protocol 1)\n", ""))
        status, out, _ = self.run_mcp("--help")
        self.assertEqual(status, 0)
        self.assertTrue(out.startswith("Usage: vantry-mcp [--data-dir PATH] [--timeout SECONDS]\n"), out)
        for args, message in [(["--timeout", "0"], "--timeout must be a whole number from 1 to 120 seconds."),
                              (["--timeout", "121"], "--timeout must be a whole number from 1 to 120 seconds."),
                              (["--data-dir"], "--data-dir requires a value."),
                              (["--verbose"], "Unknown or repeated argument: --verbose.")]:
            with self.subTest(args=args):
                status, out, err = self.run_mcp(*args)
                self.assertEqual((status, out), (2, ""))
                self.assertTrue(err.startswith("vantry-mcp: " + message + "\n"), err)


if __name__ == "__main__":
    unittest.main()
