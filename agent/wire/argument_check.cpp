#include "agent/wire/argument_check.h"

namespace pellam::agent {

AgentFailure unknownArguments(std::string_view command, std::string_view names) {
  std::string message = "Unknown arguments for ";
  message += command;
  message += ": ";
  message += names;
  message += ".";
  return AgentFailure::invalidArgument(std::move(message));
}

}  // namespace pellam::agent
