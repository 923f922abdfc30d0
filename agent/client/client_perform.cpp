#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <optional>
#include <thread>

#include "agent/client/client.h"
#include "agent/wire/command_table.h"
#include "agent/wire/failure_messages.h"
#include "core/file_placement.h"

namespace pellam::agent {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);
// The quick looks right after the request is placed: every 0.05 ms for the first 2 ms (a host
// that answers at once does so in 0.1 to 0.5 ms), then pauses growing to 1 ms, for 250 ms in
// all (about 300 looks), before the client settles down to wait with a watch. An export of
// tens of thousands of entries is answered within that time, without paying for the watch.
constexpr auto kQuickLooksFor = std::chrono::milliseconds(250);
constexpr auto kSteadyQuickLooksFor = std::chrono::milliseconds(2);
constexpr auto kFirstQuickPause = std::chrono::microseconds(50);
constexpr auto kLongestQuickPause = std::chrono::milliseconds(1);

// While it lives, the calling thread's sleeps end when asked, not up to the kernel's default
// 50 microseconds later (its timer slack), which would double the quick looks' first pauses.
class PreciseSleeps {
 public:
  PreciseSleeps() {
#if defined(__linux__)
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);  // nanoseconds
#endif
  }
  ~PreciseSleeps() {
#if defined(__linux__)
    ::prctl(PR_SET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);  // the default again
#endif
  }
  PreciseSleeps(const PreciseSleeps&) = delete;
  PreciseSleeps& operator=(const PreciseSleeps&) = delete;
};

AgentFailure requestPending() {
  return AgentFailure::requestPending("This request ID is already pending. Inspect its result before retrying.");
}

}  // namespace

// Whether anything (a file, a folder, a link, even a dangling one) has this name.
bool AgentClient::exists(const std::string& path) const { return fs_->status(path).exists; }

// `expected` is the request's fingerprint, worked out before the wait so that the answer is
// not kept waiting for it.
AgentResponse AgentClient::readResponse(const std::string& path, const AgentRequest& request,
                                        const std::string& expected) const {
  FileStatus item = rejectLink(path);
  if (!item.exists) item = fs_->status(path);  // unreadable attributes: their error, as any read's
  AgentFailure tooLarge = AgentFailure::responseTooLarge(kResponseTooLargeMessage);
  if (item.size > AgentWire::maximumResponseBytes) throw tooLarge;
  std::optional<std::string> bytes = fs_->readFileAtMost(path, AgentWire::maximumResponseBytes);
  if (!bytes) throw tooLarge;
  AgentResponse response = AgentWire::decodeResponse(*bytes);
  if (response.version != kProtocolVersion || response.id != request.id) {
    throw AgentFailure::invalidResponse("The app returned a response for a different request or protocol.");
  }
  if (response.requestFingerprint != expected) {
    throw AgentFailure::idConflict(
        "This request ID belongs to different arguments. Reuse a request ID only for the identical "
        "command, arguments, and dry-run setting.");
  }
  return response;
}

// Writes the request beside its final name and moves it there, so the app never sees half a
// request, and never replaces a request file another process put there first. Not synced: a
// request lost to a power cut was never answered, and the caller sees no answer for it.
void AgentClient::placeRequest(const std::string& requestPath, std::string_view bytes) const {
  try {
    publishFile(*fs_, folders_.pendingRequestPath(), requestPath, bytes, kPrivateFileMode, Placement::neverReplace,
                Durability{false, false});
  } catch (const PlacementError& error) {
    if (error.errnoValue() == EEXIST) throw requestPending();
    throw;
  }
}

