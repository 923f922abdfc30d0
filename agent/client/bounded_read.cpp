#include "agent/client/bounded_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace pellam::agent {

namespace {

[[noreturn]] void fail(int error, const std::string& path) {
  throw std::system_error(error, std::generic_category(), "Could not read " + path);
}

}  // namespace

std::optional<std::string> readBoundedFile(const std::string& path, std::size_t maximum) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) fail(errno, path);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  struct stat info;
  if (::fstat(fd, &info) != 0) fail(errno, path);
  if (S_ISDIR(info.st_mode)) fail(EISDIR, path);
  if (!S_ISREG(info.st_mode)) fail(EINVAL, path);
  if (static_cast<std::uint64_t>(info.st_size) > maximum) return std::nullopt;

  std::string bytes(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t filled = 0;
  while (true) {
    if (filled == bytes.size()) {
      if (filled > maximum) return std::nullopt;  // it grew while being read
      bytes.resize(std::min(bytes.size() * 2, maximum + 1));
    }
    ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno, path);
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  if (filled > maximum) return std::nullopt;
  bytes.resize(filled);
  return bytes;
}

}  // namespace pellam::agent
