"""The manual pages: made from the command table and the guide, clean under mandoc's lint and
groff, no wider than 80 columns, and naming every command the programs know."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("PELLAM_SOURCE_DIR", os.path.join(HERE, "..", ".."))
BUILD = os.environ.get("VANTRY_BUILD_DIR", os.path.join(SOURCE, "build"))
PAGES = os.path.join(BUILD, "docs", "man")
sys.path.insert(0, os.path.join(SOURCE, "docs"))

import make_man_pages  # noqa: E402
import markdown_roff  # noqa: E402


def shown(page):
    """The page as man shows it at 80 columns, and what man and groff warn about."""
    env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
    done = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, env=env, timeout=60)
    checked = subprocess.run(["groff", "-ww", "-man", "-z", "-K", "utf-8", page], capture_output=True, timeout=60)
    return done.stdout.decode("utf-8"), (done.stderr + checked.stderr).decode("utf-8", "replace")


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def section_titles(roff):
    return [line[4:].strip('"').replace("\\-", "-") for line in roff.splitlines() if line.startswith(".SH ")]


def section_text(text, title):
    """One section of a rendered page, its lines joined by single spaces."""
    found = re.search(r"^%s\n(.*?)(?=^\S)" % re.escape(title), text, re.M | re.S)
    return " ".join(found.group(1).split()) if found else ""


def guide_catalogue():
    """The commands the guide's `vantry capabilities` example shows, which the guide's test runs."""
    guide = read(os.path.join(SOURCE, "docs", "CLI.md"))
    start = guide.index("$ vantry capabilities")
    answer = guide[guide.index("\n", start) + 1:guide.index("\n```", start)]
    data = json.loads(answer)["data"]
    return set(data["engineCommands"]) | set(data["appCommands"])


@unittest.skipUnless(shutil.which("man") and shutil.which("groff"), "man and groff are not installed")
class BuiltPages(unittest.TestCase):
    def setUp(self):
        self.table = json.loads(read(os.path.join(BUILD, "docs", "command_table.json")))

    @unittest.skipUnless(shutil.which("mandoc"), "mandoc is not installed")
    def test_mandoc_lint_reports_nothing(self):
        for name in ("vantry.1", "vantry-host.1", "vantry-mcp.1"):
            done = subprocess.run(["mandoc", "-T", "lint", "-W", "warning", os.path.join(PAGES, name)],
                                  capture_output=True, timeout=60)
            self.assertEqual((done.returncode, done.stdout + done.stderr), (0, b""), name)

    def test_pages_render_cleanly_within_80_columns(self):
        for name in ("vantry.1", "vantry-host.1", "vantry-mcp.1"):
            text, problems = shown(os.path.join(PAGES, name))
            self.assertEqual(problems, "", name)
            self.assertGreater(len(text.splitlines()), 100, name)
            wide = [line for line in text.splitlines() if len(line) > 80]
            self.assertEqual(wide, [], name)

    def test_pages_have_the_reference_sections_a_date_and_the_version(self):
        version = subprocess.run([os.environ.get("VANTRY_BIN", os.path.join(BUILD, "cli", "vantry")), "--version"],
                                 capture_output=True, check=True).stdout.decode()
        product = re.match(r"(Vantry CLI [0-9.]+) ", version).group(1)
        cases = [
            ("vantry.1", ["NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "GLOBAL OPTIONS", "OUTPUT", "EXIT STATUS",
                          "ENVIRONMENT", "FILES", "EXAMPLES", "SEE ALSO"]),
            ("vantry-host.1", ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "SIGNALS", "EXIT STATUS", "ENVIRONMENT",
                               "FILES", "SEE ALSO"]),
            ("vantry-mcp.1", ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "TOOLS", "RESULTS", "RESOURCES",
                              "DIAGNOSTICS", "EXIT STATUS", "ENVIRONMENT", "FILES", "EXAMPLES", "SEE ALSO"]),
        ]
        for name, wanted in cases:
            roff = read(os.path.join(PAGES, name))
            titles = section_titles(roff)
            self.assertEqual([t for t in titles if t in wanted], wanted, name)
            th = next(line for line in roff.splitlines() if line.startswith(".TH "))
            self.assertRegex(th, r'^\.TH \S+ 1 \d{4}-\d{2}-\d{2} "%s" ' % re.escape(product), name)

    def test_vantry_names_every_command_of_the_table_with_its_options(self):
        names = {command["name"] for command in self.table["commands"]}
        # The table the page was made from is the one the programs answer with.
        self.assertEqual(names, guide_catalogue())
        text, _ = shown(os.path.join(PAGES, "vantry.1"))
        commands = section_text(text, "COMMANDS")
        for command in self.table["commands"]:
            expected = " ".join([command["words"]] + command["operands"]
                                + ["[%s]" % make_man_pages.GROUPS[group] for group in command["groups"]]
                                + ["[--%s]" % option for option in command["options"]])
            self.assertRegex(commands, r"(^| )%s( |$)" % re.escape(expected), command["name"])

    def test_environment_and_files_name_what_each_program_reads(self):
        cases = [
            ("vantry.1", ["VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR", "XDG_DATA_HOME", "VANTRY_WEBSITE_URL",
                          "PELLAM_WEBSITE_URL"], ["NOTIFY_SOCKET"]),
            ("vantry-host.1", ["VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR", "XDG_DATA_HOME", "NOTIFY_SOCKET",
                               "DBUS_SESSION_BUS_ADDRESS"], ["VANTRY_WEBSITE_URL"]),
            ("vantry-mcp.1", ["VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR", "XDG_DATA_HOME"],
             ["NOTIFY_SOCKET", "VANTRY_WEBSITE_URL"]),
        ]
        for name, present, absent in cases:
            text, _ = shown(os.path.join(PAGES, name))
            environment = section_text(text, "ENVIRONMENT")
            for variable in present:
                self.assertIn(variable, environment, name)
            for variable in absent:
                self.assertNotIn(variable, environment, name)
            files = section_text(text, "FILES")
            for item in ["~/.local/share/vantry", "pellam.json", "AgentAPI/"]:
                self.assertIn(item, files, name)

    def test_the_host_page_keeps_the_guide_on_running_it(self):
        text, _ = shown(os.path.join(PAGES, "vantry-host.1"))
        for piece in ["Running the host as a service", "systemctl --user enable", "Reminders"]:
            self.assertIn(piece, text)
        self.assertIn("--detach", section_text(text, "OPTIONS"))
        self.assertIn("SIGTERM", section_text(text, "SIGNALS"))

    def test_built_from_the_guide_and_table_as_they_are_now(self):
        guide = read(os.path.join(SOURCE, "docs", "CLI.md"))
        built = read(os.path.join(PAGES, "vantry.1"))
        date, version = re.search(r'^\.TH \S+ 1 (\S+) "Vantry CLI ([^"]+)"', built, re.M).groups()
        made = make_man_pages.build(guide, self.table, version, date)
        self.assertEqual(built, made["vantry.1"])
        self.assertEqual(read(os.path.join(PAGES, "vantry-host.1")), made["vantry-host.1"])
        self.assertEqual(read(os.path.join(PAGES, "vantry-mcp.1")), made["vantry-mcp.1"])


@unittest.skipUnless(shutil.which("man") and shutil.which("groff"), "man and groff are not installed")
class Rendering(unittest.TestCase):
    def test_text_that_roff_would_misread_survives(self):
        markdown = "\n".join([
            ".starts with a dot and 'a quote", "",
            "'starts with a quote", "",
            "A backslash \\fB and `C:\\temp` and a café — with “quotes”.", "",
            "| Option | Meaning |", "|---|---|", "| `--range all\\|today` | pipes \\| inside |", "",
            "- an item `with code`", "  running on", "",
            "```console", "$ vantry jobs list --query '.x'", ".leading dot", "\\fB", "```", ""])
        roff = "\n".join(markdown_roff.tidy(make_man_pages.header("tricky", "a test page", "1.0", "2026-01-01")
                                            + [".SH DESCRIPTION"] + markdown_roff.render(markdown.split("\n")))) + "\n"
        with tempfile.TemporaryDirectory() as folder:
            page = os.path.join(folder, "tricky.1")
            with open(page, "w", encoding="utf-8") as f:
                f.write(roff)
            text, problems = shown(page)
            self.assertEqual(problems, "")
            if shutil.which("mandoc"):
                done = subprocess.run(["mandoc", "-T", "lint", "-W", "warning", page], capture_output=True)
                self.assertEqual(done.stdout + done.stderr, b"")
        for piece in [".starts with a dot and 'a quote", "'starts with a quote", "A backslash \\fB", "C:\\temp",
                      "café — with “quotes”", "--range all|today", "pipes | inside", "with code running on",
                      ".leading dot", "$ vantry jobs list --query '.x'"]:
            self.assertIn(piece, text)

    def test_the_date_is_the_newest_source_unless_source_date_epoch_says(self):
        with tempfile.TemporaryDirectory() as folder:
            older, newer = os.path.join(folder, "a"), os.path.join(folder, "b")
            for path, seconds in [(older, 1700000000), (newer, 1772409600)]:
                open(path, "w").close()
                os.utime(path, (seconds, seconds))
            saved = os.environ.pop("SOURCE_DATE_EPOCH", None)
            try:
                self.assertEqual(make_man_pages.page_date([older, newer]), "2026-03-02")
                os.environ["SOURCE_DATE_EPOCH"] = "0"
                self.assertEqual(make_man_pages.page_date([older, newer]), "1970-01-01")
            finally:
                os.environ.pop("SOURCE_DATE_EPOCH", None)
                if saved is not None:
                    os.environ["SOURCE_DATE_EPOCH"] = saved

    def test_a_guide_without_a_section_a_page_needs_is_refused(self):
        table = {"commands": [], "globalOptions": [], "argumentsFileOption": "args-file"}
        guide = read(os.path.join(SOURCE, "docs", "CLI.md"))
        for title in ["Local commands", "Common options", "Files and environment", "vantry-host",
                      "Using vantry-mcp from an agent client"]:
            broken = guide.replace("\n## %s\n" % title, "\n## Renamed\n")
            with self.assertRaisesRegex(make_man_pages.GuideError, re.escape(title)):
                make_man_pages.build(broken, table, "1.0", "2026-01-01")


if __name__ == "__main__":
    unittest.main()
