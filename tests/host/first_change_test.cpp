// After a start the host answers a command that only looks without first building what a
// change is checked against (ValidationIndex); the first change, whenever it comes, must
// still be checked against the archive as it was read and saved as a whole save would be.
#include "core/storage/archive_json.h"
#include "host_fixture.h"

namespace pellam::host::testing {
namespace {

struct Step {
  const char* command;
  std::map<std::string, std::string> arguments;
  bool dryRun;
  bool ok;
};

const std::map<std::string, std::string> kNewEntry = {
    {"job", "Corner Café"}, {"start", "2026-03-02T09:00:00Z"}, {"end", "2026-03-02T17:00:00Z"}};
const std::map<std::string, std::string> kCrossingEntry = {
    {"job", "Corner Café"}, {"start", "2026-03-02T17:00:00Z"}, {"end", "2026-03-02T09:00:00Z"}};

TEST_F(HostFolderTest, TheFirstChangeAfterAStartIsCheckedAgainstTheArchiveAsRead) {
  struct Case {
    const char* label;
    std::vector<Step> steps;
    std::size_t entriesAdded;
  };
  const Case cases[] = {
      {"a look first", {{"jobs.list", {}, false, true}, {"entries.create", kNewEntry, false, true}}, 1},
      {"a change first", {{"entries.create", kNewEntry, false, true}, {"jobs.list", {}, false, true}}, 1},
      {"a refused change first",
       {{"entries.create", kCrossingEntry, false, false}, {"entries.create", kNewEntry, false, true}},
       1},
      {"a dry run first", {{"entries.create", kNewEntry, true, true}, {"entries.create", kNewEntry, false, true}}, 1},
      {"looks only", {{"jobs.list", {}, false, true}, {"entries.list", {}, false, true}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(root_ + "/pellam.json");
    std::filesystem::remove_all(root_ + "/Backups");
    Archive before;
    Job job("Corner Café");
    before.jobs.push_back(job);
    before.entries.emplace_back(job.id, Instant{790000000}, Instant{790003600}, Decimal(18));
    before.entries.emplace_back(job.id, Instant{799990000}, std::nullopt, Decimal(18));  // running
    ArchiveIO(root_).save(before);

    auto fs = RealFileSystem::shared();
    ArchiveStore store(folders_.data, fs);
    Heartbeat heartbeat(fs, folders_, false);
    RequestProcessor processor(fs, folders_, store, heartbeat, commandEngine(), [] { return Instant{800000000}; });
    store.current();  // as the host reads it before it serves
    for (const Step& step : c.steps) {
      agent::AgentRequest request = makeRequest(step.command, step.arguments);
      request.dryRun = step.dryRun;
      place(request);
      processor.handle(request.id.text() + ".json");
      const agent::AgentResponse answer = response(request.id);
      EXPECT_EQ(answer.ok, step.ok) << step.command << ": " << (answer.error ? answer.error->message : "");
      if (!step.ok && answer.error) {
        EXPECT_EQ(answer.error->code, "invalid_argument") << answer.error->message;
      }
    }
    const Archive saved = archive();
    EXPECT_EQ(saved.entries.size(), before.entries.size() + c.entriesAdded);
    EXPECT_EQ(readFile(root_ + "/pellam.json"), encodeArchiveJson(store.current()));
  }
}

}  // namespace
}  // namespace pellam::host::testing
