#include "core/standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace pellam {

bool isOpenDescriptor(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

bool writeAllAndClose(int fd, std::string_view bytes) {
  bool written = writeAll(fd, bytes);
  // On Linux the descriptor is released even when close reports an error: never retry it.
  bool closed = ::close(fd) == 0;
  return written && closed;
}

}  // namespace pellam
