#pragma once
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pellam::agent::AgentCommands {

// The engine's commands, in catalogue order.
const std::vector<std::string>& supportedCommands();
// The commands only the desktop app (or its headless stand-in) carries out, in order.
const std::vector<std::string>& appCommands();

bool isSupportedCommand(std::string_view name);
bool isAppCommand(std::string_view name);

// The argument names an app command accepts, for the command line and the host alike; app
// commands not listed accept none.
const std::set<std::string>& appCommandArguments(std::string_view name);

}  // namespace pellam::agent::AgentCommands
