// The host is "killed" at every single file-system operation of answering a change, with and
// without a power cut losing what was not synced, then restarted: the change must end up in
// the archive exactly once and its answer must say so; an answer a client could have seen
// never changes.
#include "host_fixture.h"
#include "support/fault_injecting_file_system.h"

namespace pellam::host::testing {
namespace {

using pellam::testing::FaultInjectingFileSystem;
using pellam::testing::SimulatedCrash;

class CrashSafetyTest : public HostFolderTest {
 protected:
  // Answers the request with a fresh host over `fs`; true when it ran to the end.
  bool answer(const agent::AgentRequest& request, std::shared_ptr<FileSystem> fs) {
    HostParts host(folders_, fs);
    try {
      host.processor.recover();
      host.processor.handle(request.id.text() + ".json");
      return true;
    } catch (const SimulatedCrash&) {
      return false;
    }
  }

  // Starts a fresh host on the real file system, as after a restart, and lets it settle and
  // pick the request up again if it is still waiting.
  void restart(const agent::AgentRequest& request) {
    HostParts host(folders_);
    host.processor.recover();
    if (std::filesystem::exists(requestPath(request.id))) host.processor.handle(request.id.text() + ".json");
    host.processor.recover();  // as before the next request: nothing is left undecided
  }

  void resetFolder() {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directory(root_);
    folders_.prepare(*RealFileSystem::shared());
    HostParts host(folders_);
    host.store.save(Archive());  // a data file to back up, so every step of a save is taken
  }
};

TEST_F(CrashSafetyTest, AChangeIsAppliedExactlyOnceWhereverTheHostDies) {
  // How many operations one undisturbed answer takes.
  resetFolder();
  agent::AgentRequest request = makeRequest("jobs.create", {{"name", "Exactly once"}});
  place(request);
  auto counting = std::make_shared<FaultInjectingFileSystem>();
  ASSERT_TRUE(answer(request, counting));
  const std::size_t operations = counting->operationCount();
  ASSERT_GT(operations, 10u);

  // A power cut loses every unsynced change, or (a journal that kept the names) only the
  // unsynced bytes.
  enum class PowerCut { none, everything, bytes };
  for (PowerCut powerCut : {PowerCut::none, PowerCut::everything, PowerCut::bytes}) {
    for (std::size_t crashAt = 1; crashAt <= operations; ++crashAt) {
      SCOPED_TRACE("crash at operation " + std::to_string(crashAt) +
                   (powerCut == PowerCut::everything ? " with a power cut"
                    : powerCut == PowerCut::bytes    ? " with a power cut that kept the names"
                                                     : ""));
      resetFolder();
      place(request);
      auto fs = std::make_shared<FaultInjectingFileSystem>();
      fs->crashAt(crashAt);
      ASSERT_FALSE(answer(request, fs));
      std::optional<std::string> seen;
      if (std::filesystem::exists(responsePath(request.id))) seen = readFile(responsePath(request.id));
      if (powerCut == PowerCut::everything) fs->loseUnsyncedChanges();
      if (powerCut == PowerCut::bytes) fs->loseUnsyncedBytes(FaultInjectingFileSystem::CutBytes::empty);
      // A client that saw an answer before the crash was told the change is saved.
      if (seen && std::filesystem::exists(responsePath(request.id))) {
        EXPECT_EQ(jobsNamed("Exactly once"), 1u);
      }

      restart(request);
      ASSERT_TRUE(std::filesystem::exists(responsePath(request.id)));
      agent::AgentResponse final = response(request.id);
      EXPECT_TRUE(final.ok);
      EXPECT_EQ(jobsNamed("Exactly once"), 1u);
      if (seen) {
        EXPECT_EQ(readFile(responsePath(request.id)), *seen);
      }
      EXPECT_TRUE(names(folders_.staged).empty());
      EXPECT_TRUE(names(folders_.requests).empty());
      ArchiveIO::decode(readFile(root_ + "/pellam.json"));  // always a valid data file
    }
  }
}

TEST_F(CrashSafetyTest, AFailedOperationNeverReportsAChangeThatIsNotSaved) {
  resetFolder();
  agent::AgentRequest request = makeRequest("jobs.create", {{"name", "Maybe"}});
  place(request);
  auto counting = std::make_shared<FaultInjectingFileSystem>();
  ASSERT_TRUE(answer(request, counting));
  const std::size_t operations = counting->operationCount();

  for (std::size_t failAt = 1; failAt <= operations; ++failAt) {
    SCOPED_TRACE("failure at operation " + std::to_string(failAt));
    resetFolder();
    place(request);
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    fs->failAt(failAt, ENOSPC);
    {
      HostParts host(folders_, fs);
      try {
        host.processor.handle(request.id.text() + ".json");
      } catch (const FileSystemError&) {
        // Left for the next attempt, which the same host makes a little later.
        host.processor.handle(request.id.text() + ".json");
      }
    }
    restart(request);
    agent::AgentResponse final = response(request.id);
    EXPECT_EQ(jobsNamed("Maybe"), final.ok ? 1u : 0u);
    EXPECT_TRUE(names(folders_.staged).empty());
  }
}

}  // namespace
}  // namespace pellam::host::testing
