// The host keeps what it knows of its archive between requests (what validation
// established, the last encoding) and saves each change from it: after every request of a
// working day, a failed save among them, the data file must hold exactly the archive in
// memory, encoded as a whole encoding would.
#include "core/storage/archive_json.h"
#include "host_fixture.h"
#include "support/fault_injecting_file_system.h"

namespace pellam::host::testing {
namespace {

using pellam::testing::FaultInjectingFileSystem;

TEST_F(HostFolderTest, EverySaveWritesTheWholeEncodingOfTheArchiveInMemory) {
  auto fs = std::make_shared<FaultInjectingFileSystem>();
  bool failNextSave = false;
  fs->failWhen([&](const FaultInjectingFileSystem::Operation& op) {
    if (!failNextSave || op.name != "writeNewFile" || op.path.find("/.pellam.json.") == std::string::npos) return false;
    failNextSave = false;
    return true;
  });
  ArchiveStore store(folders_.data, fs);
  Heartbeat heartbeat(fs, folders_, false);
  double seconds = 800000000;
  RequestProcessor processor(fs, folders_, store, heartbeat, commandEngine(), [&] { return Instant{seconds}; });

  std::string entry;
  auto send = [&](const std::string& command, std::map<std::string, std::string> arguments, bool dryRun = false) {
    agent::AgentRequest request = makeRequest(command, std::move(arguments));
    request.dryRun = dryRun;
    place(request);
    processor.handle(request.id.text() + ".json");
    seconds += 1800;
    agent::AgentResponse answer = response(request.id);
    if (answer.ok && command == "timer.clock-in") entry = parseJson(*answer.data)["entry"]["id"].asString();
    return answer;
  };
  auto expectFileIsMemory = [&](const std::string& step) {
    const std::string bytes = readFile(folders_.data + "/pellam.json");
    Archive& memory = store.current();
    EXPECT_EQ(ArchiveIO::decode(bytes), memory) << step;
    EXPECT_EQ(bytes, encodeArchiveJson(memory)) << step;
  };

  ASSERT_TRUE(send("jobs.create", {{"name", "Corner Café"}, {"rate", "18.5"}}).ok);
  expectFileIsMemory("a job");
  processor.prepare();  // idle: the archive's whole encoding is kept from here on
  const std::vector<std::pair<std::string, std::map<std::string, std::string>>> day = {
      {"timer.clock-in", {{"job", "Corner Café"}}},
      {"entries.create", {{"job", "Corner Café"}, {"start", "2026-03-02T09:00:00Z"}, {"end", "2026-03-02T17:00:00Z"}}},
      {"timer.break", {{"entry", "ENTRY"}}},
      {"entries.create", {{"job", "Corner Café"}, {"start", "2026-03-03T09:00:00Z"}, {"end", "2026-03-03T12:00:00Z"},
                          {"tags", "site"}}},
      {"timer.resume", {{"entry", "ENTRY"}}},
      {"tags.rename", {{"tag", "site"}, {"to", "office"}}},
      {"timer.clock-out", {{"entry", "ENTRY"}}},
      {"entries.update", {{"id", "ENTRY"}, {"comment", "Closed \"early\"\nthen home"}, {"miles", "-0"}}},
      {"jobs.update", {{"id", "Corner Café"}, {"rate", "19"}}},
      {"entries.copy", {{"id", "ENTRY"}}},
      {"entries.delete", {{"id", "ENTRY"}}},
  };
  for (std::size_t i = 0; i < day.size(); ++i) {
    auto [command, arguments] = day[i];
    for (auto& [name, value] : arguments) {
      if (value == "ENTRY") value = entry;
    }
    if (i == 4) send(command, arguments, true);  // a dry run changes nothing
    if (i == 6) {
      failNextSave = true;  // the save fails: the host drops what it knew and reads the file again
      EXPECT_EQ(send(command, arguments).error->code, "save_failed") << command;
      expectFileIsMemory(command + " refused");
    }
    EXPECT_TRUE(send(command, arguments).ok) << command;
    expectFileIsMemory(command);
  }
}

}  // namespace
}  // namespace pellam::host::testing
