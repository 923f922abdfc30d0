"""The manual pages made from docs/CLI.md render without warnings and carry the guide."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("PELLAM_SOURCE_DIR", os.path.join(HERE, "..", ".."))
BUILD = os.environ.get("VANTRY_BUILD_DIR", os.path.join(SOURCE, "build"))
sys.path.insert(0, os.path.join(SOURCE, "docs"))

import make_man_pages  # noqa: E402


def warnings(page):
    """What man and groff say about a page (empty when it renders cleanly), and the text."""
    env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
    shown = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, env=env, timeout=60)
    checked = subprocess.run(["groff", "-ww", "-man", "-z", "-K", "utf-8", page], capture_output=True, timeout=60)
    return (shown.stderr + checked.stderr).decode("utf-8", "replace"), shown.stdout.decode("utf-8", "replace")


@unittest.skipUnless(shutil.which("man") and shutil.which("groff"), "man and groff are not installed")
class ManPages(unittest.TestCase):
    def test_built_pages_render_cleanly_and_follow_the_guide(self):
        with open(os.path.join(SOURCE, "docs", "CLI.md"), encoding="utf-8") as f:
            guide = f.read()
        titles = [title for title, _ in make_man_pages.sections(guide)[1:]]
        for name, expected in [("vantry.1", [t.upper() for t in titles if t != "vantry-host"]),
                               ("vantry-host.1", ["Running the host as a service", "systemctl --user enable"])]:
            page = os.path.join(BUILD, "docs", "man", name)
            problems, text = warnings(page)
            self.assertEqual(problems, "", name)
            for piece in expected:
                self.assertIn(piece, text, name)
        # Built from the guide as it is now, not from an older copy.
        with open(os.path.join(BUILD, "docs", "man", "vantry.1"), encoding="utf-8") as f:
            self.assertEqual(f.read(), make_man_pages.build(guide)["vantry.1"])

    def test_text_that_groff_would_misread_survives(self):
        guide = "\n".join([
            "# Vantry CLI", "", "Intro.", "", "```", "vantry [--json]", "```", "",
            "## Tricky", "",
            ".starts with a dot and 'a quote", "",
            "'starts with a quote", "",
            "A backslash \\fB and `C:\\temp` and a café — with “quotes”.", "",
            "| Option | Meaning |", "|---|---|", "| `--range all\\|today` | pipes \\| inside |", "",
            "- an item `with code`", "  running on", "",
            "```console", "$ vantry jobs list --query '.x'", ".leading dot", "\\fB", "```", "",
            "## vantry-host", "", "```", "vantry-host [--locked]", "```", "", "Host.", ""])
        with tempfile.TemporaryDirectory() as folder:
            for name, content in make_man_pages.build(guide).items():
                page = os.path.join(folder, name)
                with open(page, "w", encoding="utf-8") as f:
                    f.write(content)
                problems, text = warnings(page)
                self.assertEqual(problems, "", name)
                if name == "vantry.1":
                    for piece in [".starts with a dot and 'a quote", "'starts with a quote", "A backslash \\fB",
                                  "C:\\temp", "café — with “quotes”", "--range all|today", "pipes | inside",
                                  "with code running on", ".leading dot", "$ vantry jobs list --query '.x'"]:
                        self.assertIn(piece, text)


if __name__ == "__main__":
    unittest.main()
