// vantry-mcp driven by the MCP Inspector's command-line mode, one Inspector run (and one
// server) per method, each answer read from what the Inspector prints.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join } from "node:path";
import { after, before, describe, it } from "node:test";
import { promisify } from "node:util";

import { MCP, SOURCE_DIR, ScratchHost, catalogue, toolName } from "./vantry_session.mjs";

const INSPECTOR = join(dirname(createRequire(import.meta.url).resolve("@modelcontextprotocol/inspector/package.json")), "cli/build/cli.js");

let host;

// What the Inspector prints for one method, parsed. Its exit status says nothing: the
// launcher does not wait for its command-line part, so it exits 0 even when that part fails.
async function inspect(method, ...options) {
  const { stdout, stderr } = await promisify(execFile)(
    process.execPath,
    [INSPECTOR, "--cli", MCP, "--data-dir", host.folder, "--method", method, ...options],
    { env: host.env, timeout: 60000, maxBuffer: 16 * 1024 * 1024 },
  );
  try {
    return JSON.parse(stdout);
  } catch {
    throw new Error(`the Inspector printed no answer to ${method} ${options.join(" ")}: ${stdout}${stderr}`);
  }
}

before(() => {
  host = new ScratchHost();
});

after(async () => {
  await host?.stop();
});

describe("the MCP Inspector's command-line mode", () => {
  it("tools/list: one tool per command of the catalogue, each with an object schema", async () => {
    const { tools } = await inspect("tools/list");
    assert.deepEqual(tools.map((tool) => tool.name).sort(), catalogue(host).map(toolName).sort());
    for (const tool of tools) assert.equal(tool.inputSchema.type, "object", tool.name);
  });

  it("tools/call of a change, then of a read, agree with the command line", async () => {
    const created = await inspect("tools/call", "--tool-name", "jobs_create", "--tool-arg", "name=Dockside", "--tool-arg", "rate=12.5");
    assert.notEqual(created.isError, true, JSON.stringify(created));
    assert.equal(created.structuredContent.job.name, "Dockside");
    const id = created.structuredContent.job.id;

    const listed = host.vantry("jobs", "list");
    assert.deepEqual(listed.data.items.map((job) => [job.id, job.name, job.rate]), [[id, "Dockside", created.structuredContent.job.rate]]);

    const shown = await inspect("tools/call", "--tool-name", "jobs_show", "--tool-arg", `id=${id}`);
    assert.notEqual(shown.isError, true, JSON.stringify(shown));
    assert.deepEqual(shown.structuredContent, host.vantry("jobs", "show", id).data);
  });

  it("tools/call of an unknown record: a tool error with the failure's code", async () => {
    const failed = await inspect("tools/call", "--tool-name", "jobs_show", "--tool-arg", "id=0BADC0DE-0000-4000-8000-000000000000");
    assert.equal(failed.isError, true);
    assert.equal(failed.structuredContent.error.code, "not_found");
    assert.equal(failed.structuredContent.error.retryable, false);
  });

  it("resources/list and resources/read: the guide as written, and the host's status", async () => {
    const { resources } = await inspect("resources/list");
    const read = await Promise.all(resources.map((resource) => inspect("resources/read", "--uri", resource.uri)));
    const texts = read.map(({ contents }) => contents.map((content) => content.text ?? "").join(""));

    const guide = readFileSync(join(SOURCE_DIR, "docs", "CLI.md"), "utf8");
    assert.equal(texts.filter((text) => text === guide).length, 1, `the guide among ${JSON.stringify(resources)}`);

    const statuses = texts.flatMap((text) => {
      try {
        return [JSON.parse(text)];
      } catch {
        return [];
      }
    });
    assert.equal(statuses.length, 1, `one status among ${JSON.stringify(resources)}`);
    assert.equal(statuses[0].ready, true, JSON.stringify(statuses[0]));
    // What the host wrote, but for its heartbeat's time, which moves on between the reads.
    const { updatedAt, ...onDisk } = JSON.parse(readFileSync(join(host.folder, "AgentAPI", "status.json"), "utf8"));
    assert.ok(updatedAt);
    assert.deepEqual({ ...statuses[0].status, updatedAt: undefined }, { ...onDisk, updatedAt: undefined });
  });
});
