// The client against a file system that fails or "crashes" at every single operation of
// perform: it never reports an answer it did not get, writes nothing but its own request (and
// the agent folders, private), and never deletes or replaces a response.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "agent/client/client.h"
#include "core/file_placement.h"
#include "support/fault_injecting_file_system.h"
#include "support/folder_notifications.h"
#include "support/temporary_folder.h"

namespace pellam::agent {
namespace {

using pellam::testing::FaultInjectingFileSystem;
using pellam::testing::SimulatedCrash;
using pellam::testing::TemporaryFolder;
using Watches = FaultInjectingFileSystem::Watches;

// A data folder with a fresh heartbeat, and the app's side of the exchange: it answers the
// request the moment the client moves it into place (or after `answerDelay`, from a thread),
// or has answered it before when `answeredBefore`.
struct Exchange {
  explicit Exchange(bool answeredBefore = false) : folders(folder.path()) {
    real.createDirectories(folders.api, 0700);
    AgentStatus status;
    status.enabled = true;
    status.updatedAt = Instant::now();
    real.writeNewFile(folders.status, AgentWire::encode(status), 0600);
    request.id = *Uuid::parse("5D9E1C0A-3B7F-4E21-9A6C-0F2B8D4E7A13");
    request.command = "jobs.list";
    request.arguments = {{"limit", "5"}};
    answer.id = request.id;
    answer.ok = true;
    answer.data = "{\"items\":[]}";
    answer.requestFingerprint = AgentWire::fingerprint(request);
    answerBytes = AgentWire::encode(answer);
    requestBytes = AgentWire::encode(request);
    if (answeredBefore) {
      real.createDirectories(folders.responses, 0700);
      respond();
    }
    fs->afterMove([this](const std::string& to) {
      if (to != folders.requestPath(request.id)) return;
      if (answerDelay.count() == 0) return respond();
      responder = std::thread([this] {
        std::this_thread::sleep_for(answerDelay);
        respond();
      });
    });
  }
  ~Exchange() {
    if (responder.joinable()) responder.join();
  }

  void respond() {
    answeredAt = std::chrono::steady_clock::now();
    publishFile(real, folders.responses + "/.answer.tmp", folders.responsePath(request.id), answerBytes, 0600,
                Placement::replace, Durability{false, false});
  }

  // Every item under the data folder, relative to it.
  std::vector<std::string> items() const {
    std::vector<std::string> found;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder.path())) {
      found.push_back(item.path().string().substr(folder.path().size() + 1));
    }
    std::sort(found.begin(), found.end());
    return found;
  }

  // What may be on disk after any run: the heartbeat, the three private folders, the request
  // (whole in its place, or any part of it in a temporary file of the client's own), and the
  // app's answer, untouched.
  void expectOnlyOwnFiles(const std::string& label) const {
    for (const std::string& item : items()) {
      std::string path = folder / item;
      std::string name = item.substr(item.rfind('/') + 1);
      if (item == "AgentAPI/status.json") continue;
      if (item == "AgentAPI" || item == "AgentAPI/Requests" || item == "AgentAPI/Responses") {
        struct stat info;
        ASSERT_EQ(::lstat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u) << label << ": " << item;
      } else if (path == folders.requestPath(request.id)) {
        EXPECT_EQ(pellam::testing::readBytes(path), requestBytes) << label;
      } else if (path == folders.responsePath(request.id)) {
        EXPECT_EQ(pellam::testing::readBytes(path), answerBytes) << label;
      } else if (item.rfind("AgentAPI/Requests/", 0) == 0 && isPendingRequestName(name)) {
        EXPECT_EQ(requestBytes.rfind(pellam::testing::readBytes(path), 0), 0u) << label << ": " << item;
      } else {
        ADD_FAILURE() << label << ": unexpected " << item;
      }
    }
  }

  // The client removes nothing but its own temporary request file, and moves nothing over an
  // existing name.
  void expectNothingOfOthersRemoved(const std::string& label) const {
    for (const auto& operation : fs->log()) {
      if (operation.name == "remove" || operation.name == "removeTree") {
        EXPECT_TRUE(isPendingRequestName(operation.path.substr(operation.path.rfind('/') + 1)))
            << label << ": removed " << operation.path;
      }
      EXPECT_NE(operation.name, "rename") << label << ": a replacing move of " << operation.path;
    }
  }

