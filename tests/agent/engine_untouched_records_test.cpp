// Records that time or an older version made invalid, through the engine with an injected
// clock: a timer left running for more than 366 days, and dates outside the years 0001 to
// 9999. Every command that leaves such a record alone works; a command that would change it
// is refused, naming it and the way to mend it; mending it makes everything work again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/storage/archive_json.h"
#include "core/base64.h"
#include "core/validation/validation.h"
#include "core/validation/validation_index.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

// 371 days after Beta's timer started (2026-03-04T13:00Z).
const Instant kYearLater = at("2027-03-10T15:00:00Z");
const std::string kBetaTimer = "A1A1A1A1-0000-4000-8000-000000000002";
const std::string kOutrunMessage =
    "invalid_argument: Time entry " + kBetaTimer +
    " has been running for more than 366 days, the longest an entry may last, so it cannot be ended or changed now. "
    "Set its end with vantry entries update " + kBetaTimer + " --end <ISO>, or remove it with vantry entries delete " +
    kBetaTimer + ".";

struct Step {
  const char* command;
  Arguments arguments;
  std::string expected;  // "ok" or "code: message"
};

// Runs each step on `archive` at `now`, keeping what a successful step changed when `keep`.
void expectSteps(Archive archive, Instant now, const std::vector<Step>& steps, bool keep = false) {
  for (const Step& step : steps) {
    SCOPED_TRACE(step.command);
    const Outcome outcome = run(archive, request(step.command, step.arguments), now);
    EXPECT_EQ(summary(outcome), step.expected);
    if (keep && outcome.execution) archive = outcome.execution->archive;
  }
}

std::string base64Archive(const Archive& archive) { return base64Encode(encodeArchiveJson(archive)); }

TEST(EngineUntouchedRecordsTest, ATimerPastTheLimitBlocksOnlyWhatWouldChangeIt) {
  const Archive archive = sampleArchive();
  expectSteps(archive, kYearLater,
              {
                  {"capabilities", {}, "ok"},
                  {"jobs.list", {}, "ok"},
                  {"entries.list", {}, "ok"},
                  {"timer.status", {}, "ok"},
                  {"reports.summary", {{"range", "all"}}, "ok"},
                  {"export", {{"format", "json"}}, "ok"},
                  {"jobs.update", {{"id", "Acme"}, {"rate", "31"}}, "ok"},
                  {"entries.update", {{"id", "A1A1A1A1-0000-4000-8000-000000000001"}, {"comment", "x"}}, "ok"},
                  {"import.preview", {{"content", base64Archive(archive)}, {"format", "json"}}, "ok"},
                  // Ending it now would record 371 days; ending it at the limit would pay
                  // 8,784 hours. Neither is done.
                  {"timer.clock-out", {}, kOutrunMessage},
                  {"timer.clock-out", {{"entry", kBetaTimer}}, kOutrunMessage},
                  {"timer.break", {}, kOutrunMessage},
                  // One timer at a time: starting Acme's would end Beta's.
                  {"timer.clock-in", {{"job", "Acme"}}, kOutrunMessage},
                  // Any other change that keeps it running or ends it now, and a copy (which ends now).
                  {"entries.update", {{"id", kBetaTimer}, {"comment", "x"}}, kOutrunMessage},
                  {"entries.update", {{"id", kBetaTimer}, {"running", "false"}}, kOutrunMessage},
                  {"entries.copy", {{"id", kBetaTimer}}, kOutrunMessage},
                  // An end more than 366 days after its start is no end it had.
                  {"entries.update", {{"id", kBetaTimer}, {"end", "2027-03-10T15:00:00Z"}},
                   "data_error: " + std::string(kEntryMessage)},
                  // The two ways out.
                  {"entries.update", {{"id", kBetaTimer}, {"end", "2026-03-04T21:00:00Z"}}, "ok"},
                  {"entries.delete", {{"id", kBetaTimer}}, "ok"},
              });

  // With several timers allowed, another job's timer starts beside it.
  Archive several = archive;
  several.preferences.multipleTimers = true;
  expectSteps(several, kYearLater, {{"timer.clock-in", {{"job", "Acme"}}, "ok"}});

  // The same commands a day before the limit: the timer simply ends.
  expectSteps(archive, at("2027-03-04T13:00:00Z"), {{"timer.clock-out", {}, "ok"}});

  // Mended, the timer commands work again.
  expectSteps(archive, kYearLater,
              {
                  {"entries.update", {{"id", kBetaTimer}, {"end", "2026-03-04T21:00:00Z"}}, "ok"},
                  {"timer.clock-in", {{"job", "Beta"}}, "ok"},
                  {"timer.clock-out", {}, "ok"},
              },
              true);
}

