"""Reads the worked examples of docs/CLI.md and runs them.

An example is a fenced block whose info string is `console`: each line that starts with "$ "
is a command (a line ending in a backslash continues on the next), and the lines up to the
next command are what it prints. In the printed text, `<anything>` stands for a value that
differs from run to run (a time, a random identifier, a path) and matches any text on that
line, and a line holding only `…` stands for any number of lines. A fenced block whose info
string carries `file=NAME` is written to NAME in the working folder before the examples that
follow it run.

The examples run in document order, in one bash session, against one vantry-host serving a
new data folder, with `vantry`, `vantry-host` and `vantry-mcp` first on PATH and VANTRY_DATA_DIR set, in
UTC. `python3 guide_examples.py --write` runs them and writes what they printed back into the
guide wherever it no longer matches (to refresh the guide after a deliberate change; check the
difference before committing it).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

from host_run import HOST, Host  # noqa: E402
from vantry_run import VANTRY  # noqa: E402

MCP = os.environ.get("VANTRY_MCP_BIN", os.path.join(HERE, "../../build/mcp/vantry-mcp"))

SOURCE = os.environ.get("PELLAM_SOURCE_DIR", os.path.join(HERE, "..", ".."))
GUIDE = os.path.join(SOURCE, "docs", "CLI.md")
FENCE = re.compile(r"^```(.*)$")
MARK = "\x1e"


class Example:
    def __init__(self, command, expected, line):
        self.command = command      # the shell command, continuation lines joined
        self.expected = expected    # list of expected output lines
        self.line = line            # 1-based line of the command in the guide


def parse(text):
    """Returns (steps, blocks): steps in document order, each ("file", name, content) or
    ("run", Example); blocks lists (first line index, last line index, examples) of each
    console block, for rewriting."""
    lines = text.split("\n")
    steps, blocks = [], []
    i = 0
    while i < len(lines):
        fence = FENCE.match(lines[i])
        if not fence or not fence.group(1).strip():
            i += 1
            continue
        info = fence.group(1).split()
        end = i + 1
        while end < len(lines) and lines[end] != "```":
            end += 1
        body = lines[i + 1:end]
        files = [word[5:] for word in info[1:] if word.startswith("file=")]
        if files:
            steps.append(("file", files[0], "\n".join(body) + "\n"))
        elif info[0] == "console":
            examples = []
            j = 0
            while j < len(body):
                if not body[j].startswith("$ "):
                    raise ValueError("docs/CLI.md:%d: a console block must start with a command" % (i + 2 + j))
                start = j
                command = body[j][2:]
                while command.endswith("\\") and j + 1 < len(body):
                    j += 1
                    command = command + "\n" + body[j]
                j += 1
                expected = []
                while j < len(body) and not body[j].startswith("$ "):
                    expected.append(body[j])
                    j += 1
                example = Example(command, expected, i + 2 + start)
                examples.append(example)
                steps.append(("run", example))
            blocks.append((i, end, examples))
        i = end + 1
    return steps, blocks


def pattern(expected):
    """The regular expression the printed text must match."""
    parts = []
    for line in expected:
        if line.strip() == "…":
            parts.append(r"(?:[^\n]*\n)*?")
            continue
        pieces = re.split(r"(<[^<>\n]+>)", line)
        parts.append("".join(".+?" if re.fullmatch(r"<[^<>\n]+>", p) else re.escape(p) for p in pieces) + r"\n")
    return re.compile("".join(parts), re.S)


def matches(expected, actual):
    return pattern(expected).fullmatch(actual) is not None


def run_all(steps, scratch):
    """Runs every example; returns the printed text of each, in order, and the session's stderr."""
    bin_dir = os.path.join(scratch, "bin")
    work = os.path.join(scratch, "work")
    data = os.path.join(scratch, "vantry-data")
    for folder in (bin_dir, work, data):
        os.makedirs(folder)
    os.symlink(os.path.abspath(VANTRY), os.path.join(bin_dir, "vantry"))
    os.symlink(os.path.abspath(HOST), os.path.join(bin_dir, "vantry-host"))
    os.symlink(os.path.abspath(MCP), os.path.join(bin_dir, "vantry-mcp"))
    env = {"PATH": bin_dir + ":/usr/bin:/bin", "HOME": scratch, "TZ": "UTC", "LC_ALL": "C.UTF-8",
           "VANTRY_DATA_DIR": data}
    # Each command sees the exit status of the one before it, so `echo $?` shows it.
    script = ["set +e", "status=0"]
    runs = 0
    for step in steps:
        if step[0] == "file":
            _, name, content = step
            with open(os.path.join(work, name), "w", encoding="utf-8") as f:
                f.write(content)
            continue
        script.append("printf '%s%d%s\\n'" % (MARK, runs, MARK))
        script.append("(exit $status)")
        script.append(step[1].command)
        script.append("status=$?")
        runs += 1
    previous = os.environ.get("TZ")
    os.environ["TZ"] = "UTC"
    try:
        with Host(data, log_path=os.path.join(scratch, "host.log")):
            done = subprocess.run(["bash", "-c", "\n".join(script) + "\n"], cwd=work, env=env,
                                  capture_output=True, timeout=300)
    finally:
        if previous is None:
            os.environ.pop("TZ")
        else:
            os.environ["TZ"] = previous
    chunks = re.split(MARK + r"\d+" + MARK + "\n", done.stdout.decode("utf-8", "replace"))
    return chunks[1:], done.stderr.decode("utf-8", "replace")


