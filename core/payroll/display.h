#pragma once
// Hours and money as people read them.
#include <string>
#include <string_view>

#include "core/decimal.h"

namespace pellam {

// With `decimal`, the hours to two places: "7.50 h". Without, whole hours and minutes, the
// seconds' fraction of a minute dropped: "7h 05m". Negative seconds count as 0.
std::string hours(double seconds, bool decimal);

// The amount in the ISO 4217 currency `currency`, in the conventions of the user's locale
// (ICU's default locale, from the environment): "$1,234.50" in en_US, "1.234,50 €" in de_DE.
// Formatted from the decimal's digits, never through a double.
std::string money(const Decimal& value, std::string_view currency);
// The same in a named ICU locale ("en_US", "de_DE", ...).
std::string money(const Decimal& value, std::string_view currency, std::string_view locale);

}  // namespace pellam
