#pragma once
// The Gregorian calendar in which every day, week, month, year and pay period of the
// user's reports is taken: the preference time zone, the preference first weekday and a
// first week of at least one day.
#include <date/date.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/instant.h"
#include "core/calendar/zone_rules.h"

namespace pellam {

// A half-open span of time [start, end).
struct CalendarInterval {
  Instant start;
  Instant end;
  bool operator==(const CalendarInterval&) const = default;
};

class ReportingCalendar {
 public:
  // `zoneName` is an IANA identifier (case-sensitive); an unknown one falls back to the
  // machine's zone (core/calendar/current_time_zone.h), then to UTC. `firstWeekday` counts
  // 1 = Sunday through 7 = Saturday; values outside that range mean Monday.
  ReportingCalendar(std::string_view zoneName, std::int64_t firstWeekday);

  const ZoneRules& zone() const { return *zone_; }
  int firstWeekday() const { return firstWeekday_; }

  // The calendar day on which the instant falls in the zone.
  date::year_month_day localDate(Instant instant) const;
  // The first instant of that day: 00:00, or the end of the gap when midnight is skipped.
  Instant startOfDay(const date::year_month_day& day) const;
  Instant startOfDay(Instant instant) const;
  // The start of the day `days` calendar days after (or before) the day of `instant`.
  Instant addDays(Instant instant, std::int64_t days) const;
  Instant startOfNextDay(Instant instant) const { return addDays(instant, 1); }
  // Whole calendar days from the day of `from` to the day of `to` (negative when earlier).
  std::int64_t daysBetween(Instant from, Instant to) const;

  Instant startOfWeek(Instant instant) const;
  Instant startOfMonth(Instant instant) const;
  Instant startOfYear(Instant instant) const;

  CalendarInterval day(Instant instant) const;
  CalendarInterval week(Instant instant) const;
  CalendarInterval month(Instant instant) const;
  CalendarInterval year(Instant instant) const;

  // A plain "yyyy-MM-dd" day: its start in the zone, or nothing when the text has another
  // shape or names no real day (2026-02-30).
  std::optional<Instant> parseDay(std::string_view text) const;
  // The "yyyy-MM-dd" text of the day on which the instant falls.
  std::string formatDay(Instant instant) const;

 private:
  date::local_days localDay(Instant instant) const;
  // The week's first calendar day, on or before `day`.
  date::local_days firstDayOfWeek(date::local_days day) const;
  Instant startOf(date::local_days day) const;

  const ZoneRules* zone_;
  int firstWeekday_;
};

}  // namespace pellam
