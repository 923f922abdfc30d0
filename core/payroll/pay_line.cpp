#include "core/payroll/pay_line.h"

#include <charconv>
#include <cmath>

namespace pellam {

std::string shortestRoundTrip(double value) {
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
  char buffer[400];
  // Plain notation: day starts are whole seconds well inside 10^16, where the platform's
  // own description of a double never switches to an exponent either.
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  std::string text(buffer, end);
  if (text.find('.') == std::string::npos) text += ".0";
  return text;
}

std::string PayLine::id() const {
  std::string text;
  text.reserve(64);
  entryID.appendText(text);
  text += '-';
  text += shortestRoundTrip(day.unixSeconds());
  return text;
}

}  // namespace pellam
