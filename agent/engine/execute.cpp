#include "agent/engine/execute.h"

#include "agent/engine/dispatch.h"
#include "core/validation.h"

namespace pellam::agent::AgentCommands {

AgentExecution execute(const AgentRequest& request, Archive archive, Instant now) {
  if (request.version != kProtocolVersion) {
    throw AgentFailure("unsupported_version", "Update Vantry and the CLI to the same protocol version.", false);
  }
  validate(archive, now);

  Archive candidate = archive;
  std::string result = AgentWire::encode(engine::run(request, candidate, now));

  // An unchanged copy passed validation as the input; only a changed one needs the gate.
  const bool same = candidate == archive;
  if (!same) validate(candidate, now);

  if (request.dryRun) return AgentExecution{std::move(archive), std::move(result), false};
  return AgentExecution{std::move(candidate), std::move(result), !same};
}

}  // namespace pellam::agent::AgentCommands
