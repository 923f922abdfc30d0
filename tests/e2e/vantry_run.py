"""Runs the built executables for the end-to-end tests."""
import os
import subprocess

VANTRY = os.environ.get("VANTRY_BIN", os.path.join(os.path.dirname(__file__), "../../build/cli/vantry"))


def vantry(*args, env=None, timeout=60):
    """Runs vantry (in `env`, else this environment); returns (exit status, stdout bytes, stderr bytes)."""
    done = subprocess.run([VANTRY, *args], capture_output=True, env=env if env is not None else os.environ,
                          timeout=timeout)
    return done.returncode, done.stdout, done.stderr
