// Answers that are withdrawn after a short hold (reads, dry runs, host failures that changed
// nothing and may pass) and the ones kept for replays (every change command's, whatever it
// changed), over a monotonic clock the test moves.
#include "host_fixture.h"
#include "support/fault_injecting_file_system.h"

namespace pellam::host::testing {
namespace {

using pellam::testing::FaultInjectingFileSystem;
using pellam::testing::SimulatedCrash;
using Operation = FaultInjectingFileSystem::Operation;
using std::chrono::steady_clock;
using namespace std::chrono_literals;

// The fake engine, and a few answers it cannot give: a change command that finds nothing to
// change, the engine's own retryable conflict, and a read that fails.
Engine engineWithAnswersThatChangeNothing() {
  return [fake = fakeEngine()](const agent::AgentRequest& request, const agent::CommandRow* row, Archive& archive,
                               const ValidationIndex& index, agent::ArchiveIndexes& indexes, Instant now) -> CommandOutcome {
    if (request.command == "jobs.update") return {"{\"changed\":false}", false, std::nullopt, std::nullopt};
    if (request.command == "timer.clock-in") {
      throw agent::AgentFailure("conflict", "This record changed. Read it again before applying your update.", true);
    }
    if (request.command == "jobs.show") throw agent::AgentFailure("not_found", "No such job.", false);
    return fake(request, row, archive, index, indexes, now);
  };
}

class HeldAnswersTest : public HostFolderTest {
 protected:
  struct Host {
    Host(const AgentFolders& folders, std::shared_ptr<FileSystem> fs, steady_clock::time_point* now)
        : store(folders.data, fs),
          heartbeat(fs, folders, false),
          processor(fs, folders, store, heartbeat, engineWithAnswersThatChangeNothing(), Instant::now,
                    [now] { return *now; }) {}
    ArchiveStore store;
    Heartbeat heartbeat;
    RequestProcessor processor;
  };

  std::optional<HandledRequest> send(Host& host, const agent::AgentRequest& request) {
    place(request);
    return host.processor.handle(request.id.text() + ".json");
  }
  bool answered(const agent::AgentRequest& request) const {
    return std::filesystem::exists(responsePath(request.id));
  }

  // A fresh folder with an empty archive, and a host on a disk too full to save the data file,
  // killed while answering `request`: right after the answer was moved into place (`crashAt`
  // 0), or at file operation `crashAt`. Its file system, and whether the host finished first.
  struct Killed {
    std::shared_ptr<FaultInjectingFileSystem> fs;
    bool finished = true;
  };
  Killed killWhileAnswering(const agent::AgentRequest& request, std::size_t crashAt) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directory(root_);
    folders_.prepare(*RealFileSystem::shared());
    { HostParts(folders_).store.save(Archive()); }
    Killed killed{std::make_shared<FaultInjectingFileSystem>()};
    killed.fs->failWhen([this](const Operation& op) { return op.path.starts_with(root_ + "/.pellam.json."); }, ENOSPC);
    if (crashAt == 0) {
      killed.fs->afterMove([answer = responsePath(request.id)](const std::string& to) {
        if (to == answer) throw SimulatedCrash{};
      });
    } else {
      killed.fs->crashAt(crashAt);
    }
    try {
      Host host(folders_, killed.fs, &now_);
      send(host, request);
    } catch (const SimulatedCrash&) {
      killed.finished = false;
    }
    return killed;
  }

  // The next start, on a disk with room again: nothing that was to be held stands as the
  // answer, and the request left waiting, or else the client's replay, is answered.
  void restartAndAnswer(const agent::AgentRequest& request) {
    Host restarted(folders_, RealFileSystem::shared(), &now_);
    restarted.processor.withdrawDue();  // as at start, before the heartbeat
    EXPECT_FALSE(answered(request));
    if (std::filesystem::exists(requestPath(request.id))) {
      restarted.processor.handle(request.id.text() + ".json");
    } else {
      send(restarted, request);  // the client's replay
    }
  }

