"""The bash, zsh and fish completions: they load, complete commands, operations, options and
their values, and job names and tags from a running host, and never hang."""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

from host_run import Host  # noqa: E402
from vantry_run import VANTRY  # noqa: E402

SOURCE = os.environ.get("PELLAM_SOURCE_DIR", os.path.join(HERE, "..", ".."))
BUILD = os.environ.get("VANTRY_BUILD_DIR", os.path.join(SOURCE, "build"))
SCRIPTS = os.path.join(BUILD, "completions")
ENGINE = os.path.join(SCRIPTS, "vantry-complete.sh")  # filled from the command table at build time
BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"
SEPARATOR = "@@@"

# Jobs whose names need quoting on a command line, and one clock-in refuses (archived).
AWKWARD_NAMES = ["O'Brien \"Deli\"", "Back\\slash", "Tab\tstop"]
ARCHIVED = "Warehouse"

# Words typed (after "vantry jobs show ") before Tab, and the argument the command then gets.
TYPED = [
    ("'Cor", "Corner Café"),
    ('"Cor', "Corner Café"),
    ("Cor", "Corner Café"),
    ("'Corner C", "Corner Café"),
    ("Corner\\ C", "Corner Café"),
    ("'O", AWKWARD_NAMES[0]),
    ('"O', AWKWARD_NAMES[0]),
    ("O", AWKWARD_NAMES[0]),
    ("'Back", AWKWARD_NAMES[1]),
    ('"Back', AWKWARD_NAMES[1]),
    ("Back", AWKWARD_NAMES[1]),
    ("'Tab", AWKWARD_NAMES[2]),
    ('"Tab', AWKWARD_NAMES[2]),
    ("Tab", AWKWARD_NAMES[2]),
]

# Lines typed before Tab, and candidates that must be among the answers.
CASES = [
    ("vantry jo", ["jobs"]),
    ("vantry jobs sh", ["show"]),
    ("vantry timer clock-in ", ["Corner Café", "Night shift"]),
    ("vantry reports summary --job Cor", ["Corner Café"]),
    ("vantry entries list --tag ", ["late night", "stock"]),
    ("vantry tags rename ", ["late night", "stock"]),
    ("vantry entries list --ra", ["--range"]),
    ("vantry reports summary --range ", ["all", "today", "week", "month", "year", "pay-period"]),
    ("vantry export ", ["json", "csv", "xlsx", "txt"]),
    ("vantry export csv --format ", ["csv", "xlsx"]),
    ("vantry jobs list --archived ", ["true", "false"]),
    ("vantry timer break --paid ", ["true", "false"]),
    # The values of an option that takes one of a few, some holding spaces.
    ("vantry jobs create --schedule ", ["Weekly", "Every two weeks", "Twice a month", "Monthly"]),
    ("vantry jobs update Acme --rounding ", ["None", "Nearest", "Up", "Down"]),
    ("vantry filters create --range ", ["This week", "All time", "Custom"]),
    ("vantry preferences set --week-starts-on ", ["1", "7"]),
    ("vantry import preview --format ", ["json", "csv"]),
]

# Lines whose answers must not hold a candidate: a value the command would refuse.
NOT_OFFERED = [
    ("vantry import preview --format ", "xlsx"),
    ("vantry filters create --range ", "week"),
    ("vantry reports summary --range ", "This week"),
]


def bash_complete(lines, env):
    script = ["source %s" % BASH_COMPLETION, "source %s/vantry" % SCRIPTS, """
c() {
  COMP_LINE=$1; COMP_POINT=${#COMP_LINE}
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _vantry
  for reply in "${COMPREPLY[@]}"; do eval "printf '%s\\n' $reply"; done
  echo @@@
}"""]
    script += ["c %s" % shell_quote(line) for line in lines]
    return run_shell(["bash", "--norc", "--noprofile", "-c", "\n".join(script)], env)