TEST(EngineUntouchedRecordsTest, ATimerPastTheLimitCountsNoTimeInReports) {
  Archive archive = sampleArchive();
  const Json all = run(archive, request("reports.summary", {{"range", "all"}}), kYearLater).result();
  // Only the finished entry's eight hours; the timer's line is there with no time.
  EXPECT_EQ(all.find("workedSeconds")->numberLexeme(), "28800");
  const Json status = run(archive, request("timer.status"), kYearLater).result();
  ASSERT_EQ(status.find("active")->asArray().size(), 1u);
  EXPECT_EQ(status.find("active")->asArray()[0].find("workedSeconds")->numberLexeme(), "0");
}

TEST(EngineUntouchedRecordsTest, AJsonImportKeepsTheTimersOfTheBackup) {
  const Archive backup = sampleArchive();  // Beta's timer is 371 days old at kYearLater
  Archive current = sampleArchive();
  current.entries.pop_back();
  const Arguments arguments{{"content", base64Archive(backup)}, {"format", "json"}};
  const Outcome preview = run(current, request("import.preview", arguments), kYearLater);
  ASSERT_EQ(summary(preview), "ok");
  Arguments apply = arguments;
  apply["preview"] = preview.result().find("preview")->asString();
  const Outcome applied = run(current, request("import.apply", apply), kYearLater);
  ASSERT_EQ(summary(applied), "ok");
  EXPECT_EQ(applied.execution->archive, backup);
}

// An archive saved with an entry in year 20000 and a job whose pay anchor is in year 20000.
Archive farArchive() {
  Archive archive = sampleArchive();
  archive.entries[0].start = Instant{5.68e11};
  archive.entries[0].end = Instant{5.68e11 + 3600};
  archive.jobs[1].payAnchor = Instant{5.68e11};
  return archive;
}

TEST(EngineUntouchedRecordsTest, DatesOutsideTheCalendarAreReadAndMended) {
  const std::string far = "A1A1A1A1-0000-4000-8000-000000000001";
  const std::string farMessage = "data_error: " + entryOutsideCalendarMessage(kEntryDone);
  const std::string betaMessage = "data_error: " + std::string(kJobSettingsMessagePrefix) + "Beta.";
  expectSteps(farArchive(), kNow,
              {
                  {"capabilities", {}, "ok"},
                  {"jobs.list", {}, "ok"},
                  {"entries.list", {}, "ok"},
                  {"entries.show", {{"id", far}}, "ok"},
                  {"reports.summary", {{"range", "all"}}, "ok"},
                  {"reports.daily", {{"range", "all"}}, "ok"},
                  {"reports.payperiod", {{"job", "Beta"}}, "ok"},
                  {"export", {{"format", "csv"}}, "ok"},
                  {"timer.clock-out", {}, "ok"},
                  {"jobs.update", {{"id", "Acme"}, {"rate", "31"}}, "ok"},
                  // Changes that keep the far date name the record.
                  {"entries.update", {{"id", far}, {"comment", "x"}}, farMessage},
                  // A new start alone leaves an entry 18,000 years long: that rule comes first.
                  {"entries.update", {{"id", far}, {"start", "2026-03-02T14:00:00Z"}},
                   "data_error: " + std::string(kEntryMessage)},
                  {"jobs.update", {{"id", "Beta"}, {"rate", "31"}}, betaMessage},
                  // And those that mend it.
                  {"entries.update",
                   {{"id", far}, {"start", "2026-03-02T14:00:00Z"}, {"end", "2026-03-02T15:00:00Z"}},
                   "ok"},
                  {"entries.delete", {{"id", far}}, "ok"},
                  {"jobs.update", {{"id", "Beta"}, {"pay-anchor", "2026-01-05T05:00:00Z"}}, "ok"},
                  // A JSON import brings every date in, so each must be inside the calendar.
                  {"import.preview", {{"content", base64Archive(farArchive())}, {"format", "json"}},
                   "data_error: Invalid backup date."},
              });
}

// Dates an older version took at any size: every read still answers, in little time.
TEST(EngineUntouchedRecordsTest, DatesFarBeyondTheCalendarAreStillServed) {
  for (const double seconds : {1e18, -1e18, 4e11, -4e11}) {
    SCOPED_TRACE(seconds);
    Archive archive = sampleArchive();
    archive.entries[0].start = Instant{seconds};
    archive.entries[0].end = Instant{seconds + 3600};
    archive.entries[1].start = Instant{seconds};  // running
    for (Job& job : archive.jobs) job.payAnchor = Instant{seconds};
    for (const auto& [command, arguments] : std::vector<std::pair<const char*, Arguments>>{
             {"entries.list", {}},
             {"timer.status", {}},
             {"reports.summary", {{"range", "all"}}},
             {"reports.daily", {{"range", "all"}}},
             {"reports.payperiod", {{"job", "Acme"}}},
             {"export", {{"format", "csv"}}},
             {"export", {{"format", "xlsx"}}},
             {"export", {{"format", "text"}}},
             {"export", {{"format", "json"}}},
         }) {
      EXPECT_EQ(summary(run(archive, command, arguments)), "ok") << command;
    }
  }
}

