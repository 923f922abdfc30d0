// When reminders fall, in the reporting zone of the preferences (never the machine's: these
// tests run with TZ=UTC), and which of them a host shows as its clock moves.
#include "host/reminder_schedule.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace pellam::host::testing {
namespace {

Instant at(const std::string& text) {
  auto instant = parseInternetDateTime(text, FractionalSeconds::Allowed);
  if (!instant) throw std::invalid_argument("bad test instant " + text);
  return *instant;
}

std::string text(const std::optional<Instant>& instant) {
  return instant ? formatInternetDateTime(*instant) : "none";
}

Preferences reminders(const char* zone, int hour, int minute, std::vector<std::int64_t> weekdays = {2, 3, 4, 5, 6},
                      std::int64_t weekStartsOn = 2) {
  Preferences preferences;
  preferences.timeZone = zone;
  preferences.remindersEnabled = true;
  preferences.reminderHour = hour;
  preferences.reminderMinute = minute;
  preferences.reminderWeekdays = std::move(weekdays);
  preferences.weekStartsOn = weekStartsOn;
  return preferences;
}

struct NextCase {
  const char* why;
  Preferences preferences;
  const char* after;
  const char* next;  // UTC, or "none"
};

TEST(ReminderScheduleTest, NextReminderIsTheChosenLocalTimeOnTheChosenDays) {
  Preferences disabled = reminders("UTC", 9, 0);
  disabled.remindersEnabled = false;
  const NextCase cases[] = {
      {"later today", reminders("UTC", 9, 0), "2026-03-04T08:00:00Z", "2026-03-04T09:00:00Z"},
      {"strictly after: the same minute is tomorrow's", reminders("UTC", 9, 0), "2026-03-04T09:00:00Z",
       "2026-03-05T09:00:00Z"},
      {"Friday afternoon: Monday", reminders("UTC", 9, 0), "2026-03-06T10:00:00Z", "2026-03-09T09:00:00Z"},
      {"the reporting zone, not the machine's", reminders("America/New_York", 9, 30), "2026-03-04T12:00:00Z",
       "2026-03-04T14:30:00Z"},
      // Saturday 05:00 in Tokyo while it is still Friday in UTC: the next weekday is Monday.
      {"the zone's weekday", reminders("Asia/Tokyo", 9, 0), "2026-03-06T20:00:00Z", "2026-03-09T00:00:00Z"},
      {"Sunday is 1 with weeks from Monday", reminders("UTC", 7, 15, {1}, 2), "2026-03-04T00:00:00Z",
       "2026-03-08T07:15:00Z"},
      {"Sunday is 1 with weeks from Sunday", reminders("UTC", 7, 15, {1}, 1), "2026-03-04T00:00:00Z",
       "2026-03-08T07:15:00Z"},
      {"Saturday is 7, repeats harmless", reminders("UTC", 23, 59, {7, 7}), "2026-03-07T23:59:00Z",
       "2026-03-14T23:59:00Z"},
      // Berlin skips 02:00 to 03:00 on 29 March 2026 (a Sunday): 03:00 CEST.
      {"in a gap: the end of the gap", reminders("Europe/Berlin", 2, 30, {1}), "2026-03-28T12:00:00Z",
       "2026-03-29T01:00:00Z"},
      // Santiago skips midnight: 00:15 on 11 September 2022 (a Sunday) falls at 01:00.
      {"midnight skipped", reminders("America/Santiago", 0, 15, {1}), "2022-09-10T12:00:00Z",
       "2022-09-11T04:00:00Z"},
      // Berlin reads 02:30 twice on 25 October 2026: the first reading (CEST) ...
      {"in an overlap: the first reading", reminders("Europe/Berlin", 2, 30, {1}), "2026-10-24T12:00:00Z",
       "2026-10-25T00:30:00Z"},
      // ... and never the second: the next one is a week later.
      {"in an overlap: once", reminders("Europe/Berlin", 2, 30, {1}), "2026-10-25T00:30:00Z",
       "2026-11-01T01:30:00Z"},
      // Past the transitions the zone file lists, its closing rule still moves the clocks.
      {"a gap after 2037", reminders("America/New_York", 2, 30, {1}), "2040-03-10T12:00:00Z",
       "2040-03-11T07:00:00Z"},
      {"summer time after 2037", reminders("America/New_York", 9, 0), "2040-07-02T00:00:00Z",
       "2040-07-02T13:00:00Z"},
      {"no weekday chosen", reminders("UTC", 9, 0, {}), "2026-03-04T08:00:00Z", "none"},
      {"reminders off", disabled, "2026-03-04T08:00:00Z", "none"},
  };
  for (const NextCase& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(text(nextReminder(c.preferences, at(c.after))), c.next);
  }
}

TEST(ReminderScheduleTest, LatestReminderIsTheLastOneAtOrBefore) {
  const Preferences weekdays = reminders("Europe/Berlin", 9, 0);
  EXPECT_EQ(text(latestReminder(weekdays, at("2026-03-04T08:00:00Z"))), "2026-03-04T08:00:00Z");
  EXPECT_EQ(text(latestReminder(weekdays, at("2026-03-04T07:59:59Z"))), "2026-03-03T08:00:00Z");
  EXPECT_EQ(text(latestReminder(weekdays, at("2026-03-09T07:00:00Z"))), "2026-03-06T08:00:00Z");  // Monday early
  EXPECT_EQ(text(latestReminder(reminders("Europe/Berlin", 2, 30, {1}), at("2026-10-25T02:00:00Z"))),
            "2026-10-25T00:30:00Z");  // past both readings of 02:30: the first
  EXPECT_EQ(text(latestReminder(reminders("UTC", 9, 0, {}), at("2026-03-04T10:00:00Z"))), "none");
}

// A host's clock as a list of moments it asks at, with what each question should show.
struct Step {
  const char* now;
  const char* shown;  // "none" or the reminder's instant
  bool mayRemind = true;
};

void play(ReminderSchedule& schedule, const Preferences& preferences, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    SCOPED_TRACE(step.now);
    EXPECT_EQ(text(schedule.due(preferences, at(step.now), [&] { return step.mayRemind; })), step.shown);
  }
}

