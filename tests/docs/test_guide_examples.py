"""Every worked example of docs/CLI.md, run against a real vantry-host."""
import unittest

import guide_examples


class GuideExamples(unittest.TestCase):
    def test_every_example_prints_what_the_guide_shows(self):
        problems = guide_examples.check()
        self.assertEqual(problems, [], "\n\n".join(problems))

    def test_the_guide_shows_every_command(self):
        with open(guide_examples.GUIDE, encoding="utf-8") as f:
            steps, _ = guide_examples.parse(f.read())
        commands = " ".join(step[1].command for step in steps if step[0] == "run")
        for command in ["doctor", "docs", "--version", "help", "capabilities", "jobs create", "jobs list",
                        "jobs show", "jobs update", "jobs archive", "jobs copy", "preferences set",
                        "entries create", "entries show", "entries update", "entries copy", "entries delete",
                        "entries list", "timer clock-in", "timer break", "timer status", "timer resume",
                        "timer clock-out", "tags list", "tags rename", "tags merge", "tags remove",
                        "filters create", "filters update", "filters list", "filters delete", "reports summary",
                        "reports daily", "reports payperiod", "reports print", "export txt", "export csv",
                        "export xlsx", "export json", "import preview", "import apply", "app lock", "app show",
                        "app unlock", "backups list", "command jobs.list"]:
            self.assertIn("vantry " + command, commands)


class ExampleMatching(unittest.TestCase):
    """The placeholders of the guide match what varies and nothing more."""

    CASES = [
        (['"start" : "<now>",'], '"start" : "2026-12-10T16:20:18Z",\n', True),
        (['"start" : "<now>",'], '"start" : "2026-12-10T16:20:18Z"\n', False),
        (["a", "…", "z"], "a\nb\nc\nz\n", True),
        (["a", "…", "z"], "a\nz\n", True),
        (["a", "…", "z"], "a\nb\n", False),
        (["a.b"], "axb\n", False),
        ([], "", True),
        ([], "late output\n", False),
    ]

    def test_cases(self):
        for expected, actual, matches in self.CASES:
            self.assertEqual(guide_examples.matches(expected, actual), matches, (expected, actual))

    def test_parse_joins_continued_commands_and_reads_files(self):
        text = "\n".join([
            "```csv file=a.csv", "Job,Start", "```",
            "```console", "$ vantry jobs list \\", "    --limit 1", "{", "}", "$ echo $?", "0", "```",
            "```sh", "$ not an example", "```"])
        steps, blocks = guide_examples.parse(text)
        self.assertEqual(steps[0], ("file", "a.csv", "Job,Start\n"))
        self.assertEqual([s[1].command for s in steps[1:]], ["vantry jobs list \\\n    --limit 1", "echo $?"])
        self.assertEqual([s[1].expected for s in steps[1:]], [["{", "}"], ["0"]])
        self.assertEqual(len(blocks), 1)


if __name__ == "__main__":
    unittest.main()
