#include "host/request_watcher.h"

namespace pellam::host {

RequestWatcher::RequestWatcher(std::string folder, std::shared_ptr<FileSystem> fs)
    : folder_(std::move(folder)), fs_(std::move(fs)) {}

bool RequestWatcher::watch() {
  watch_.reset();
  try {
    watch_ = fs_->watchFolder(folder_);
  } catch (const FileSystemError&) {
    // No notifications then; the rescan finds every request.
  }
  return watch_ != nullptr;
}

std::vector<std::string> RequestWatcher::drain(bool& rescan) {
  std::vector<std::string> names;
  if (!watch_) return names;
  FolderWatch::Arrivals arrivals = watch_->takeArrivals();
  if (arrivals.incomplete) rescan = true;
  for (FolderWatch::Arrival& arrival : arrivals.names) {
    // A regular file just created is still being written; it is announced when closed.
    // Anything else created in the folder (a link, a FIFO) is announced at once.
    if (arrival.justCreated) {
      try {
        FileStatus item = fs_->status(folder_ + "/" + arrival.name);
        if (!item.exists || item.isRegularFile) continue;
      } catch (const FileSystemError&) {
        continue;  // the rescan finds it
      }
    }
    names.push_back(std::move(arrival.name));
  }
  return names;
}

}  // namespace pellam::host
