#pragma once
#include <chrono>
#include <string>

#include "agent/wire/wire.h"

namespace pellam::agent {

// The command-line program's only road to the app: the heartbeat in AgentAPI/status.json,
// request files in AgentAPI/Requests and response files in AgentAPI/Responses.
class AgentClient {
 public:
  explicit AgentClient(std::string directory) : directory_(std::move(directory)) {}

  const std::string& directory() const { return directory_; }
  std::string apiDirectory() const { return directory_ + "/AgentAPI"; }

  // Reads and decodes the heartbeat; judges neither freshness nor readiness.
  AgentStatus status() const;

  // −1 s ≤ now − updatedAt ≤ 3 s, both bounds inclusive.
  static bool isFresh(const AgentStatus& status, Instant now);

  // Sends the request and waits for its answer (or returns the stored answer of a replay).
  AgentResponse perform(const AgentRequest& request, std::chrono::nanoseconds timeout) const;

 private:
  std::string directory_;
};

// Throws `unsafe_path` when the item at `path` is a symbolic link; a missing item is fine.
void rejectLink(const std::string& path);

}  // namespace pellam::agent