def zsh_complete(lines, env, described=False):
    # Only the folder of compinit itself besides ours: scanning every completion costs seconds.
    script = ["fpath=(%s ${(M)fpath:#*/Completion})" % SCRIPTS, "autoload -U compinit && compinit -u -D",
              "[[ $_comps[vantry] == _vantry ]] || print -u2 not registered",
              # compadd only works inside a completion widget: stand-ins record what is offered.
              "compadd() { [[ $1 == -a ]] && print -rl -- \"${(@P)2}\" }",
              "_describe() { print -rl -- \"${(@P)argv[-1]}\" }",
              "_files() { print -r -- FILES }", """
c() {
  local -a words; words=(${(z)1}); [[ $1 == *" " ]] && words+=("")
  local CURRENT=${#words}
  words=(${(Q)words})
  _vantry
  print -r -- @@@
}"""]
    script += ["c %s" % shell_quote(line) for line in lines]
    answers = run_shell(["zsh", "-f", "-c", "\n".join(script)], env)
    return answers if described else [[without_description(a) for a in answer] for answer in answers]


def fish_complete(lines, env):
    script = ["source %s/vantry.fish" % SCRIPTS]
    for line in lines:
        script.append("complete -C %s | string replace -r '\\t.*' ''" % shell_quote(line))
        script.append("echo @@@")
    return run_shell(["fish", "--no-config", "-c", "\n".join(script)], env)


def shell_quote(text):
    return "'" + text.replace("'", "'\\''") + "'"


def run_shell(command, env):
    done = subprocess.run(command, capture_output=True, env=env, timeout=60)
    if done.stderr:
        raise AssertionError("%s wrote to standard error: %s" % (command[0], done.stderr.decode("utf-8", "replace")))
    answers = done.stdout.decode("utf-8").split(SEPARATOR + "\n")
    return [[a for a in answer.split("\n") if a] for answer in answers[:-1]]


def without_description(candidate):
    """A zsh candidate "word:description" as its word (colons in it are escaped)."""
    return re.sub(r"\\(.)", r"\1", re.split(r"(?<!\\):", candidate)[0])


# Each shell run interactively on a terminal, with its completion loaded and vantry a
# function that saves its arguments, NUL-separated, to the file named by $ARGUMENTS_FILE.
INTERACTIVE = {
    "bash": (["bash", "--norc", "--noprofile", "-i"],
             ["source %s" % BASH_COMPLETION, "source %s/vantry" % SCRIPTS,
              "vantry() { printf '%s\\0' \"$@\" >\"$ARGUMENTS_FILE\"; }"]),
    "zsh": (["zsh", "-f", "-i"],
            ["fpath=(%s $fpath)" % SCRIPTS, "autoload -U compinit && compinit -u -D",
             "vantry() { printf '%s\\0' \"$@\" >\"$ARGUMENTS_FILE\"; }"]),
    "fish": (["fish", "--no-config", "-i"],
             ["source %s/vantry.fish" % SCRIPTS,
              "function vantry; string join0 -- $argv >$ARGUMENTS_FILE; end"]),
}


def type_lines(shell, lines, env, scratch):
    """Types each line, then Tab, then Enter, into the shell; returns the arguments vantry got."""
    import pexpect
    command, setup = INTERACTIVE[shell]
    arguments_file = os.path.join(scratch, "arguments")
    env = dict(env, ARGUMENTS_FILE=arguments_file, TERM="xterm", PS1="$ ")
    child = pexpect.spawn(command[0], command[1:], env=env, encoding="utf-8", timeout=20, dimensions=(24, 200))
    try:
        for line in setup:
            child.sendline(line)
        received = []
        for line in lines:
            if os.path.exists(arguments_file):
                os.remove(arguments_file)
            child.send(line + "\t")
            time.sleep(0.3)
            child.send("\r")
            deadline = time.monotonic() + 15
            while not os.path.exists(arguments_file) and time.monotonic() < deadline:
                time.sleep(0.05)
            time.sleep(0.1)
            try:
                with open(arguments_file, "rb") as f:
                    received.append(f.read().decode("utf-8").rstrip("\0").split("\0"))
            except OSError:
                received.append(None)
                child.sendcontrol("c")
        return received
    finally:
        child.close(force=True)


SHELLS = [("bash", bash_complete), ("zsh", zsh_complete), ("fish", fish_complete)]


def vantry(env, *args):
    done = subprocess.run([VANTRY, *args], capture_output=True, env=env, timeout=30)
    return done.returncode, json.loads(done.stdout)


