#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace pellam {

// Change notifications for one folder: a hint that something may have arrived, never a
// promise; callers look for themselves as well.
class FolderWatch {
 public:
  // A name that arrived in the folder.
  struct Arrival {
    std::string name;
    // Just created as something other than a folder: a file still being written (it arrives
    // again once closed after writing), or a link, a FIFO, a socket. Otherwise it was moved
    // in, closed after writing, or created as a folder.
    bool justCreated = false;
  };
  struct Arrivals {
    std::vector<Arrival> names;  // in arrival order
    // Notifications were lost, or the folder itself was moved or removed: look at it whole.
    bool incomplete = false;
  };

  virtual ~FolderWatch() = default;
  // Waits until a name in the folder was created, moved in or closed after writing, or until
  // `timeout` has passed; true when something happened. What happened is forgotten: callers
  // of wait() look for themselves.
  virtual bool wait(std::chrono::nanoseconds timeout) = 0;
  // What arrived since the last call, without waiting.
  virtual Arrivals takeArrivals() = 0;
  // Whether the watch has ended: the folder was moved or removed (watch the path again).
  virtual bool ended() const = 0;
  // For a caller that waits on more than this watch: readable when something happened; -1
  // when there is no such descriptor (the caller then looks on its own schedule).
  virtual int descriptor() const = 0;
};

// Change notifications for `folder` from the operating system (inotify on Linux); none where
// they cannot be had: no such facility, no watches left, or no folder at that path.
std::unique_ptr<FolderWatch> watchFolderForChanges(const std::string& folder);

}  // namespace pellam
