#pragma once
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "core/uuid.h"

namespace pellam::cli {

// The whole life of one `vantry` process: arguments (without the program name) in, text on
// `out`, exit status back (0 success, 1 failure, 2 bad arguments or unknown command).
int run(const std::vector<std::string>& args, std::ostream& out);

// Every command that is not answered locally: builds the request, sends it, prints the
// answer. Sets `requestID` once the request exists; returns the exit status.
int runRemoteCommand(const CLIOptions& options, bool json, std::optional<Uuid>& requestID, std::ostream& out);

}  // namespace pellam::cli
