"""A small tmpfs for the tests that fill a disk: mounted for one test, skipped where it may not be."""
import os
import subprocess


def mount_small_disk(test, parent, size):
    """Mounts a tmpfs of `size` (mount's form: "16k", "4m") at `parent`/disk for `test`, unmounted
    at its cleanup, and returns its path; skips `test` where no tmpfs may be mounted (not root)."""
    disk = os.path.join(parent, "disk")
    os.mkdir(disk)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s,mode=0700" % size, "tmpfs", disk],
                             capture_output=True)
    if mounted.returncode != 0:
        test.skipTest("a small tmpfs cannot be mounted here (root is needed): %s; the unit tests cover a "
                      "full disk through the fault-injecting file system"
                      % mounted.stderr.decode("utf-8", "replace").strip())
    test.addCleanup(subprocess.run, ["umount", "-l", disk], capture_output=True)
    return disk
