#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "agent/client.h"

namespace pellam::agent {

namespace {

constexpr off_t kMaximumStatusBytes = 65'536;

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
  return age >= -1.0 && age <= 3.0;
}

AgentStatus AgentClient::status() const {
  std::string path = apiDirectory() + "/status.json";
  rejectLink(apiDirectory());
  rejectLink(path);
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaximumStatusBytes) {
    throw AgentFailure("app_unavailable",
                       "Open Vantry on this Mac and enable Agent access in Settings. Use --data-dir only for an "
                       "explicitly selected store.",
                       true);
  }
  try {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (!file) throw std::runtime_error("The status file could not be read.");
    AgentStatus status = AgentWire::decodeStatus(bytes.str());
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
