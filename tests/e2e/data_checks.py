"""Checks of the host's data file for the end-to-end tests of engine commands."""
import json
import os


class DataFileChecks:
    """For a HostCase: what pellam.json holds, and failures that must leave it as it was."""

    def data_bytes(self):
        with open(os.path.join(self.folder, "pellam.json"), "rb") as f:
            return f.read()

    def stored(self):
        return json.loads(self.data_bytes())

    def fails(self, args, code, message, retryable=False):
        """The command fails as given and leaves pellam.json exactly as it was."""
        before = self.data_bytes()
        status, envelope = self.run_vantry(*args)
        self.assertEqual((status, envelope["error"]),
                         (1, {"code": code, "message": message, "retryable": retryable}))
        self.assertEqual(self.data_bytes(), before)
