// vantry-mcp as the official TypeScript SDK's stdio client sees it: the tools match the
// catalogue and the command line's options, every input schema is valid JSON Schema, and a
// working day runs through tools with the guarantees the command line gives.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { createHash } from "node:crypto";
import { existsSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { after, before, describe, it } from "node:test";
import { promisify } from "node:util";

import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";
import Ajv2020 from "ajv/dist/2020.js";
import addFormats from "ajv-formats";

import {
  MCP,
  ScratchHost,
  VANTRY,
  argumentsFor,
  catalogue,
  completionArguments,
  completionValues,
  failureOf,
  textOf,
  toolName,
} from "./vantry_session.mjs";

// The commands that only look (an export only reads records, but may write a new file
// through `out`), and those that only add a record.
const READING = new Set([
  "capabilities", "jobs.list", "jobs.show", "timer.status", "entries.list", "entries.show", "preferences.get",
  "tags.list", "filters.list", "reports.summary", "reports.daily", "reports.payperiod", "import.preview",
  "app.status", "app.data-folder", "cloud.status", "notifications.status", "location.status", "backups.list",
  "backups.preview",
]);
const ADDING = new Set(["jobs.create", "jobs.copy", "entries.create", "entries.copy", "filters.create", "timer.clock-in"]);

function onlyReads(command) {
  return READING.has(command);
}

// Arguments a tool takes beyond its command's: the request's own, which the command line
// takes as the global --request-id and, where something may change, --dry-run.
function requestArguments(command) {
  return onlyReads(command) ? ["request-id"] : ["dry-run", "request-id"];
}

const UUID = /^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$/;

const CSV_HEADER =
  '"Entry ID","Job","Start","End","Break Minutes","Time Adjustment Minutes","Rate","Tips","Miles",' +
  '"Adjustment","Taxable","Tags","Comment","Currency","Pauses JSON"';

let host;
let client;
let tools;

async function call(name, values = {}) {
  const tool = tools.get(name);
  assert.ok(tool, `no tool ${name}`);
  return client.callTool({ name, arguments: argumentsFor(tool, values) });
}

// The envelope's data of a call that must succeed, checked against the text beside it and
// for the request's id.
async function data(name, values = {}) {
  const result = await call(name, values);
  assert.notEqual(result.isError, true, `${name} failed: ${JSON.stringify(result)}`);
  assert.deepEqual(JSON.parse(textOf(result)), result.structuredContent, `${name}: the text is not the structured content`);
  assert.match(result._meta?.requestID ?? "", UUID, `${name}: no request id in ${JSON.stringify(result._meta)}`);
  if (values["request-id"]) assert.equal(result._meta.requestID, values["request-id"].toUpperCase());
  return result.structuredContent;
}

// The server works in the scratch folder, where a relative path would land.
async function connect(folder, env, ...options) {
  const connected = new Client({ name: "vantry-sdk-test", version: "1.0.0" });
  const transport = new StdioClientTransport({ command: MCP, args: ["--data-dir", folder, ...options], env, cwd: host.scratch, stderr: "pipe" });
  await connected.connect(transport);
  return connected;
}

before(async () => {
  host = new ScratchHost();
  client = await connect(host.folder, host.env);
  tools = new Map((await client.listTools()).tools.map((tool) => [tool.name, tool]));
});

after(async () => {
  await client?.close();
  await host?.stop();
});

describe("the tools", () => {
  it("are exactly the commands of the host's catalogue", () => {
    assert.deepEqual([...tools.keys()].sort(), catalogue(host).map(toolName).sort());
  });

  it("each have an input schema that compiles as JSON Schema, with an object at its root", () => {
    const ajv = new Ajv2020({ strict: true, strictRequired: true, allErrors: true });
    addFormats(ajv);
    for (const tool of tools.values()) {
      assert.equal(tool.inputSchema.type, "object", tool.name);
      assert.doesNotThrow(() => ajv.compile(tool.inputSchema), `${tool.name}: ${JSON.stringify(tool.inputSchema)}`);
      assert.equal(typeof tool.description, "string", tool.name);
      assert.notEqual(tool.description.trim(), "", tool.name);
    }
  });

  it("take their command's arguments, as the shell completion lists them, and the request's own", () => {
    for (const command of catalogue(host)) {
      const properties = Object.keys(tools.get(toolName(command)).inputSchema.properties ?? {}).sort();
      const expected = [...new Set([...completionArguments(command), ...requestArguments(command)])].sort();
      assert.deepEqual(properties, expected, command);
    }
  });

  it("take the values the shell completion offers for an option, and where they list values, those", () => {
    for (const command of catalogue(host)) {
      for (const [name, schema] of Object.entries(tools.get(toolName(command)).inputSchema.properties ?? {})) {
        const offered = completionValues(command, name);
        if (!offered.length) continue;
        const where = `${command} --${name}: ${JSON.stringify(schema)} for ${offered.join(" ")}`;
        // A value may be offered in more than one form (true or "true"): each form is checked.
        const forms = schema.anyOf ?? schema.oneOf ?? [schema];
        const digits = offered.every((value) => /^\d+$/.test(value));
        for (const form of forms) {
          if (Array.isArray(form.enum)) assert.deepEqual(form.enum.map(String).sort(), [...offered].sort(), where);
          else if (form.type === "boolean") assert.equal(offered.join(" "), "true false", where);
          else if (form.type === "integer") {
            assert.ok(digits, where);
            assert.deepEqual([form.minimum, form.maximum], [Number(offered[0]), Number(offered.at(-1))], where);
          } else assert.equal(form.type, "string", where);
        }
      }
    }
  });

  it("say which only read, which only add and that none reaches outside", () => {
    for (const command of catalogue(host)) {
      const { annotations = {} } = tools.get(toolName(command));
      assert.equal(annotations.readOnlyHint, onlyReads(command), `${command} readOnlyHint`);
      // The protocol takes a missing destructiveHint as true: a tool that only adds must say false.
      // An export's file is always a new one.
      if (!onlyReads(command)) assert.equal(annotations.destructiveHint, !(ADDING.has(command) || command === "export"), `${command} destructiveHint`);
      if (ADDING.has(command)) assert.equal(annotations.idempotentHint, false, `${command} idempotentHint`);
      if (onlyReads(command)) assert.notEqual(annotations.idempotentHint, false, `${command} idempotentHint`);
      assert.equal(annotations.openWorldHint, false, `${command} openWorldHint`);
    }
  });
});

describe("a working day through tools", () => {
  const day = {};

  it("creates a job", async () => {
    const created = await data("jobs_create", { name: "Harbour Café", rate: "25", currency: "EUR" });
    assert.equal(created.job.name, "Harbour Café");
    assert.equal(created.dryRun, false);
    assert.match(created.revision, /^[0-9a-f]{64}$/);
    day.job = created.job;
  });

  it("clocks in, takes a break, resumes and clocks out", async () => {
    const started = await data("timer_clock_in", { job: day.job.id });
    assert.equal(started.entry.jobID, day.job.id);
    assert.equal(started.entry.end ?? null, null);
    day.entry = started.entry.id;
    const paused = await data("timer_break", { entry: day.entry });
    assert.equal(paused.entry.pauses.length, 1);
    assert.equal(paused.entry.pauses[0].end ?? null, null);
    const resumed = await data("timer_resume", { entry: day.entry });
    assert.notEqual(resumed.entry.pauses[0].end ?? null, null);
    const stopped = await data("timer_clock_out", { entry: day.entry });
    assert.notEqual(stopped.entry.end ?? null, null);
    day.stopped = stopped;
  });

  it("corrects the entry with the revision it read, and refuses the stale one after", async () => {
    const pause = { ...day.stopped.entry.pauses[0], start: "2026-03-02T12:00:00Z", end: "2026-03-02T12:30:00Z" };
    const corrected = await data("entries_update", {
      id: day.entry,
      start: "2026-03-02T09:00:00Z",
      end: "2026-03-02T17:00:00Z",
      pauses: JSON.stringify([pause]),
      comment: "Inventory, corrected",
      "if-match": day.stopped.revision,
    });
    assert.equal(Date.parse(corrected.entry.start), Date.parse("2026-03-02T09:00:00Z"));
    assert.equal(corrected.entry.comment, "Inventory, corrected");
    assert.notEqual(corrected.revision, day.stopped.revision);

    const stale = failureOf(await call("entries_update", { id: day.entry, comment: "late", "if-match": day.stopped.revision }));
    assert.deepEqual(stale, {
      code: "conflict",
      message: "This record changed. Read it again before applying your update.",
      retryable: true,
    });
    assert.equal((await data("entries_show", { id: day.entry })).entry.comment, "Inventory, corrected");
  });

  it("sums the week: seven and a half hours at 25 EUR", async () => {
    const summary = await data("reports_summary", { range: "week", at: "2026-03-04T12:00:00Z" });
    assert.equal(summary.workedSeconds, 27000);
    assert.equal(summary.currencies.length, 1);
    assert.equal(summary.currencies[0].currency, "EUR");
    assert.equal(summary.currencies[0].gross, "187.5");
  });

  it("exports the entries as CSV in an embedded resource, byte for byte what vantry writes", async () => {
    const result = await call("export", { format: "csv", range: "all" });
    assert.notEqual(result.isError, true, JSON.stringify(result));
    const resources = result.content.filter((item) => item.type === "resource");
    assert.equal(resources.length, 1, JSON.stringify(result.content));
    const { resource } = resources[0];
    assert.match(resource.mimeType, /^text\/csv/);
    const bytes = resource.blob !== undefined ? Buffer.from(resource.blob, "base64") : Buffer.from(resource.text, "utf8");
    assert.ok(JSON.stringify(resource).includes("Vantry Entries.csv") || decodeURIComponent(resource.uri).includes("Vantry Entries.csv"), resource.uri);
    const lines = bytes.toString("utf8").split("\r\n");
    assert.equal(lines[0], CSV_HEADER);
    assert.equal(lines.length, 3, "the header, one entry and the empty text after the last line end");
    assert.ok(lines[1].startsWith(`"${day.entry}","Harbour Café","2026-03-02T09:00:00Z","2026-03-02T17:00:00Z"`), lines[1]);

    const out = join(host.scratch, "entries.csv");
    const written = host.vantry("export", "--format", "csv", "--range", "all", "--out", out);
    assert.equal(written.ok, true, JSON.stringify(written));
    assert.deepEqual(bytes, readFileSync(out));
    if (result.structuredContent?.sha256) assert.equal(result.structuredContent.sha256, createHash("sha256").update(bytes).digest("hex"));
  });
});

describe("an export through out", () => {
  // The file as vantry writes it for the same selection, for comparison.
  let expected;
  before(() => {
    const path = join(host.scratch, "by-vantry.csv");
    assert.equal(host.vantry("export", "--format", "csv", "--range", "all", "--out", path).ok, true);
    expected = readFileSync(path);
  });

  it("writes a new file where out says, as vantry does, and returns no file", async () => {
    const out = join(host.scratch, "through-out.csv");
    const result = await call("export", { format: "csv", range: "all", out });
    assert.notEqual(result.isError, true, JSON.stringify(result));
    assert.deepEqual(result.content.filter((item) => item.type === "resource"), []);
    assert.equal(result.structuredContent.path, out);
    assert.deepEqual(readFileSync(out), expected);
  });

  it("never replaces a file, and fails as vantry does", async () => {
    const out = join(host.scratch, "kept.csv");
    writeFileSync(out, "mine\n");
    const failure = failureOf(await call("export", { format: "csv", range: "all", out }));
    const printed = host.vantry("export", "--format", "csv", "--range", "all", "--out", out);
    assert.deepEqual(failure, printed.error);
    assert.equal(readFileSync(out, "utf8"), "mine\n");
  });

  it("refuses a relative path, which would depend on the server's working folder", async () => {
    const failure = failureOf(await call("export", { format: "csv", range: "all", out: "relative.csv" }));
    assert.equal(failure.code, "invalid_argument");
    assert.match(failure.message, /absolute/);
    assert.equal(existsSync(join(host.scratch, "relative.csv")), false);
  });
});

describe("an import from a file", () => {
  const csv =
    CSV_HEADER +
    '\r\n"","Harbour Café","2026-03-06T09:00:00Z","2026-03-06T12:00:00Z","0.0","0.0","25","0","0.0","0","false","[]","imported","EUR","[]"\r\n';

  it("is previewed as vantry previews it, and applied with the preview's token", async () => {
    const file = join(host.scratch, "import.csv");
    writeFileSync(file, csv);
    const printed = host.vantry("import", "preview", file);
    assert.equal(printed.ok, true, JSON.stringify(printed));
    const preview = await data("import_preview", { file });
    assert.deepEqual(preview, printed.data);

    const before = (await data("entries_list", {})).total;
    await data("import_apply", { file, preview: preview.preview });
    assert.equal((await data("entries_list", {})).total, before + 1);
  });

  it("refuses a relative path", async () => {
    const failure = failureOf(await call("import_preview", { file: "import.csv" }));
    assert.equal(failure.code, "invalid_argument");
    assert.match(failure.message, /absolute/);
  });
});

describe("request ids and dry runs", () => {
  it("replays a call that repeats its request id: the same answer, one record", async () => {
    const before = (await data("jobs_list", {})).total;
    const first = await data("jobs_create", { name: "Replayed", "request-id": "0DDBA11E-0000-4000-8000-000000000001" });
    const again = await data("jobs_create", { name: "Replayed", "request-id": "0ddba11e-0000-4000-8000-000000000001" });
    assert.deepEqual(again, first);
    assert.equal((await data("jobs_list", {})).total, before + 1);
  });

  const dryRuns = [
    { tool: "jobs_create", values: () => ({ name: "Never saved" }), list: "jobs_list" },
    { tool: "jobs_archive", values: (ids) => ({ id: ids.job }), list: "jobs_list" },
    { tool: "entries_create", values: (ids) => ({ job: ids.job, start: "2026-03-03T09:00:00Z", end: "2026-03-03T10:00:00Z" }), list: "entries_list" },
    { tool: "entries_delete", values: (ids) => ({ id: ids.entry }), list: "entries_list" },
  ];
  for (const { tool, values, list } of dryRuns) {
    it(`${tool} as a dry run reports its change and makes none`, async () => {
      const ids = await someRecords();
      const listed = await data(list, {});
      const answer = await data(tool, { ...values(ids), "dry-run": true });
      assert.equal(answer.dryRun, true);
      assert.deepEqual(await data(list, {}), listed);
    });
  }
});

describe("tool errors", () => {
  const unknown = "0BADC0DE-0000-4000-8000-000000000000";
  const cases = [
    { tool: "jobs_show", values: { id: unknown }, code: "not_found" },
    { tool: "entries_show", values: { id: unknown }, code: "not_found" },
    { tool: "entries_delete", values: { id: unknown }, code: "not_found" },
    { tool: "export", values: { format: "json", range: "all" }, code: "invalid_argument", message: "JSON exports are complete backups. Use CSV or XLSX for a filtered export." },
  ];
  for (const { tool, values, code, message } of cases) {
    it(`${tool} ${JSON.stringify(values)} fails with ${code} and the server serves on`, async () => {
      const failure = failureOf(await call(tool, values));
      assert.equal(failure.code, code);
      assert.equal(failure.retryable, false);
      assert.equal(typeof failure.message, "string");
      if (message) assert.equal(failure.message, message);
      assert.ok(Array.isArray((await data("jobs_list", {})).items));
    });
  }
});

// vantry's JSON envelope, whatever its exit status.
async function vantryJson(env, ...args) {
  try {
    return JSON.parse((await promisify(execFile)(VANTRY, ["--json", ...args], { env })).stdout);
  } catch (error) {
    return JSON.parse(error.stdout);
  }
}

// A job and an ended entry of it, made through the command line so that the dry runs do not
// lean on the tools they check.
let records;
async function someRecords() {
  if (records) return records;
  const job = host.vantry("jobs", "create", "--name", "Dry runs");
  assert.equal(job.ok, true, JSON.stringify(job));
  const entry = host.vantry("entries", "create", "--job", job.data.job.id, "--start", "2026-03-05T09:00:00Z", "--end", "2026-03-05T11:00:00Z");
  assert.equal(entry.ok, true, JSON.stringify(entry));
  records = { job: job.data.job.id, entry: entry.data.entry.id };
  return records;
}

describe("calls the server refuses", () => {
  // Each is refused before any request reaches the app: as the protocol's invalid-params
  // error, or as a tool error saying what is wrong; the server serves on.
  const cases = [
    { what: "an unknown tool", name: "jobs_frobnicate", arguments: {} },
    { what: "an argument the tool does not take", name: "jobs_list", arguments: { colour: "red" } },
    { what: "arguments that are not an object", name: "jobs_list", arguments: ["archived"] },
    { what: "a request id that is not a UUID", name: "jobs_list", arguments: { "request-id": "replay-job-1" } },
    { what: "an argument of the wrong type", name: "jobs_create", arguments: { name: "Typed", "dry-run": { yes: true } } },
  ];
  for (const { what, name, arguments: values } of cases) {
    it(`${what}`, async () => {
      const before = (await data("jobs_list", {})).total;
      let refusal;
      try {
        const result = await client.callTool({ name, arguments: values });
        refusal = failureOf(result);
        assert.equal(refusal.code, "invalid_argument", JSON.stringify(result));
      } catch (error) {
        if (error.code === undefined) throw error;
        assert.equal(error.code, -32602, error.message);
        refusal = error;
      }
      assert.notEqual(refusal.message, "");
      assert.equal((await data("jobs_list", {})).total, before);
    });
  }
});

describe("the app's state", () => {
  // The status resource: the one whose contents are JSON.
  async function status(connected) {
    const { resources } = await connected.listResources();
    const described = resources.filter((resource) => resource.mimeType === "application/json");
    assert.equal(described.length, 1, JSON.stringify(resources));
    const { contents } = await connected.readResource({ uri: described[0].uri });
    return JSON.parse(contents[0].text);
  }

  it("the status resource says the serving app is ready, and what it wrote", async () => {
    const read = await status(client);
    assert.equal(read.ready, true, JSON.stringify(read));
    const onDisk = JSON.parse(readFileSync(join(host.folder, "AgentAPI", "status.json"), "utf8"));
    const { updatedAt, ...lasting } = onDisk;
    assert.ok(updatedAt);
    assert.deepEqual({ ...read.status, updatedAt: undefined }, { ...lasting, updatedAt: undefined });
  });

  // Each case leaves a folder in some state; a tool then fails as vantry fails there, with the
  // same code, message and retryable flag, within the timeout, and the status says not ready.
  const cases = [
    { state: "no app has served the folder", prepare: async () => ({ folder: join(host.scratch, "never-served") }) },
    {
      state: "the app is locked",
      prepare: async () => {
        const locked = new ScratchHost();
        assert.equal(locked.vantry("app", "lock").ok, true);
        return { folder: locked.folder, done: () => locked.stop() };
      },
    },
    {
      state: "the app was killed long ago",
      prepare: async () => {
        // A killed app leaves its last heartbeat behind (a stopped one removes it).
        const stopped = new ScratchHost();
        const path = join(stopped.folder, "AgentAPI", "status.json");
        const last = JSON.parse(readFileSync(path, "utf8"));
        await stopped.stop({ keepFolder: true });
        writeFileSync(path, JSON.stringify({ ...last, updatedAt: "2026-01-05T08:00:00Z" }));
        return { folder: stopped.folder, done: () => stopped.remove() };
      },
    },
    {
      state: "the app does not answer",
      prepare: async () => {
        const frozen = new ScratchHost();
        process.kill(frozen.pid, "SIGSTOP");
        return { folder: frozen.folder, done: () => frozen.stop(), ready: null };
      },
    },
  ];
  for (const { state, prepare } of cases) {
    it(`${state}: jobs_list fails as vantry jobs list does, within the timeout`, async () => {
      const { folder, done, ready = false } = await prepare();
      const connected = await connect(folder, host.env, "--timeout", "1");
      try {
        // Both at once: a stopped app's status turns stale within seconds.
        const started = Date.now();
        const [result, printed] = await Promise.all([
          connected.callTool({ name: "jobs_list", arguments: {} }).then((answer) => ({ answer, elapsed: Date.now() - started })),
          vantryJson(host.env, "--timeout", "1", "--data-dir", folder, "jobs", "list"),
        ]);
        assert.equal(printed.ok, false);
        // A message may name the request's id, which differs between the two.
        const failure = failureOf(result.answer);
        const requestID = result.answer._meta?.requestID;
        assert.match(requestID ?? "", UUID);
        assert.deepEqual(
          { ...failure, message: failure.message.replaceAll(requestID, "ID") },
          { ...printed.error, message: printed.error.message.replaceAll(printed.requestID, "ID") },
        );
        assert.ok(result.elapsed < 4000, `answered after ${result.elapsed} ms`);
        // Whether a stopped app still counts as ready depends on how old its last heartbeat is.
        if (ready !== null) assert.equal((await status(connected)).ready, ready);
      } finally {
        await connected.close();
        await done?.();
      }
    });
  }
});
