// vantry's command line: the input, split on NUL bytes, is the argument vector. It is parsed
// and translated into the request it stands for, in a scratch folder that holds the kinds of
// file an option can name (args.json, patch.json, entries.csv, backup.json). Oracle: the
// request the command line builds reaches the app unchanged (it encodes to bytes that decode
// to the same request).
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "agent/wire/wire.h"
#include "cli/options.h"
#include "cli/request_builder.h"
#include "cli/url_check.h"
#include "core/file_system.h"
#include "core/utf8.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace pellam;
using fuzz::check;

std::filesystem::path scratch;
int startFolder = -1;  // libFuzzer writes its findings relative to the folder it started in

void write(const char* name, std::string_view content) {
  std::ofstream(scratch / name, std::ios::binary) << content;
}

// A path into /proc or /sys could name a file that looks empty and never ends (/proc/kmsg).
bool namesNoKernelFile(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg.find("proc") != std::string::npos || arg.find("sys") != std::string::npos) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/pellam-fuzz-cli-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  scratch = folder;
  write("args.json", R"({"name":"Corner Café","rate":"18.50","tags":["a","b"],"note":null})");
  write("patch.json", R"({"comment":"Fixed","tags":["x"]})");
  write("entries.csv", "Job,Start,End,Comment\r\nAcme,2026-03-02T09:00:00Z,2026-03-02T17:00:00Z,Stock\r\n");
  write("backup.json", R"({"format":"PellamDesktop","version":2,"jobs":[],"entries":[]})");
  startFolder = open(".", O_RDONLY | O_DIRECTORY);
  setenv("VANTRY_DATA_DIR", folder, 1);
  std::atexit([] { std::filesystem::remove_all(scratch); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // As vantry's run() does: arguments that are not UTF-8 are repaired first.
  std::vector<std::string> args = fuzz::splitOnNul(fuzz::text(data, size));
  for (std::string& arg : args) arg = repairedUtf8(arg);
  if (!namesNoKernelFile(args)) return 0;
  for (const std::string& arg : args) (void)cli::isHttpsURLWithHost(arg);

  std::optional<agent::AgentRequest> request;
  std::filesystem::current_path(scratch);
  try {
    const cli::CLIOptions options = cli::CLIOptions::parse(args);
    if (!options.words.empty() && !options.help && !options.version) request = buildRequest(options, fuzz::kNow);
  } catch (const agent::AgentFailure&) {
  } catch (const JsonParseError&) {
  } catch (const FileSystemError&) {
  }
  if (fchdir(startFolder) != 0) fuzz::fail("cannot return to the starting folder");
  if (!request) return 0;

  const std::string encoded = agent::AgentWire::encode(*request);
  agent::AgentRequest received;
  try {
    received = agent::AgentWire::decodeRequest(encoded);
  } catch (const std::exception& error) {
    fuzz::fail(std::string("the built request does not decode: ") + error.what());
  }
  check(received == *request, "the built request decodes to another request");
  return 0;
}
