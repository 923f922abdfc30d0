#include <gtest/gtest.h>

#include <string>

#include "core/payroll/display.h"
#include "support/fixture_values.h"

namespace pellam::testing {
namespace {

struct HoursCase {
  double seconds;
  bool decimal;
  const char* expected;
};

TEST(HoursTest, WritesDecimalHoursOrHoursAndMinutes) {
  const HoursCase cases[] = {
      {3599, false, "0h 59m"},   {3599.99, false, "0h 59m"}, {5400, true, "1.50 h"},
      {27000, true, "7.50 h"},   {25500, false, "7h 05m"},   {-5, false, "0h 00m"},
      {-5, true, "0.00 h"},      {360000, false, "100h 00m"}, {0.0, true, "0.00 h"},
      {3600 * 1.005, true, "1.00 h"},  // 1.00499999... in binary
  };
  for (const HoursCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.seconds));
    EXPECT_EQ(hours(c.seconds, c.decimal), c.expected);
  }
}

struct MoneyCase {
  const char* value;
  const char* currency;
  const char* locale;
  const char* expected;
};

TEST(MoneyTest, FormatsTheDecimalInTheLocalesCurrencyConventions) {
  const MoneyCase cases[] = {
      {"1234.5", "USD", "en_US", "$1,234.50"},
      {"-1234.5", "USD", "en_US", "-$1,234.50"},
      {"1234.5", "EUR", "de_DE", "1.234,50\u00a0\u20ac"},
      {"1234.5", "JPY", "ja_JP", "\uffe51,234"},  // no minor unit; half-even
      {"0.125", "USD", "en_US", "$0.12"},
      // More digits than a double holds: formatted from the decimal itself.
      {"12345678901234567.125", "USD", "en_US", "$12,345,678,901,234,567.12"},
      {"2.5", "usd", "en_US", "$2.50"},
      {"2.5", "US", "en_US", "2.5 US"},  // not a currency code: the amount and the text
  };
  for (const MoneyCase& c : cases) {
    SCOPED_TRACE(std::string(c.value) + " " + c.currency + " " + c.locale);
    EXPECT_EQ(money(dec(c.value), c.currency, c.locale), c.expected);
  }
}

}  // namespace
}  // namespace pellam::testing
