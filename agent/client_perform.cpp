#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include "agent/bounded_read.h"
#include "agent/client.h"
#include "core/file_system.h"

namespace pellam::agent {

namespace {

constexpr std::size_t kMaximumResponseBytes = 32'000'000;
constexpr auto kPollInterval = std::chrono::milliseconds(50);
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

[[noreturn]] void failWithErrno(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

// Whether anything (a file, a folder, a link, even a dangling one) has this name.
bool exists(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) == 0) return true;
  if (errno == ENOENT || errno == ENOTDIR) return false;
  failWithErrno(errno, "Could not read the attributes of " + path);
}

// `expected` is the request's fingerprint, worked out before the wait so that the answer is
// not kept waiting for it.
AgentResponse readResponse(const std::string& path, const AgentRequest& request, const std::string& expected) {
  rejectLink(path);
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) failWithErrno(errno, "Could not read the attributes of " + path);
  AgentFailure tooLarge("response_too_large", "The response exceeds 32 MB. Narrow the export or list filters.",
                        false);
  if (static_cast<std::uint64_t>(info.st_size) > kMaximumResponseBytes) throw tooLarge;
  std::optional<std::string> bytes = readBoundedFile(path, kMaximumResponseBytes);
  if (!bytes) throw tooLarge;
  AgentResponse response = AgentWire::decodeResponse(*bytes);
  if (response.version != kProtocolVersion || response.id != request.id) {
    throw AgentFailure("invalid_response", "The app returned a response for a different request or protocol.",
                       false);
  }
  if (response.requestFingerprint != expected) {
    throw AgentFailure("id_conflict",
                       "This request ID belongs to different arguments. Reuse a request ID only for the identical "
                       "command, arguments, and dry-run setting.",
                       false);
  }
  return response;
}

void writeAll(int fd, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      failWithErrno(errno, "Could not write " + path);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Removes the client's temporary request file on the way out, however that is.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { ::unlink(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

AgentFailure requestPending() {
  return AgentFailure("request_pending", "This request ID is already pending. Inspect its result before retrying.",
                      true);
}

// Writes the request beside its final name and moves it there, so the app never sees half a
// request, and never replaces a request file another process put there first.
void placeRequest(const std::string& folder, const std::string& requestPath, std::string_view bytes) {
  TemporaryFile temporary(folder + "/." + Uuid::random().text() + ".pending");
  int fd;
  do {
    fd = ::open(temporary.path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) failWithErrno(errno, "Could not create " + temporary.path());
  try {
    if (::fchmod(fd, kFileMode) != 0) failWithErrno(errno, "Could not set the permissions of " + temporary.path());
    writeAll(fd, bytes, temporary.path());
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) failWithErrno(errno, "Could not write " + temporary.path());
#if defined(__linux__) && !defined(PELLAM_PORTABLE_FALLBACKS)
  if (::renameat2(AT_FDCWD, temporary.path().c_str(), AT_FDCWD, requestPath.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno == EEXIST) throw requestPending();
  if (errno != EINVAL && errno != ENOSYS) failWithErrno(errno, "Could not move the request to " + requestPath);
#endif
  // Without no-replace renames (another system, or a file system without them): a hard link is
  // never made over a name either.
  if (::link(temporary.path().c_str(), requestPath.c_str()) != 0) {
    if (errno == EEXIST) throw requestPending();
    failWithErrno(errno, "Could not move the request to " + requestPath);
  }
}

}  // namespace

AgentResponse AgentClient::perform(const AgentRequest& request, std::chrono::nanoseconds timeout) const {
  if (timeout <= std::chrono::nanoseconds::zero() || timeout > std::chrono::seconds(120)) {
    throw AgentFailure::invalidArgument("The request timeout must be greater than zero and at most 120 seconds.");
  }
  AgentStatus current = status();
  if (!isFresh(current, Instant::now())) {
    throw AgentFailure("app_unavailable",
                       "The Vantry app heartbeat is stale. Open Vantry and retry after it becomes active.", true);
  }
  if (!current.enabled) throw AgentFailure("agent_disabled", "Enable Agent access in Vantry Settings.", false);
  if (current.locked && request.command != "app.status" && request.command != "app.show" &&
      request.command != "app.unlock") {
    throw AgentFailure("app_locked", "Unlock Vantry in the app before using agent commands.", false);
  }

  std::string bytes = AgentWire::encode(request);
  if (bytes.size() > AgentWire::maximumRequestBytes) {
    throw AgentFailure("request_too_large",
                       "The encoded request exceeds 1 MiB. Import files must be at most " +
                           std::to_string(AgentWire::maximumImportBytes) + " bytes.",
                       false);
  }

  std::string requests = apiDirectory() + "/Requests";
  std::string responses = apiDirectory() + "/Responses";
  RealFileSystem fs;
  for (const std::string& folder : {apiDirectory(), requests, responses}) {
    rejectLink(folder);
    fs.createDirectories(folder, kFolderMode);
    fs.setMode(folder, kFolderMode);  // tightens a folder that already existed
  }

  std::string name = request.id.text() + ".json";
  std::string requestPath = requests + "/" + name;
  std::string responsePath = responses + "/" + name;
  // A replay: the request was answered before.
  if (exists(responsePath)) return readResponse(responsePath, request, AgentWire::fingerprint(request));
  if (exists(requestPath)) throw requestPending();
  placeRequest(requests, requestPath, bytes);

  // Polls every 50 ms: each look comes 50 ms after the one before, so the work in between
  // (the fingerprint the answer is checked against, worked out after the first look) does
  // not stretch the interval.
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::optional<std::string> expected;
  while (true) {
    const auto look = std::chrono::steady_clock::now();
    if (look >= deadline) {
      throw AgentFailure("outcome_unknown",
                         "Vantry did not answer before the request timeout. The command may still finish. Inspect "
                         "the app state or retry with the same --request-id " +
                             request.id.text() + "; do not blindly repeat a mutation with a new ID.",
                         true);
    }
    bool answered = exists(responsePath);
    if (!expected) expected = AgentWire::fingerprint(request);
    if (answered) return readResponse(responsePath, request, *expected);
    std::this_thread::sleep_until(look + kPollInterval);
  }
}

}  // namespace pellam::agent
