// pellam.json edited by another program while the host serves it, in place and keeping its
// size and modification time (as cp -p, rsync -t or touch -r leave it): the host serves what
// is there and never saves a change over an edit it has not seen.
#include "host_fixture.h"
#include "support/edit_in_place.h"
#include "support/fault_injecting_file_system.h"

namespace pellam::host::testing {
namespace {

using pellam::testing::FaultInjectingFileSystem;
using pellam::testing::SimulatedCrash;
using pellam::testing::editInPlace;
using Operation = FaultInjectingFileSystem::Operation;

// The host's parts with an engine that lets a test act while a command runs.
struct WatchedHost {
  WatchedHost(const AgentFolders& folders, std::shared_ptr<FileSystem> fs, std::function<void(int run)> duringRun)
      : store(folders.data, fs),
        heartbeat(fs, folders, false),
        processor(fs, folders, store, heartbeat,
                  [this, duringRun, engine = fakeEngine()](const agent::AgentRequest& request,
                                                           const agent::CommandRow* row, Archive& archive,
                                                           const ValidationIndex& known,
                                                           agent::ArchiveIndexes& indexes, Instant now) {
                    ++runs;
                    if (duringRun) duringRun(runs);
                    return engine(request, row, archive, known, indexes, now);
                  }) {}
  int runs = 0;
  ArchiveStore store;
  Heartbeat heartbeat;
  RequestProcessor processor;
};

class OutsideEditTest : public HostFolderTest {
 protected:
  std::string dataFile() const { return root_ + "/pellam.json"; }
  agent::AgentResponse run(RequestProcessor& processor, const agent::AgentRequest& request) {
    place(request);
    processor.handle(request.id.text() + ".json");
    return response(request.id);
  }
  std::vector<std::string> jobNames() const {
    std::vector<std::string> result;
    for (const Job& job : archive().jobs) result.push_back(job.name);
    return result;
  }
  static bool isDataFileTemporary(const std::string& path, const std::string& root) {
    return path.starts_with(root + "/.pellam.json.");
  }
};

// Whenever the edit lands, before the change is on disk, the change runs again on the edited
// file: the edit stays and the change is in the file once.
TEST_F(OutsideEditTest, AChangeIsNeverSavedOverAnEditThatKeptSizeAndTimes) {
  struct Case {
    const char* label;
    bool duringCommand;                              // in the engine's first run
    std::function<bool(const Operation&)> editAt;  // else at this file operation, once
  };
  const std::string staged = folders_.staged;
  const std::string root = root_;
  const Case cases[] = {
      {"before the request", false, nullptr},
      {"while the command ran", true, nullptr},
      {"once its answer was staged",
       false,
       [staged](const Operation& op) { return op.name == "syncDirectory" && op.path == staged; }},
      {"while the new file was written",
       false,
       [root](const Operation& op) { return op.name == "syncFile" && isDataFileTemporary(op.path, root); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(root_ + "/Backups");
    std::filesystem::remove(dataFile());
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    bool edited = false;
    auto edit = [&] {
      if (edited) return;
      edited = true;
      editInPlace(dataFile(), "Alpha", "Omega");
    };
    WatchedHost host(folders_, fs, [&](int run) {
      if (c.duringCommand && run == 2) edit();
    });
    ASSERT_TRUE(run(host.processor, makeRequest("jobs.create", {{"name", "Alpha"}})).ok);
    if (!c.duringCommand && !c.editAt) edit();
    if (c.editAt) {
      fs->failWhen([&](const Operation& op) {
        if (c.editAt(op)) edit();
        return false;
      });
    }
    agent::AgentResponse created = run(host.processor, makeRequest("jobs.create", {{"name", "New"}}));
    ASSERT_TRUE(edited);
    ASSERT_TRUE(created.ok) << created.error->message;
    EXPECT_EQ(jobNames(), (std::vector<std::string>{"Omega", "New"}));
    // The host serves the file as it is now.
    ASSERT_TRUE(run(host.processor, makeRequest("jobs.create", {{"name", "Last"}})).ok);
    EXPECT_EQ(jobNames(), (std::vector<std::string>{"Omega", "New", "Last"}));
  }
}

// A file that changes again every time the command runs is left as the last edit made it,
// and the change is refused as a failure worth retrying.
TEST_F(OutsideEditTest, ADataFileThatKeepsChangingIsLeftAndTheChangeRefused) {
  const char* names[] = {"Alpha", "Omega", "Sigma", "Delta", "Gamma"};
  int edits = 0;
  WatchedHost host(folders_, RealFileSystem::shared(), [&](int run) {
    if (run == 1) return;
    editInPlace(dataFile(), names[edits], names[edits + 1]);
    ++edits;
  });
  ASSERT_TRUE(run(host.processor, makeRequest("jobs.create", {{"name", "Alpha"}})).ok);
  agent::AgentResponse refused = run(host.processor, makeRequest("jobs.create", {{"name", "New"}}));
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->code, "save_failed");
  EXPECT_TRUE(refused.error->retryable);
  EXPECT_EQ(refused.error->message,
            "Vantry could not save the records: pellam.json was changed by another program each time the command "
            "ran, so nothing was saved. Run the command again when nothing else writes the file.");
  EXPECT_EQ(host.runs, 1 + 3);
  EXPECT_EQ(jobNames(), std::vector<std::string>{names[edits]});
  EXPECT_TRUE(this->names(folders_.staged).empty());
}

// A change made when there was no data file is not saved over one that appeared meanwhile.
TEST_F(OutsideEditTest, AChangeMadeOnNoDataFileIsNotSavedOverOneThatAppeared) {
  WatchedHost host(folders_, RealFileSystem::shared(), [&](int run) {
    if (run != 1) return;
    Archive other;
    other.jobs.push_back(Job("Other"));
    ArchiveIO(root_).save(other);
  });
  agent::AgentResponse created = run(host.processor, makeRequest("jobs.create", {{"name", "New"}}));
  ASSERT_TRUE(created.ok) << created.error->message;
  EXPECT_EQ(host.runs, 2);
  EXPECT_EQ(jobNames(), (std::vector<std::string>{"Other", "New"}));
}

// Where the file system's times cannot show a change (they stand still, as a coarse clock
// leaves them within one tick), a data file read with times too recent to prove anything
// (here: ahead of the clock) has its bytes compared before it is served or saved over again;
// one whose times lie well in the past is trusted without being read again.
TEST_F(OutsideEditTest, TimesThatCannotShowAnEditAreCheckedByTheBytes) {
  struct Case {
    const char* label;
    FileTime reported;
    bool edit;
  };
  const FileTime now = std::chrono::time_point_cast<FileTime::duration>(std::chrono::system_clock::now());
  const Case cases[] = {
      {"times later than the clock", now + std::chrono::hours(1), true},
      {"times a day old", now - std::chrono::hours(24), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove(dataFile());
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    fs->reportEveryTimeAs(c.reported);
    Archive written;
    written.jobs.push_back(Job("Alpha"));
    ArchiveIO(root_).save(written);
    WatchedHost host(folders_, fs, nullptr);
    ASSERT_TRUE(run(host.processor, makeRequest("jobs.list")).ok);  // read
    ASSERT_TRUE(run(host.processor, makeRequest("jobs.list")).ok);  // confirmed as it was
    if (c.edit) {
      editInPlace(dataFile(), "Alpha", "Omega");
      ASSERT_TRUE(run(host.processor, makeRequest("jobs.create", {{"name", "New"}})).ok);
      EXPECT_EQ(jobNames(), (std::vector<std::string>{"Omega", "New"}));
    } else {
      std::size_t before = fs->operationCount();
      ASSERT_TRUE(run(host.processor, makeRequest("jobs.list")).ok);
      for (std::size_t i = before; i < fs->log().size(); ++i) {
        EXPECT_FALSE(fs->log()[i].name == "readFile" && fs->log()[i].path == dataFile()) << i;
      }
    }
  }
}

// Killed at any step after an edit landed behind a change's staged answer, the host comes
// back, and in the end the edit and the change are both in the file, the change once.
TEST_F(OutsideEditTest, AKillAtAnyStepAfterAnEditLosesNeitherTheEditNorTheChange) {
  for (std::size_t stepsAfterEdit = 1;; ++stepsAfterEdit) {
    SCOPED_TRACE(stepsAfterEdit);
    std::filesystem::remove_all(root_ + "/Backups");
    std::filesystem::remove_all(folders_.responses);
    std::filesystem::remove(dataFile());
    folders_.prepare(*RealFileSystem::shared());
    {
      HostParts host(folders_);
      ASSERT_TRUE(run(host.processor, makeRequest("jobs.create", {{"name", "Alpha"}})).ok);
    }
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    std::size_t editedAt = 0;
    fs->crashWhen([&](const Operation& op) {
      if (!editedAt && op.name == "syncDirectory" && op.path == folders_.staged) {
        editInPlace(dataFile(), "Alpha", "Omega");
        editedAt = fs->operationCount();
      }
      return editedAt && fs->operationCount() == editedAt + stepsAfterEdit;
    });
    agent::AgentRequest request = makeRequest("jobs.create", {{"name", "New"}});
    place(request);
    bool crashed = false;
    {
      HostParts host(folders_, fs);
      try {
        host.processor.handle(request.id.text() + ".json");
      } catch (const SimulatedCrash&) {
        crashed = true;
      }
    }
    ASSERT_NE(editedAt, 0u);
    HostParts host(folders_);
    host.processor.recover();
    if (std::filesystem::exists(requestPath(request.id))) host.processor.handle(request.id.text() + ".json");
    agent::AgentResponse answered = response(request.id);
    ASSERT_TRUE(answered.ok) << answered.error->message;
    EXPECT_EQ(jobNames(), (std::vector<std::string>{"Omega", "New"}));
    if (!crashed) break;
  }
}

}  // namespace
}  // namespace pellam::host::testing
