#pragma once
#include <optional>
#include <ostream>

#include "cli/options.h"
#include "core/json.h"
#include "core/uuid.h"

namespace pellam::cli {

// Every command that is not answered locally: builds the request, sends it, prints the
// answer. Sets `requestID` once the request exists; returns the exit status.
// For an export with --out whose answer succeeded: the file the result carries is written to
// the --out path (or, on a dry run, only named as `wouldWrite`) and its `base64` replaced by
// `path`. Throws AgentFailure when the result carries no file or the file cannot be written.
void placeExportFile(Json& result, const CLIOptions& options);

int runRemoteCommand(const CLIOptions& options, bool json, std::optional<Uuid>& requestID, std::ostream& out);

}  // namespace pellam::cli
