#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/payroll/payroll.h"
#include "core/payroll/rounding.h"
#include "core/payroll/payroll_fixtures.h"

namespace pellam::testing {
namespace {

struct RoundingCase {
  Rounding mode;
  double seconds;
  std::int64_t increment;
  double expected;
};

TEST(RoundingTest, RoundsWholeStepsAndNeverGoesBelowZero) {
  const RoundingCase cases[] = {
      {Rounding::nearest, 450, 15, 900},    // 7.5 minutes at 15: halves away from zero
      {Rounding::nearest, 449, 15, 0},
      {Rounding::nearest, 1350, 15, 1800},  // 22.5 minutes
      {Rounding::up, 1, 15, 900},
      {Rounding::up, 900, 15, 900},
      {Rounding::down, 899, 15, 0},
      {Rounding::down, 3660, 6, 3600},
      {Rounding::none, 3661.5, 15, 3661.5},
      {Rounding::up, 3661.5, 0, 3661.5},    // no increment: unchanged
      {Rounding::down, 3661.5, -5, 3661.5},
      {Rounding::none, -10, 15, 0},
      {Rounding::nearest, -500, 15, 0},     // -15 minutes, clamped
      {Rounding::up, -10, 0, 0},
  };
  for (const RoundingCase& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.mode)) + " " + std::to_string(c.seconds));
    EXPECT_EQ(apply(c.mode, c.seconds, c.increment), c.expected);
  }
}

struct DayCase {
  const char* name;
  const char* zone;
  const char* start;
  const char* end;  // nullptr: running until `now`
  std::vector<TimePause> pauses = {};
  double manualBreak = 0;
  double adjustment = 0;
  Rounding rounding = Rounding::none;
  std::int64_t roundingMinutes = 15;
  double autoBreakAfterHours = 0;
  double autoBreakMinutes = 30;
  const char* now = "2030-01-01T00:00:00Z";
  std::vector<std::pair<const char*, double>> expected = {};  // day start (UTC), minutes
};

