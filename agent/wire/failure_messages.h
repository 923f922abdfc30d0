#pragma once
// Sentences of failures that more than one side raises (the client, the engine, the host), so
// that a user reads the same words whichever side noticed.

namespace pellam::agent {

// unsupported_version for a request of another protocol version.
inline constexpr const char* kProtocolVersionMismatchMessage =
    "Update Vantry and the CLI to the same protocol version.";
// app_locked for a command the app does not answer while locked.
inline constexpr const char* kAppLockedMessage = "Unlock Vantry in the app before using agent commands.";
// response_too_large for an answer beyond AgentWire::maximumResponseBytes.
inline constexpr const char* kResponseTooLargeMessage =
    "The response exceeds 32 MB. Narrow the export or list filters.";
// request_too_large for a request file beyond AgentWire::maximumRequestBytes.
inline constexpr const char* kRequestFileTooLargeMessage = "The request file exceeds 1 MiB.";

}  // namespace pellam::agent