TEST(ReminderScheduleTest, EachReminderIsShownOnceWhileFresh) {
  const Preferences nine = reminders("UTC", 9, 0);
  struct Scenario {
    const char* why;
    std::vector<Step> steps;
  };
  const Scenario scenarios[] = {
      {"on time, once",
       {{"2026-03-04T08:59:59Z", "none"}, {"2026-03-04T09:00:00Z", "2026-03-04T09:00:00Z"},
        {"2026-03-04T09:00:01Z", "none"}, {"2026-03-04T09:30:00Z", "none"},
        {"2026-03-05T09:00:00.5Z", "2026-03-05T09:00:00Z"}}},
      {"started 59 minutes late", {{"2026-03-04T09:59:00Z", "2026-03-04T09:00:00Z"}, {"2026-03-04T09:59:01Z", "none"}}},
      {"started an hour late", {{"2026-03-04T10:00:00Z", "none"}}},
      {"back from a suspend within the hour",
       {{"2026-03-04T08:50:00Z", "none"}, {"2026-03-04T09:40:00Z", "2026-03-04T09:00:00Z"}}},
      // Days of reminders passed while suspended: only the last, and only while fresh.
      {"no burst after days away",
       {{"2026-03-02T08:00:00Z", "none"}, {"2026-03-06T09:20:00Z", "2026-03-06T09:00:00Z"},
        {"2026-03-06T09:21:00Z", "none"}}},
      {"stale after days away", {{"2026-03-02T08:00:00Z", "none"}, {"2026-03-06T11:00:00Z", "none"}}},
      {"the clock set back does not show it again",
       {{"2026-03-04T09:00:00Z", "2026-03-04T09:00:00Z"}, {"2026-03-04T09:05:00Z", "none"},
        {"2026-03-04T08:55:00Z", "none"}, {"2026-03-04T09:00:00Z", "none"}, {"2026-03-04T09:00:30Z", "none"}}},
      {"a clock a day ahead, set right: that day's again",
       {{"2026-03-05T09:00:00Z", "2026-03-05T09:00:00Z"}, {"2026-03-04T08:00:00Z", "none"},
        {"2026-03-04T09:00:00Z", "2026-03-04T09:00:00Z"}}},
      {"the clock set forward into the hour",
       {{"2026-03-04T07:00:00Z", "none"}, {"2026-03-04T09:10:00Z", "2026-03-04T09:00:00Z"}}},
      {"refused while a timer runs, not shown later",
       {{"2026-03-04T08:59:59Z", "none"}, {"2026-03-04T09:00:00Z", "none", false},
        {"2026-03-04T09:00:01Z", "none"}, {"2026-03-04T09:30:00Z", "none"}}},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.why);
    ReminderSchedule schedule;
    play(schedule, nine, scenario.steps);
  }
}

