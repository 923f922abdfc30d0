// What the client tests share: a detached vantry-host on a scratch folder, the paths of the
// built programs, the listings that do not come from vantry-mcp (the catalogue as
// `vantry capabilities` reports it, each command's options as the shell completion offers
// them), and the reading of tool results.
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync, readFileSync, existsSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { setTimeout as sleep } from "node:timers/promises";

export const MCP = requiredPath("VANTRY_MCP_BIN");
export const HOST = requiredPath("VANTRY_HOST_BIN");
export const VANTRY = requiredPath("VANTRY_BIN");
export const COMPLETION_ENGINE = requiredPath("VANTRY_COMPLETION_ENGINE");
export const SOURCE_DIR = requiredPath("PELLAM_SOURCE_DIR");

function requiredPath(name) {
  const value = process.env[name];
  if (!value || !existsSync(value)) throw new Error(`${name} must name an existing path (it is ${value ?? "unset"})`);
  return value;
}

// The programs see neither the caller's data folder nor its time zone.
export function cleanEnvironment(home) {
  const env = { ...process.env, HOME: home, TZ: "UTC" };
  for (const name of ["VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR", "XDG_DATA_HOME", "NOTIFY_SOCKET"]) delete env[name];
  return env;
}

// A vantry-host serving a fresh folder until stop().
export class ScratchHost {
  constructor() {
    this.scratch = mkdtempSync(join(tmpdir(), "vantry-mcp-test-"));
    this.folder = join(this.scratch, "data");
    this.env = cleanEnvironment(this.scratch);
    const printed = execFileSync(HOST, ["--detach", "--data-dir", this.folder], { env: this.env, encoding: "utf8", timeout: 30000 });
    if (!/^\d+\n$/.test(printed)) throw new Error(`vantry-host --detach printed ${JSON.stringify(printed)}`);
    this.pid = Number(printed);
  }

  // `vantry --json` with the host's folder; the parsed envelope.
  vantry(...args) {
    let out;
    try {
      out = execFileSync(VANTRY, ["--json", "--data-dir", this.folder, ...args], { env: this.env, encoding: "utf8", timeout: 30000 });
    } catch (error) {
      out = error.stdout;
    }
    return JSON.parse(out);
  }

  // Stops the host (a stopped one goes on first) and, unless told to keep it, removes its folder.
  async stop({ keepFolder = false } = {}) {
    try {
      if (alive(this.pid)) {
        process.kill(this.pid, "SIGCONT");
        process.kill(this.pid, "SIGTERM");
      }
      for (let i = 0; i < 1000 && alive(this.pid); i++) await sleep(10);
      if (alive(this.pid)) throw new Error(`vantry-host ${this.pid} did not stop on SIGTERM`);
    } finally {
      if (!keepFolder) this.remove();
    }
  }

  remove() {
    rmSync(this.scratch, { recursive: true, force: true });
  }
}

// Gone, or a zombie that its new parent has not reaped yet.
function alive(pid) {
  try {
    const stat = readFileSync(`/proc/${pid}/stat`, "utf8");
    return stat.slice(stat.lastIndexOf(")") + 2).split(" ")[0] !== "Z";
  } catch {
    return false;
  }
}

// A command's tool: the words of its name joined by underscores (`timer.clock-in` → `timer_clock_in`).
export function toolName(command) {
  return command.replace(/[.-]/g, "_");
}

// Every command a client may send, as the host's own catalogue answer lists it.
export function catalogue(host) {
  const envelope = host.vantry("capabilities");
  if (!envelope.ok) throw new Error(`vantry capabilities failed: ${JSON.stringify(envelope)}`);
  return [...envelope.data.engineCommands, ...envelope.data.appCommands];
}

