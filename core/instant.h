#pragma once
#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace pellam {

// A moment in time as seconds since 2001-01-01T00:00:00Z, the archive's own unit.
struct Instant {
  double seconds = 0;

  static constexpr double kUnixEpochOffset = 978307200.0;  // 1970 -> 2001

  static Instant fromUnix(double unixSeconds) { return Instant{unixSeconds - kUnixEpochOffset}; }
  double unixSeconds() const { return seconds + kUnixEpochOffset; }
  static Instant now();

  auto operator<=>(const Instant&) const = default;
};

// Whether the instant lies in the years 0001 to 9999 (UTC), the span the ISO 8601 text can
// show. Dates outside it (or not finite) are refused wherever a date enters.
bool isWithinCalendar(Instant instant);

enum class FractionalSeconds { Refused, Allowed };

// Whether a text date must name an instant inside the calendar. Only readers of records kept
// earlier take any: such a record stays readable, and what a change makes of it is checked.
enum class Years { Calendar, Any };

// ISO 8601 internet date-time: YYYY-MM-DDTHH:MM:SS, optional fraction, then Z or +HH:MM/-HH:MM.
// With Years::Calendar, a text whose instant, once its offset is applied, falls outside the
// calendar reads as nothing.
std::optional<Instant> parseInternetDateTime(std::string_view text, FractionalSeconds fraction,
                                             Years years = Years::Calendar);

// A text date as records and arguments give it: with fractional seconds first, then
// without; an offset or Z is required. Records are read with Years::Any; a date given as an
// argument must lie in the calendar.
std::optional<Instant> parseDateText(std::string_view text, Years years = Years::Calendar);

// UTC with whole seconds (the fraction is dropped) and the designator Z.
std::string formatInternetDateTime(Instant instant);
// The same text appended to `out`: an export writes two or more for every entry, and a new
// string for each (too long to stay inside the string) costs as much as the digits.
void appendInternetDateTime(std::string& out, Instant instant);

}  // namespace pellam
