"""vantry-host --detach returns once the host answers, and the service manager hears when it does."""
import json
import os
import signal
import socket
import stat
import subprocess
import tempfile
import time
import unittest

from host_run import HOST, Host
from vantry_run import vantry


def detach(*args, env=None, timeout=30):
    done = subprocess.run([HOST, "--detach", *args], capture_output=True, timeout=timeout,
                          env=env if env is not None else os.environ)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def ended(pid):
    """Whether the process is gone, or a zombie whose new parent has not reaped it yet."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except FileNotFoundError:
        return True


def wait_stopped(log_path, pid=None, timeout=10):
    """Until the log says the host stopped and (given its pid) the process has ended, lock released."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with open(log_path, encoding="utf-8") as f:
            if f.read().endswith("vantry-host: stopped\n") and (pid is None or ended(pid)):
                return
        time.sleep(0.01)
    raise AssertionError("the detached host did not stop")


class DetachedHost(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)
        self.folder = os.path.join(self.scratch.name, "data")
        self.env = dict(os.environ, HOME=self.scratch.name)
        for name in ("VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR", "XDG_DATA_HOME", "NOTIFY_SOCKET"):
            self.env.pop(name, None)

    def start(self, *args, folder=None):
        status, out, err = detach("--data-dir", folder or self.folder, *args, env=self.env)
        self.assertEqual((status, err), (0, ""))
        pid = int(out)
        self.assertEqual(out, "%d\n" % pid)
        return pid

    def stop(self, pid, log_path=None):
        os.kill(pid, signal.SIGTERM)
        wait_stopped(log_path or os.path.join(self.folder, "AgentAPI", "host.log"), pid)

    def test_a_command_right_after_the_start_is_answered_every_time(self):
        # Each run a new folder, with a job in it: nothing may be missing when it says ready.
        with Host(self.folder):
            status, out, _ = vantry("--data-dir", self.folder, "jobs", "create", "--name", "Acme", env=self.env)
            self.assertEqual(status, 0, out)
        with open(os.path.join(self.folder, "pellam.json"), "rb") as f:
            archive = f.read()
        for run in range(15):
            folder = os.path.join(self.scratch.name, "run%d" % run)
            os.makedirs(folder)
            with open(os.path.join(folder, "pellam.json"), "wb") as f:
                f.write(archive)
            pid = self.start(folder=folder)
            try:
                status, out, _ = vantry("--data-dir", folder, "jobs", "list", "--json", env=self.env)
                self.assertEqual(status, 0, out)
                self.assertIn(b'"Acme"', out)
            finally:
                self.stop(pid, os.path.join(folder, "AgentAPI", "host.log"))

    def test_an_unreadable_data_file_is_ready_too_and_refused_by_the_commands(self):
        os.makedirs(self.folder)
        with open(os.path.join(self.folder, "pellam.json"), "w") as f:
            f.write("{not json")
        pid = self.start()
        try:
            status, out, _ = vantry("--data-dir", self.folder, "jobs", "list", "--json", env=self.env)
            self.assertEqual(status, 1)
            self.assertEqual(json.loads(out)["error"]["code"], "data_unreadable")
        finally:
            self.stop(pid)
        with open(os.path.join(self.folder, "pellam.json")) as f:
            self.assertEqual(f.read(), "{not json")

    def test_command_substitution_returns_with_the_pid(self):
        # The host keeps no descriptor of the caller's: $(...) sees its end at once.
        script = 'pid=$("$HOST" --detach --data-dir "$DATA") && echo "started $pid"'
        env = dict(self.env, HOST=HOST, DATA=self.folder)
        done = subprocess.run(["bash", "-c", script], capture_output=True, timeout=20, env=env)
        self.assertEqual(done.returncode, 0, done.stderr)
        pid = int(done.stdout.split()[1])
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            self.assertEqual(int(fields[3]), pid, "the host leads a session of its own")
            status, out, _ = vantry("--data-dir", self.folder, "doctor", env=self.env)
            self.assertTrue(json.loads(out)["data"]["ready"])
        finally:
            self.stop(pid)

    def test_a_pid_nobody_reads_stops_the_host_again(self):
        process = subprocess.Popen([HOST, "--detach", "--data-dir", self.folder], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=self.env)
        process.stdout.close()  # the reader is gone before the host is ready
        err = process.stderr.read().decode()
        process.stderr.close()
        self.assertEqual(process.wait(timeout=20), 1)
        self.assertIn("the pid could not be written to standard output; the host was stopped.", err)
        wait_stopped(os.path.join(self.folder, "AgentAPI", "host.log"))

    def test_the_log_is_private_and_goes_where_it_is_told(self):
        log_path = os.path.join(self.scratch.name, "logs", "vantry.log")
        os.makedirs(os.path.dirname(log_path))
        with open(log_path, "w") as f:
            f.write("an earlier line\n")
        os.chmod(log_path, 0o644)
        pid = self.start("--log-file", log_path)
        vantry("--data-dir", self.folder, "jobs", "list", env=self.env)
        self.stop(pid, log_path)
        self.assertEqual(stat.S_IMODE(os.stat(log_path).st_mode), 0o600)
        with open(log_path, encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertEqual(lines[0], "an earlier line")
        self.assertIn("data folder %s (from --data-dir)" % self.folder, lines[1])
        self.assertTrue(any(" jobs.list ok " in line for line in lines), lines)
        self.assertFalse(os.path.exists(os.path.join(self.folder, "AgentAPI", "host.log")))

    def test_a_start_that_cannot_serve_fails_with_the_reason(self):
        a_file = os.path.join(self.scratch.name, "a-file")
        with open(a_file, "w") as f:
            f.write("x")
        linked = os.path.join(self.scratch.name, "linked")
        os.makedirs(os.path.join(linked, "elsewhere"))
        os.symlink("elsewhere", os.path.join(linked, "AgentAPI"))
        cases = [
            ("a file where the folder belongs", ["--data-dir", a_file],
             "vantry-host: Could not create the folder %s: Not a directory" % a_file),
            ("a link where AgentAPI belongs", ["--data-dir", linked],
             "vantry-host: %s/AgentAPI is a symbolic link; vantry-host follows no links." % linked),
            ("a log that cannot be opened", ["--data-dir", self.folder, "--log-file", "/nonexistent/host.log"],
             "vantry-host: cannot open the log file /nonexistent/host.log: No such file or directory."),
        ]
        for what, args, message in cases:
            status, out, err = detach(*args, env=self.env)
            self.assertEqual((status, out, err.splitlines()[0:1]), (1, "", [message]), what)

    def test_a_folder_already_served_fails_with_the_reason_and_its_host_goes_on(self):
        with Host(self.folder):
            status, out, err = detach("--data-dir", self.folder, env=self.env)
            self.assertEqual((status, out), (1, ""))
            self.assertEqual(err, "vantry-host: Another vantry-host already serves this data folder. (log: %s)\n"
                             % os.path.join(self.folder, "AgentAPI", "host.log"))
            status, _, _ = vantry("--data-dir", self.folder, "jobs", "list", env=self.env)
            self.assertEqual(status, 0)

    def test_wrong_command_lines_exit_2(self):
        for args in (["--log-file", "x.log"], ["--detach", "--log-file"], ["--detach", "--detach=1"]):
            done = subprocess.run([HOST, *args], capture_output=True, timeout=10, env=self.env)
            self.assertEqual(done.returncode, 2, args)
            self.assertEqual(done.stdout, b"", args)

    def test_version(self):
        done = subprocess.run([HOST, "--version"], capture_output=True, timeout=10)
        self.assertEqual((done.returncode, done.stdout), (0, b"vantry-host 1.0 (Vantry CLI 1.0; protocol 1)\n"))


class DefaultFolder(unittest.TestCase):
    """Without --data-dir or a variable, host and vantry meet in $XDG_DATA_HOME/vantry."""

    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)
        self.home = self.scratch.name
        self.env = dict(os.environ, HOME=self.home)
        for name in ("VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR", "XDG_DATA_HOME", "NOTIFY_SOCKET"):
            self.env.pop(name, None)

    def served_folder(self, env):
        status, out, err = detach(env=env)
        self.assertEqual((status, err), (0, ""))
        status, doctor, _ = vantry("doctor", env=env)
        self.assertEqual(status, 0, doctor)
        data = json.loads(doctor)["data"]
        self.assertTrue(data["ready"])
        folder = data["dataDirectory"]
        os.kill(int(out), signal.SIGTERM)
        log_path = os.path.join(folder, "AgentAPI", "host.log")
        wait_stopped(log_path, int(out))
        with open(log_path, encoding="utf-8") as f:
            return folder, f.readline()

    def test_the_default_follows_the_xdg_rule(self):
        cases = [
            ("unset", None, os.path.join(self.home, ".local/share/vantry")),
            ("relative", "relative/data", os.path.join(self.home, ".local/share/vantry")),
            ("absolute", os.path.join(self.home, "xdg"), os.path.join(self.home, "xdg/vantry")),
        ]
        for what, xdg, expected in cases:
            env = dict(self.env)
            if xdg is not None:
                env["XDG_DATA_HOME"] = xdg
            folder, first = self.served_folder(env)
            self.assertEqual(folder, expected, what)
            self.assertIn("data folder %s (the default, $XDG_DATA_HOME/vantry)" % expected, first)
            self.assertEqual(stat.S_IMODE(os.stat(expected).st_mode), 0o700)

    def test_the_old_folder_holding_the_data_file_stays_in_use_and_the_log_says_so(self):
        old = os.path.join(self.home, "Library/Containers/com.pellam.desktop/Data/Library/Application Support/"
                           "Pellam Desktop")
        os.makedirs(old)
        with open(os.path.join(old, "pellam.json"), "w", encoding="utf-8") as f:
            f.write('{"entries":[],"jobs":[],"savedFilters":[]}')
        folder, first = self.served_folder(self.env)
        self.assertEqual(folder, old)
        self.assertIn("the old default folder, used because it holds pellam.json and %s does not"
                      % os.path.join(self.home, ".local/share/vantry"), first)
        self.assertFalse(os.path.exists(os.path.join(self.home, ".local/share/vantry")))


