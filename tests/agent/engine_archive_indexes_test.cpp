// Read-only commands given what the host keeps of the archive (entries by start, pay lines by
// job and week) answer with the same bytes as without it, at the edges of the look-back by
// start: an entry of exactly 366 days ending in the window, a timer running for longer than
// that, entries touching the window's sides, and an `at` before a timer's start.
#include "agent/engine/archive_indexes.h"
#include "core/validation/validation_index.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

using pellam::testing::plainEntry;

const Uuid kYearLong = uuid("B1B1B1B1-0000-4000-8000-000000000001");
const Uuid kOldTimer = uuid("B1B1B1B1-0000-4000-8000-000000000002");
const Uuid kAtUpper = uuid("B1B1B1B1-0000-4000-8000-000000000003");
const Uuid kEndsAtLower = uuid("B1B1B1B1-0000-4000-8000-000000000004");
const Uuid kNight = uuid("B1B1B1B1-0000-4000-8000-000000000005");

// kNow is Wednesday 2026-03-04 in New York; its week (from Sunday) starts 2026-03-01T05:00Z.
Archive edgeArchive() {
  Archive archive = sampleArchive();
  archive.preferences.weekStartsOn = 1;
  archive.preferences.multipleTimers = true;
  archive.jobs[0].weeklyOvertime = 10;
  archive.entries.push_back(plainEntry(kYearLong, kAcme, at("2025-03-02T06:00:00Z"), at("2026-03-03T06:00:00Z")));
  archive.entries.push_back(plainEntry(kOldTimer, kOld, at("2025-01-10T14:00:00Z"), std::nullopt));
  archive.entries.push_back(plainEntry(kAtUpper, kAcme, at("2026-03-03T12:00:00Z"), at("2026-03-03T20:00:00Z")));
  archive.entries.push_back(plainEntry(kEndsAtLower, kBeta, at("2026-02-28T20:00:00Z"), at("2026-03-01T05:00:00Z")));
  archive.entries.push_back(plainEntry(kNight, kBeta, at("2026-03-01T02:00:00Z"), at("2026-03-01T09:00:00Z")));
  return archive;
}

TEST(ArchiveIndexesTest, KeptAndWholeAnswersAreTheSameBytes) {
  const std::vector<std::pair<std::string, Arguments>> cases = {
      {"entries.list", {{"range", "week"}}},
      {"entries.list", {{"from", "2026-03-03"}}},
      {"entries.list", {{"range", "week"}, {"through", "2026-03-03T12:00:00Z"}}},
      {"entries.list", {{"from", "2026-03-01T05:00:00Z"}, {"running", "true"}}},
      {"reports.summary", {{"range", "week"}}},
      {"reports.summary", {{"range", "week"}, {"at", "2026-03-01T06:00:00Z"}}},
      {"reports.daily", {{"range", "week"}}},
      {"reports.daily", {{"from", "2026-02-27"}, {"through", "2026-03-03T12:00:00Z"}}},
      {"reports.daily", {{"range", "today"}, {"job", "Old"}}},
      {"reports.payperiod", {{"job", "Acme"}}},
      {"export", {{"format", "csv"}, {"range", "week"}}},
      {"export", {{"format", "txt"}, {"range", "month"}}},
      {"export", {{"format", "xlsx"}, {"from", "2026-03-02"}}},
  };
  const Archive archive = edgeArchive();
  const ValidationIndex known(archive);
  ArchiveIndexes warm;  // kept across the cases, as the host keeps it
  for (const auto& [command, arguments] : cases) {
    const AgentRequest req = request(command, arguments);
    Archive whole = archive;
    const std::string expected = AgentCommands::executeInPlace(req, whole, kNow).result;
    for (ArchiveIndexes* indexes : {&warm, static_cast<ArchiveIndexes*>(nullptr)}) {
      ArchiveIndexes fresh;
      Archive kept = archive;
      const std::string answer =
          AgentCommands::executeInPlace(req, findCommand(command), kept, kNow, known, indexes ? *indexes : fresh)
              .result;
      EXPECT_EQ(answer, expected) << command << " " << (indexes ? "warm" : "fresh") << " " << arguments.begin()->first;
    }
  }
}

TEST(ArchiveIndexesTest, WindowsFindTheEntriesAtTheLookBacksEdges) {
  // The list itself, so the comparison above cannot pass by both sides missing them.
  const Archive archive = edgeArchive();
  const ValidationIndex known(archive);
  ArchiveIndexes indexes;
  Archive kept = archive;
  const Json listed = parseJson(AgentCommands::executeInPlace(request("entries.list", {{"range", "week"}}),
                                                              findCommand("entries.list"), kept, kNow, known, indexes)
                                    .result);
  std::vector<std::string> ids;
  for (const Json& item : listed.find("items")->asArray()) ids.push_back(item.find("id")->asString());
  EXPECT_EQ(ids, (std::vector<std::string>{kEntryRunning.text(), kAtUpper.text(), kEntryDone.text(), kNight.text(), kEndsAtLower.text(),
                                           kYearLong.text(), kOldTimer.text()}));
}

}  // namespace
}  // namespace pellam::agent::testing
