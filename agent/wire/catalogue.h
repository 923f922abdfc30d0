#pragma once
// The two command lists every side reads, derived from the command table
// (agent/wire/command_table.h).
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

}  // namespace pellam::agent::AgentCommands
