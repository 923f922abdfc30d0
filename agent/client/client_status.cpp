#include <sys/stat.h>

#include <stdexcept>

#include "agent/client/bounded_read.h"
#include "agent/client/client.h"

namespace pellam::agent {

namespace {

constexpr std::size_t kMaximumStatusBytes = 65'536;

AgentFailure appUnavailable() {
  return AgentFailure("app_unavailable",
                      "Open Vantry on this Mac and enable Agent access in Settings. Use --data-dir only for an "
                      "explicitly selected store.",
                      true);
}

}  // namespace

void rejectLink(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return;
  if (S_ISLNK(info.st_mode)) {
    throw AgentFailure("unsafe_path", "Agent transport paths must not be symbolic links.", false);
  }
}

bool AgentClient::isFresh(const AgentStatus& status, Instant now) {
  double age = now.seconds - status.updatedAt.seconds;
  return age >= -1.0 && age <= 3.0;  // false for an undefined (NaN) age
}

AgentStatus AgentClient::status() const {
  std::string path = apiDirectory() + "/status.json";
  rejectLink(apiDirectory());
  rejectLink(path);
  // Anything that is not a small regular file (missing, a folder, a FIFO) means no app is
  // publishing here; the size is checked before a byte is read.
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) > kMaximumStatusBytes) {
    throw appUnavailable();
  }
  try {
    std::optional<std::string> bytes = readBoundedFile(path, kMaximumStatusBytes);
    if (!bytes) throw std::length_error("The status file grew while it was read.");
    AgentStatus status = AgentWire::decodeStatus(*bytes);
    if (status.version != kProtocolVersion) {
      throw AgentFailure("unsupported_version", "Update Vantry and the CLI together.", false);
    }
    return status;
  } catch (const AgentFailure&) {
    throw;
  } catch (const std::exception&) {
    throw AgentFailure("invalid_status", "Vantry's local agent status is unreadable. Reopen the app.", true);
  }
}

}  // namespace pellam::agent
