#include "host/request_watcher.h"

#if defined(__linux__) && !defined(PELLAM_PORTABLE_FALLBACKS)
#define PELLAM_HAS_INOTIFY 1
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace pellam::host {

#ifdef PELLAM_HAS_INOTIFY

RequestWatcher::RequestWatcher(std::string folder, std::shared_ptr<FileSystem> fs)
    : folder_(std::move(folder)), fs_(std::move(fs)) {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

RequestWatcher::~RequestWatcher() {
  if (fd_ >= 0) ::close(fd_);
}

bool RequestWatcher::watch() {
  if (fd_ < 0) return false;
  if (watch_ >= 0) ::inotify_rm_watch(fd_, watch_);
  // IN_DONT_FOLLOW and IN_ONLYDIR: a link in the folder's place is not watched through.
  watch_ = ::inotify_add_watch(fd_, folder_.c_str(),
                               IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE_SELF | IN_MOVE_SELF |
                                   IN_DONT_FOLLOW | IN_ONLYDIR);
  return watch_ >= 0;
}

std::vector<std::string> RequestWatcher::drain(bool& rescan) {
  std::vector<std::string> names;
  if (fd_ < 0) return names;
  alignas(inotify_event) char buffer[64 * 1024];
  while (true) {
    ssize_t length = ::read(fd_, buffer, sizeof buffer);
    if (length <= 0) break;  // EAGAIN: nothing more waiting
    for (ssize_t at = 0; at < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
        rescan = true;
        if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) watch_ = -1;
        continue;
      }
      if (event->len == 0) continue;
      // A regular file just created is still being written; it is announced when closed.
      // Anything else created in the folder (a link, a folder, a FIFO) is announced at once.
      if ((event->mask & IN_CREATE) && !(event->mask & IN_ISDIR)) {
        try {
          FileStatus item = fs_->status(folder_ + "/" + event->name);
          if (!item.exists || item.isRegularFile) continue;
        } catch (const FileSystemError&) {
          continue;  // the rescan finds it
        }
      }
      names.emplace_back(event->name);
    }
  }
  return names;
}

#else

// No change notifications here: the host's rescans find every request.
RequestWatcher::RequestWatcher(std::string folder, std::shared_ptr<FileSystem> fs)
    : folder_(std::move(folder)), fs_(std::move(fs)) {}
RequestWatcher::~RequestWatcher() = default;
bool RequestWatcher::watch() { return false; }
std::vector<std::string> RequestWatcher::drain(bool&) { return {}; }

#endif

}  // namespace pellam::host
