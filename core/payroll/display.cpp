#include "core/payroll/display.h"

#include <unicode/currunit.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace pellam {

std::string hours(double seconds, bool decimal) {
  const double payable = std::max(0.0, seconds);  // NaN counts as 0 too
  char text[64];
  if (decimal) {
    std::snprintf(text, sizeof text, "%.2f h", payable / 3600);
  } else {
    const auto minutes = static_cast<std::int64_t>(std::min(payable / 60, 9.2e18));
    std::snprintf(text, sizeof text, "%lldh %02lldm", static_cast<long long>(minutes / 60),
                  static_cast<long long>(minutes % 60));
  }
  return text;
}

namespace {

std::string formatted(const Decimal& value, std::string_view currency, const icu::Locale& locale) {
  const std::string amount = value.text();
  UErrorCode status = U_ZERO_ERROR;
  // ICU reads the code as UTF-16; only three ASCII letters make a currency.
  char16_t code[4] = {};
  bool usable = currency.size() == 3;
  for (std::size_t i = 0; usable && i < 3; ++i) {
    const char c = currency[i];
    usable = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    code[i] = static_cast<char16_t>(c >= 'a' ? c - 'a' + 'A' : c);
  }
  if (usable) {
    icu::CurrencyUnit unit(code, status);
    if (U_SUCCESS(status)) {
      icu::number::FormattedNumber number = icu::number::NumberFormatter::withLocale(locale)
                                                .unit(unit)
                                                .formatDecimal(icu::StringPiece(amount.data(),
                                                                                static_cast<int32_t>(amount.size())),
                                                               status);
      if (U_SUCCESS(status)) {
        std::string out;
        number.toString(status).toUTF8String(out);
        if (U_SUCCESS(status)) return out;
      }
    }
  }
  // Never fails: without a usable currency the amount is shown with the code beside it.
  return amount + " " + std::string(currency);
}

}  // namespace

std::string money(const Decimal& value, std::string_view currency) {
  return formatted(value, currency, icu::Locale::getDefault());
}

std::string money(const Decimal& value, std::string_view currency, std::string_view locale) {
  return formatted(value, currency, icu::Locale(std::string(locale).c_str()));
}

}  // namespace pellam