  steady_clock::time_point now_ = steady_clock::time_point() + 1000h;
};

TEST_F(HeldAnswersTest, ReadsAndDryRunsAreWithdrawnAfterTheHoldChangeCommandsKeepTheirAnswers) {
  struct Case {
    const char* label;
    agent::AgentRequest request;
    bool held;
  };
  agent::AgentRequest dryRun = makeRequest("jobs.create", {{"name", "Dry"}});
  dryRun.dryRun = true;
  const Case cases[] = {
      {"a read", makeRequest("jobs.list"), true},
      {"a read that fails", makeRequest("jobs.show", {{"id", "x"}}), true},
      {"a dry run", dryRun, true},
      {"a change", makeRequest("jobs.create", {{"name", "Wet"}}), false},
      {"a change command that changed nothing", makeRequest("jobs.update", {{"id", "x"}}), false},
      {"the engine's retryable conflict", makeRequest("timer.clock-in", {{"job", "x"}}), false},
      {"an app command that acts", makeRequest("app.lock"), false},
  };
  auto fs = std::make_shared<FaultInjectingFileSystem>();
  Host host(folders_, fs, &now_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const auto published = now_;
    const std::size_t before = fs->operationCount();
    ASSERT_TRUE(send(host, c.request));
    const std::string first = readFile(responsePath(c.request.id));
    // A held answer is not synced and says so by its mode; a kept one is synced before it
    // takes its name (a change's in Staged/).
    const bool synced = std::any_of(fs->log().begin() + before, fs->log().end(), [&](const Operation& op) {
      return op.name == "syncFile" && op.path.find(c.request.id.text()) != std::string::npos;
    });
    EXPECT_EQ(synced, !c.held);
    EXPECT_EQ(std::filesystem::status(responsePath(c.request.id)).permissions(),
              c.held ? std::filesystem::perms::owner_read
                     : std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // A replay during the hold gets the same answer and runs nothing.
    now_ = published + 4min;
    EXPECT_EQ(send(host, c.request)->outcome, "already-answered");
    EXPECT_EQ(readFile(responsePath(c.request.id)), first);

    now_ = published + HeldAnswers::kHold;
    host.processor.withdrawDue();
    EXPECT_EQ(answered(c.request), !c.held);
    now_ += 1h;
    EXPECT_EQ(send(host, c.request)->outcome == "already-answered", !c.held);
    if (c.request.command == "app.lock") host.heartbeat.setLocked(false);
  }
  EXPECT_EQ(jobsNamed("Wet"), 1u);
  EXPECT_EQ(jobsNamed("Dry"), 0u);
  for (const std::string& name : names(folders_.responses)) EXPECT_FALSE(name.ends_with(".held")) << name;
}

// A full disk at save: the failure is published (the waiting client reads it), a replay
// during the hold gets it again, and once the hold has passed the same request id runs
// again and lands, once.
TEST_F(HeldAnswersTest, ASaveThatFailedForNowCanBeRetriedWithTheSameRequestIdAfterTheHold) {
  { HostParts(folders_).store.save(Archive()); }
  bool full = true;
  auto fs = std::make_shared<FaultInjectingFileSystem>();
  fs->failWhen(
      [&](const Operation& op) {
        return full && op.name == "writeNewFile" && op.path.starts_with(root_ + "/.pellam.json.");
      },
      ENOSPC);
  Host host(folders_, fs, &now_);
  agent::AgentRequest request = makeRequest("jobs.create", {{"name", "Later"}});
  send(host, request);
  agent::AgentResponse failed = response(request.id);
  ASSERT_TRUE(failed.error);
  EXPECT_EQ(failed.error->code, "save_failed");
  EXPECT_TRUE(failed.error->retryable);

  full = false;
  now_ += 4min;
  EXPECT_EQ(send(host, request)->outcome, "already-answered");
  EXPECT_EQ(response(request.id), failed);
  EXPECT_EQ(jobsNamed("Later"), 0u);

  now_ += 1min;
  EXPECT_EQ(send(host, request)->outcome, "ok");
  EXPECT_TRUE(response(request.id).ok);
  EXPECT_EQ(jobsNamed("Later"), 1u);
  now_ += 1h;
  EXPECT_EQ(send(host, request)->outcome, "already-answered");
  EXPECT_EQ(jobsNamed("Later"), 1u);
}

// Save failures that keep their answer: one retrying cannot help, and one that came after
// the data file was replaced (the change stands).
TEST_F(HeldAnswersTest, SaveFailuresThatRetryingCannotHelpOrThatLandedKeepTheirAnswer) {
  struct Case {
    const char* label;
    std::function<void(FaultInjectingFileSystem&)> make;
    bool ok;
  };
  const Case cases[] = {
      {"Backups is a file",
       [&](FaultInjectingFileSystem&) {
         std::filesystem::remove_all(root_ + "/Backups");
         writeFile(root_ + "/Backups", "x");
       },
       false},
      {"the data file replaced, its folder not synced",
       [&](FaultInjectingFileSystem& fs) { fs.failEvery("syncDirectory", root_, EIO); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(root_ + "/Backups");
    { HostParts(folders_).store.save(Archive()); }
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    c.make(*fs);
    Host host(folders_, fs, &now_);
    agent::AgentRequest request = makeRequest("jobs.create", {{"name", c.label}});
    send(host, request);
    const agent::AgentResponse first = response(request.id);
    EXPECT_EQ(first.ok, c.ok) << (first.error ? first.error->message : "");
    now_ += 1h;
    EXPECT_EQ(send(host, request)->outcome, "already-answered");
    EXPECT_EQ(response(request.id), first);
    EXPECT_EQ(jobsNamed(c.label), c.ok ? 1u : 0u);
  }
}

// A host killed or stopped during a hold: the next one withdraws what was held at once, keeps
// every other answer, and never takes a mark that lost its answer for a later answer's.
TEST_F(HeldAnswersTest, ARestartWithdrawsWhatTheEarlierRunHeldAndNothingElse) {
  agent::AgentRequest read = makeRequest("jobs.list"), change = makeRequest("jobs.create", {{"name", "Kept"}});
  {
    Host host(folders_, RealFileSystem::shared(), &now_);
    send(host, read);
    send(host, change);
  }
  ASSERT_TRUE(answered(read));
  agent::AgentRequest stray = makeRequest("jobs.create", {{"name", "Stray"}});
  writeFile(folders_.heldMarkPath(stray.id), "");  // its answer removed by hand, say

  Host restarted(folders_, RealFileSystem::shared(), &now_);
  EXPECT_EQ(send(restarted, stray)->outcome, "ok");
  EXPECT_FALSE(answered(read));
  EXPECT_TRUE(answered(change));
  EXPECT_EQ(send(restarted, read)->outcome, "ok");  // runs again

  Host again(folders_, RealFileSystem::shared(), &now_);
  again.processor.withdrawDue();
  EXPECT_TRUE(answered(stray));
  EXPECT_TRUE(answered(change));
  EXPECT_FALSE(answered(read));
  EXPECT_EQ(jobsNamed("Stray"), 1u);
}

// What a start withdraws, by what is in Responses/: held answers of this version (by their
// mode) and of earlier ones (by their mark), never a kept answer.
TEST_F(HeldAnswersTest, AStartWithdrawsHeldAnswersByTheirModeOrAnEarlierVersionsMark) {
  struct Case {
    const char* label;
    mode_t mode;  // of the answer
    bool marked;
    bool withdrawn;
  };
  const Case cases[] = {
      {"held, by its mode", 0400, false, true},
      {"held by an earlier version, marked", 0600, true, true},
      {"held and marked", 0400, true, true},
      {"kept", 0600, false, false},
      {"kept, readable by all", 0644, false, false},
  };
  std::vector<std::pair<const Case*, agent::AgentRequest>> placed;
  for (const Case& c : cases) {
    agent::AgentRequest request = makeRequest("jobs.list");
    agent::AgentResponse answer;
    answer.id = request.id;
    answer.ok = true;
    answer.data = "{}";
    answer.requestFingerprint = agent::AgentWire::fingerprint(request);
    RealFileSystem().writeNewFile(responsePath(request.id), agent::AgentWire::encode(answer), c.mode);
    if (c.marked) writeFile(folders_.heldMarkPath(request.id), "");
    placed.emplace_back(&c, request);
  }
  Host host(folders_, RealFileSystem::shared(), &now_);
  host.processor.withdrawDue();
  for (const auto& [c, request] : placed) {
    EXPECT_EQ(answered(request), !c->withdrawn) << c->label;
    EXPECT_FALSE(std::filesystem::exists(folders_.heldMarkPath(request.id))) << c->label;
  }
}

// A power cut while a held answer was published, on a file system that kept the answer's name
// but not its unsynced bytes: the next start withdraws the cut answer before a client can
// read it, and the request, or the client's replay, is answered properly.
TEST_F(HeldAnswersTest, APowerCutThatCutsAHeldAnswerNeverLeavesItAsTheAnswer) {
  using CutBytes = FaultInjectingFileSystem::CutBytes;
  struct Case {
    const char* label;
    agent::AgentRequest request;
  };
  const Case cases[] = {
      {"a read", makeRequest("jobs.list")},
      {"a save on a full disk", makeRequest("jobs.create", {{"name", "Once"}})},
  };
  for (const Case& c : cases) {
    bool sawCutAnswer = false;
    for (CutBytes cut : {CutBytes::empty, CutBytes::zeros, CutBytes::firstHalf}) {
      // 0: right after the answer was moved into place; then at each operation in turn.
      for (std::size_t crashAt = 0;; ++crashAt) {
        SCOPED_TRACE(std::string(c.label) + ", cut " + std::to_string(static_cast<int>(cut)) +
                     ", killed at operation " + std::to_string(crashAt));
        Killed killed = killWhileAnswering(c.request, crashAt);
        killed.fs->loseUnsyncedBytes(cut);
        if (answered(c.request)) {
          try {
            agent::AgentWire::decodeResponse(readFile(responsePath(c.request.id)));
          } catch (const std::exception&) {
            sawCutAnswer = true;
          }
        }

        restartAndAnswer(c.request);
        agent::AgentResponse final = response(c.request.id);
        EXPECT_TRUE(final.ok);
        EXPECT_EQ(final.requestFingerprint, agent::AgentWire::fingerprint(c.request));
        EXPECT_EQ(jobsNamed("Once"), c.request.command == "jobs.create" ? 1u : 0u);
        if (killed.finished && crashAt > 0) break;
      }
    }
    // Or the answer was synced, and the test shows nothing.
    EXPECT_TRUE(sawCutAnswer) << c.label;
  }
}

// Killed at any file operation while answering with an answer to hold: the next host never
// keeps such an answer, and the request then runs to its proper end, once.
TEST_F(HeldAnswersTest, AKillWhileAnsweringNeverPinsAnAnswerThatWasToBeHeld) {
  struct Case {
    const char* label;
    agent::AgentRequest request;
  };
  const Case cases[] = {
      {"a read", makeRequest("jobs.list")},
      {"a save on a full disk", makeRequest("jobs.create", {{"name", "Once"}})},
  };
  for (const Case& c : cases) {
    // 0: right after the answer was moved into place; then at each operation in turn.
    for (std::size_t crashAt = 0;; ++crashAt) {
      SCOPED_TRACE(std::string(c.label) + ", killed at operation " + std::to_string(crashAt));
      Killed killed = killWhileAnswering(c.request, crashAt);
      restartAndAnswer(c.request);
      EXPECT_TRUE(response(c.request.id).ok);
      EXPECT_EQ(jobsNamed("Once"), c.request.command == "jobs.create" ? 1u : 0u);
      if (killed.finished && crashAt > 0) break;
    }
  }
}

}  // namespace
}  // namespace pellam::host::testing
