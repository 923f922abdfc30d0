#include "core/instant.h"

#include <date/date.h>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace pellam {

Instant Instant::now() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return fromUnix(std::chrono::duration<double>(since).count());
}

namespace {

// 0001-01-01T00:00:00Z and 10000-01-01T00:00:00Z in seconds since 2001.
constexpr double kCalendarStart = -63113904000.0;
constexpr double kCalendarEnd = 252423993600.0;

bool digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

std::optional<Instant> parseInternetDateTime(std::string_view text, FractionalSeconds fraction, Years years) {
  int year, month, day, hour, minute, second;
  if (!digits(text, 0, 4, year) || text.size() < 20 || text[4] != '-' || !digits(text, 5, 2, month) ||
      text[7] != '-' || !digits(text, 8, 2, day) || text[10] != 'T' || !digits(text, 11, 2, hour) ||
      text[13] != ':' || !digits(text, 14, 2, minute) || text[16] != ':' || !digits(text, 17, 2, second)) {
    return std::nullopt;
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  date::year_month_day ymd{date::year(year), date::month(static_cast<unsigned>(month)),
                           date::day(static_cast<unsigned>(day))};
  if (!ymd.ok()) return std::nullopt;

  std::size_t at = 19;
  double fractionValue = 0;
  if (at < text.size() && text[at] == '.') {
    if (fraction == FractionalSeconds::Refused) return std::nullopt;
    std::size_t start = ++at;
    double scale = 0.1;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      fractionValue += (text[at] - '0') * scale;
      scale /= 10;
      ++at;
    }
    if (at == start) return std::nullopt;
  }
  int offsetSeconds = 0;
  if (at < text.size() && text[at] == 'Z') {
    ++at;
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    int sign = text[at] == '-' ? -1 : 1;
    int offsetHours, offsetMinutes;
    if (!digits(text, at + 1, 2, offsetHours) || at + 3 >= text.size() || text[at + 3] != ':' ||
        !digits(text, at + 4, 2, offsetMinutes) || offsetHours > 23 || offsetMinutes > 59) {
      return std::nullopt;
    }
    offsetSeconds = sign * (offsetHours * 3600 + offsetMinutes * 60);
    at += 6;
  } else {
    return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;

  auto days = date::sys_days(ymd).time_since_epoch().count();
  double unix = static_cast<double>(days) * 86400.0 + hour * 3600 + minute * 60 + second - offsetSeconds;
  const Instant instant = Instant::fromUnix(unix + fractionValue);
  if (years == Years::Calendar && !isWithinCalendar(instant)) return std::nullopt;
  return instant;
}

bool isWithinCalendar(Instant instant) {
  return instant.seconds >= kCalendarStart && instant.seconds < kCalendarEnd;
}

std::optional<Instant> parseDateText(std::string_view text, Years years) {
  if (auto instant = parseInternetDateTime(text, FractionalSeconds::Allowed, years)) return instant;
  return parseInternetDateTime(text, FractionalSeconds::Refused, years);
}

std::string formatInternetDateTime(Instant instant) {
  std::string text;
  appendInternetDateTime(text, instant);
  return text;
}

void appendInternetDateTime(std::string& out, Instant instant) {
  auto whole = static_cast<long long>(std::floor(instant.unixSeconds()));
  date::sys_seconds moment{std::chrono::seconds(whole)};
  auto day = date::floor<date::days>(moment);
  date::year_month_day ymd(day);
  date::hh_mm_ss<std::chrono::seconds> time(moment - day);
  const int year = static_cast<int>(ymd.year());
  if (year >= 0 && year <= 9999) {
    // Digit by digit: exports write two dates for every entry, and snprintf costs more than
    // the rest of the row.
    char text[20] = {'0', '0', '0', '0', '-', '0', '0', '-', '0', '0', 'T', '0', '0', ':', '0', '0', ':', '0', '0', 'Z'};
    auto put = [&](int at, int width, unsigned value) {
      for (int i = at + width - 1; i >= at; --i, value /= 10) text[i] = static_cast<char>('0' + value % 10);
    };
    put(0, 4, static_cast<unsigned>(year));
    put(5, 2, static_cast<unsigned>(ymd.month()));
    put(8, 2, static_cast<unsigned>(ymd.day()));
    put(11, 2, static_cast<unsigned>(time.hours().count()));
    put(14, 2, static_cast<unsigned>(time.minutes().count()));
    put(17, 2, static_cast<unsigned>(time.seconds().count()));
    out.append(text, sizeof text);
    return;
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", year,
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  out += buffer;
}

}  // namespace pellam
