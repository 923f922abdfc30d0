#include <gtest/gtest.h>

#include "agent/engine/patch.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

struct JobPatchCase {
  Arguments arguments;  // besides id=Acme
  const char* expected;  // "ok" or "code: message"
  const char* field = nullptr;     // with "ok": this field of the result's job ...
  const char* value = nullptr;     // ... written as compact JSON
};

TEST(EnginePatchTest, JobPatchRulesAndMessages) {
  const JobPatchCase cases[] = {
      // The patch object.
      {{{"patch", "{\"rate\":12.5,\"notes\":\"n\"}"}}, "ok", "rate", "12.5"},
      {{{"patch", "{}"}}, "ok", "name", "\"Acme\""},
      {{{"patch", "[1]"}}, "invalid_argument: --patch must contain a JSON object."},
      {{{"patch", "\"x\""}}, "invalid_argument: --patch must contain a JSON object."},
      {{{"patch", "null"}}, "invalid_argument: --patch must contain a JSON object."},
      {{{"patch", "{\"id\":\"22222222-2222-4222-8222-222222222222\"}"}},
       "invalid_argument: Unknown or read-only patch field: id."},
      {{{"patch", "{\"zed\":1,\"alpha\":2}"}}, "invalid_argument: Unknown or read-only patch field: alpha."},
      {{{"patch", "{\"mileage-rate\":1}"}}, "invalid_argument: Unknown or read-only patch field: mileage-rate."},
      {{{"patch", "{\"rate\":5}"}, {"rate", "6"}}, "invalid_argument: Specify rate once, in --patch or as --rate."},
      {{{"patch", "{\"mileageRate\":5}"}, {"mileage-rate", "6"}},
       "invalid_argument: Specify mileageRate once, in --patch or as --mileage-rate."},
      {{{"patch", "{\"name\":null}"}}, "invalid_argument: name cannot be null."},
      // Unknown patch keys are found before doubly given fields.
      {{{"patch", "{\"rate\":5,\"zzz\":1}"}, {"rate", "6"}}, "invalid_argument: Unknown or read-only patch field: zzz."},
      // Decoding failures.
      {{{"patch", "{\"rate\":\"5\"}"}}, "invalid_argument: Invalid patch value: The field \"rate\" must be a number."},
      {{{"patch", "{\"rounding\":\"nearest\"}"}},
       "invalid_argument: Invalid patch value: The field \"rounding\" must be one of \"None\", \"Nearest\", \"Up\" or \"Down\"."},
      {{{"rounding-minutes", "6.5"}},
       "invalid_argument: Invalid patch value: The field \"roundingMinutes\" must be a whole number."},
      {{{"schedule", "weekly"}},
       "invalid_argument: Invalid patch value: The field \"schedule\" must be one of \"Weekly\", \"Every two weeks\", "
       "\"Twice a month\" or \"Monthly\"."},
      {{{"schedule", "Weekly"}}, "ok", "schedule", "\"Weekly\""},
      // Option texts take the type of the field's current value.
      {{{"rate", "12.50"}}, "ok", "rate", "12.5"},
      {{{"rate", " 7 "}}, "ok", "rate", "7"},
      {{{"rate", "abc"}}, "invalid_argument: --rate must be a JSON number."},
      {{{"rate", "\"5\""}}, "invalid_argument: --rate must be a JSON number."},
      {{{"rate", ""}}, "invalid_argument: --rate must be a JSON number."},
      {{{"daily-overtime", "7.25"}}, "ok", "dailyOvertime", "7.25"},
      {{{"archived", "FALSE"}}, "ok", "archived", "false"},
      {{{"archived", "no"}}, "invalid_argument: --archived must be true or false."},
      {{{"notes", "null"}}, "ok", "notes", "\"null\""},
      {{{"notes", "{\"a\":1}"}}, "ok", "notes", "\"{\\\"a\\\":1}\""},
      {{{"name", "Acme/West"}}, "ok", "name", "\"Acme/West\""},
      // Date fields: "null" is null, other text a timestamp.
      {{{"pay-anchor", "2026-03-02T09:00:00-04:00"}}, "ok", "payAnchor", "\"2026-03-02T13:00:00Z\""},
      {{{"pay-anchor", "2026-03-02T09:00:00.750Z"}}, "ok", "payAnchor", "\"2026-03-02T09:00:00Z\""},
      {{{"pay-anchor", "null"}}, "invalid_argument: payAnchor cannot be null."},
      {{{"pay-anchor", "2026-03-02"}},
       "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
       "2026-10-22T09:00:00-04:00."},
      {{{"pay-anchor", "2026-03-02T09:00:00"}},
       "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
       "2026-10-22T09:00:00-04:00."},
      {{{"patch", "{\"payAnchor\":0}"}}, "ok", "payAnchor", "\"2001-01-01T00:00:00Z\""},
      {{{"patch", "{\"payAnchor\":true}"}},
       "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
       "2026-10-22T09:00:00-04:00."},
      // Text that is not JSON reaches the host as the parser's own error.
      {{{"patch", "{\"rate\":"}}, "json_parse_error"},
      {{{"patch", ""}}, "json_parse_error"},
  };
  for (const auto& c : cases) {
    Arguments arguments = c.arguments;
    arguments["id"] = "Acme";
    SCOPED_TRACE(c.expected);
    Outcome outcome = run(sampleArchive(), "jobs.update", arguments);
    if (std::string_view(c.expected) == "json_parse_error") {
      ASSERT_TRUE(outcome.failure);
      EXPECT_EQ(outcome.failure->code, "json_parse_error");
      continue;
    }
    EXPECT_EQ(summary(outcome), c.expected);
    if (c.field != nullptr && outcome.execution) {
      EXPECT_EQ(writeJson(*outcome.result().find("job")->find(c.field)), c.value);
    }
  }
}

