#include "core/calendar/reporting_calendar.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace pellam {
namespace {

Instant at(const std::string& text) {
  auto instant = parseInternetDateTime(text, FractionalSeconds::Allowed);
  if (!instant) throw std::invalid_argument("bad test instant " + text);
  return *instant;
}

struct DayStartCase {
  const char* zone;
  const char* inside;    // any instant on the day
  const char* expected;  // the first instant of that day, UTC
  double hours;          // the day's length
};

TEST(ReportingCalendarTest, StartOfDayIsTheFirstInstantOfTheLocalDay) {
  const DayStartCase cases[] = {
      {"UTC", "2026-03-04T12:00:00Z", "2026-03-04T00:00:00Z", 24},
      {"America/New_York", "2026-03-04T03:00:00Z", "2026-03-03T05:00:00Z", 24},
      {"Europe/Berlin", "2026-03-29T12:00:00Z", "2026-03-28T23:00:00Z", 23},  // gap at 02:00
      // Midnight itself skipped: the day begins when the gap ends, at 01:00 local.
      {"America/Santiago", "2022-09-11T15:00:00Z", "2022-09-11T04:00:00Z", 23},
      {"America/Havana", "2023-03-12T15:00:00Z", "2023-03-12T05:00:00Z", 23},
      {"Asia/Beirut", "2022-03-27T10:00:00Z", "2022-03-26T22:00:00Z", 23},
      {"America/Sao_Paulo", "2018-11-04T12:00:00Z", "2018-11-04T03:00:00Z", 23},
      // Midnight happens twice (clocks go back from 01:00 to 00:00): the earlier one.
      {"America/Havana", "2022-11-06T12:00:00Z", "2022-11-06T04:00:00Z", 25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.inside);
    ReportingCalendar calendar(c.zone, 2);
    Instant start = calendar.startOfDay(at(c.inside));
    EXPECT_EQ(formatInternetDateTime(start), c.expected);
    CalendarInterval day = calendar.day(at(c.inside));
    EXPECT_EQ(day.start, start);
    EXPECT_DOUBLE_EQ(day.end.seconds - day.start.seconds, c.hours * 3600);
    EXPECT_EQ(calendar.startOfNextDay(start), day.end);
    // The start of a day is itself on that day.
    EXPECT_EQ(calendar.startOfDay(start), start);
  }
}

TEST(ReportingCalendarTest, FractionalInstantsBelongToTheirDay) {
  ReportingCalendar calendar("UTC", 2);
  Instant lastMoment = Instant{at("2026-03-05T00:00:00Z").seconds - 0.25};
  EXPECT_EQ(formatInternetDateTime(calendar.startOfDay(lastMoment)), "2026-03-04T00:00:00Z");
}

struct WeekCase {
  int firstWeekday;
  const char* inside;
  const char* expected;
};

TEST(ReportingCalendarTest, WeekStartsOnThePreferenceWeekday) {
  // 2026-03-04 is a Wednesday, 2026-03-08 a Sunday, 2026-02-28 a Saturday.
  const WeekCase cases[] = {
      {1, "2026-03-04T12:00:00Z", "2026-03-01T00:00:00Z"},
      {2, "2026-03-04T12:00:00Z", "2026-03-02T00:00:00Z"},
      {7, "2026-03-04T12:00:00Z", "2026-02-28T00:00:00Z"},
      {4, "2026-03-04T12:00:00Z", "2026-03-04T00:00:00Z"},
      {5, "2026-03-04T12:00:00Z", "2026-02-26T00:00:00Z"},
      {1, "2026-03-08T12:00:00Z", "2026-03-08T00:00:00Z"},  // a Sunday starts a new week
      {2, "2026-03-08T12:00:00Z", "2026-03-02T00:00:00Z"},  // ... or ends the Monday week
      {7, "2026-02-28T00:00:00Z", "2026-02-28T00:00:00Z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.firstWeekday) + " " + c.inside);
    ReportingCalendar calendar("UTC", c.firstWeekday);
    EXPECT_EQ(formatInternetDateTime(calendar.startOfWeek(at(c.inside))), c.expected);
    CalendarInterval week = calendar.week(at(c.inside));
    EXPECT_EQ(formatInternetDateTime(week.start), c.expected);
    EXPECT_EQ(calendar.daysBetween(week.start, week.end), 7);
  }
}

TEST(ReportingCalendarTest, WeekAcrossADaylightSavingChangeIsSevenCalendarDays) {
  ReportingCalendar calendar("Europe/Berlin", 2);
  CalendarInterval week = calendar.week(at("2026-03-29T12:00:00Z"));  // a Sunday
  EXPECT_EQ(formatInternetDateTime(week.start), "2026-03-22T23:00:00Z");
  EXPECT_EQ(formatInternetDateTime(week.end), "2026-03-29T22:00:00Z");
}

// Samoa skipped Friday 2011-12-30: Thursday 23:59:59 at -10:00 was followed by Saturday
// 00:00 at +14:00, 2011-12-30T10:00:00Z.
TEST(ReportingCalendarTest, AWeekWhoseFirstDayWasSkippedStartsAfterTheGapAndIsShorter) {
  const ReportingCalendar calendar("Pacific/Apia", 6);  // weeks start on Friday
  const struct {
    const char* inside;
    const char* start;
    const char* end;
  } cases[] = {
      {"2011-12-30T12:00:00Z", "2011-12-30T10:00:00Z", "2012-01-05T10:00:00Z"},  // six days
      {"2012-01-05T09:59:59Z", "2011-12-30T10:00:00Z", "2012-01-05T10:00:00Z"},
      {"2012-01-05T10:00:00Z", "2012-01-05T10:00:00Z", "2012-01-12T10:00:00Z"},
      {"2012-01-06T12:00:00Z", "2012-01-05T10:00:00Z", "2012-01-12T10:00:00Z"},
      {"2011-12-29T12:00:00Z", "2011-12-23T10:00:00Z", "2011-12-30T10:00:00Z"},  // the week before
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inside);
    const CalendarInterval week = calendar.week(at(c.inside));
    EXPECT_EQ(formatInternetDateTime(week.start), c.start);
    EXPECT_EQ(formatInternetDateTime(week.end), c.end);
    EXPECT_EQ(calendar.startOfWeek(at(c.inside)), week.start);
    // The week after begins where this one ends.
    EXPECT_EQ(calendar.week(week.end).start, week.end);
  }
}

TEST(ReportingCalendarTest, MonthAndYearFollowTheZone) {
  ReportingCalendar calendar("America/Los_Angeles", 2);
  // 2026-03-01T05:00Z is still February 28 in Los Angeles.
  Instant instant = at("2026-03-01T05:00:00Z");
  EXPECT_EQ(formatInternetDateTime(calendar.startOfMonth(instant)), "2026-02-01T08:00:00Z");
  CalendarInterval month = calendar.month(instant);
  EXPECT_EQ(formatInternetDateTime(month.end), "2026-03-01T08:00:00Z");
  EXPECT_EQ(formatInternetDateTime(calendar.startOfYear(instant)), "2026-01-01T08:00:00Z");
  CalendarInterval year = calendar.year(instant);
  EXPECT_EQ(formatInternetDateTime(year.end), "2027-01-01T08:00:00Z");
  CalendarInterval december = calendar.month(at("2026-12-15T12:00:00Z"));
  EXPECT_EQ(formatInternetDateTime(december.end), "2027-01-01T08:00:00Z");
}

TEST(ReportingCalendarTest, DaysBetweenCountsCalendarDays) {
  ReportingCalendar calendar("Europe/Berlin", 2);
  EXPECT_EQ(calendar.daysBetween(at("2026-03-28T12:00:00Z"), at("2026-03-30T00:30:00Z")), 2);
  EXPECT_EQ(calendar.daysBetween(at("2026-03-30T00:30:00Z"), at("2026-03-28T12:00:00Z")), -2);
  EXPECT_EQ(calendar.daysBetween(at("2026-03-28T22:59:59Z"), at("2026-03-28T23:00:00Z")), 1);
  EXPECT_EQ(formatInternetDateTime(calendar.addDays(at("2026-03-30T10:00:00Z"), -2)), "2026-03-27T23:00:00Z");
}

struct ParseDayCase {
  const char* text;
  const char* expected;  // nullptr: refused
};

TEST(ReportingCalendarTest, ParseDayChecksShapeThenValidity) {
  ReportingCalendar calendar("America/New_York", 2);
  const ParseDayCase cases[] = {
      {"2026-03-31", "2026-03-31T04:00:00Z"},
      {"2024-02-29", "2024-02-29T05:00:00Z"},
      {"6706-02-28", "6706-02-28T05:00:00Z"},
      {"9999-12-31", "9999-12-31T05:00:00Z"},
      {"2026-02-30", nullptr},
      {"2025-02-29", nullptr},
      {"2026-13-01", nullptr},
      {"2026-00-10", nullptr},
      {"2026-01-00", nullptr},
      {"0000-01-01", nullptr},
      {"2026-3-31", nullptr},
      {"2026-03-31 ", nullptr},
      {" 2026-03-31", nullptr},
      {"2026/03/31", nullptr},
      {"+026-03-31", nullptr},
      {"2026-03-31T00:00:00Z", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto day = calendar.parseDay(c.text);
    if (c.expected == nullptr) {
      EXPECT_FALSE(day.has_value());
    } else {
      ASSERT_TRUE(day.has_value());
      EXPECT_EQ(formatInternetDateTime(*day), c.expected);
      EXPECT_EQ(calendar.formatDay(*day), c.text);
    }
  }
}

TEST(ReportingCalendarTest, ParseDayOfASkippedMidnight) {
  ReportingCalendar calendar("America/Santiago", 2);
  auto day = calendar.parseDay("2022-09-11");
  ASSERT_TRUE(day.has_value());
  EXPECT_EQ(formatInternetDateTime(*day), "2022-09-11T04:00:00Z");
  EXPECT_EQ(calendar.formatDay(*day), "2022-09-11");
}

TEST(ReportingCalendarTest, FormatDayUsesTheZone) {
  Instant instant = at("2026-03-01T05:00:00Z");
  EXPECT_EQ(ReportingCalendar("UTC", 2).formatDay(instant), "2026-03-01");
  EXPECT_EQ(ReportingCalendar("America/Los_Angeles", 2).formatDay(instant), "2026-02-28");
  EXPECT_EQ(ReportingCalendar("Asia/Tokyo", 2).formatDay(instant), "2026-03-01");
}

TEST(ReportingCalendarTest, ZoneNamesAreCaseSensitive) {
  const char* saved = std::getenv("TZ");
  std::string savedZone = saved ? saved : "";
  ::setenv("TZ", "Asia/Tokyo", 1);
  EXPECT_EQ(ReportingCalendar("Europe/Berlin", 2).zone().name(), "Europe/Berlin");
  // An unknown name falls back to the machine's zone rather than to the look-alike.
  EXPECT_EQ(ReportingCalendar("europe/berlin", 2).zone().name(), "Asia/Tokyo");
  EXPECT_EQ(ReportingCalendar("", 2).zone().name(), "Asia/Tokyo");
  if (saved) {
    ::setenv("TZ", savedZone.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
}

}  // namespace
}  // namespace pellam
