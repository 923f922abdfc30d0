#pragma once
#include <cstddef>
#include <string>

#include "agent/wire/wire.h"
#include "cli/options.h"
#include "core/instant.h"
#include "core/json.h"

namespace pellam::cli {

// The request a parsed command line stands for, created at `now`. Throws AgentFailure, or
// the error of a file that cannot be read or parsed.
agent::AgentRequest buildRequest(const CLIOptions& options, Instant now = Instant::now());

// A member of an argument file as the argument's text: a string as it is, any other value as
// its JSON text (sorted keys, "/" escaped, scalars allowed).
std::string argumentText(const Json& value);

// The bytes of an input file (leading tilde expanded) of at most `maximum` bytes.
std::string readInputFile(const std::string& path, std::size_t maximum);

}  // namespace pellam::cli
