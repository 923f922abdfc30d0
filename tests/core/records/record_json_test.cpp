// The JSON tree form of the records: complete round trips, both date styles, and reads
// that fail as a whole with a message that names the field.
#include <gtest/gtest.h>

#include <functional>

#include "core/record_fixtures.h"
#include "core/records/record_json.h"

namespace pellam {
namespace {

using testing::at;
using testing::dec;

TEST(RecordJsonTest, EveryRecordRoundTripsThroughTheTree) {
  const Archive archive = testing::richArchive();
  EXPECT_EQ(archiveFromJson(toJson(archive, DateStyle::ArchiveNumbers)), archive);
  for (const Job& job : archive.jobs) EXPECT_EQ(jobFromJson(toJson(job, DateStyle::ArchiveNumbers)), job);
  for (const Entry& entry : archive.entries) {
    EXPECT_EQ(entryFromJson(toJson(entry, DateStyle::ArchiveNumbers)), entry);
    for (const TimePause& pause : entry.pauses) {
      EXPECT_EQ(timePauseFromJson(toJson(pause, DateStyle::ArchiveNumbers)), pause);
    }
  }
  for (const SavedFilter& filter : archive.filters) {
    EXPECT_EQ(savedFilterFromJson(toJson(filter, DateStyle::ArchiveNumbers)), filter);
  }
  EXPECT_EQ(preferencesFromJson(toJson(archive.preferences)), archive.preferences);
  EXPECT_EQ(fromJson<Job>(toJson(archive.jobs[0], DateStyle::ArchiveNumbers)), archive.jobs[0]);
}

TEST(RecordJsonTest, KeysAreTheFieldNames) {
  const Archive archive = testing::richArchive();
  auto keys = [](const Json& json) {
    std::vector<std::string> names;
    for (const auto& [key, value] : json.asObject()) names.push_back(key);
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(keys(toJson(archive, DateStyle::ArchiveNumbers)),
            (Names{"entries", "filters", "format", "jobs", "preferences", "version"}));
  EXPECT_EQ(keys(toJson(archive.jobs[0], DateStyle::ArchiveNumbers)),
            (Names{"archived", "autoBreakAfterHours", "autoBreakMinutes", "color", "currency", "dailyDoubleTime",
                   "dailyOvertime", "doubleTimeMultiplier", "id", "latitude", "locationMode", "locationRadius",
                   "longitude", "mileageRate", "name", "notes", "overtimeMultiplier", "payAnchor", "rate",
                   "rounding", "roundingMinutes", "schedule", "targetHours", "weeklyOvertime", "withholding"}));
  EXPECT_EQ(keys(toJson(archive.entries[0], DateStyle::ArchiveNumbers)),
            (Names{"adjustment", "adjustmentTaxable", "comment", "end", "id", "jobID", "manualBreakMinutes", "miles",
                   "pauses", "rate", "source", "start", "tags", "timeAdjustmentMinutes", "tips"}));
  EXPECT_EQ(keys(toJson(archive.entries[0].pauses[0], DateStyle::ArchiveNumbers)),
            (Names{"end", "id", "kind", "paid", "start"}));
  EXPECT_EQ(keys(toJson(archive.preferences)),
            (Names{"decimalHours", "lockOnLaunch", "multipleTimers", "reminderHour", "reminderMinute",
                   "reminderWeekdays", "remindersEnabled", "timeZone", "weekStartsOn"}));
  EXPECT_EQ(keys(toJson(archive.filters[0], DateStyle::ArchiveNumbers)),
            (Names{"from", "id", "jobID", "name", "query", "range", "tag", "through"}));
}

TEST(RecordJsonTest, AbsentOptionalsAreLeftOutAndReadBackAsNone) {
  const Archive archive = testing::richArchive();
  const Entry& running = archive.entries[1];
  Json json = toJson(running, DateStyle::ArchiveNumbers);
  EXPECT_EQ(json.find("end"), nullptr);
  EXPECT_EQ(json.find("pauses")->asArray()[0].find("end"), nullptr);
  Entry back = entryFromJson(json);
  EXPECT_TRUE(back.isRunning());
  EXPECT_EQ(back, running);

  EXPECT_EQ(toJson(archive.filters[1], DateStyle::ArchiveNumbers).find("jobID"), nullptr);

  // A null reads like an absent key.
  json["end"] = Json();
  EXPECT_FALSE(entryFromJson(json).end);
}

TEST(RecordJsonTest, ValuesAreWrittenExactly) {
  const Archive archive = testing::richArchive();
  Json job = toJson(archive.jobs[0], DateStyle::ArchiveNumbers);
  EXPECT_EQ(job.find("rate")->numberLexeme(), "23.4567890123456789012345678901234567");
  EXPECT_EQ(job.find("overtimeMultiplier")->numberLexeme(), "1.75");
  EXPECT_EQ(job.find("rounding")->asString(), "Nearest");
  EXPECT_EQ(job.find("schedule")->asString(), "Twice a month");
  EXPECT_EQ(job.find("id")->asString(), "11111111-1111-4111-8111-111111111111");
  EXPECT_EQ(job.find("roundingMinutes")->numberLexeme(), "15");
  EXPECT_EQ(job.find("payAnchor")->numberLexeme(), "788918400.1234568");
  EXPECT_EQ(job.find("autoBreakMinutes")->numberLexeme(), "0.1");
  Json entry = toJson(archive.entries[0], DateStyle::ArchiveNumbers);
  EXPECT_EQ(entry.find("adjustment")->numberLexeme(), "-7.25");
  EXPECT_EQ(entry.find("timeAdjustmentMinutes")->numberLexeme(), "-12");
  EXPECT_EQ(entry.find("rate")->numberLexeme(), "0.1");
}

TEST(RecordJsonTest, WireDatesAreIsoTextWithWholeSeconds) {
  const Archive archive = testing::richArchive();
  const Entry& entry = archive.entries[0];
  Json json = toJson(entry, DateStyle::WireText);
  EXPECT_EQ(json.find("start")->asString(), "2026-03-02T09:00:00Z");
  EXPECT_EQ(json.find("end")->asString(), "2026-03-02T17:30:00Z");
  EXPECT_EQ(json.find("pauses")->asArray()[1].find("start")->asString(), "2026-03-02T10:00:00Z");
  // Read back, the text dates give the whole-second instants.
  Entry back = entryFromJson(json);
  EXPECT_EQ(back.end, at("2026-03-02T17:30:00Z"));
  EXPECT_EQ(back.start, entry.start);
}

TEST(RecordJsonTest, DatesReadByOneRule) {
  struct Case {
    Json value;
    std::optional<Instant> expected;  // none: "Invalid backup date."
  };
  const Case cases[] = {
      {Json::number("794130000"), Instant{794130000}},
      {Json::number("-1.5"), Instant{-1.5}},
      {Json::number("7.9413e8"), Instant{794130000}},
      {Json("2026-03-02T09:00:00Z"), at("2026-03-02T09:00:00Z")},
      {Json("2026-03-02T09:00:00.250Z"), Instant{at("2026-03-02T09:00:00Z").seconds + 0.25}},
      {Json("2026-03-02T04:00:00-05:00"), at("2026-03-02T09:00:00Z")},
      {Json("2026-03-02T10:30:00.5+01:30"), Instant{at("2026-03-02T09:00:00Z").seconds + 0.5}},
      {Json("2026-03-02T09:00:00"), std::nullopt},
      {Json("2026-03-02"), std::nullopt},
      {Json("2026-03-02 09:00:00Z"), std::nullopt},
      {Json("2026-02-30T09:00:00Z"), std::nullopt},
      {Json("yesterday"), std::nullopt},
      {Json(""), std::nullopt},
      {Json(true), std::nullopt},
      {Json::array(), std::nullopt},
      {Json::number("1e400"), std::nullopt},
  };
  for (const Case& c : cases) {
    const std::string shown = writeJson(c.value);
    if (c.expected) {
      EXPECT_EQ(dateFromJson(c.value), *c.expected) << shown;
    } else {
      try {
        dateFromJson(c.value);
        ADD_FAILURE() << shown << " was read";
      } catch (const DecodingError& error) {
        EXPECT_STREQ(error.what(), "Invalid backup date.") << shown;
        EXPECT_EQ(error.reason(), DecodingError::Reason::InvalidDate);
      }
    }
  }
}

TEST(RecordJsonTest, IsoDatesInRecordsAreWrittenBackAsNumbers) {
  Json json = toJson(testing::richArchive().filters[0], DateStyle::ArchiveNumbers);
  json["from"] = Json("2026-03-01T00:00:00.75Z");
  json["through"] = Json("2026-03-01T01:00:00+01:00");
  Json back = toJson(savedFilterFromJson(json), DateStyle::ArchiveNumbers);
  EXPECT_EQ(back.find("from")->numberLexeme(), shortestDoubleText(at("2026-03-01T00:00:00Z").seconds + 0.75));
  EXPECT_EQ(back.find("through")->numberLexeme(), shortestDoubleText(at("2026-03-01T00:00:00Z").seconds));
}

TEST(RecordJsonTest, UuidsReadInEitherCaseAndWriteUpperCase) {
  Json json = toJson(testing::richArchive().entries[0], DateStyle::ArchiveNumbers);
  json["jobID"] = Json("11111111-1111-4111-8111-111111111111");
  json["id"] = Json("a1a1a1a1-0000-4000-8000-000000000001");
  Entry entry = entryFromJson(json);
  EXPECT_EQ(entry.id, testing::kEntry1);
  EXPECT_EQ(toJson(entry, DateStyle::ArchiveNumbers).find("id")->asString(), "A1A1A1A1-0000-4000-8000-000000000001");
}

TEST(RecordJsonTest, NumbersReadByFieldType) {
  Json job = toJson(testing::richArchive().jobs[1], DateStyle::ArchiveNumbers);
  job["rate"] = Json::number("12.50");
  job["roundingMinutes"] = Json::number("3.0");
  job["latitude"] = Json::number("4.5e1");
  job["withholding"] = Json::number("1E-2");
  job["longitude"] = Json::number("-1e-400");  // below the smallest double: zero
  Job read = jobFromJson(job);
  EXPECT_EQ(read.rate, dec("12.5"));
  EXPECT_EQ(toJson(read, DateStyle::ArchiveNumbers).find("rate")->numberLexeme(), "12.5");
  EXPECT_EQ(read.roundingMinutes, 3);
  EXPECT_EQ(read.latitude, 45);
  EXPECT_EQ(read.withholding, dec("0.01"));
  EXPECT_EQ(read.longitude, 0);
  // Values out of range read without complaint; validation refuses them later.
  job["rate"] = Json::number("-5");
  job["locationMode"] = Json("Sometimes");
  EXPECT_EQ(jobFromJson(job).rate, Decimal(-5));
  EXPECT_EQ(jobFromJson(job).locationMode, "Sometimes");
}

TEST(RecordJsonTest, UnknownKeysAreIgnored) {
  Json json = toJson(testing::richArchive().preferences);
  json["theme"] = Json("dark");
  json["zz"] = Json::object();
  EXPECT_EQ(preferencesFromJson(json), testing::richArchive().preferences);
}

struct FailureCase {
  const char* name;
  std::function<void(Json&)> change;
  DecodingError::Reason reason;
  const char* message;
};

void expectFailure(const FailureCase& c, const std::function<void(const Json&)>& read, Json base) {
  c.change(base);
  try {
    read(base);
    ADD_FAILURE() << c.name << ": read succeeded";
  } catch (const DecodingError& error) {
    EXPECT_EQ(error.reason(), c.reason) << c.name;
    EXPECT_STREQ(error.what(), c.message) << c.name;
  }
}

TEST(RecordJsonTest, RecordReadsFailAsAWholeNamingTheField) {
  using R = DecodingError::Reason;
  const FailureCase cases[] = {
      {"missing rate", [](Json& j) { j.asObject().erase("rate"); }, R::MissingKey,
       "The required field \"rate\" is missing."},
      {"null name", [](Json& j) { j["name"] = Json(); }, R::NullValue, "The field \"name\" must not be null."},
      {"rate as text", [](Json& j) { j["rate"] = Json("12"); }, R::WrongType, "The field \"rate\" must be a number."},
      {"archived as number", [](Json& j) { j["archived"] = Json(1); }, R::WrongType,
       "The field \"archived\" must be true or false."},
      {"fractional minutes", [](Json& j) { j["roundingMinutes"] = Json::number("6.5"); }, R::WrongType,
       "The field \"roundingMinutes\" must be a whole number."},
      {"name as array", [](Json& j) { j["name"] = Json::array(); }, R::WrongType,
       "The field \"name\" must be a string."},
      {"lower-case rounding", [](Json& j) { j["rounding"] = Json("nearest"); }, R::UnknownCase,
       "The field \"rounding\" must be one of \"None\", \"Nearest\", \"Up\" or \"Down\"."},
      {"unknown schedule", [](Json& j) { j["schedule"] = Json("Fortnightly"); }, R::UnknownCase,
       "The field \"schedule\" must be one of \"Weekly\", \"Every two weeks\", \"Twice a month\" or \"Monthly\"."},
      {"short UUID", [](Json& j) { j["id"] = Json("11111111-1111-4111-8111-11111111111"); }, R::MalformedUuid,
       "The field \"id\" must be a UUID such as 3F2504E0-4F89-41D3-9A0C-0305E82C3301."},
      {"date without zone", [](Json& j) { j["payAnchor"] = Json("2026-01-05T00:00:00"); }, R::InvalidDate,
       "Invalid backup date."},
      {"huge real", [](Json& j) { j["targetHours"] = Json::number("-1e400"); }, R::WrongType,
       "The field \"targetHours\" must be a number within the range of a double."},
      {"huge decimal", [](Json& j) { j["rate"] = Json::number("1e400"); }, R::WrongType,
       "The field \"rate\" must be a number with at most 38 significant digits."},
      {"not an object", [](Json& j) { j = Json::array(); }, R::WrongType, "The JSON value must be an object."},
  };
  const Json base = toJson(testing::richArchive().jobs[0], DateStyle::ArchiveNumbers);
  for (const FailureCase& c : cases) expectFailure(c, [](const Json& j) { jobFromJson(j); }, base);
}

TEST(RecordJsonTest, NestedFailuresNameTheirPath) {
  using R = DecodingError::Reason;
  const FailureCase cases[] = {
      {"pause end", [](Json& j) { j["entries"].asArray()[0]["pauses"].asArray()[1]["end"] = Json(false); },
       R::InvalidDate, "Invalid backup date."},
      {"pause id", [](Json& j) { j["entries"].asArray()[0]["pauses"].asArray()[1]["id"] = Json("x"); },
       R::MalformedUuid,
       "The field \"entries[0].pauses[1].id\" must be a UUID such as 3F2504E0-4F89-41D3-9A0C-0305E82C3301."},
      {"tag", [](Json& j) { j["entries"].asArray()[1]["tags"] = Json(Json::Array{Json("a"), Json(3)}); },
       R::WrongType, "The field \"entries[1].tags[1]\" must be a string."},
      {"null tag", [](Json& j) { j["entries"].asArray()[1]["tags"] = Json(Json::Array{Json()}); }, R::NullValue,
       "The field \"entries[1].tags[0]\" must not be null."},
      {"weekday", [](Json& j) { j["preferences"]["reminderWeekdays"] = Json(Json::Array{Json("Mon")}); },
       R::WrongType, "The field \"preferences.reminderWeekdays[0]\" must be a whole number."},
      {"missing jobs", [](Json& j) { j.asObject().erase("jobs"); }, R::MissingKey,
       "The required field \"jobs\" is missing."},
      {"null preferences", [](Json& j) { j["preferences"] = Json(); }, R::NullValue,
       "The field \"preferences\" must not be null."},
      {"version as text", [](Json& j) { j["version"] = Json("2"); }, R::WrongType,
       "The field \"version\" must be a whole number."},
      {"filters as object", [](Json& j) { j["filters"] = Json::object(); }, R::WrongType,
       "The field \"filters\" must be an array."},
      {"filter missing name", [](Json& j) { j["filters"].asArray()[1].asObject().erase("name"); }, R::MissingKey,
       "The required field \"filters[1].name\" is missing."},
      {"job as text", [](Json& j) { j["jobs"].asArray()[1] = Json("Studio"); }, R::WrongType,
       "The field \"jobs[1]\" must be an object."},
  };
  const Json base = toJson(testing::richArchive(), DateStyle::ArchiveNumbers);
  for (const FailureCase& c : cases) expectFailure(c, [](const Json& j) { archiveFromJson(j); }, base);
}

TEST(RecordJsonTest, FiltersMissingOrNullReadAsNone) {
  Json json = toJson(testing::richArchive(), DateStyle::ArchiveNumbers);
  json["filters"] = Json();
  EXPECT_TRUE(archiveFromJson(json).filters.empty());
  json.asObject().erase("filters");
  EXPECT_TRUE(archiveFromJson(json).filters.empty());
  // Other arrays are required.
  json["entries"] = Json();
  EXPECT_THROW(archiveFromJson(json), DecodingError);
}

TEST(RecordJsonTest, ErrorsAreDataErrors) {
  // Callers that report any DataError to the user catch decoding failures as well.
  Json json = Json::object();
  EXPECT_THROW(timePauseFromJson(json), DataError);
}

}  // namespace
}  // namespace pellam