AgentRequest patchRequest(Arguments arguments) { return request("entries.update", std::move(arguments)); }

Entry patchEntry(Arguments arguments) {
  return engine::patch(patchRequest(std::move(arguments)), engine::entryFields, {"end"}, sampleArchive().entries[0]);
}

std::string entryPatchFailure(Arguments arguments) {
  try {
    patchEntry(std::move(arguments));
    return "ok";
  } catch (const AgentFailure& failure) {
    return failure.code + ": " + failure.message;
  } catch (const JsonParseError&) {
    return "json_parse_error";
  }
}

TEST(EnginePatchTest, TagsFromCommaSeparatedTextOrAJsonArray) {
  EXPECT_EQ(patchEntry({{"tags", "  client , ,billable\n,,  "}}).tags, (std::vector<std::string>{"client", "billable"}));
  EXPECT_EQ(patchEntry({{"tags", "[\"a, b\"]"}}).tags, (std::vector<std::string>{"a, b"}));
  EXPECT_EQ(patchEntry({{"tags", ""}}).tags, std::vector<std::string>{});
  EXPECT_EQ(patchEntry({{"tags", " [\"x\"]"}}).tags, (std::vector<std::string>{"[\"x\"]"}));
  EXPECT_EQ(entryPatchFailure({{"tags", "[\"a\""}}), "json_parse_error");
  EXPECT_EQ(entryPatchFailure({{"tags", "[1]"}}),
            "invalid_argument: Invalid patch value: The field \"tags[0]\" must be a string.");
}

TEST(EnginePatchTest, ArraysAreReplacedWhole) {
  Entry before = sampleArchive().entries[0];
  before.tags = {"a", "b", "c"};
  Entry after = engine::patch(patchRequest({{"tags", "d"}}), engine::entryFields, {"end"}, before);
  EXPECT_EQ(after.tags, std::vector<std::string>{"d"});

  Entry patched = patchEntry({{"pauses",
                               "[{\"id\":\"B2B2B2B2-0000-4000-8000-000000000001\",\"start\":\"2026-03-02T15:00:00Z\","
                               "\"end\":\"2026-03-02T15:30:00.5Z\",\"paid\":true,\"kind\":\"Lunch\"}]"}});
  ASSERT_EQ(patched.pauses.size(), 1u);
  EXPECT_EQ(patched.pauses[0].start, at("2026-03-02T15:00:00Z"));
  EXPECT_EQ(patched.pauses[0].end, at("2026-03-02T15:30:00.5Z"));
  EXPECT_TRUE(patched.pauses[0].paid);
  EXPECT_EQ(patched.pauses[0].kind, "Lunch");
  EXPECT_EQ(entryPatchFailure({{"pauses", "[{\"id\":\"B2B2B2B2-0000-4000-8000-000000000001\",\"start\":\"soon\"}]"}}),
            "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
            "2026-10-22T09:00:00-04:00.");
  EXPECT_EQ(entryPatchFailure({{"pauses", "soon"}}), "json_parse_error");
}

TEST(EnginePatchTest, EntryDatesAndNullableFields) {
  EXPECT_FALSE(patchEntry({{"end", "null"}}).end.has_value());
  EXPECT_FALSE(patchEntry({{"patch", "{\"end\":null}"}}).end.has_value());
  EXPECT_EQ(patchEntry({{"start", "2026-03-02T09:00:00.5Z"}}).start, at("2026-03-02T09:00:00.5Z"));
  EXPECT_EQ(patchEntry({{"start", "2026-03-02T09:00:00-05:00"}}).start, at("2026-03-02T14:00:00Z"));
  EXPECT_EQ(entryPatchFailure({{"start", "null"}}), "invalid_argument: start cannot be null.");
  EXPECT_EQ(entryPatchFailure({{"start", "2026-03-02"}}),
            "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
            "2026-10-22T09:00:00-04:00.");
  EXPECT_EQ(entryPatchFailure({{"job-id", "Acme"}}),
            "invalid_argument: Invalid patch value: The field \"jobID\" must be a UUID such as "
            "3F2504E0-4F89-41D3-9A0C-0305E82C3301.");
  EXPECT_EQ(patchEntry({{"job-id", "22222222-2222-4222-8222-222222222222"}}).jobID, kBeta);
  EXPECT_EQ(patchEntry({{"break-minutes", "15"}}).manualBreakMinutes, 15);
  EXPECT_FALSE(patchEntry({{"adjustment-taxable", "False"}}).adjustmentTaxable);
  EXPECT_EQ(patchEntry({{"tips", "3.10"}}).tips, Decimal::scaled(31, -1));
}

