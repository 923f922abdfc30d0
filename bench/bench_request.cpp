#include "bench/bench_request.h"

namespace pellam::bench {

agent::AgentRequest benchRequest(std::string command, std::map<std::string, std::string> arguments, Instant now) {
  agent::AgentRequest request;
  request.id = Uuid::parse("0E0E0E0E-0000-4000-8000-00000000000E").value();
  request.createdAt = now;
  request.command = std::move(command);
  request.arguments = std::move(arguments);
  return request;
}

}  // namespace pellam::bench
