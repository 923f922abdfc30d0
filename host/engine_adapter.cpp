#include "host/command_outcome.h"

#if __has_include("agent/engine/execute.h")
#include "agent/engine/execute.h"

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
#else
#include "agent/failure.h"

namespace pellam::host {

// Until the engine is part of the build, engine commands fail plainly.
Engine commandEngine() {
  return [](const agent::AgentRequest&, const Archive&, Instant) -> CommandOutcome {
    throw agent::AgentFailure("operation_failed", "This build has no command engine.", false);
  };
}

}  // namespace pellam::host
#endif
