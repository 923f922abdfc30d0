#include "host/systemd_notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace pellam::host {

bool notifyServiceManager(std::string_view state) {
  const char* name = std::getenv("NOTIFY_SOCKET");
  if (!name || !*name) return true;
  std::string path = name;
  if (path[0] != '/' && path[0] != '@') return false;  // neither a path nor an abstract name
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  if (path[0] == '@') {
    address.sun_path[0] = '\0';  // abstract: the name's bytes without a terminator
  } else {
    ++length;
  }
#ifdef SOCK_CLOEXEC
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
#else
  int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
#endif
  if (fd < 0) return false;
  ssize_t sent = ::sendto(fd, state.data(), state.size(), 0,
                          reinterpret_cast<const sockaddr*>(&address), length);
  ::close(fd);
  return sent == static_cast<ssize_t>(state.size());
}

}  // namespace pellam::host