def check(text=None):
    """Runs the guide's examples; returns a list of mismatch descriptions (empty when all match)."""
    if text is None:
        with open(GUIDE, encoding="utf-8") as f:
            text = f.read()
    steps, _ = parse(text)
    examples = [s[1] for s in steps if s[0] == "run"]
    with tempfile.TemporaryDirectory() as scratch:
        outputs, errors = run_all(steps, scratch)
    problems = []
    if errors:
        problems.append("the examples wrote to standard error:\n" + errors)
    if len(outputs) != len(examples):
        problems.append("%d examples printed %d outputs" % (len(examples), len(outputs)))
    for example, actual in zip(examples, outputs):
        if not matches(example.expected, actual):
            problems.append("docs/CLI.md:%d: $ %s\n--- the guide shows:\n%s\n--- it printed:\n%s" % (
                example.line, example.command, "\n".join(example.expected), actual))
    return problems


def write():
    """Writes the printed text back into the guide wherever it no longer matches."""
    with open(GUIDE, encoding="utf-8") as f:
        text = f.read()
    steps, blocks = parse(text)
    with tempfile.TemporaryDirectory() as scratch:
        outputs, errors = run_all(steps, scratch)
    if errors:
        sys.stderr.write(errors)
    printed = iter(outputs)
    lines = text.split("\n")
    rebuilt, cursor = [], 0
    by_example = {}
    for step in steps:
        if step[0] == "run":
            by_example[id(step[1])] = next(printed, "")
    for first, last, examples in blocks:
        rebuilt.extend(lines[cursor:first + 1])
        for example in examples:
            rebuilt.extend(("$ " + example.command).split("\n"))
            actual = by_example[id(example)]
            if matches(example.expected, actual):
                rebuilt.extend(example.expected)
                continue
            printed_lines = actual[:-1].split("\n") if actual.endswith("\n") else actual.split("\n")
            # A line that still matches the guide's line in its place keeps its placeholders.
            for n, printed_line in enumerate(printed_lines):
                shown = example.expected[n] if n < len(example.expected) else None
                keep = shown is not None and shown.strip() != "…" and matches([shown], printed_line + "\n")
                rebuilt.append(shown if keep else printed_line)
        cursor = last
    rebuilt.extend(lines[cursor:])
    with open(GUIDE, "w", encoding="utf-8") as f:
        f.write("\n".join(rebuilt))


if __name__ == "__main__":
    if sys.argv[1:] == ["--write"]:
        write()
    else:
        found = check()
        print("\n\n".join(found) or "every example matches")
        sys.exit(1 if found else 0)
