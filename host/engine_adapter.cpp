#include "agent/engine/execute.h"
#include "host/command_outcome.h"

namespace pellam::host {

Engine commandEngine() {
  return [](const agent::AgentRequest& request, const Archive& archive, Instant now) {
    agent::AgentExecution execution = agent::AgentCommands::execute(request, archive, now);
    CommandOutcome outcome{std::move(execution.result), std::nullopt};
    if (execution.changed) outcome.change = ArchiveChange{std::move(execution.archive), false};
    return outcome;
  };
}

}  // namespace pellam::host
