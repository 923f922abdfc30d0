// Every command that is not answered locally: translated into a request, carried to the app
// by the transport client, and its answer printed (and, for export --out, written to a file).
#include "agent/client/client.h"
#include "agent/wire/failure.h"
#include "cli/export_file.h"
#include "cli/output.h"
#include "cli/run.h"
#include "core/base64.h"
#include "core/paths.h"

namespace pellam::cli {

using agent::AgentFailure;

namespace {

// Replaces the file an export result carries with where it went (or would go on a dry run).
void writeOutput(Json& result, const CLIOptions& options) {
  AgentFailure notAFile = AgentFailure::invalidArgument("--out applies to an export that returns a file.");
  const Json* base64 = result.isObject() ? result.find("base64") : nullptr;
  if (!base64 || !base64->isString()) throw notAFile;
  std::optional<std::string> bytes = base64Decode(base64->asString());
  if (!bytes) throw notAFile;
  std::string target = standardizedPath(expandTilde(*options.outputPath));
  if (options.dryRun) {
    result["wouldWrite"] = target;
  } else {
    writeExport(*bytes, target);
    result["path"] = target;
  }
  result.asObject().erase("base64");
}

}  // namespace

int runRemoteCommand(const CLIOptions& options, bool json, std::optional<Uuid>& requestID, std::ostream& out) {
  agent::AgentRequest request = options.request();
  requestID = request.id;
  agent::AgentResponse response = agent::AgentClient(options.dataDirectory)
                                      .perform(request, std::chrono::seconds(options.timeoutSeconds));
  Json result = response.data ? parseJson(*response.data) : Json();
  if (response.ok && options.outputPath) writeOutput(result, options);
  output(out, response.ok, result, response.error, request.id, json);
  return response.ok ? 0 : 1;
}

}  // namespace pellam::cli
