#pragma once
#include <stdexcept>
#include <string>

#include "core/file_system.h"

namespace pellam::host {

// The places the host works in, inside one data folder:
//   AgentAPI/status.json   the heartbeat
//   AgentAPI/Requests/     requests from clients (names <UUID>.json)
//   AgentAPI/Responses/    answers, kept for replays
//   AgentAPI/Staged/       answers of changes whose save is not yet known to have landed
//   AgentAPI/Rejected/     request files that were not requests, set aside for inspection
struct AgentFolders {
  explicit AgentFolders(std::string dataDirectory);

  std::string data;
  std::string api;
  std::string status;
  std::string requests;
  std::string responses;
  std::string staged;
  std::string rejected;

  // Creates what is missing (mode 0700), tightens what exists, and refuses a symbolic link or
  // anything else that is not a folder in the place of one: the host follows no links.
  // Throws HostError.
  void prepare(FileSystem& fs) const;
};

// A condition the host cannot work under (a link where a folder belongs, a second host).
class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace pellam::host
