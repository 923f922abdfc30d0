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

AgentFailure notAFile() { return AgentFailure::invalidArgument("--out applies to an export that returns a file."); }

// The Base64 text of the file an export result carries: where the reader left it in the
// answer's bytes (`aside`), or else in the result itself. Not yet checked.
std::string_view exportedText(const Json& result, const JsonStringAside& aside) {
  const Json* base64 = result.isObject() ? result.find("base64") : nullptr;
  if (!base64 || !base64->isString()) throw notAFile();
  return aside.text ? *aside.text : std::string_view(base64->asString());
}

// Writes the file the result carries to the --out path (or, on a dry run, only checks it),
// then replaces it in the result with where it went (or would go).
void writeOutput(Json& result, std::string_view base64, const CLIOptions& options) {
  const std::string& path = *options.outputPath;
  std::string target = path == kStandardOutput ? path : standardizedPath(expandTilde(path));
  if (options.dryRun) {
    if (!isBase64(base64)) throw notAFile();
    result["wouldWrite"] = target;
  } else {
    if (!writeDecodedExport(base64, target)) throw notAFile();
    result["path"] = target;
  }
  result.asObject().erase("base64");
}

}  // namespace

void placeExportFile(Json& result, const CLIOptions& options) {
  writeOutput(result, exportedText(result, JsonStringAside{"base64", std::nullopt}), options);
}

int runRemoteCommand(const CLIOptions& options, bool json, std::optional<Uuid>& requestID, std::ostream& out) {
  agent::AgentRequest request = buildRequest(options);
  requestID = request.id;
  agent::AgentResponse response = agent::AgentClient(options.dataDirectory)
                                      .perform(request, std::chrono::seconds(options.timeoutSeconds));
  const bool exported = response.ok && options.outputPath;
  // An export's file is read where it lies in the answer, not copied into the result.
  JsonStringAside file{"base64", std::nullopt};
  Json result = !response.data ? Json() : exported ? parseJson(*response.data, file) : parseJson(*response.data);
  if (exported) {
    std::string_view base64 = exportedText(result, file);
    if (*options.outputPath == kStandardOutput && !options.dryRun) {
      // The file's bytes and nothing else, so they can be piped or redirected as they are;
      // decoded whole first, so a bad file prints nothing of it.
      std::optional<std::string> bytes = base64Decode(base64);
      if (!bytes) throw notAFile();
      out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
      return 0;
    }
    writeOutput(result, base64, options);
  }
  output(out, response.ok, std::move(result), response.error, request.id, json);
  return response.ok ? 0 : 1;
}

}  // namespace pellam::cli