// A date the patch gives must lie in the years 0001 to 9999 (UTC), as a number of seconds
// or as a text whose offset moves it; the current record's own dates are not the patch's.
TEST(EnginePatchTest, GivenDatesStayInsideTheCalendar) {
  const std::string refused =
      "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
      "2026-10-22T09:00:00-04:00.";
  const struct {
    Arguments arguments;
    std::string expected;
  } cases[] = {
      {{{"patch", "{\"start\":5.68e11}"}}, refused},           // year 20000
      {{{"patch", "{\"start\":-1e18}"}}, refused},
      {{{"patch", "{\"end\":1e300}"}}, refused},
      {{{"patch", "{\"start\":-63113904001}"}}, refused},      // a second before year 1
      {{{"patch", "{\"start\":-63113904000,\"end\":-63113900400}"}}, "ok"},  // year 1 exactly
      {{{"patch", "{\"end\":252423993599}"}}, "ok"},           // the last second of 9999
      {{{"patch", "{\"end\":252423993600}"}}, refused},
      {{{"start", "0000-12-31T23:00:00Z"}}, refused},
      {{{"start", "0001-01-01T00:30:00+01:00"}}, refused},      // 0000-12-31 in UTC
      {{{"end", "9999-12-31T23:00:00-05:00"}}, refused},        // 10000-01-01 in UTC
      {{{"start", "0001-01-01T00:00:00Z"}, {"end", "0001-01-01T01:00:00Z"}}, "ok"},
      {{{"patch", "{\"pauses\":[{\"id\":\"B1B1B1B1-0000-4000-8000-000000000001\",\"start\":5.68e11,"
                  "\"paid\":false,\"kind\":\"Break\"}]}"}},
       refused},
      {{{"pauses", "[{\"id\":\"B1B1B1B1-0000-4000-8000-000000000001\",\"start\":\"2026-03-02T15:00:00Z\","
                   "\"end\":-7e10,\"paid\":false,\"kind\":\"Break\"}]"}},
       refused},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(entryPatchFailure(c.arguments), c.expected) << writeJson(Json(c.arguments.begin()->second));
  }

  // A job's pay anchor, by number and by text.
  Job acme = sampleArchive().jobs[0];
  for (const Arguments& arguments : {Arguments{{"patch", "{\"payAnchor\":5.68e11}"}},
                                     Arguments{{"pay-anchor", "0000-06-01T00:00:00Z"}}}) {
    try {
      engine::patch(request("jobs.update", arguments), engine::jobFields, engine::kNoNullable, acme);
      ADD_FAILURE() << "accepted " << arguments.begin()->second;
    } catch (const AgentFailure& failure) {
      EXPECT_EQ("invalid_argument: " + failure.message, refused);
    }
  }

  // An entry saved with a far date takes a patch of its other fields (validation then names it).
  Entry far = sampleArchive().entries[0];
  far.start = Instant{5.68e11};
  far.end = Instant{5.68e11 + 3600};
  EXPECT_EQ(engine::patch(patchRequest({{"comment", "kept"}}), engine::entryFields, {"end"}, far).start, far.start);
}

TEST(EnginePatchTest, AFieldHeldAsNullTakesTextOnly) {
  // A saved view without a job: the option's text is read as the identifier text.
  SavedFilter filter;
  filter.name = "Mine";
  AgentRequest withJob = request("filters.update", {{"job-id", "11111111-1111-4111-8111-111111111111"}});
  EXPECT_EQ(engine::patch(withJob, engine::filterFields, {"jobID"}, filter).jobID, kAcme);
  filter.jobID = kAcme;
  AgentRequest cleared = request("filters.update", {{"patch", "{\"jobID\":null}"}});
  EXPECT_FALSE(engine::patch(cleared, engine::filterFields, {"jobID"}, filter).jobID.has_value());
}

TEST(EnginePatchTest, PreferenceOptions) {
  Preferences preferences = sampleArchive().preferences;
  AgentRequest set = request("preferences.set", {{"reminder-weekdays", "[1, 7]"},
                                                 {"week-starts-on", "1"},
                                                 {"time-zone", "Europe/Paris"},
                                                 {"multiple-timers", "true"}});
  Preferences patched = engine::patch(set, engine::preferenceFields, {}, preferences);
  EXPECT_EQ(patched.reminderWeekdays, (std::vector<std::int64_t>{1, 7}));
  EXPECT_EQ(patched.weekStartsOn, 1);
  EXPECT_EQ(patched.timeZone, "Europe/Paris");
  EXPECT_TRUE(patched.multipleTimers);
  AgentRequest bad = request("preferences.set", {{"reminder-weekdays", "1,7"}});
  EXPECT_THROW(engine::patch(bad, engine::preferenceFields, {}, preferences), JsonParseError);
}

}  // namespace
}  // namespace pellam::agent::testing