  TemporaryFolder folder;
  AgentFolderLayout folders;
  RealFileSystem real;
  std::shared_ptr<FaultInjectingFileSystem> fs = std::make_shared<FaultInjectingFileSystem>();
  AgentRequest request;
  AgentResponse answer;
  std::string answerBytes;
  std::string requestBytes;
  std::chrono::milliseconds answerDelay{0};
  std::thread responder;
  std::chrono::steady_clock::time_point answeredAt;
};

constexpr auto kTimeout = std::chrono::seconds(5);

std::size_t operationsOfCleanRun(bool answeredBefore) {
  Exchange exchange(answeredBefore);
  AgentResponse response = AgentClient(exchange.folder.path(), exchange.fs).perform(exchange.request, kTimeout);
  EXPECT_EQ(response, exchange.answer);
  exchange.expectOnlyOwnFiles("clean run");
  return exchange.fs->operationCount();
}

TEST(ClientFaultTest, AFailureAtAnyOperationNeverYieldsAnAnswerNotGivenNorLeavesAnythingBehind) {
  for (bool answeredBefore : {false, true}) {
    std::size_t operations = operationsOfCleanRun(answeredBefore);
    ASSERT_GT(operations, 5u);
    for (std::size_t n = 1; n <= operations; ++n) {
      std::string label = std::string(answeredBefore ? "replay" : "new") + ", failure at " + std::to_string(n);
      Exchange exchange(answeredBefore);
      exchange.fs->failAt(n);
      try {
        AgentResponse response =
            AgentClient(exchange.folder.path(), exchange.fs).perform(exchange.request, kTimeout);
        EXPECT_EQ(response, exchange.answer) << label;
      } catch (const AgentFailure&) {
      } catch (const std::exception&) {
      }
      exchange.expectOnlyOwnFiles(label);
      exchange.expectNothingOfOthersRemoved(label);
      for (const std::string& item : exchange.items()) {
        EXPECT_FALSE(isPendingRequestName(item.substr(item.rfind('/') + 1))) << label << ": left " << item;
      }
    }
  }
}

TEST(ClientFaultTest, ACrashAtAnyOperationLeavesOnlyTheClientsOwnRequest) {
  for (bool answeredBefore : {false, true}) {
    std::size_t operations = operationsOfCleanRun(answeredBefore);
    for (std::size_t n = 1; n <= operations; ++n) {
      std::string label = std::string(answeredBefore ? "replay" : "new") + ", crash at " + std::to_string(n);
      Exchange exchange(answeredBefore);
      exchange.fs->crashAt(n);
      EXPECT_THROW(AgentClient(exchange.folder.path(), exchange.fs).perform(exchange.request, kTimeout),
                   SimulatedCrash)
          << label;
      exchange.expectOnlyOwnFiles(label);
      exchange.expectNothingOfOthersRemoved(label);
    }
  }
}

// Without notifications (none can be set up, or they never come) the answer is still found by
// the 50 ms looks, and the timeout still ends a wait for an answer that never comes.
TEST(ClientFaultTest, WithoutNotificationsTheAnswerIsStillFoundAndTheTimeoutStillHolds) {
  for (Watches watches : {Watches::real, Watches::none, Watches::silent}) {
    Exchange exchange;
    exchange.fs->setWatches(watches);
    exchange.answerDelay = std::chrono::milliseconds(120);
    EXPECT_EQ(AgentClient(exchange.folder.path(), exchange.fs).perform(exchange.request, kTimeout),
              exchange.answer);

    Exchange silent;
    silent.fs->setWatches(watches);
    silent.fs->afterMove(nullptr);  // no app answers
    auto started = std::chrono::steady_clock::now();
    try {
      AgentClient(silent.folder.path(), silent.fs).perform(silent.request, std::chrono::milliseconds(300));
      ADD_FAILURE() << "answered without an answer";
    } catch (const AgentFailure& failure) {
      EXPECT_EQ(failure.code, "outcome_unknown");
    }
    auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(3));
  }
}

