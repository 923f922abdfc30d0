#include <gtest/gtest.h>

#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

TEST(EnginePreferencesTest, GetReturnsTheRecordResult) {
  const Archive archive = sampleArchive();
  Outcome outcome = run(archive, "preferences.get");
  const Json result = outcome.result();
  EXPECT_EQ(result.asObject().size(), 3u);
  EXPECT_EQ(result.find("preferences")->find("timeZone")->asString(), "America/New_York");
  EXPECT_EQ(result.find("preferences")->find("weekStartsOn")->numberLexeme(), "2");
  EXPECT_EQ(result.find("revision")->asString().size(), 64u);
  EXPECT_FALSE(result.find("dryRun")->asBool());
  EXPECT_FALSE(outcome.execution->changed);

  EXPECT_EQ(summary(run(archive, "preferences.get", {{"patch", "{}"}, {"week-starts-on", "2"}})),
            "invalid_argument: Unknown arguments for preferences.get: patch, week-starts-on.");
}

TEST(EnginePreferencesTest, SetPatchesAndValidates) {
  const Archive archive = sampleArchive();
  struct Case {
    Arguments arguments;
    const char* expected;
  };
  const Case cases[] = {
      {{{"week-starts-on", "1"}, {"decimal-hours", "TRUE"}}, "ok"},
      {{{"patch", "{\"reminderWeekdays\":[],\"timeZone\":\"Asia/Tokyo\"}"}}, "ok"},
      {{{"reminder-weekdays", "[1, 7, 7]"}}, "ok"},
      {{{"patch", "{\"weekStartsOn\":null}"}}, "invalid_argument: weekStartsOn cannot be null."},
      {{{"patch", "{\"weekStartsOn\":1}"}, {"week-starts-on", "1"}},
       "invalid_argument: Specify weekStartsOn once, in --patch or as --week-starts-on."},
      {{{"patch", "{\"theme\":\"dark\"}"}}, "invalid_argument: Unknown or read-only patch field: theme."},
      {{{"decimal-hours", "yes"}}, "invalid_argument: --decimal-hours must be true or false."},
      {{{"reminder-hour", "nine"}}, "invalid_argument: --reminder-hour must be a JSON number."},
      {{{"id", "x"}, {"name", "y"}}, "invalid_argument: Unknown arguments for preferences.set: id, name."},
      // The values themselves are the archive gate's business.
      {{{"week-starts-on", "8"}}, "data_error: Invalid preferences."},
      {{{"time-zone", "Mars/Olympus"}}, "data_error: Invalid preferences."},
      {{{"time-zone", "america/new_york"}}, "data_error: Invalid preferences."},
      {{{"reminder-minute", "60"}}, "data_error: Invalid preferences."},
      {{{"reminder-weekdays", "[0]"}}, "data_error: Invalid preferences."},
      {{{"patch", "{\"reminderHour\":\"9\"}"}}, "invalid_argument: Invalid patch value: "},  // prefix only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    Outcome outcome = run(archive, "preferences.set", c.arguments);
    const std::string got = summary(outcome);
    EXPECT_EQ(got.substr(0, std::string(c.expected).size()), c.expected);
    EXPECT_EQ(got.size() > std::string(c.expected).size(), std::string(c.expected).ends_with(": "));
  }

  Outcome both = run(archive, "preferences.set", {{"week-starts-on", "1"}, {"decimal-hours", "true"}});
  ASSERT_TRUE(both.execution);
  EXPECT_TRUE(both.execution->changed);
  const Preferences& stored = both.execution->archive.preferences;
  EXPECT_EQ(stored.weekStartsOn, 1);
  EXPECT_TRUE(stored.decimalHours);
  EXPECT_EQ(stored.timeZone, "America/New_York");
  EXPECT_EQ(stored.reminderWeekdays, archive.preferences.reminderWeekdays);
  EXPECT_EQ(both.result().find("preferences")->find("decimalHours")->asBool(), true);

  // Arrays are replaced whole.
  Outcome days = run(archive, "preferences.set", {{"reminder-weekdays", "[1, 7, 7]"}});
  ASSERT_TRUE(days.execution);
  EXPECT_EQ(days.execution->archive.preferences.reminderWeekdays, (std::vector<std::int64_t>{1, 7, 7}));
}

TEST(EnginePreferencesTest, RevisionCoversTheWholeRecord) {
  const Archive archive = sampleArchive();
  const std::string token = run(archive, "preferences.get").result().find("revision")->asString();

  Archive otherDays = archive;
  otherDays.preferences.reminderWeekdays = {2, 3, 4, 5};
  EXPECT_NE(run(otherDays, "preferences.get").result().find("revision")->asString(), token);

  Outcome matched = run(archive, "preferences.set", {{"lock-on-launch", "true"}, {"if-match", token}});
  ASSERT_TRUE(matched.execution) << summary(matched);
  EXPECT_NE(matched.result().find("revision")->asString(), token);

  for (const std::string& stale : {std::string(), std::string(64, '0'), token.substr(0, 63)}) {
    Outcome outcome = run(otherDays, "preferences.set", {{"lock-on-launch", "true"}, {"if-match", stale}});
    EXPECT_EQ(summary(outcome), "conflict: This record changed. Read it again before applying your update.");
    EXPECT_TRUE(outcome.failure->retryable);
  }
  EXPECT_EQ(summary(run(otherDays, "preferences.set", {{"lock-on-launch", "true"}, {"if-match", token}})),
            "conflict: This record changed. Read it again before applying your update.");
}

TEST(EnginePreferencesTest, DryRunsAndUnchangedValuesChangeNothing) {
  const Archive archive = sampleArchive();
  Outcome dry = run(archive, "preferences.set", {{"week-starts-on", "7"}}, true);
  ASSERT_TRUE(dry.execution);
  EXPECT_FALSE(dry.execution->changed);
  EXPECT_EQ(dry.execution->archive, archive);
  EXPECT_EQ(dry.result().find("preferences")->find("weekStartsOn")->numberLexeme(), "7");
  EXPECT_TRUE(dry.result().find("dryRun")->asBool());

  Outcome same = run(archive, "preferences.set", {{"week-starts-on", "2"}, {"time-zone", "America/New_York"}});
  ASSERT_TRUE(same.execution);
  EXPECT_FALSE(same.execution->changed);
}

}  // namespace
}  // namespace pellam::agent::testing
