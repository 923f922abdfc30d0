#pragma once
// How long the agent folder keeps what may still be asked for: answers in Responses/ (for
// replays), request files set aside in Rejected/ (for inspection) and the client's abandoned
// Requests/.<UUID>.pending files. Each stays until a week has passed as the host itself saw
// it pass: by the running time of this host and the hosts before it, measured on the
// monotonic clock and recorded in AgentAPI/retention.json with the running time at which
// each item was first seen. The wall clock plays no part, so setting it forward expires
// nothing early and setting it back pins nothing; time while no host runs does not count.
// A host that runs one hour a day thus keeps an answer about 168 days.
//
// What a kill loses (the running time since the ledger was last written, an item's first
// sighting) only makes things stay longer, never shorter.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/file_system.h"
#include "host/agent_folders.h"

namespace pellam::host {

class AnswerRetention {
 public:
  using Monotonic = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::milliseconds kKeep = std::chrono::hours(24 * 7);

  // Running time is counted from here.
  AnswerRetention(std::shared_ptr<FileSystem> fs, AgentFolders folders,
                  Monotonic now = std::chrono::steady_clock::now);

  // Adds the running time since the last call, notes what is new, removes what has been
  // seen for longer than kKeep, and writes the ledger. Throws when a folder cannot be listed
  // or the ledger cannot be read or written; nothing is then removed that was not due.
  void prune();

  // The running time counted so far, earlier hosts' included (after the first prune()).
  std::chrono::milliseconds ranFor() const { return ran_; }

 private:
  void load();
  void save();
  void removeItem(const std::string& key);

  std::shared_ptr<FileSystem> fs_;
  AgentFolders folders_;
  Monotonic now_;
  std::chrono::steady_clock::time_point last_;
  bool loaded_ = false;
  std::chrono::milliseconds ran_{0};
  std::map<std::string, std::chrono::milliseconds> firstSeen_;  // "Responses/<name>" and the like
};

}  // namespace pellam::host
