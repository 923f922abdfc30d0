#include "core/folder_watch.h"

#if defined(__linux__) && !defined(PELLAM_PORTABLE_FALLBACKS)
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#endif

namespace pellam {

#if defined(__linux__) && !defined(PELLAM_PORTABLE_FALLBACKS)

namespace {

class InotifyFolderWatch final : public FolderWatch {
 public:
  explicit InotifyFolderWatch(int fd) : fd_(fd) {}
  ~InotifyFolderWatch() override { ::close(fd_); }

  bool wait(std::chrono::nanoseconds timeout) override {
    auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(std::max(timeout, std::chrono::nanoseconds(0)));
    pollfd descriptor{fd_, POLLIN, 0};
    int ready = ::poll(&descriptor, 1, static_cast<int>(milliseconds.count()));
    if (ready <= 0) return false;  // timed out, or interrupted: the caller looks anyway
    // Drain what is waiting; which name it was does not matter, the caller looks itself.
    alignas(inotify_event) char buffer[4096];
    while (::read(fd_, buffer, sizeof buffer) > 0) {
    }
    return true;
  }

  Arrivals takeArrivals() override {
    Arrivals arrivals;
    alignas(inotify_event) char buffer[64 * 1024];
    while (true) {
      ssize_t length = ::read(fd_, buffer, sizeof buffer);
      if (length <= 0) break;  // EAGAIN: nothing more waiting
      for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
          arrivals.incomplete = true;
          if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) ended_ = true;
          continue;
        }
        if (event->len == 0) continue;
        arrivals.names.push_back({event->name, (event->mask & IN_CREATE) && !(event->mask & IN_ISDIR)});
      }
    }
    return arrivals;
  }

  bool ended() const override { return ended_; }
  int descriptor() const override { return fd_; }

 private:
  int fd_;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<FolderWatch> watchFolderForChanges(const std::string& folder) {
  int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return nullptr;  // no inotify instances left, say
  // IN_DONT_FOLLOW and IN_ONLYDIR: a link in the folder's place is not watched through.
  if (::inotify_add_watch(fd, folder.c_str(),
                          IN_MOVED_TO | IN_CREATE | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW |
                              IN_ONLYDIR) < 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<InotifyFolderWatch>(fd);
}

#else

std::unique_ptr<FolderWatch> watchFolderForChanges(const std::string&) { return nullptr; }

#endif

}  // namespace pellam