// A command that rewrites entries on both sides of such records, checked whole and against
// what is known of the archive (as the host runs it), leaves them alone.
TEST(EngineUntouchedRecordsTest, ACommandThatRewritesEntriesAroundThemLeavesThemAlone) {
  Archive archive = farArchive();
  Entry later = plainEntry(uuid("A1A1A1A1-0000-4000-8000-000000000003"), kAcme, at("2026-03-03T14:00:00Z"),
                      at("2026-03-03T15:00:00Z"));
  later.tags = {"site"};
  Entry first = later;
  first.id = uuid("A1A1A1A1-0000-4000-8000-000000000004");
  archive.entries.insert(archive.entries.begin(), first);
  archive.entries.push_back(later);  // first, far, Beta's old timer, later
  const AgentRequest rename = request("tags.rename", {{"tag", "site"}, {"to", "place"}});

  const Outcome whole = run(archive, rename, kYearLater);
  ASSERT_EQ(summary(whole), "ok");
  EXPECT_TRUE(whole.execution->changed);
  EXPECT_EQ(whole.execution->archive.entries[1], archive.entries[1]);
  EXPECT_EQ(whole.execution->archive.entries[2], archive.entries[2]);
  EXPECT_EQ(whole.execution->archive.entries[3].tags, std::vector<std::string>{"place"});

  Archive inPlace = archive;
  const ValidationIndex known(archive);
  const AgentInPlaceExecution execution = AgentCommands::executeInPlace(rename, inPlace, kYearLater, known);
  EXPECT_TRUE(execution.changed);
  EXPECT_EQ(inPlace, whole.execution->archive);
}

// Every argument that takes a date refuses one outside the calendar with its own message.
TEST(EngineUntouchedRecordsTest, DateArgumentsOutsideTheCalendarAreRefused) {
  const std::string timestamp =
      "invalid_argument: Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.";
  const std::string patchValue = "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, "
                                 "such as 2026-10-22T09:00:00-04:00.";
  const struct {
    const char* command;
    Arguments arguments;
    std::string expected;
  } cases[] = {
      {"reports.summary", {{"from", "0000-12-31T12:00:00Z"}}, timestamp},
      {"reports.summary", {{"at", "9999-12-31T23:00:00-05:00"}}, timestamp},
      {"entries.list", {{"through", "0001-01-01T00:00:00+00:01"}}, timestamp},
      {"export", {{"format", "csv"}, {"at", "0000-01-01T00:00:00Z"}}, timestamp},
      {"entries.create", {{"job", "Acme"}, {"start", "0000-03-01T09:00:00Z"}}, patchValue},
      {"entries.create", {{"job", "Acme"}, {"patch", "{\"start\":-1e18,\"end\":-1e18}"}}, patchValue},
      {"jobs.create", {{"name", "Far"}, {"pay-anchor", "9999-12-31T23:30:00-01:00"}}, patchValue},
      {"filters.create", {{"name", "Far"}, {"range", "Custom"}, {"patch", "{\"through\":6e11}"}}, patchValue},
      // The edges themselves are dates.
      {"reports.summary", {{"from", "0001-01-01T00:00:00Z"}, {"at", "9999-12-31T23:59:59Z"}}, "ok"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(summary(run(sampleArchive(), c.command, c.arguments)), c.expected) << c.command;
  }
}

TEST(EngineUntouchedRecordsTest, CsvDatesOutsideTheCalendarAreRefused) {
  const std::string rowMessage =
      "data_error: CSV row 2: check the job and ISO 8601 start/end dates. Running entries cannot be imported from "
      "CSV.";
  const struct {
    std::string csv;
    std::string expected;
  } cases[] = {
      {"Job,Start,End\nAcme,0000-06-01T09:00:00Z,0000-06-01T10:00:00Z\n", rowMessage},
      {"Job,Start,End\nAcme,9999-12-31T22:00:00-05:00,9999-12-31T23:00:00-05:00\n", rowMessage},
      {"Job,Start,End,Pauses JSON\nAcme,2026-03-03T09:00:00Z,2026-03-03T10:00:00Z,"
       "\"[{\"\"id\"\":\"\"B1B1B1B1-0000-4000-8000-000000000001\"\",\"\"start\"\":5.68e11,\"\"paid\"\":false,"
       "\"\"kind\"\":\"\"Break\"\"}]\"\n",
       "data_error: Invalid backup date."},
      {"Job,Start,End\nAcme,0001-01-01T00:00:00Z,0001-01-01T01:00:00Z\n", "ok"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(summary(run(sampleArchive(), "import.preview", {{"content", base64Encode(c.csv)}, {"format", "csv"}})),
              c.expected)
        << c.csv;
  }
}

}  // namespace
}  // namespace pellam::agent::testing
