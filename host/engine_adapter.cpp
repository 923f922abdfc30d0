#include "agent/engine/execute.h"
#include "host/command_outcome.h"

namespace pellam::host {

Engine commandEngine() {
  return [](const agent::AgentRequest& request, const agent::CommandRow* row, Archive& archive,
            const ValidationIndex& known, agent::ArchiveIndexes& indexes, Instant now) {
    // In place: a copy of a large archive would cost more than the command itself. Checked
    // only where it changes: the host's archive is known to be valid.
    agent::AgentInPlaceExecution execution = agent::AgentCommands::executeInPlace(request, row, archive, now, known, indexes);
    return CommandOutcome{std::move(execution.result), execution.changed, std::nullopt,
                          std::move(execution.entryOrigins)};
  };
}

}  // namespace pellam::host
