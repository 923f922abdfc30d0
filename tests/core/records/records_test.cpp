// New-record values, the derived properties of an entry and field-by-field equality.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/calendar/current_time_zone.h"
#include "core/records/records.h"
#include "core/record_fixtures.h"

namespace pellam {
namespace {

using testing::at;
using testing::dec;

TEST(RecordsTest, NewJobCarriesTheDocumentedDefaults) {
  const Instant before = Instant::now();
  Job job("Cafe");
  EXPECT_EQ(job.name, "Cafe");
  EXPECT_NE(job.id, Uuid());
  EXPECT_NE(job.id, Job("Cafe").id);
  EXPECT_EQ(job.color, "blue");
  EXPECT_EQ(job.rate, Decimal(0));
  EXPECT_EQ(job.currency, "USD");
  EXPECT_EQ(job.withholding, Decimal(0));
  EXPECT_EQ(job.mileageRate, Decimal(0));
  EXPECT_EQ(job.dailyOvertime, 8);
  EXPECT_EQ(job.dailyDoubleTime, 12);
  EXPECT_EQ(job.weeklyOvertime, 40);
  EXPECT_EQ(job.overtimeMultiplier, dec("1.5"));
  EXPECT_EQ(job.overtimeMultiplier.text(), "1.5");
  EXPECT_EQ(job.doubleTimeMultiplier, Decimal(2));
  EXPECT_EQ(job.rounding, Rounding::none);
  EXPECT_EQ(job.roundingMinutes, 6);
  EXPECT_EQ(job.autoBreakAfterHours, 0);
  EXPECT_EQ(job.autoBreakMinutes, 30);
  EXPECT_EQ(job.targetHours, 8);
  EXPECT_EQ(job.schedule, PaySchedule::biweekly);
  EXPECT_FALSE(job.archived);
  EXPECT_EQ(job.notes, "");
  EXPECT_EQ(job.latitude, 0);
  EXPECT_EQ(job.longitude, 0);
  EXPECT_EQ(job.locationRadius, 200);
  EXPECT_EQ(job.locationMode, "Off");
  // The start of today: not after now, and less than a day (plus a DST hour) before it.
  EXPECT_LE(job.payAnchor, Instant::now());
  EXPECT_GT(job.payAnchor.seconds, before.seconds - 25 * 3600);
}

TEST(RecordsTest, NewEntryPauseAndFilterCarryTheirDefaults) {
  const Uuid jobID = testing::kJobA;
  Entry entry(jobID, at("2026-03-02T09:00:00Z"), std::nullopt, dec("18.5"));
  EXPECT_NE(entry.id, Uuid());
  EXPECT_EQ(entry.jobID, jobID);
  EXPECT_EQ(entry.start, at("2026-03-02T09:00:00Z"));
  EXPECT_FALSE(entry.end);
  EXPECT_EQ(entry.rate, dec("18.5"));
  EXPECT_TRUE(entry.pauses.empty());
  EXPECT_EQ(entry.manualBreakMinutes, 0);
  EXPECT_EQ(entry.timeAdjustmentMinutes, 0);
  EXPECT_EQ(entry.tips, Decimal(0));
  EXPECT_EQ(entry.miles, 0);
  EXPECT_EQ(entry.adjustment, Decimal(0));
  EXPECT_TRUE(entry.adjustmentTaxable);
  EXPECT_EQ(entry.comment, "");
  EXPECT_TRUE(entry.tags.empty());
  EXPECT_EQ(entry.source, "Manual");

  TimePause pause(at("2026-03-02T10:00:00Z"));
  EXPECT_NE(pause.id, Uuid());
  EXPECT_FALSE(pause.end);
  EXPECT_FALSE(pause.paid);
  EXPECT_EQ(pause.kind, "Break");

  const Instant before = Instant::now();
  SavedFilter filter("Week");
  EXPECT_NE(filter.id, Uuid());
  EXPECT_EQ(filter.query, "");
  EXPECT_EQ(filter.tag, "");
  EXPECT_FALSE(filter.jobID);
  EXPECT_EQ(filter.range, "This week");
  EXPECT_EQ(filter.from, filter.through);
  EXPECT_GE(filter.from, before);
}

TEST(RecordsTest, NewPreferencesAndArchiveCarryTheirDefaults) {
  Preferences preferences;
  EXPECT_FALSE(preferences.multipleTimers);
  EXPECT_FALSE(preferences.decimalHours);
  EXPECT_EQ(preferences.weekStartsOn, 2);
  EXPECT_EQ(preferences.timeZone, currentTimeZoneIdentifier());
  EXPECT_FALSE(preferences.lockOnLaunch);
  EXPECT_FALSE(preferences.remindersEnabled);
  EXPECT_EQ(preferences.reminderHour, 9);
  EXPECT_EQ(preferences.reminderMinute, 0);
  EXPECT_EQ(preferences.reminderWeekdays, (std::vector<std::int64_t>{2, 3, 4, 5, 6}));

  Archive archive;
  EXPECT_EQ(archive.format, "PellamDesktop");
  EXPECT_EQ(archive.version, 2);
  EXPECT_TRUE(archive.jobs.empty());
  EXPECT_TRUE(archive.entries.empty());
  EXPECT_TRUE(archive.filters.empty());
  EXPECT_EQ(archive.preferences, Preferences());
}

// Restores TZ when a test that changes it ends.
class TimeZoneVariable {
 public:
  TimeZoneVariable() {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
  }
  ~TimeZoneVariable() {
    if (saved_) setenv("TZ", saved_->c_str(), 1);
    else unsetenv("TZ");
  }
  void set(const char* value) { setenv("TZ", value, 1); }

