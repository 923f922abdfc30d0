#pragma once
// Small, fixed archives for the record, JSON and validation tests. Every date is a fixed
// instant and every identifier a fixed UUID, so the fixtures give the same bytes on every run.
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/data_error.h"
#include "core/instant.h"
#include "core/records/records.h"
#include "support/fixture_values.h"
#include "support/record_builders.h"

namespace pellam::testing {

inline const Uuid kJobA = uuid("11111111-1111-4111-8111-111111111111");
inline const Uuid kJobB = uuid("22222222-2222-4222-8222-222222222222");
inline const Uuid kEntry1 = uuid("A1A1A1A1-0000-4000-8000-000000000001");
inline const Uuid kEntry2 = uuid("A1A1A1A1-0000-4000-8000-000000000002");
inline const Uuid kPause1 = uuid("B2B2B2B2-0000-4000-8000-000000000001");
inline const Uuid kPause2 = uuid("B2B2B2B2-0000-4000-8000-000000000002");
inline const Uuid kPause3 = uuid("B2B2B2B2-0000-4000-8000-000000000003");
inline const Uuid kFilter1 = uuid("C3C3C3C3-0000-4000-8000-000000000001");
inline const Uuid kFilter2 = uuid("C3C3C3C3-0000-4000-8000-000000000002");

// "Now" for validation: two hours after the running entry of the rich archive started.
inline const Instant kNow = at("2026-03-03T11:00:00Z");

inline Preferences fixedPreferences() {
  Preferences preferences;
  preferences.timeZone = "America/New_York";
  return preferences;
}

// A valid archive that uses every field with a value other than its default, every kind
// of optional (present and absent), text that needs escaping and fractional dates.
inline Archive richArchive() {
  Archive archive;
  archive.version = 1;
  archive.preferences = fixedPreferences();
  archive.preferences.multipleTimers = true;
  archive.preferences.decimalHours = true;
  archive.preferences.weekStartsOn = 1;
  archive.preferences.lockOnLaunch = true;
  archive.preferences.remindersEnabled = true;
  archive.preferences.reminderHour = 17;
  archive.preferences.reminderMinute = 45;
  archive.preferences.reminderWeekdays = {7, 1, 1};

  Job a = plainJob(kJobA, "Caf\xC3\xA9 \"Nord\" / Bar\n\tline\x01");
  a.color = "teal";
  a.rate = dec("23.4567890123456789012345678901234567");
  a.currency = "eur";
  a.withholding = dec("12.5");
  a.mileageRate = dec("0.655");
  a.dailyOvertime = 7.5;
  a.dailyDoubleTime = 11.25;
  a.weeklyOvertime = 37.5;
  a.overtimeMultiplier = dec("1.75");
  a.doubleTimeMultiplier = dec("2.5");
  a.rounding = Rounding::nearest;
  a.roundingMinutes = 15;
  a.autoBreakAfterHours = 6;
  a.autoBreakMinutes = 0.1;
  a.targetHours = 7.6;
  a.schedule = PaySchedule::semimonthly;
  a.payAnchor = Instant{788'918'400.123456789};
  a.archived = true;
  a.notes = "Back door code 1234 \xE2\x80\x94 \\ ok";
  a.latitude = -33.868820;
  a.longitude = 151.209296;
  a.locationRadius = 1e5;
  a.locationMode = "Automatic";
  archive.jobs.push_back(a);
  Job b = plainJob(kJobB, "Studio");
  b.rounding = Rounding::down;
  b.schedule = PaySchedule::monthly;
  archive.jobs.push_back(b);

  Entry done = plainEntry(kEntry1, kJobA, at("2026-03-02T09:00:00Z"), at("2026-03-02T17:30:00.5Z"));
  done.pauses = {pause(kPause1, at("2026-03-02T12:00:00Z"), at("2026-03-02T12:30:00Z"), true),
                 pause(kPause2, at("2026-03-02T10:00:00.25Z"), at("2026-03-02T10:15:00Z"))};
  done.pauses[0].kind = "Lunch";
  done.manualBreakMinutes = 5.5;
  done.timeAdjustmentMinutes = -12;
  done.rate = dec("0.1");
  done.tips = dec("15.05");
  done.miles = 12.3;
  done.adjustment = dec("-7.25");
  done.adjustmentTaxable = false;
  done.comment = "Fixed \"the\" sink\r\nand tap";
  done.tags = {"plumbing", "urgent", "plumbing"};
  done.source = "Import";
  archive.entries.push_back(done);
  Entry running = plainEntry(kEntry2, kJobB, at("2026-03-03T09:00:00Z"), std::nullopt);
  running.pauses = {pause(kPause3, at("2026-03-03T10:00:00Z"), std::nullopt)};
  archive.entries.push_back(running);

  SavedFilter withJob;
  withJob.id = kFilter1;
  withJob.name = "Cafe custom";
  withJob.query = "sink";
  withJob.tag = "urgent";
  withJob.jobID = kJobA;
  withJob.range = "Custom";
  withJob.from = at("2026-03-01T00:00:00Z");
  withJob.through = Instant{794'000'000.75};
  archive.filters.push_back(withJob);
  SavedFilter everything;
  everything.id = kFilter2;
  everything.name = "All";
  everything.range = "All time";
  archive.filters.push_back(everything);
  return archive;
}

// The message of the DataError a check throws, or "" when it passes.
template <typename Check>
std::string messageOf(Check check) {
  try {
    check();
  } catch (const DataError& error) {
    return error.what();
  }
  return "";
}

}  // namespace pellam::testing
