// The data file in every state a host may find it in: changed behind the host's back while
// an answer was staged, not a file at all, too large, unreadable; and saves that fail for
// good or for now.
#include <sys/stat.h>
#include <unistd.h>

#include "core/storage/content_digest.h"
#include "host_fixture.h"
#include "support/fault_injecting_file_system.h"

namespace pellam::host::testing {
namespace {

using pellam::testing::FaultInjectingFileSystem;
using pellam::testing::SimulatedCrash;
using Operation = FaultInjectingFileSystem::Operation;

class DataFileTest : public HostFolderTest {
 protected:
  agent::AgentResponse run(HostParts& host, const agent::AgentRequest& request) {
    place(request);
    host.processor.handle(request.id.text() + ".json");
    return response(request.id);
  }
  std::string dataFile() const { return root_ + "/pellam.json"; }
  std::size_t readsOfDataFile(const FaultInjectingFileSystem& fs) const {
    return std::count_if(fs.log().begin(), fs.log().end(), [&](const Operation& op) {
      return (op.name == "readFile" || op.name == "readFileAtMost") && op.path == dataFile();
    });
  }
};

// Killed after the answer was staged and before the save; then something else replaced
// pellam.json before the host came back. The staged "ok" must not be published for a
// change that is not in the file: the request runs again on the file as it now is.
TEST_F(DataFileTest, AStagedAnswerIsPublishedOnlyWhenTheFileIsTheOneItsSaveWrote) {
  struct Case {
    const char* label;
    std::function<void()> meanwhile;
    bool changedMeanwhile;
  };
  const Case cases[] = {
      {"nothing changed", [] {}, false},
      {"the file replaced",
       [&] {
         Archive other;
         other.jobs.push_back(Job("Other"));
         ArchiveIO(root_).save(other);
       },
       true},
      {"the file removed", [&] { std::filesystem::remove(dataFile()); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove(dataFile());
    {
      HostParts host(folders_);
      run(host, makeRequest("jobs.create", {{"name", "Base"}}));
    }
    agent::AgentRequest request = makeRequest("jobs.create", {{"name", "New"}});
    place(request);
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    bool staged = false;
    fs->crashWhen([&](const Operation& op) {
      if (op.name == "syncDirectory" && op.path == folders_.staged) {
        staged = true;
        return false;
      }
      return staged;  // the first step of the save
    });
    {
      HostParts host(folders_, fs);
      EXPECT_THROW(host.processor.handle(request.id.text() + ".json"), SimulatedCrash);
    }
    ASSERT_EQ(names(folders_.staged).size(), 1u);
    c.meanwhile();
    std::size_t others = jobsNamed("Other");

    HostParts host(folders_);
    ResponseOutbox::Settled settled = host.processor.recover();
    EXPECT_TRUE(settled.published.empty());
    EXPECT_EQ(settled.changedMeanwhile, c.changedMeanwhile ? std::vector<Uuid>{request.id} : std::vector<Uuid>{});
    EXPECT_FALSE(std::filesystem::exists(responsePath(request.id)));
    host.processor.handle(request.id.text() + ".json");
    EXPECT_TRUE(response(request.id).ok);
    EXPECT_EQ(jobsNamed("New"), 1u);
    EXPECT_EQ(jobsNamed("Other"), others);
    EXPECT_TRUE(names(folders_.staged).empty() || (host.processor.recover(), names(folders_.staged).empty()));
  }
}

// Whatever is in pellam.json's place, the host starts (even with an answer staged), says
// why the records cannot be read, and a backup can be previewed and restored over it; what
// was there is kept in Recovery, never followed. A folder is refused with what to move.
TEST_F(DataFileTest, BackupsRecoverFromEveryKindOfUnreadableDataFile) {
  const std::string elsewhere = root_ + "/elsewhere.json";
  struct Case {
    const char* label;
    std::function<void(const std::string&)> make;
    const char* reason;  // in the data_unreadable message
  };
  const Case cases[] = {
      {"a symbolic link",
       [&](const std::string& path) {
         writeFile(elsewhere, ArchiveIO::encode(Archive()));
         std::filesystem::create_symlink(elsewhere, path);
       },
       "it is a symbolic link"},
      {"a FIFO", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, "not a regular file"},
      {"a file over the limit",
       [](const std::string& path) {
         writeFile(path, "");
         ASSERT_EQ(::truncate(path.c_str(), ArchiveIO::kMaximumDataFileBytes + 1), 0);
       },
       "holds 536870913 bytes, more than the 536870912 bytes (512 MiB) Vantry reads."},
      {"damaged JSON", [](const std::string& path) { writeFile(path, "{\"jobs\": ["); }, "pellam.json: "},
      {"a folder", [](const std::string& path) { std::filesystem::create_directories(path + "/inside"); },
       "it is a folder. Move that folder out of the data folder."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(root_ + "/Backups");
    std::filesystem::remove_all(root_ + "/Recovery");
    std::filesystem::remove_all(dataFile());
    std::string backup;
    {
      HostParts host(folders_);
      run(host, makeRequest("jobs.create", {{"name", "First"}}));
      run(host, makeRequest("jobs.create", {{"name", "Second"}}));
      backup = ArchiveIO(root_).backups().at(0).name;
    }
    std::filesystem::remove(dataFile());
    c.make(dataFile());
    // An answer staged by a run killed before its save.
    Uuid waiting = Uuid::random();
    writeFile(folders_.staged + "/" + waiting.text() + ".0123abcd.4567ef89.json", "{}");

    auto fs = std::make_shared<FaultInjectingFileSystem>();
    HostParts host(folders_, fs);
    EXPECT_NO_THROW(host.processor.recover());
    EXPECT_TRUE(names(folders_.staged).empty());
    const std::size_t readsBefore = readsOfDataFile(*fs);
    for (int twice = 0; twice < 2; ++twice) {
      agent::AgentResponse list = run(host, makeRequest("jobs.list"));
      ASSERT_TRUE(list.error);
      EXPECT_EQ(list.error->code, "data_unreadable");
      EXPECT_NE(list.error->message.find(c.reason), std::string::npos) << list.error->message;
    }
    // Not read again while it stays the same file: once at most, and never when not a file or too large.
    EXPECT_EQ(readsOfDataFile(*fs) - readsBefore, std::string(c.label) == "damaged JSON" ? 1u : 0u);

    agent::AgentResponse preview = run(host, makeRequest("backups.preview", {{"id", backup}}));
    if (std::string(c.label) == "a folder") {
      ASSERT_TRUE(preview.error);
      EXPECT_EQ(preview.error->code, "data_unreadable");
      EXPECT_EQ(preview.error->message,
                "pellam.json is a folder, so no backup can be restored in its place. Move the folder " + dataFile() +
                    " out of the data folder, then run vantry backups preview again.");
      EXPECT_TRUE(std::filesystem::exists(dataFile() + "/inside"));
      continue;
    }
    ASSERT_TRUE(preview.ok) << preview.error->message;
    std::string token = parseJson(*preview.data).find("preview")->asString();
    agent::AgentResponse restored = run(host, makeRequest("backups.restore", {{"id", backup}, {"preview", token}}));
    ASSERT_TRUE(restored.ok) << restored.error->message;
    EXPECT_EQ(jobsNamed("First"), 1u);
    EXPECT_EQ(jobsNamed("Second"), 0u);
    std::vector<std::string> kept = names(root_ + "/Recovery");
    ASSERT_EQ(kept.size(), 1u);
    std::filesystem::file_status what = std::filesystem::symlink_status(root_ + "/Recovery/" + kept[0]);
    if (std::string(c.label) == "a symbolic link") {
      EXPECT_TRUE(std::filesystem::is_symlink(what));
      EXPECT_EQ(readFile(elsewhere), ArchiveIO::encode(Archive()));  // its target untouched
    }
    if (std::string(c.label) == "a FIFO") {
      EXPECT_TRUE(std::filesystem::is_fifo(what));
    }
    EXPECT_TRUE(run(host, makeRequest("jobs.list")).ok);
  }
}

// A failure retrying cannot fix is not marked retryable; a full disk may be cleared.
TEST_F(DataFileTest, SaveFailuresSayWhetherRetryingCanHelp) {
  struct Case {
    const char* label;
    std::function<void(FaultInjectingFileSystem&)> make;
    const char* code;
    bool retryable;
  };
  const std::string backups = root_ + "/Backups";
  const Case cases[] = {
      {"Backups is a symbolic link",
       [&](FaultInjectingFileSystem&) {
         std::filesystem::create_directory(root_ + "/elsewhere");
         std::filesystem::create_directory_symlink(root_ + "/elsewhere", backups);
       },
       "unsafe_path", false},
      {"Backups is a file", [&](FaultInjectingFileSystem&) { writeFile(backups, "x"); }, "save_failed", false},
      {"the disk is full",
       [&](FaultInjectingFileSystem& fs) {
         fs.failWhen(
             [&](const Operation& op) {
               return op.name == "writeNewFile" && op.path.starts_with(root_ + "/.pellam.json.");
             },
             ENOSPC);
       },
       "save_failed", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(backups);
    std::filesystem::remove_all(root_ + "/elsewhere");
    std::filesystem::remove_all(dataFile());
    {
      HostParts host(folders_);
      run(host, makeRequest("jobs.create", {{"name", "First"}}));
    }
    std::filesystem::remove_all(backups);
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    c.make(*fs);
    HostParts host(folders_, fs);
    agent::AgentResponse answer = run(host, makeRequest("jobs.create", {{"name", "Second"}}));
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->code, c.code) << answer.error->message;
    EXPECT_EQ(answer.error->retryable, c.retryable) << answer.error->message;
    EXPECT_EQ(jobsNamed("Second"), 0u);
    EXPECT_TRUE(names(folders_.staged).empty());
  }
}

}  // namespace
}  // namespace pellam::host::testing