TEST(ReminderScheduleTest, ARestartDoesNotShowTheRememberedReminderAgain) {
  const Preferences nine = reminders("UTC", 9, 0);
  ReminderSchedule first;
  play(first, nine, {{"2026-03-04T09:00:00Z", "2026-03-04T09:00:00Z"}});
  ReminderSchedule restarted(first.lastDue());
  play(restarted, nine, {{"2026-03-04T09:10:00Z", "none"}, {"2026-03-05T09:00:00Z", "2026-03-05T09:00:00Z"}});
  // One refused while a timer ran counts as found due too.
  ReminderSchedule refused;
  play(refused, nine, {{"2026-03-04T09:00:00Z", "none", false}});
  EXPECT_EQ(text(refused.lastDue()), "2026-03-04T09:00:00Z");
  // Remembered from a clock that was years ahead: forgotten once the clock is right.
  ReminderSchedule afterWrongClock(at("2030-01-01T09:00:00Z"));
  play(afterWrongClock, nine, {{"2026-03-04T08:59:59Z", "none"}, {"2026-03-04T09:00:00Z", "2026-03-04T09:00:00Z"}});
}

TEST(ReminderScheduleTest, PreferenceChangesCountFromTheNextQuestion) {
  ReminderSchedule schedule;
  play(schedule, reminders("UTC", 9, 0), {{"2026-03-04T08:59:00Z", "none"}});
  // Moved later: nothing at 09:00, the new time instead.
  play(schedule, reminders("UTC", 9, 10),
       {{"2026-03-04T09:00:00Z", "none"}, {"2026-03-04T09:10:00Z", "2026-03-04T09:10:00Z"}});
  // A time set that has already passed today is not shown at once: it is tomorrow's.
  play(schedule, reminders("UTC", 8, 30),
       {{"2026-03-04T09:20:00Z", "none"}, {"2026-03-05T08:30:00Z", "2026-03-05T08:30:00Z"}});
  // Into another zone: 09:00 in Tokyo is 00:00 UTC.
  play(schedule, reminders("Asia/Tokyo", 9, 0),
       {{"2026-03-05T23:59:59Z", "none"}, {"2026-03-06T00:00:00Z", "2026-03-06T00:00:00Z"}});
  // Turned off and on again within the minute: the question in between saw nothing due.
  Preferences off = reminders("UTC", 9, 0);
  off.remindersEnabled = false;
  play(schedule, off, {{"2026-03-09T09:00:00Z", "none"}});
  play(schedule, reminders("UTC", 9, 0),
       {{"2026-03-09T09:00:01Z", "none"}, {"2026-03-10T09:00:00Z", "2026-03-10T09:00:00Z"}});
}

TEST(ReminderScheduleTest, AsksWhetherItMayRemindOnlyWhenOneIsDue) {
  ReminderSchedule schedule;
  int asked = 0;
  auto count = [&] {
    ++asked;
    return true;
  };
  const Preferences nine = reminders("UTC", 9, 0);
  schedule.due(nine, at("2026-03-04T08:00:00Z"), count);
  schedule.due(nine, at("2026-03-04T08:59:59Z"), count);
  EXPECT_EQ(asked, 0);
  schedule.due(nine, at("2026-03-04T09:00:00Z"), count);
  schedule.due(nine, at("2026-03-04T09:00:01Z"), count);
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace pellam::host::testing
