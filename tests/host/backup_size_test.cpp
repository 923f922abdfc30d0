// A file in Backups/ named like a backup but larger than a data file may be: refused before
// it is read, so that it can neither stall the host nor exhaust its memory.
#include <unistd.h>

#include "host_fixture.h"
#include "support/fault_injecting_file_system.h"

namespace pellam::host::testing {
namespace {

using pellam::testing::FaultInjectingFileSystem;
using Operation = FaultInjectingFileSystem::Operation;

class BackupSizeTest : public HostFolderTest {
 protected:
  agent::AgentResponse run(HostParts& host, const agent::AgentRequest& request) {
    place(request);
    host.processor.handle(request.id.text() + ".json");
    return response(request.id);
  }
};

TEST_F(BackupSizeTest, ABackupOverTheDataFileLimitIsRefusedBeforeItIsRead) {
  {
    HostParts host(folders_);
    run(host, makeRequest("jobs.create", {{"name", "First"}}));
  }
  const std::string id = "pellam-1700000000-0BADF00D.json";
  const std::string path = root_ + "/Backups/" + id;
  std::filesystem::create_directories(root_ + "/Backups");
  writeFile(path, "");
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(ArchiveIO::kMaximumDataFileBytes + 1)), 0);

  auto fs = std::make_shared<FaultInjectingFileSystem>();
  HostParts host(folders_, fs);
  agent::AgentResponse list = run(host, makeRequest("backups.list"));
  ASSERT_TRUE(list.ok);
  EXPECT_NE(list.data->find("\"bytes\":536870913"), std::string::npos) << *list.data;

  const agent::AgentRequest requests[] = {
      makeRequest("backups.preview", {{"id", id}}),
      makeRequest("backups.restore", {{"id", id}, {"preview", std::string(64, '0')}}),
  };
  for (const agent::AgentRequest& request : requests) {
    SCOPED_TRACE(request.command);
    agent::AgentResponse answer = run(host, request);
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->code, "invalid_argument");
    EXPECT_EQ(answer.error->message, "The backup " + id +
                                         " cannot be read: it holds 536870913 bytes, more than the 536870912 bytes "
                                         "(512 MiB) Vantry reads.");
  }
  EXPECT_EQ(std::count_if(fs->log().begin(), fs->log().end(),
                          [&](const Operation& op) {
                            return (op.name == "readFile" || op.name == "readFileAtMost") && op.path == path;
                          }),
            0);
  EXPECT_EQ(jobsNamed("First"), 1u);
}

}  // namespace
}  // namespace pellam::host::testing
