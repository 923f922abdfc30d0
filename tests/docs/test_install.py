"""`cmake --install` puts every file where a distribution would, and the user unit is sound."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("PELLAM_SOURCE_DIR", os.path.join(HERE, "..", ".."))
BUILD = os.environ.get("VANTRY_BUILD_DIR", os.path.join(SOURCE, "build"))

FILES = [
    "bin/vantry",
    "bin/vantry-host",
    "bin/vantry-mcp",
    "share/man/man1/vantry.1",
    "share/man/man1/vantry-host.1",
    "share/man/man1/vantry-mcp.1",
    "share/doc/vantry/CLI.md",
    "share/bash-completion/completions/vantry",
    "share/zsh/site-functions/_vantry",
    "share/fish/vendor_completions.d/vantry.fish",
    "lib/systemd/user/vantry-host.service",
]


def install(*args, env=None):
    # A home folder that holds no prefix of these tests, so the unit's place does not depend on
    # where the temporary folders are (a prefix in the home folder takes share/systemd/user).
    env = env or dict(os.environ, HOME="/nonexistent-home")
    done = subprocess.run(["cmake", "--install", BUILD, *args], capture_output=True, timeout=120, env=env)
    if done.returncode != 0:
        raise AssertionError(done.stdout.decode() + done.stderr.decode())


def unit_settings(path):
    with open(path, encoding="utf-8") as f:
        return dict(line.strip().split("=", 1) for line in f if "=" in line and not line.startswith("#"))


class Install(unittest.TestCase):
    def test_prefix_install_holds_every_file_and_the_unit_runs_the_installed_host(self):
        with tempfile.TemporaryDirectory() as prefix:
            install("--prefix", prefix)
            for name in FILES:
                self.assertTrue(os.path.isfile(os.path.join(prefix, name)), name)
            for program in ("vantry", "vantry-host", "vantry-mcp"):
                self.assertTrue(os.access(os.path.join(prefix, "bin", program), os.X_OK), program)
            done = subprocess.run([os.path.join(prefix, "bin", "vantry"), "--version"], capture_output=True)
            self.assertEqual(done.stdout, b"Vantry CLI 1.0 (vantry-cli; protocol 1)\n")

            unit = os.path.join(prefix, "lib/systemd/user/vantry-host.service")
            settings = unit_settings(unit)
            self.assertEqual(settings["ExecStart"], os.path.join(prefix, "bin", "vantry-host"))
            self.assertEqual(settings["Restart"], "on-failure")
            self.assertEqual(settings["KillSignal"], "SIGTERM")
            self.assertEqual(settings["WantedBy"], "default.target")

    @unittest.skipUnless(shutil.which("systemd-analyze"), "systemd-analyze is not installed")
    def test_systemd_accepts_the_unit(self):
        with tempfile.TemporaryDirectory() as prefix:
            install("--prefix", prefix)
            unit = os.path.join(prefix, "lib/systemd/user/vantry-host.service")
            # The unit's Documentation= names the manual pages; man finds them in the prefix.
            env = dict(os.environ, MANPATH=os.path.join(prefix, "share", "man") + ":")
            done = subprocess.run(["systemd-analyze", "verify", unit], capture_output=True, env=env, timeout=60)
            self.assertEqual((done.returncode, done.stderr.decode()), (0, ""))

    def test_the_unit_goes_where_the_user_manager_looks(self):
        with tempfile.TemporaryDirectory() as home:
            cases = [
                ("a prefix in the home folder", os.path.join(home, ".local"), "share/systemd/user"),
                ("/usr/local", "/usr/local", "lib/systemd/user"),
                ("/usr", "/usr", "lib/systemd/user"),
                ("elsewhere", "/opt/vantry", "lib/systemd/user"),
            ]
            for what, prefix, folder in cases:
                stage = os.path.join(home, "stage-" + what.replace(" ", "-").replace("/", ""))
                env = dict(os.environ, HOME=home)
                if not prefix.startswith(home):
                    env["DESTDIR"] = stage
                install("--prefix", prefix, env=env)
                root = stage if "DESTDIR" in env else ""
                unit = root + os.path.join(prefix, folder, "vantry-host.service")
                self.assertTrue(os.path.isfile(unit), what)
                self.assertEqual(unit_settings(unit)["ExecStart"], os.path.join(prefix, "bin", "vantry-host"), what)
                other = "lib/systemd/user" if folder.startswith("share") else "share/systemd/user"
                self.assertFalse(os.path.exists(root + os.path.join(prefix, other)), what)

    def test_strip_installs_stripped_programs_and_installing_leaves_the_build_tree_alone(self):
        def build_tree():
            seen = {}
            for folder, folders, names in os.walk(BUILD):
                # ctest's own logs, which grow while other tests run beside this one
                if folder == BUILD and "Testing" in folders:
                    folders.remove("Testing")
                for name in names:
                    path = os.path.join(folder, name)
                    if name == "install_manifest.txt":  # cmake --install's own record
                        continue
                    info = os.lstat(path)
                    seen[path] = (info.st_mtime_ns, info.st_size)
            return seen

        before = build_tree()
        with tempfile.TemporaryDirectory() as prefix:
            install("--prefix", prefix, "--strip")
            for program in ("vantry", "vantry-host", "vantry-mcp"):
                sections = subprocess.run(["readelf", "-S", "-W", os.path.join(prefix, "bin", program)],
                                          capture_output=True, check=True).stdout.decode()
                self.assertNotIn(".symtab", sections, program)
                self.assertNotIn(".debug_", sections, program)
            done = subprocess.run([os.path.join(prefix, "bin", "vantry-host"), "--version"], capture_output=True)
            self.assertEqual((done.returncode, done.stdout), (0, b"vantry-host 1.0 (Vantry CLI 1.0; protocol 1)\n"))
        self.assertEqual(build_tree(), before)

    def test_a_staged_install_names_the_final_place_of_the_host(self):
        with tempfile.TemporaryDirectory() as stage:
            install("--prefix", "/opt/vantry", env=dict(os.environ, DESTDIR=stage))
            for name in FILES:
                self.assertTrue(os.path.isfile(os.path.join(stage, "opt/vantry", name)), name)
            settings = unit_settings(os.path.join(stage, "opt/vantry/lib/systemd/user/vantry-host.service"))
            self.assertEqual(settings["ExecStart"], "/opt/vantry/bin/vantry-host")


if __name__ == "__main__":
    unittest.main()
