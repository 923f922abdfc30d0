#pragma once
#include <stdexcept>
#include <string>

#include "agent/folder/agent_folder_layout.h"
#include "core/file_system.h"

namespace pellam::host {

// The agent folder of the data folder the host serves (every name is made in
// agent/folder/agent_folder_layout.h), with the data folder taken as an absolute path.
struct AgentFolders : agent::AgentFolderLayout {
  explicit AgentFolders(std::string dataDirectory);

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
