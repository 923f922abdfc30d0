#pragma once
// Requests for fixtures: a command and its string arguments, with the identifier and the
// creation time a test fixes.
#include <map>
#include <string>

#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/uuid.h"

namespace pellam::testing {

inline agent::AgentRequest requestFor(std::string command, std::map<std::string, std::string> arguments, Uuid id,
                                      Instant createdAt, bool dryRun = false) {
  agent::AgentRequest request;
  request.id = id;
  request.createdAt = createdAt;
  request.command = std::move(command);
  request.arguments = std::move(arguments);
  request.dryRun = dryRun;
  return request;
}

}  // namespace pellam::testing
