#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/file_system.h"

namespace pellam::host {

// Announces names that arrive in the Requests folder (moved in, or closed after writing, or
// created as something other than a file), in arrival order, through the file system's folder
// watch. The host rescans the folder every second as well, so a missed event only delays a
// request; where no watch can be had, descriptor() is -1 and the host rescans more often
// instead.
class RequestWatcher {
 public:
  RequestWatcher(std::string folder, std::shared_ptr<FileSystem> fs);
  RequestWatcher(const RequestWatcher&) = delete;
  RequestWatcher& operator=(const RequestWatcher&) = delete;

  // The descriptor to wait on; readable when events are waiting.
  int descriptor() const { return watch_ ? watch_->descriptor() : -1; }

  // The names announced since the last call. Sets `rescan` when events were lost or the
  // folder itself was moved or removed (it is watched again after the host prepares it).
  std::vector<std::string> drain(bool& rescan);

  // Watches the folder (again); false when it cannot be watched (the rescan still works).
  bool watch();
  // Whether a watch is in place (the folder's removal ends it).
  bool watching() const { return watch_ && !watch_->ended(); }

 private:
  std::string folder_;
  std::shared_ptr<FileSystem> fs_;
  std::unique_ptr<FolderWatch> watch_;
};

}  // namespace pellam::host
