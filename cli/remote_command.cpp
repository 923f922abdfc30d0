// Every command that is not answered locally: translated into a request, carried to the app
// by the transport client, and its answer printed (and, for export --out, written to a file).
#include "cli/remote_command.h"

#include "agent/client/client.h"
#include "agent/wire/failure.h"
#include "cli/export_file.h"
#include "cli/output.h"
#include "cli/request_builder.h"
#include "core/base64.h"
#include "core/paths.h"

namespace pellam::cli {

using agent::AgentFailure;

namespace {

// `--out -` sends the file to standard output instead of naming a file (`./-` names one).
constexpr const char* kStandardOutput = "-";

// The file an export result carries.
std::string exportedBytes(const Json& result) {
  AgentFailure notAFile = AgentFailure::invalidArgument("--out applies to an export that returns a file.");
  const Json* base64 = result.isObject() ? result.find("base64") : nullptr;
  if (!base64 || !base64->isString()) throw notAFile;
  std::optional<std::string> bytes = base64Decode(base64->asString());
  if (!bytes) throw notAFile;
  return std::move(*bytes);
}

// Replaces the file an export result carries with where it went (or would go on a dry run).
void writeOutput(Json& result, const std::string& bytes, const CLIOptions& options) {
  const std::string& path = *options.outputPath;
  std::string target = path == kStandardOutput ? path : standardizedPath(expandTilde(path));
  if (options.dryRun) {
    result["wouldWrite"] = target;
  } else {
    writeExport(bytes, target);
    result["path"] = target;
  }
  result.asObject().erase("base64");
}

}  // namespace

void placeExportFile(Json& result, const CLIOptions& options) { writeOutput(result, exportedBytes(result), options); }

int runRemoteCommand(const CLIOptions& options, bool json, std::optional<Uuid>& requestID, std::ostream& out) {
  agent::AgentRequest request = buildRequest(options);
  requestID = request.id;
  agent::AgentResponse response = agent::AgentClient(options.dataDirectory)
                                      .perform(request, std::chrono::seconds(options.timeoutSeconds));
  Json result = response.data ? parseJson(*response.data) : Json();
  if (response.ok && options.outputPath) {
    std::string bytes = exportedBytes(result);
    if (*options.outputPath == kStandardOutput && !options.dryRun) {
      // The file's bytes and nothing else, so they can be piped or redirected as they are.
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      return 0;
    }
    writeOutput(result, bytes, options);
  }
  output(out, response.ok, result, response.error, request.id, json);
  return response.ok ? 0 : 1;
}

}  // namespace pellam::cli