// An answer within a quarter of a second (a read in a few milliseconds, a big export in a
// hundred) is found by the quick looks, without the cost of a watch; a later one is waited for
// through the watch and picked up at once, not at the next 50 ms look (answers at several
// offsets from those looks; the median keeps one slow wake-up on a busy machine from deciding).
TEST(ClientFaultTest, AQuickAnswerNeedsNoWatchAndALateOneIsPickedUpThroughTheWatch) {
  auto watchedFolder = [](const Exchange& exchange) {
    for (const auto& operation : exchange.fs->log()) {
      if (operation.name == "watchFolder") return true;
    }
    return false;
  };

  for (int delay : {3, 100}) {
    Exchange quick;
    quick.answerDelay = std::chrono::milliseconds(delay);
    EXPECT_EQ(AgentClient(quick.folder.path(), quick.fs).perform(quick.request, kTimeout), quick.answer);
    EXPECT_FALSE(watchedFolder(quick)) << delay << " ms";
  }

  // Without folder notifications (the portable build) a late answer waits for the 50 ms looks.
  if (!pellam::testing::hasFolderNotifications()) GTEST_SKIP() << "no folder notifications on this system: a late answer is found by the 50 ms looks";

  // How long after the answer was written the client began to read it (its return comes
  // later: giving the watch back takes the kernel a while).
  std::vector<std::chrono::steady_clock::duration> latencies;
  for (int delay : {275, 285, 295, 315, 325, 335}) {
    Exchange late;
    late.answerDelay = std::chrono::milliseconds(delay);
    std::chrono::steady_clock::time_point readAt;
    late.fs->failWhen([&](const FaultInjectingFileSystem::Operation& operation) {
      if (operation.name == "readFileAtMost" && operation.path == late.folders.responsePath(late.request.id) &&
          readAt == decltype(readAt)()) {
        readAt = std::chrono::steady_clock::now();
      }
      return false;  // never fails: it only notes the moment
    });
    EXPECT_EQ(AgentClient(late.folder.path(), late.fs).perform(late.request, kTimeout), late.answer);
    late.responder.join();
    latencies.push_back(readAt - late.answeredAt);
    EXPECT_TRUE(watchedFolder(late)) << delay << " ms";
  }
  std::sort(latencies.begin(), latencies.end());
  EXPECT_LT(latencies[latencies.size() / 2], std::chrono::milliseconds(5));
}

// The timeout ends the wait when it is due, not at the next 50 ms look after it (a watch that
// never reports keeps the giving back of a real one out of the time taken).
TEST(ClientFaultTest, TheTimeoutEndsTheWaitWhenItIsDue) {
  Exchange silent;
  silent.fs->setWatches(Watches::silent);
  silent.fs->afterMove(nullptr);  // no app answers
  const auto timeout = std::chrono::seconds(1);
  auto started = std::chrono::steady_clock::now();
  try {
    AgentClient(silent.folder.path(), silent.fs).perform(silent.request, timeout);
    ADD_FAILURE() << "answered without an answer";
  } catch (const AgentFailure& failure) {
    EXPECT_EQ(failure.code, "outcome_unknown");
  }
  auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_GE(waited, timeout);
  EXPECT_LT(waited, timeout + std::chrono::milliseconds(15));
}

// A notification for some other file only makes the client look again.
TEST(ClientFaultTest, NotificationsForOtherFilesDoNotEndTheWait) {
  Exchange exchange;
  exchange.answerDelay = std::chrono::milliseconds(200);
  std::atomic<bool> stop = false;
  std::thread noise([&] {
    RealFileSystem real;
    for (int i = 0; !stop; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      try {
        real.writeNewFile(exchange.folders.responses + "/other-" + std::to_string(i), "x", 0600);
      } catch (const FileSystemError&) {
        // Responses/ does not exist before the client makes it.
      }
    }
  });
  AgentResponse response = AgentClient(exchange.folder.path(), exchange.fs).perform(exchange.request, kTimeout);
  stop = true;
  noise.join();
  EXPECT_EQ(response, exchange.answer);
}

}  // namespace
}  // namespace pellam::agent