// The arguments of one command as the shell completion knows them: the options it offers
// after `--`, less the global options every command line takes (those it offers for a
// command without arguments of its own) and the command line's own --patch-file, and the
// keys the command's operands fill.
export function completionArguments(command) {
  const globals = new Set(completionOptions("preferences.get"));
  globals.add("patch-file");
  const options = completionOptions(command).filter((name) => !globals.has(name));
  return [...options, ...(operandKeys().get(command.replace(".", " ")) ?? [])];
}

function completionOptions(command) {
  const printed = complete("--", ...command.split("."));
  return printed.split("\n").filter((word) => word.startsWith("--")).map((word) => word.slice(2));
}

// The operand keys of each command, from the completion engine's own case list
// (`"jobs show") keys="id" ;;`).
function operandKeys() {
  const keys = new Map();
  for (const [, words, names] of readFileSync(COMPLETION_ENGINE, "utf8").matchAll(/^\s*"([^"]+)"[^\n]*\) keys="([^"]*)" ;;$/gm)) {
    keys.set(words, names.split(" ").filter(Boolean));
  }
  if (!keys.has("jobs show")) throw new Error(`no operand keys found in ${COMPLETION_ENGINE}`);
  return keys;
}

function complete(current, ...words) {
  return execFileSync("sh", ["-c", readFileSync(COMPLETION_ENGINE, "utf8"), "vantry-complete", VANTRY, current, ...words], {
    encoding: "utf8",
    env: { PATH: process.env.PATH, HOME: tmpdir() },
  });
}

// The values the shell completion offers for one option of a command; none for a flag (an
// option without a value) or when it offers files, folders or names from the app.
export function completionValues(command, option) {
  const flags = readFileSync(COMPLETION_ENGINE, "utf8").match(/^\s*case \$1 in ([^)]*)\) return 0 ;; esac$/m);
  if (!flags) throw new Error(`no flags found in ${COMPLETION_ENGINE}`);
  if (flags[1].split("|").map((flag) => flag.trim()).includes(`--${option}`)) return [];
  const printed = complete("", ...command.split("."), `--${option}`);
  const values = printed.split("\n").filter((value) => value !== "");
  return values.some((value) => value.startsWith("@")) ? [] : values;
}

// An argument value in the form the tool's schema asks for: text where the schema says
// string (the command line's form: numbers in digits, booleans as true/false, JSON as text),
// the JSON value itself otherwise.
export function argumentsFor(tool, values) {
  const properties = tool.inputSchema.properties ?? {};
  const typed = {};
  for (const [name, value] of Object.entries(values)) {
    if (!(name in properties)) throw new Error(`${tool.name} has no argument ${name}`);
    const type = schemaType(properties[name]);
    if (type === "string" || type === undefined) typed[name] = typeof value === "string" ? value : JSON.stringify(value);
    else if (typeof value === "string" && type !== "string") typed[name] = JSON.parse(value);
    else typed[name] = value;
  }
  return typed;
}

function schemaType(schema) {
  if (typeof schema.type === "string") return schema.type;
  if (Array.isArray(schema.type)) return schema.type.includes("string") ? "string" : schema.type[0];
  for (const key of ["anyOf", "oneOf"]) {
    if (Array.isArray(schema[key])) {
      const types = schema[key].map(schemaType);
      return types.includes("string") ? "string" : types[0];
    }
  }
  return undefined;
}

// The single text content of a tool result.
export function textOf(result) {
  const texts = (result.content ?? []).filter((item) => item.type === "text");
  if (texts.length !== 1) throw new Error(`expected one text content, got ${JSON.stringify(result.content)}`);
  return texts[0].text;
}

// The failure a tool error carries: code, message and retryable, from its structured
// content or, failing that, its text.
export function failureOf(result) {
  if (result.isError !== true) throw new Error(`expected a tool error, got ${JSON.stringify(result)}`);
  const carried = result.structuredContent ?? JSON.parse(textOf(result));
  const failure = carried.error ?? carried;
  return { code: failure.code, message: failure.message, retryable: failure.retryable };
}