class Completions(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp()
        cls.data = os.path.join(cls.scratch, "data")
        os.makedirs(cls.data)
        bin_dir = os.path.join(cls.scratch, "bin")
        os.makedirs(bin_dir)
        os.symlink(os.path.abspath(VANTRY), os.path.join(bin_dir, "vantry"))
        cls.env = {"PATH": bin_dir + ":/usr/bin:/bin", "HOME": cls.scratch, "LC_ALL": "C.UTF-8", "TZ": "UTC",
                   "VANTRY_DATA_DIR": cls.data, "XDG_RUNTIME_DIR": cls.scratch, "TERM": "dumb"}
        cls.host = Host(cls.data, log_path=os.path.join(cls.scratch, "host.log"))
        for name in ("Corner Café", "Night shift", *AWKWARD_NAMES, ARCHIVED):
            assert vantry(cls.env, "jobs", "create", "--name", name, "--json")[0] == 0
        assert vantry(cls.env, "jobs", "archive", ARCHIVED, "--json")[0] == 0
        assert vantry(cls.env, "entries", "create", "--job", "Night shift", "--start", "2026-03-02T09:00:00Z",
                      "--end", "2026-03-02T10:00:00Z", "--tags", "late night, stock", "--json")[0] == 0

    @classmethod
    def tearDownClass(cls):
        cls.host.stop()
        shutil.rmtree(cls.scratch)

    def setUp(self):
        self.clear_cache()

    def clear_cache(self):
        for name in os.listdir(self.scratch):
            if name.startswith("vantry-completion-"):
                os.remove(os.path.join(self.scratch, name))

    def shells(self):
        for name, complete in SHELLS:
            if not shutil.which(name) or (name == "bash" and not os.path.exists(BASH_COMPLETION)):
                print("(%s is not installed: its completion is not tried)" % name, file=sys.stderr)
                continue
            yield name, complete

    def test_commands_operations_options_values_and_names_from_the_host(self):
        for name, complete in self.shells():
            self.clear_cache()
            with self.subTest(shell=name):
                answers = complete([line for line, _ in CASES], self.env)
                self.assertEqual(len(answers), len(CASES))
                for (line, expected), answer in zip(CASES, answers):
                    for candidate in expected:
                        self.assertIn(candidate, answer, (name, line))
                refused = complete([line for line, _ in NOT_OFFERED], self.env)
                for (line, candidate), answer in zip(NOT_OFFERED, refused):
                    self.assertTrue(answer, (name, line))
                    self.assertNotIn(candidate, answer, (name, line))

    def test_quoted_words_complete_to_the_name_the_command_gets(self):
        try:
            import pexpect  # noqa: F401
        except ImportError:
            self.skipTest("pexpect is not installed")
        for name, _ in self.shells():
            self.clear_cache()
            with self.subTest(shell=name):
                # fish reads a tab in a candidate as the start of its description: it is offered no such name.
                cases = [(typed, expected) for typed, expected in TYPED if name != "fish" or "\t" not in expected]
                received = type_lines(name, ["vantry jobs show " + typed for typed, _ in cases], self.env, self.scratch)
                for (typed, expected), got in zip(cases, received):
                    self.assertEqual(got, ["jobs", "show", expected], (name, typed))

    def test_clock_in_offers_only_the_jobs_it_accepts(self):
        for name, complete in self.shells():
            self.clear_cache()
            with self.subTest(shell=name):
                clock_in, show = complete(["vantry timer clock-in ", "vantry jobs show "], self.env)
                self.assertIn("Corner Café", clock_in)
                self.assertNotIn(ARCHIVED, clock_in)
                self.assertIn(ARCHIVED, show)
                for awkward in AWKWARD_NAMES:
                    if name != "fish" or "\t" not in awkward:
                        self.assertIn(awkward, show)

    def test_zsh_describes_commands_operations_and_options(self):
        if not shutil.which("zsh"):
            self.skipTest("zsh is not installed")
        lines = ["vantry ", "vantry jobs ", "vantry jobs list --", "vantry jobs archive Acme --", "vantry export csv --",
                 "vantry reports pay-period --", "vantry jobs create --schedule "]
        commands, operations, options, archive, export, pay_period, schedules = zsh_complete(lines, self.env,
                                                                                              described=True)
        self.assertIn("export:Write records to a new file", commands)
        self.assertIn("jobs:list, show, create, update, archive, copy", commands)
        self.assertIn("doctor:Read the app heartbeat and readiness", commands)
        self.assertIn("archive:Archive or unarchive a job", operations)
        self.assertIn("--json:Print the stable JSON envelope", options)
        # A command's own options, each described for that command: one name may mean
        # different things in two commands.
        self.assertIn("--archived:Only archived jobs, or with false only active ones", options)
        self.assertIn("--archived:Archive the job, or with false unarchive it", archive)
        self.assertIn("--range:Named range around now", export)
        self.assertIn("--out:The new file to write", export)
        self.assertIn("--range:Ignored, the range is always the pay period", pay_period)
        self.assertIn("Every two weeks", schedules)

    def test_a_recent_answer_is_reused_instead_of_asking_again(self):
        responses = os.path.join(self.data, "AgentAPI", "Responses")
        for name, complete in self.shells():
            self.clear_cache()
            with self.subTest(shell=name):
                answers_now = lambda: len([n for n in os.listdir(responses) if not n.startswith(".")])
                before = answers_now()
                answers = complete(["vantry timer clock-in ", "vantry jobs show ", "vantry tags remove "] * 2,
                                   self.env)
                self.assertIn("Corner Café", answers[4])
                self.assertIn("stock", answers[5])
                # One request each for the jobs clock-in accepts, all jobs and the tags, whatever the
                # number of Tabs.
                self.assertEqual(answers_now() - before, 3)

    def test_no_host_completes_no_names_quickly(self):
        with tempfile.TemporaryDirectory() as empty:
            env = dict(self.env, VANTRY_DATA_DIR=empty)
            for name, complete in self.shells():
                with self.subTest(shell=name):
                    started = time.monotonic()
                    answers = complete(["vantry timer clock-in ", "vantry jo"], env)
                    self.assertEqual(answers[0], [])
                    self.assertIn("jobs", answers[1])
                    self.assertLess(time.monotonic() - started, 5)

    def test_a_host_that_stops_answering_costs_at_most_the_shortest_timeout(self):
        self.host.process.send_signal(signal.SIGSTOP)
        try:
            started = time.monotonic()
            answer = run_engine(self.env, "", "timer", "clock-in")
            elapsed = time.monotonic() - started
        finally:
            self.host.process.send_signal(signal.SIGCONT)
            # The request that timed out is still answered; let it be, before other tests count.
            requests = os.path.join(self.data, "AgentAPI", "Requests")
            deadline = time.monotonic() + 10
            while any(n.endswith(".json") for n in os.listdir(requests)) and time.monotonic() < deadline:
                time.sleep(0.02)
        self.assertEqual(answer, [])
        self.assertLess(elapsed, 3)

    def test_command_names_are_the_catalogue(self):
        status, capabilities = vantry(self.env, "capabilities", "--json")
        self.assertEqual(status, 0)
        catalogue = capabilities["data"]["engineCommands"] + capabilities["data"]["appCommands"]
        self.assertEqual(sorted(run_engine(self.env, "", "command")), sorted(catalogue))
        families = sorted({name.split(".")[0] for name in catalogue})
        commands = run_engine(self.env, "")
        for family in families:
            self.assertIn(family, commands)
        for name in catalogue:
            if "." in name:
                family, operation = name.split(".")
                self.assertIn(operation, run_engine(self.env, "", family), name)

    def test_every_option_offered_is_one_the_command_accepts(self):
        not_sent = {"--patch-file", "--args-file", "--out", "--data-dir", "--request-id", "--timeout", "--json",
                    "--dry-run"}
        status, capabilities = vantry(self.env, "capabilities", "--json")
        for name in capabilities["data"]["engineCommands"]:
            words = name.split(".") if "." in name else [name]
            if name == "export":
                words = ["export", "csv"]
            options = [o for o in run_engine(self.env, "--", *words) if o not in not_sent]
            args = [*words]
            for option in options:
                args += [option, "x"]
            status, answer = vantry(self.env, *args, "--dry-run", "--json")
            message = (answer["error"] or {}).get("message", "")
            self.assertNotIn("Unknown arguments", message, name)
            self.assertNotIn("Unknown options", message, name)


def run_engine(env, current, *words):
    with open(ENGINE, encoding="utf-8") as f:
        engine = f.read()
    done = subprocess.run(["sh", "-c", engine, "vantry-complete", "vantry", current, *words], capture_output=True,
                          env=env, timeout=30)
    assert done.returncode == 0 and not done.stderr, done.stderr
    return done.stdout.decode("utf-8").split("\n")[:-1]


if __name__ == "__main__":
    unittest.main()