 private:
  std::optional<std::string> saved_;
};

TEST(RecordsTest, CurrentTimeZoneComesFromTheEnvironment) {
  struct Case {
    const char* tz;
    const char* expected;
  };
  const Case cases[] = {
      {"Europe/Paris", "Europe/Paris"},
      {":Asia/Tokyo", "Asia/Tokyo"},
      {"/usr/share/zoneinfo/America/Sao_Paulo", "America/Sao_Paulo"},
      {"UTC", "UTC"},
  };
  TimeZoneVariable tz;
  for (const Case& c : cases) {
    tz.set(c.tz);
    EXPECT_EQ(currentTimeZoneIdentifier(), c.expected) << c.tz;
    EXPECT_EQ(Preferences().timeZone, c.expected) << c.tz;
  }
  // A TZ that names no zone is passed over; the answer is still a known zone.
  tz.set("Not/AZone");
  EXPECT_NE(currentTimeZoneIdentifier(), "Not/AZone");
}

TEST(RecordsTest, RunningAndOpenPause) {
  Entry entry = testing::plainEntry(testing::kEntry1, testing::kJobA, at("2026-03-02T09:00:00Z"), std::nullopt);
  EXPECT_TRUE(entry.isRunning());
  EXPECT_EQ(entry.openPause(), nullptr);

  entry.pauses = {testing::pause(testing::kPause1, at("2026-03-02T09:10:00Z"), std::nullopt),
                  testing::pause(testing::kPause2, at("2026-03-02T09:20:00Z"), at("2026-03-02T09:30:00Z")),
                  testing::pause(testing::kPause3, at("2026-03-02T09:40:00Z"), std::nullopt)};
  // Searching from the last break, the later open one is found.
  ASSERT_NE(entry.openPause(), nullptr);
  EXPECT_EQ(entry.openPause()->id, testing::kPause3);
  EXPECT_EQ(entry.openPauseIndex(), 2u);

  entry.pauses.pop_back();
  EXPECT_EQ(entry.openPause()->id, testing::kPause1);
  entry.openPause()->end = at("2026-03-02T09:15:00Z");
  EXPECT_EQ(entry.openPause(), nullptr);

  entry.end = at("2026-03-02T17:00:00Z");
  EXPECT_FALSE(entry.isRunning());
}

TEST(RecordsTest, EqualityIsFieldByFieldAndOrderSensitive) {
  const Archive base = testing::richArchive();
  EXPECT_EQ(base, testing::richArchive());

  Archive reordered = base;
  std::swap(reordered.entries[0].tags[0], reordered.entries[0].tags[1]);
  EXPECT_NE(reordered.entries[0], base.entries[0]);
  EXPECT_NE(reordered, base);

  Archive swappedJobs = base;
  std::swap(swappedJobs.jobs[0], swappedJobs.jobs[1]);
  EXPECT_NE(swappedJobs, base);

  // Decimals compare by value: 12.50 and 12.5 are the same rate.
  Archive sameValue = base;
  sameValue.jobs[0].withholding = testing::dec("12.50");
  EXPECT_EQ(sameValue, base);

  Archive pauseKind = base;
  pauseKind.entries[0].pauses[1].kind = "Coffee";
  EXPECT_NE(pauseKind, base);
}

TEST(RecordsTest, EnumerationTextsAreExact) {
  for (Rounding rounding : kAllRoundings) EXPECT_EQ(roundingFromRawValue(rawValue(rounding)), rounding);
  for (PaySchedule schedule : kAllPaySchedules) EXPECT_EQ(payScheduleFromRawValue(rawValue(schedule)), schedule);
  EXPECT_EQ(rawValue(Rounding::none), "None");
  EXPECT_EQ(rawValue(PaySchedule::biweekly), "Every two weeks");
  EXPECT_EQ(rawValue(PaySchedule::semimonthly), "Twice a month");
  for (const char* text : {"nearest", "NONE", " Up", "Down ", "", "Every Two Weeks", "weekly"}) {
    EXPECT_FALSE(roundingFromRawValue(text)) << text;
    EXPECT_FALSE(payScheduleFromRawValue(text)) << text;
  }
}

}  // namespace
}  // namespace pellam