AgentResponse AgentClient::perform(const AgentRequest& request, std::chrono::nanoseconds timeout) const {
  if (timeout <= std::chrono::nanoseconds::zero() || timeout > std::chrono::seconds(120)) {
    throw AgentFailure::invalidArgument("The request timeout must be greater than zero and at most 120 seconds.");
  }
  AgentStatus current = status();
  if (!isFresh(current, Instant::now())) {
    throw AgentFailure::appUnavailable(
        "The Vantry app heartbeat is stale. Open Vantry and retry after it becomes active.");
  }
  if (!current.enabled) throw AgentFailure::agentDisabled("Enable Agent access in Vantry Settings.");
  if (current.locked && !answeredWhileLocked(request.command)) {
    throw AgentFailure::appLocked(kAppLockedMessage);
  }

  std::string bytes = AgentWire::encode(request);
  if (bytes.size() > AgentWire::maximumRequestBytes) {
    throw AgentFailure::requestTooLarge("The encoded request exceeds 1 MiB. Import files must be at most " +
                                        std::to_string(AgentWire::maximumImportBytes) + " bytes.");
  }

  for (const std::string* folder : {&folders_.api, &folders_.requests, &folders_.responses}) {
    FileStatus item = rejectLink(*folder);
    // A private folder already (the usual case) needs neither: a permission change is a
    // metadata write that can wait behind the file system's journal.
    if (item.isDirectory && item.mode == kPrivateFolderMode) continue;
    fs_->createDirectories(*folder, kPrivateFolderMode);
    fs_->setMode(*folder, kPrivateFolderMode);  // tightens a folder that already existed
  }

  std::string requestPath = folders_.requestPath(request.id);
  std::string responsePath = folders_.responsePath(request.id);
  // A replay: the request was answered before.
  if (exists(responsePath)) return readResponse(responsePath, request, AgentWire::fingerprint(request));
  if (exists(requestPath)) throw requestPending();
  placeRequest(requestPath, bytes);

  // Most answers come within a few milliseconds, sooner than a watch can be given back (closing
  // an inotify instance waits for the kernel, 5-20 ms, at exit too). So the first looks are
  // quick ones, stat only, with short pauses that grow; only an answer that takes longer is
  // waited for with a watch: looks every 50 ms (the fingerprint the answer is checked against
  // is worked out after the first look, inside the interval), and a change in Responses/ ends
  // a wait early. Without notifications it is the plain 50 ms sleep.
  const auto placed = std::chrono::steady_clock::now();
  const auto deadline = placed + timeout;
  const auto quickLooksEnd = placed + kQuickLooksFor;
  std::chrono::nanoseconds pause = kFirstQuickPause;
  std::unique_ptr<FolderWatch> answers;
  bool watched = false;
  std::optional<std::string> expected;
  std::optional<PreciseSleeps> preciseSleeps;
  preciseSleeps.emplace();
  while (true) {
    const auto look = std::chrono::steady_clock::now();
    if (look >= deadline) {
      throw AgentFailure::outcomeUnknown(
          "Vantry did not answer before the request timeout. The command may still finish. Inspect "
          "the app state or retry with the same --request-id " +
          request.id.text() + "; do not blindly repeat a mutation with a new ID.");
    }
    bool answered = exists(responsePath);
    if (!expected) expected = AgentWire::fingerprint(request);
    if (answered) return readResponse(responsePath, request, *expected);
    if (look < quickLooksEnd) {
      std::this_thread::sleep_until(std::min({look + pause, quickLooksEnd, deadline}));
      if (look - placed >= kSteadyQuickLooksFor) {
        pause = std::min<std::chrono::nanoseconds>(pause * 5 / 4, kLongestQuickPause);
      }
      continue;
    }
    if (!watched) {
      watched = true;
      preciseSleeps.reset();  // the 50 ms looks need no such precision
      try {
        answers = fs_->watchFolder(folders_.responses);
      } catch (const FileSystemError&) {
        // Only a way to wake early; the looks find the answer without it.
      }
      continue;  // an answer that came before the watch brings no notification: look at once
    }
    // Never past the deadline: the looks after the quick ones keep no 50 ms beat with it.
    const auto next = std::min(look + kPollInterval, deadline);
    if (answers) {
      answers->wait(next - std::chrono::steady_clock::now());
    } else {
      std::this_thread::sleep_until(next);
    }
  }
}

}  // namespace pellam::agent
