#include "core/calendar/reporting_calendar.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "core/calendar/current_time_zone.h"

namespace pellam {

namespace {

const ZoneRules* zoneNamed(std::string_view name) {
  if (const ZoneRules* zone = ZoneRules::named(name)) return zone;
  if (const ZoneRules* zone = ZoneRules::named(currentTimeZoneIdentifier())) return zone;
  return ZoneRules::named("UTC");
}

// Instants far outside any real record (and NaN) are pinned to a span the calendar can
// represent, so arithmetic on them stays defined. The span covers every day parseDay reads
// (years 1 to 9999), so each of them formats back to its own text.
date::sys_seconds systemSeconds(Instant instant) {
  constexpr double limit = 400'000'000'000.0;  // about 12,700 years either side of 1970
  double unix = instant.unixSeconds();
  if (std::isnan(unix)) unix = 0;
  if (unix > limit) unix = limit;
  if (unix < -limit) unix = -limit;
  return date::sys_seconds{std::chrono::seconds(static_cast<std::int64_t>(std::floor(unix)))};
}

bool digitsAt(std::string_view text, std::size_t from, std::size_t count, unsigned& value) {
  value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return true;
}

}  // namespace

ReportingCalendar::ReportingCalendar(std::string_view zoneName, std::int64_t firstWeekday)
    : zone_(zoneNamed(zoneName)), firstWeekday_(firstWeekday >= 1 && firstWeekday <= 7 ? static_cast<int>(firstWeekday) : 2) {}

date::local_days ReportingCalendar::localDay(Instant instant) const {
  return date::floor<date::days>(zone_->toLocal(systemSeconds(instant)));
}

Instant ReportingCalendar::startOf(date::local_days day) const {
  // The earliest reading also answers a skipped midnight: the instant the gap ends.
  date::sys_seconds start = zone_->earliest(date::local_seconds{day});
  return Instant::fromUnix(static_cast<double>(start.time_since_epoch().count()));
}

date::year_month_day ReportingCalendar::localDate(Instant instant) const {
  return date::year_month_day{localDay(instant)};
}

Instant ReportingCalendar::startOfDay(const date::year_month_day& day) const {
  return startOf(date::local_days{day});
}

Instant ReportingCalendar::startOfDay(Instant instant) const { return startOf(localDay(instant)); }

Instant ReportingCalendar::addDays(Instant instant, std::int64_t days) const {
  return startOf(localDay(instant) + date::days{days});
}

std::int64_t ReportingCalendar::daysBetween(Instant from, Instant to) const {
  return (localDay(to) - localDay(from)).count();
}

date::local_days ReportingCalendar::firstDayOfWeek(date::local_days day) const {
  unsigned weekday = date::weekday{day}.c_encoding();  // 0 = Sunday
  unsigned first = static_cast<unsigned>(firstWeekday_ - 1);
  return day - date::days{(weekday + 7 - first) % 7};
}

Instant ReportingCalendar::startOfWeek(Instant instant) const { return startOf(firstDayOfWeek(localDay(instant))); }

Instant ReportingCalendar::startOfMonth(Instant instant) const {
  date::year_month_day day{localDay(instant)};
  return startOf(date::local_days{day.year() / day.month() / 1});
}

Instant ReportingCalendar::startOfYear(Instant instant) const {
  date::year_month_day day{localDay(instant)};
  return startOf(date::local_days{day.year() / date::January / 1});
}

CalendarInterval ReportingCalendar::day(Instant instant) const {
  date::local_days day = localDay(instant);
  return {startOf(day), startOf(day + date::days{1})};
}

CalendarInterval ReportingCalendar::week(Instant instant) const {
  // Both ends from the calendar days: when the first day was skipped, its start lies on the
  // next day, and counting seven days from there would end the week a day late.
  date::local_days first = firstDayOfWeek(localDay(instant));
  return {startOf(first), startOf(first + date::days{7})};
}

CalendarInterval ReportingCalendar::month(Instant instant) const {
  date::year_month_day day{localDay(instant)};
  date::year_month first = day.year() / day.month();
  date::year_month next = first + date::months{1};
  return {startOf(date::local_days{first / 1}), startOf(date::local_days{next / 1})};
}

CalendarInterval ReportingCalendar::year(Instant instant) const {
  date::year_month_day day{localDay(instant)};
  return {startOf(date::local_days{day.year() / date::January / 1}),
          startOf(date::local_days{(day.year() + date::years{1}) / date::January / 1})};
}

std::optional<Instant> ReportingCalendar::parseDay(std::string_view text) const {
  // The shape first (^[0-9]{4}-[0-9]{2}-[0-9]{2}$), then whether the day exists.
  unsigned year, month, day;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !digitsAt(text, 0, 4, year) ||
      !digitsAt(text, 5, 2, month) || !digitsAt(text, 8, 2, day)) {
    return std::nullopt;
  }
  // Year 0 has no Gregorian "yyyy" text of its own (it is 1 BC), so it names no day here.
  date::year_month_day date{date::year{static_cast<int>(year)}, date::month{month}, date::day{day}};
  if (year == 0 || !date.ok()) return std::nullopt;
  return startOfDay(date);
}

std::string ReportingCalendar::formatDay(Instant instant) const {
  date::year_month_day day = localDate(instant);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return text;
}

}  // namespace pellam
