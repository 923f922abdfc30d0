#pragma once
// The resources: the guide the server was built with, and the app's status as the
// transport client reads it, so an agent can learn the commands and see whether the app is
// ready before it calls a tool.
#include <string_view>

#include "core/json.h"
#include "mcp/server_settings.h"

namespace pellam::mcp {

inline constexpr std::string_view kGuideURI = "vantry://docs/CLI.md";
inline constexpr std::string_view kStatusURI = "vantry://status";

// The resources/list result.
Json resourceList();

// The resources/read result for `uri`; throws RpcError (kResourceNotFound) for another URI.
Json readResource(std::string_view uri, const ServerSettings& settings);

// The status resource's document: the data folder, and the heartbeat with whether it is fresh
// and the app ready, or the failure that reading it met.
Json statusDocument(const ServerSettings& settings);

}  // namespace pellam::mcp
