#include <stdexcept>

#include "agent/client/client.h"

namespace pellam::agent {

namespace {

constexpr std::size_t kMaximumStatusBytes = 65'536;

AgentFailure appUnavailable() {
  return AgentFailure::appUnavailable(
      "Open Vantry on this Mac and enable Agent access in Settings. Use --data-dir only for an "
      "explicitly selected store.");
}

}  // namespace

FileStatus AgentClient::rejectLink(const std::string& path) const {
  FileStatus item;
  try {
    item = fs_->status(path);
  } catch (const FileSystemError&) {
    return FileStatus();  // attributes that cannot be read are not a link's
  }
  if (item.isSymbolicLink) {
    throw AgentFailure::unsafePath("Agent transport paths must not be symbolic links.");
  }
  return item;
}

bool AgentClient::isFresh(const AgentStatus& status, Instant now) {
  double age = now.seconds - status.updatedAt.seconds;
  return age >= -1.0 && age <= 3.0;  // false for an undefined (NaN) age
}

AgentStatus AgentClient::status() const {
  rejectLink(folders_.api);
  // Anything that is not a small regular file (missing, a folder, a FIFO) means no app is
  // publishing here; the size is checked before a byte is read.
  FileStatus item = rejectLink(folders_.status);
  if (!item.exists || !item.isRegularFile || item.size > kMaximumStatusBytes) throw appUnavailable();
  try {
    std::optional<std::string> bytes = fs_->readFileAtMost(folders_.status, kMaximumStatusBytes);
    if (!bytes) throw std::length_error("The status file grew while it was read.");
    AgentStatus status = AgentWire::decodeStatus(*bytes);
    if (status.version != kProtocolVersion) {
      throw AgentFailure::unsupportedVersion("Update Vantry and the CLI together.");
    }
    return status;
  } catch (const AgentFailure&) {
    throw;
  } catch (const std::exception&) {
    throw AgentFailure::invalidStatus("Vantry's local agent status is unreadable. Reopen the app.");
  }
}

}  // namespace pellam::agent
