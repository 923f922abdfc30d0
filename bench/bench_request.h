#pragma once
#include <map>
#include <string>

#include "agent/wire/wire.h"

namespace pellam::bench {

// A request as the engine benchmarks send it: a fixed identifier, made at `now`.
agent::AgentRequest benchRequest(std::string command, std::map<std::string, std::string> arguments, Instant now);

}  // namespace pellam::bench
