#pragma once
// The one check of argument names, shared by the command line, the host's app commands and
// the engine's families, so that all three refuse an unexpected argument in the same words.
#include <map>
#include <string>
#include <string_view>

#include "agent/wire/failure.h"

namespace pellam::agent {

// invalid_argument "Unknown arguments for <command>: <names>.", where `names` is already
// joined by ", ".
AgentFailure unknownArguments(std::string_view command, std::string_view names);

// Fails with unknownArguments naming every argument `isAllowed` refuses, in the map's
// (ascending) order; does nothing when all are allowed.
template <typename IsAllowed>
void checkArgumentNames(std::string_view command, const std::map<std::string, std::string>& arguments,
                        const IsAllowed& isAllowed) {
  std::string unknown;
  for (const auto& [name, value] : arguments) {
    if (isAllowed(std::string_view(name))) continue;
    if (!unknown.empty()) unknown += ", ";
    unknown += name;
  }
  if (!unknown.empty()) throw unknownArguments(command, unknown);
}

}  // namespace pellam::agent
