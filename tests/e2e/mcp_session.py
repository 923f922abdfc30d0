"""Drives a real vantry-mcp over its standard input and output, one raw line at a time."""
import json
import os
import queue
import subprocess
import threading

MCP = os.environ.get("VANTRY_MCP_BIN", os.path.join(os.path.dirname(__file__), "../../build/mcp/vantry-mcp"))


class McpSession:
    """A running vantry-mcp; every line it prints is kept, standard error goes to a file."""

    def __init__(self, *args, env=None, stderr_path=os.devnull):
        self.stderr = open(stderr_path, "wb")
        self.process = subprocess.Popen([MCP, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self.stderr, env=env)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        try:
            for line in self.process.stdout:
                self.lines.put(line)
        except ValueError:  # closed by close() while reading
            pass
        self.lines.put(None)

    def send(self, text):
        """Writes one line (or raw bytes, without an added line feed)."""
        data = text if isinstance(text, bytes) else text.encode() + b"\n"
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def read(self, timeout=30):
        """The next message it printed, parsed; None at the end of its output."""
        line = self.lines.get(timeout=timeout)
        return None if line is None else json.loads(line)

    def ask(self, message, timeout=30):
        self.send(json.dumps(message))
        return self.read(timeout)

    def request(self, method, params=None, id=1, timeout=30):
        message = {"jsonrpc": "2.0", "id": id, "method": method}
        if params is not None:
            message["params"] = params
        return self.ask(message, timeout)

    def initialize(self, revision="2025-06-18"):
        answer = self.request("initialize", {"protocolVersion": revision, "capabilities": {},
                                             "clientInfo": {"name": "e2e", "version": "1"}}, id=0)
        self.send(json.dumps({"jsonrpc": "2.0", "method": "notifications/initialized"}))
        return answer

    def call(self, tool, arguments=None, id=1, timeout=30):
        """The result of a tools/call (the JSON-RPC answer when it is an error)."""
        params = {"name": tool}
        if arguments is not None:
            params["arguments"] = arguments
        answer = self.request("tools/call", params, id=id, timeout=timeout)
        return answer.get("result", answer)

    def close(self, timeout=30):
        """Ends its input; returns its exit status."""
        if not self.process.stdin.closed:
            self.process.stdin.close()
        status = self.process.wait(timeout=timeout)
        self._release()
        return status

    def _release(self):
        for stream in (self.process.stdin, self.process.stdout, self.stderr):
            if not stream.closed:
                stream.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self._release()
