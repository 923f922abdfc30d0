// The text forms of the core value types: Decimal numbers, ISO 8601 internet date-times and
// the backup's date texts, and the reporting calendar's yyyy-MM-dd days. Oracles: a
// Decimal's text reads back as the same value and is its own canonical text; a number
// with at most 38 significant digits converts to the same double as the C library's
// strtod; a date-time written back reads as the same whole second.
#include <cmath>
#include <cstdlib>

#include "core/decimal.h"
#include "core/instant.h"
#include "core/json.h"
#include "core/records/record_json.h"
#include "core/calendar/reporting_calendar.h"
#include "fuzz/fuzz_support.h"

namespace {

using pellam::Decimal;
using pellam::FractionalSeconds;
using pellam::Instant;
using pellam::fuzz::check;

// Significant digits of a JSON number's mantissa: leading and trailing zeros left out.
std::size_t significantDigits(std::string_view number) {
  std::string digits;
  for (char c : number) {
    if (c == 'e' || c == 'E') break;
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  return digits.find_last_not_of('0') - first + 1;
}

void checkDecimal(std::string_view text) {
  const std::optional<Decimal> value = Decimal::parse(text);
  if (!value) return;
  check(pellam::isJsonNumber(text), "Decimal accepted a text that is not a JSON number");
  const std::string written = value->text();
  const std::optional<Decimal> back = Decimal::parse(written);
  check(back && *back == *value, "Decimal text does not read back: " + written);
  check(back->text() == written, "Decimal text is not canonical: " + written);
  if (significantDigits(text) <= Decimal::kMaxDigits) {
    const double expected = std::strtod(std::string(text).c_str(), nullptr);
    check(value->toDouble() == expected, "Decimal to double differs from strtod for " + std::string(text));
  }
  const double nearest = value->toDouble();
  if (std::isfinite(nearest)) {
    const std::optional<Decimal> fromDouble = Decimal::fromDouble(nearest);
    check(!fromDouble || fromDouble->toDouble() == nearest, "double -> Decimal -> double changed the double");
  }
}

void checkDateTime(std::string_view text) {
  const auto whole = pellam::parseInternetDateTime(text, FractionalSeconds::Refused);
  const auto fractional = pellam::parseInternetDateTime(text, FractionalSeconds::Allowed);
  check(!whole || (fractional && *fractional == *whole), "a whole-second date-time is refused with fractions allowed");
  const auto backup = pellam::parseDateText(text);
  check(backup.has_value() == fractional.has_value(), "backup dates and internet date-times disagree");
  if (!fractional) return;
  check(*backup == *fractional, "backup date reads another instant");
  const std::string written = pellam::formatInternetDateTime(*fractional);
  // Only years 0000-9999 have four digits; an offset can carry the instant just outside,
  // where the writer gives "10000-..." or "-001-..." (by design, as its tests show).
  const auto again = pellam::parseInternetDateTime(written, FractionalSeconds::Refused);
  if (written.size() == 20 && written[0] >= '0' && written[0] <= '9') {
    check(again && again->seconds == std::floor(fractional->seconds), "date-time does not read back: " + written);
  }
}

void checkDay(std::string_view text) {
  static const pellam::ReportingCalendar calendar("America/New_York", 2);
  const std::optional<Instant> start = calendar.parseDay(text);
  if (!start) return;
  check(calendar.formatDay(*start) == text, "day does not format back: " + std::string(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = pellam::fuzz::text(data, size);
  checkDecimal(input);
  checkDateTime(input);
  checkDay(input);
  return 0;
}
