#pragma once
#include <chrono>
#include <memory>
#include <string>

#include "agent/folder/agent_folder_layout.h"
#include "agent/wire/wire.h"
#include "core/file_system.h"

namespace pellam::agent {

// The command-line program's only road to the app: the heartbeat in AgentAPI/status.json,
// request files in AgentAPI/Requests and response files in AgentAPI/Responses. Every file
// operation goes through `fs`, so a test can fail or crash any one of them.
class AgentClient {
 public:
  explicit AgentClient(std::string directory, std::shared_ptr<FileSystem> fs = RealFileSystem::shared())
      : directory_(std::move(directory)), folders_(directory_), fs_(std::move(fs)) {}

  const std::string& directory() const { return directory_; }
  std::string apiDirectory() const { return folders_.api; }

  // Reads and decodes the heartbeat; judges neither freshness nor readiness.
  AgentStatus status() const;

  // −1 s ≤ now − updatedAt ≤ 3 s, both bounds inclusive.
  static bool isFresh(const AgentStatus& status, Instant now);

  // Sends the request and waits for its answer (or returns the stored answer of a replay).
  // Looks for the answer at least every 50 ms, and at once when the folder reports a change.
  AgentResponse perform(const AgentRequest& request, std::chrono::nanoseconds timeout) const;

 private:
  // Throws `unsafe_path` when the item at `path` is a symbolic link; a missing item is fine.
  // Returns what was found (`exists` false also when the attributes could not be read).
  FileStatus rejectLink(const std::string& path) const;
  bool exists(const std::string& path) const;
  AgentResponse readResponse(const std::string& path, const AgentRequest& request, const std::string& expected) const;
  void placeRequest(const std::string& requestPath, std::string_view bytes) const;

  std::string directory_;
  AgentFolderLayout folders_;
  std::shared_ptr<FileSystem> fs_;
};

}  // namespace pellam::agent
