#pragma once
// One tools/call: the arguments checked against the tool's schema, the request built by the
// command line's request builder, carried by the transport client, and the answer made a
// tool result.
#include <stdexcept>

#include "agent/wire/command_table.h"
#include "cli/options.h"
#include "core/json.h"
#include "mcp/server_settings.h"

namespace pellam::mcp {

// Arguments the tool's input schema refuses: not an object, a name it does not list, a value
// of another type, a required one missing. Nothing has been sent.
class ToolInputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The command line a call stands for: `vantry command NAME` with the arguments as an
// argument file gives them (non-string values as their JSON text), the tool options as the
// global options, so both build the same request and fingerprint. Throws AgentFailure for a
// request-id that is not a UUID or a path that is not absolute.
cli::CLIOptions toolCommandLine(const agent::CommandRow& row, const Json& arguments, const ServerSettings& settings);

// Throws ToolInputError when `arguments` break the tool's schema.
void checkToolArguments(const agent::CommandRow& row, const Json& arguments);

// The tool result (content, structuredContent, isError, _meta.requestID) of calling the
// command with `arguments`; a failure of any kind is a result with isError true. Throws only
// ToolInputError.
Json callTool(const agent::CommandRow& row, const Json& arguments, const ServerSettings& settings);

// A tool result that carries a failure (code, message, retryable) and the request id, when
// a request was built.
Json failureResult(const Json& failure, const Json& requestID);

}  // namespace pellam::mcp
