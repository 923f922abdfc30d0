#!/usr/bin/env python3
"""A systemd user manager of its own for a test, on a machine whose PID 1 is not systemd (a
container): run as root, it enters a private mount namespace, makes the two things the manager
looks for in /run/systemd there (system/, which says the machine runs systemd, and the
inaccessible/ nodes the sandbox mounts over hidden paths), and starts `systemd --user` with
the HOME and XDG_RUNTIME_DIR it is given. The manager's log (it writes to /dev/console) goes
to LOG through a pseudo-terminal. Prints "ready" once `systemctl --user` can reach it, and
stops it when its standard input closes.

    private_user_manager.py HOME XDG_RUNTIME_DIR LOG
"""
import os
import shutil
import socket
import subprocess
import sys
import threading
import time

SYSTEMD = next((path for path in ("/usr/lib/systemd/systemd", "/lib/systemd/systemd") if os.path.exists(path)), None)


def problem():
    """Why no private user manager can run here, or None."""
    if not SYSTEMD:
        return "systemd is not installed"
    if os.geteuid() != 0:
        return "a private user manager needs root (a mount namespace of its own)"
    if not shutil.which("unshare"):
        return "unshare is not installed"
    done = subprocess.run(["unshare", "--mount", "--propagation", "private", "true"], capture_output=True)
    if done.returncode != 0:
        return "no mount namespace can be made here: " + done.stderr.decode().strip()
    return None


def make_run_systemd():
    subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=0755", "tmpfs", "/run/systemd"], check=True)
    os.mkdir("/run/systemd/system")
    hidden = "/run/systemd/inaccessible"
    os.mkdir(hidden, 0o755)
    os.mkdir(os.path.join(hidden, "dir"), 0)
    os.close(os.open(os.path.join(hidden, "reg"), os.O_CREAT | os.O_WRONLY, 0))
    os.mkfifo(os.path.join(hidden, "fifo"), 0)
    os.mknod(os.path.join(hidden, "chr"), 0o020000, os.makedev(0, 0))
    os.mknod(os.path.join(hidden, "blk"), 0o060000, os.makedev(0, 0))
    with socket.socket(socket.AF_UNIX) as sock:
        sock.bind(os.path.join(hidden, "sock"))
    for name in os.listdir(hidden):
        os.chmod(os.path.join(hidden, name), 0)


def console_to(log):
    """Binds a pseudo-terminal over /dev/console and copies what is written to it into log."""
    master, follower = os.openpty()
    subprocess.run(["mount", "--bind", os.ttyname(follower), "/dev/console"], check=True)

    def copy():
        with open(log, "ab", buffering=0) as out:
            while True:
                try:
                    chunk = os.read(master, 65536)
                except OSError:
                    return
                if not chunk:
                    return
                out.write(chunk)

    threading.Thread(target=copy, daemon=True).start()


def main():
    home, runtime, log = sys.argv[1:4]
    if os.environ.get("PRIVATE_USER_MANAGER_INSIDE") != "1":
        env = dict(os.environ, PRIVATE_USER_MANAGER_INSIDE="1")
        os.execvpe("unshare", ["unshare", "--mount", "--propagation", "private", sys.executable, *sys.argv], env)
    make_run_systemd()
    console_to(log)
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime, SYSTEMD_LOG_TARGET="console")
    env.pop("PRIVATE_USER_MANAGER_INSIDE")
    manager = subprocess.Popen([SYSTEMD, "--user"], env=env, stdin=subprocess.DEVNULL)
    private = os.path.join(runtime, "systemd", "private")
    deadline = time.monotonic() + 30
    while not os.path.exists(private):
        if manager.poll() is not None or time.monotonic() > deadline:
            print("the user manager did not start (exit %s); see %s" % (manager.poll(), log), flush=True)
            return 1
        time.sleep(0.05)
    print("ready", flush=True)
    sys.stdin.read()
    manager.terminate()
    manager.wait(timeout=60)
    time.sleep(0.2)  # the last lines on their way through the console
    return 0


if __name__ == "__main__":
    sys.exit(main())