class ServiceManagerNotice(unittest.TestCase):
    """NOTIFY_SOCKET gets READY=1 once the host answers, as systemd's Type=notify expects."""

    def check(self, address, bind_to):
        with tempfile.TemporaryDirectory() as scratch:
            listener = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
            listener.bind(bind_to(scratch))
            listener.settimeout(20)
            folder = os.path.join(scratch, "data")
            env = dict(os.environ, NOTIFY_SOCKET=address(scratch))
            host = subprocess.Popen([HOST, "--data-dir", folder], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, env=env)
            try:
                message = listener.recv(4096)
                self.assertEqual(message, b"READY=1")
                # Ready means a command sent now is answered.
                status, out, _ = vantry("--data-dir", folder, "jobs", "list", "--json")
                self.assertEqual(status, 0, out)
            finally:
                host.send_signal(signal.SIGTERM)
                self.assertEqual(host.wait(timeout=10), 0)
                listener.close()

    def test_a_socket_path(self):
        self.check(lambda scratch: os.path.join(scratch, "notify"), lambda scratch: os.path.join(scratch, "notify"))

    def test_an_abstract_socket_name(self):
        name = "vantry-test-notify-%d" % os.getpid()
        self.check(lambda scratch: "@" + name, lambda scratch: "\0" + name)


if __name__ == "__main__":
    unittest.main()
