#pragma once
#include <optional>
#include <ostream>

#include "cli/options.h"
#include "core/uuid.h"

namespace pellam::cli {

// Every command that is not answered locally: builds the request, sends it, prints the
// answer. Sets `requestID` once the request exists; returns the exit status.
int runRemoteCommand(const CLIOptions& options, bool json, std::optional<Uuid>& requestID, std::ostream& out);

}  // namespace pellam::cli
