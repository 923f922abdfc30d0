#include "cli/export_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "agent/wire/failure.h"
#include "core/paths.h"
#include "core/uuid.h"

namespace pellam::cli {

using agent::AgentFailure;

namespace {

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

void writeExport(std::string_view bytes, const std::string& target) {
  std::string folder = parentFolder(target);
  std::string temporary = (folder == "/" ? std::string() : folder) + "/.pellam-export-" + Uuid::random().text();
  AgentFailure prepareFailed("export_failed", "Could not prepare an export in " + folder + ".", false);

  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) throw prepareFailed;
  bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
  written = ::close(fd) == 0 && written;
  if (!written) {
    ::unlink(temporary.c_str());
    throw prepareFailed;
  }

  int linked = ::link(temporary.c_str(), target.c_str());
  int linkError = errno;
  ::unlink(temporary.c_str());
  if (linked == 0) return;
  if (linkError == EEXIST) {
    throw AgentFailure("output_exists",
                       "The output already exists. Choose a new --out path; Vantry never silently overwrites exports.",
                       false);
  }
  throw AgentFailure("export_failed", std::strerror(linkError), false);
}

}  // namespace pellam::cli