TEST(DaySecondsTest, SplitsAtLocalMidnightAndAppliesBreaksAdjustmentAndRoundingOnce) {
  const std::vector<DayCase> cases = {
      {.name = "22:00 to 02:00 splits 2 h / 2 h",
       .zone = "America/New_York",
       .start = "2026-03-02T22:00:00-05:00",
       .end = "2026-03-03T02:00:00-05:00",
       .expected = {{"2026-03-02T05:00:00Z", 120}, {"2026-03-03T05:00:00Z", 120}}},
      {.name = "rounding up goes to the day the entry ends on",
       .zone = "America/New_York",
       .start = "2026-03-02T23:01:00-05:00",
       .end = "2026-03-03T00:02:00-05:00",
       .rounding = Rounding::up,
       .expected = {{"2026-03-02T05:00:00Z", 59}, {"2026-03-03T05:00:00Z", 16}}},
      {.name = "rounding down is taken from the latest day first",
       .zone = "America/New_York",
       .start = "2026-03-02T23:30:00-05:00",
       .end = "2026-03-03T00:10:00-05:00",
       .rounding = Rounding::down,
       .expected = {{"2026-03-02T05:00:00Z", 30}, {"2026-03-03T05:00:00Z", 0}}},
      {.name = "rounding down reaching past the latest day",
       .zone = "UTC",
       .start = "2026-03-02T23:00:00Z",
       .end = "2026-03-03T00:10:00Z",
       .adjustment = -20,
       .rounding = Rounding::down,
       .expected = {{"2026-03-02T00:00:00Z", 45}, {"2026-03-03T00:00:00Z", 0}}},
      {.name = "an end at midnight credits additions to the day before",
       .zone = "America/New_York",
       .start = "2026-03-02T23:10:00-05:00",
       .end = "2026-03-03T00:00:00-05:00",
       .rounding = Rounding::up,
       .expected = {{"2026-03-02T05:00:00Z", 60}}},
      {.name = "a paid pause changes nothing",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T17:00:00Z",
       .pauses = {pause("2026-03-02T12:00:00Z", "2026-03-02T13:00:00Z", true)},
       .autoBreakAfterHours = 6,
       .expected = {{"2026-03-02T00:00:00Z", 450}}},  // the automatic break is not topped up by it
      {.name = "an unpaid open pause runs until now",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = nullptr,
       .pauses = {pause("2026-03-02T11:00:00Z", std::nullopt)},
       .now = "2026-03-02T12:00:00Z",
       .expected = {{"2026-03-02T00:00:00Z", 120}}},
      {.name = "unpaid pauses out of order, overlapping and outside the entry",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T17:00:00Z",
       .pauses = {pause("2026-03-02T16:30:00Z", "2026-03-02T18:00:00Z"),
                  pause("2026-03-02T12:00:00Z", "2026-03-02T12:30:00Z"),
                  pause("2026-03-02T12:15:00Z", "2026-03-02T12:45:00Z"),
                  pause("2026-03-02T07:00:00Z", "2026-03-02T08:00:00Z")},
       .expected = {{"2026-03-02T00:00:00Z", 480 - 30 - 45}}},
      {.name = "an unpaid pause across midnight",
       .zone = "UTC",
       .start = "2026-03-02T22:00:00Z",
       .end = "2026-03-03T03:00:00Z",
       .pauses = {pause("2026-03-02T23:30:00Z", "2026-03-03T00:30:00Z")},
       .expected = {{"2026-03-02T00:00:00Z", 90}, {"2026-03-03T00:00:00Z", 150}}},
      {.name = "the automatic break tops up an unpaid pause",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T16:00:00Z",
       .pauses = {pause("2026-03-02T12:00:00Z", "2026-03-02T12:20:00Z")},
       .autoBreakAfterHours = 6,
       .expected = {{"2026-03-02T00:00:00Z", 420 - 20 - 10}}},
      {.name = "a longer manual break leaves nothing to top up",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T16:00:00Z",
       .manualBreak = 45,
       .autoBreakAfterHours = 6,
       .expected = {{"2026-03-02T00:00:00Z", 420 - 45}}},
      {.name = "the automatic break starts at exactly its hours",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T15:00:00Z",
       .autoBreakAfterHours = 6,
       .expected = {{"2026-03-02T00:00:00Z", 330}}},
      {.name = "shorter than the automatic break's hours",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T14:59:59Z",
       .autoBreakAfterHours = 6,
       .expected = {{"2026-03-02T00:00:00Z", 359 + 59.0 / 60}}},
      {.name = "an adjustment is added before rounding",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T10:00:00Z",
       .adjustment = 8,
       .rounding = Rounding::nearest,
       .expected = {{"2026-03-02T00:00:00Z", 75}}},
      {.name = "a negative adjustment larger than the work leaves zero",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T10:00:00Z",
       .adjustment = -90,
       .expected = {{"2026-03-02T00:00:00Z", 0}}},
      {.name = "a break covering the whole entry still gives its end day",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = "2026-03-02T10:00:00Z",
       .pauses = {pause("2026-03-02T08:00:00Z", "2026-03-02T11:00:00Z")},
       .adjustment = 10,
       .expected = {{"2026-03-02T00:00:00Z", 10}}},
      {.name = "a 23-hour day in Berlin",
       .zone = "Europe/Berlin",
       .start = "2026-03-28T12:00:00+01:00",
       .end = "2026-03-30T12:00:00+02:00",
       .expected = {{"2026-03-27T23:00:00Z", 720}, {"2026-03-28T23:00:00Z", 1380}, {"2026-03-29T22:00:00Z", 720}}},
      {.name = "a 25-hour day in Berlin",
       .zone = "Europe/Berlin",
       .start = "2026-10-24T12:00:00+02:00",
       .end = "2026-10-26T12:00:00+01:00",
       .expected = {{"2026-10-23T22:00:00Z", 720}, {"2026-10-24T22:00:00Z", 1500}, {"2026-10-25T23:00:00Z", 720}}},
      {.name = "a 24.5-hour day on Lord Howe Island",
       .zone = "Australia/Lord_Howe",
       .start = "2026-04-04T12:00:00+11:00",
       .end = "2026-04-06T12:00:00+10:30",
       .expected = {{"2026-04-03T13:00:00Z", 720}, {"2026-04-04T13:00:00Z", 1470}, {"2026-04-05T13:30:00Z", 720}}},
      {.name = "midnight skipped in Santiago: the day starts at 01:00",
       .zone = "America/Santiago",
       .start = "2022-09-10T22:00:00-04:00",
       .end = "2022-09-11T03:00:00-03:00",
       .expected = {{"2022-09-10T04:00:00Z", 120}, {"2022-09-11T04:00:00Z", 120}}},
      {.name = "Samoa skipped the 30th of December 2011",
       .zone = "Pacific/Apia",
       .start = "2011-12-29T20:00:00-10:00",
       .end = "2011-12-31T04:00:00+14:00",
       .expected = {{"2011-12-29T10:00:00Z", 240}, {"2011-12-30T10:00:00Z", 240}}},
      {.name = "longer than 366 days",
       .zone = "UTC",
       .start = "2024-01-01T00:00:00Z",
       .end = "2025-01-01T00:00:01Z"},
      {.name = "end equal to start", .zone = "UTC", .start = "2026-03-02T09:00:00Z", .end = "2026-03-02T09:00:00Z"},
      {.name = "end before start", .zone = "UTC", .start = "2026-03-02T09:00:00Z", .end = "2026-03-02T08:00:00Z"},
      {.name = "running with now before the start",
       .zone = "UTC",
       .start = "2026-03-02T09:00:00Z",
       .end = nullptr,
       .now = "2026-03-02T08:00:00Z"},
  };
  for (const DayCase& c : cases) {
    SCOPED_TRACE(c.name);
    Job job = payJob();
    job.rounding = c.rounding;
    job.roundingMinutes = c.roundingMinutes;
    job.autoBreakAfterHours = c.autoBreakAfterHours;
    job.autoBreakMinutes = c.autoBreakMinutes;
    Entry entry = payEntry("A1A1A1A1-0000-4000-8000-000000000001", kPayJob, c.start, std::nullopt);
    if (c.end) entry.end = at(c.end);
    entry.pauses = c.pauses;
    entry.manualBreakMinutes = c.manualBreak;
    entry.timeAdjustmentMinutes = c.adjustment;

    const std::vector<DayTime> days = payrollIn(c.zone).daySeconds(entry, job, at(c.now));
    std::vector<std::pair<std::string, double>> actual;
    for (const DayTime& day : days) actual.emplace_back(formatInternetDateTime(day.day), day.seconds / 60);
    std::vector<std::pair<std::string, double>> expected;
    for (const auto& [day, minutes] : c.expected) expected.emplace_back(day, minutes);
    EXPECT_EQ(actual, expected);
  }
}

TEST(DaySecondsTest, MeasuresEntriesOfExactly366Days) {
  const Entry entry = payEntry("A1A1A1A1-0000-4000-8000-000000000001", kPayJob, "2024-01-01T00:00:00Z",
                               "2025-01-01T00:00:00Z");
  const std::vector<DayTime> days = payrollIn("UTC").daySeconds(entry, payJob(), at("2030-01-01T00:00:00Z"));
  double total = 0;
  for (const DayTime& day : days) total += day.seconds;
  EXPECT_EQ(days.size(), 366u);
  EXPECT_EQ(total, Payroll::kMaximumEntrySeconds);
}

}  // namespace
}  // namespace pellam::testing
