#include "agent/engine/execute.h"
#include "host/command_outcome.h"

namespace pellam::host {

Engine commandEngine() {
  return [](const agent::AgentRequest& request, Archive& archive, Instant now) {
    // In place: a copy of a large archive would cost more than the command itself.
    agent::AgentInPlaceExecution execution = agent::AgentCommands::executeInPlace(request, archive, now);
    return CommandOutcome{std::move(execution.result), execution.changed, std::nullopt};
  };
}

}  // namespace pellam::host
