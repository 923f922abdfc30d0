"""The agent folder's files written by hand, as an app would, for tests that need no host."""
import base64
import datetime
import hashlib
import json
import os

EPOCH_2001 = datetime.datetime(2001, 1, 1, tzinfo=datetime.timezone.utc)


def api(folder):
    return os.path.join(folder, "AgentAPI")


def iso(moment):
    return moment.astimezone(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def write_status(folder, age_seconds=0.0, enabled=True, locked=False, version=1, **extra):
    """Writes AgentAPI/status.json with a heartbeat `age_seconds` old (negative: in the future)."""
    os.makedirs(api(folder), mode=0o700, exist_ok=True)
    moment = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(seconds=age_seconds)
    record = {"version": version, "enabled": enabled, "locked": locked, "updatedAt": iso(moment),
              "appVersion": "test", **extra}
    write(os.path.join(api(folder), "status.json"), json.dumps(record).encode())


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def fingerprint(command, arguments=None, dry_run=False, version=1):
    canonical = json.dumps({"arguments": arguments or {}, "command": command, "dryRun": dry_run, "version": version},
                           sort_keys=True, separators=(",", ":"), ensure_ascii=False)
    return hashlib.sha256(canonical.encode("utf-8")).hexdigest()


def response_bytes(request_id, ok=True, data=None, error=None, print_=None, version=1):
    record = {"version": version, "id": request_id, "ok": ok}
    if data is not None:
        record["data"] = base64.b64encode(json.dumps(data).encode()).decode()
    if error is not None:
        record["error"] = error
    if print_ is not None:
        record["requestFingerprint"] = print_
    return json.dumps(record, sort_keys=True, separators=(",", ":")).encode()


def write_response(folder, request_id, data):
    responses = os.path.join(api(folder), "Responses")
    os.makedirs(responses, mode=0o700, exist_ok=True)
    write(os.path.join(responses, request_id + ".json"), data)
