#include "core/decimal.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellam {
namespace {

Decimal dec(std::string_view text) {
  auto value = Decimal::parse(text);
  if (!value) throw std::invalid_argument("not a decimal in a test: " + std::string(text));
  return *value;
}

std::string parsedText(std::string_view text) {
  auto value = Decimal::parse(text);
  return value ? value->text() : "invalid";
}

struct TextCase {
  std::string input;
  std::string expected;  // plain text, or "invalid"
};

TEST(DecimalParse, ReadsJsonNumbersAndPrintsPlainText) {
  const std::vector<TextCase> cases = {
      {"0", "0"},
      {"-0", "0"},
      {"-0.000", "0"},
      {"0e999999999999999999999", "0"},
      {"-0E-5000", "0"},
      {"12.50", "12.5"},
      {"12.5", "12.5"},
      {"1e3", "1000"},
      {"1E+3", "1000"},
      {"1.5e-3", "0.0015"},
      {"-25", "-25"},
      {"100", "100"},
      {"0.1", "0.1"},
      {"0.000", "0"},
      {"1.000000", "1"},
      {"123.4500e1", "1234.5"},
      {"1000000.01", "1000000.01"},
      {"-3.0", "-3"},
      {"5e-1", "0.5"},
      {"0.0001e4", "1"},
      {"1e00", "1"},
      // 38 significant digits are kept exactly.
      {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
      {"0.12345678901234567890123456789012345678", "0.12345678901234567890123456789012345678"},
      {"99999999999999999999999999999999999999", "99999999999999999999999999999999999999"},
      // Beyond 38 significant digits the text is rounded half-even, once.
      {"123456789012345678901234567890123456785", "123456789012345678901234567890123456780"},
      {"123456789012345678901234567890123456775", "123456789012345678901234567890123456780"},
      {"1234567890123456789012345678901234567850000001", "1234567890123456789012345678901234567900000000"},
      {"999999999999999999999999999999999999995", "1000000000000000000000000000000000000000"},
      {"1.000000000000000000000000000000000000049", "1"},
      {"0.00000000000000000000000000000000000000000000000000000000000000000001", "0.00000000000000000000000000000000000000000000000000000000000000000001"},
      // Leading and trailing zeros are not significant digits.
      {"000", "invalid"},
      {"100000000000000000000000000000000000000000000000000", "100000000000000000000000000000000000000000000000000"},
      // Range: steps down to 10^-128 and magnitudes below 10^165.
      {"1e-128", "0." + std::string(127, '0') + "1"},
      {"1e-129", "invalid"},
      {"1.5e-128", "invalid"},
      {"10e-129", "0." + std::string(127, '0') + "1"},
      {"1e164", "1" + std::string(164, '0')},
      {"9.9999999999999999999999999999999999999e164", "99999999999999999999999999999999999999" + std::string(127, '0')},
      {"1e165", "invalid"},
      {"0.1e165", "1" + std::string(164, '0')},
      {"99999999999999999999999999999999999999.5e127", "invalid"},  // rounds up to 10^165
      {"1e-9999999999999999999999", "invalid"},
      {"1e9999999999999999999999", "invalid"},
      // Anything that is not a JSON number.
      {"", "invalid"},
      {"-", "invalid"},
      {"+1", "invalid"},
      {" 1", "invalid"},
      {"1 ", "invalid"},
      {"01", "invalid"},
      {"-01", "invalid"},
      {"1.", "invalid"},
      {".5", "invalid"},
      {"-.5", "invalid"},
      {"1e", "invalid"},
      {"1e+", "invalid"},
      {"1.e3", "invalid"},
      {"0x10", "invalid"},
      {"NaN", "invalid"},
      {"Infinity", "invalid"},
      {"-Infinity", "invalid"},
      {"1,5", "invalid"},
      {"1_000", "invalid"},
      {"--1", "invalid"},
      {"1e1.5", "invalid"},
      {std::string("1\0", 2), "invalid"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parsedText(c.input), c.expected) << "input: " << c.input;
  }
}

TEST(DecimalParse, TextReadsBackAsTheSameValue) {
  for (const char* text : {"12.5", "-0.001", "1" "000000000000000000000000000000000000000000", "0.5e-120",
                           "-99999999999999999999999999999999999999"}) {
    const Decimal value = dec(text);
    EXPECT_EQ(dec(value.text()), value) << text;
  }
}

TEST(DecimalCompare, ComparesByValue) {
  EXPECT_EQ(dec("12.50"), dec("12.5"));
  EXPECT_EQ(dec("1e2"), Decimal(100));
  EXPECT_EQ(dec("-0"), Decimal(0));
  EXPECT_NE(dec("12.5"), dec("12.51"));
  EXPECT_LT(dec("-2"), dec("-1.5"));
  EXPECT_LT(dec("-0.0001"), Decimal(0));
  EXPECT_LT(Decimal(0), dec("1e-128"));
  EXPECT_GT(dec("1e164"), dec("99999999999999999999999999999999999999e126"));
  EXPECT_LT(dec("0.99999999999999999999999999999999999999"), Decimal(1));
  EXPECT_GT(dec("1000000.01"), Decimal(1000000));
  EXPECT_EQ(dec("1.5"), Decimal::scaled(15, -1));
}

TEST(DecimalValue, SignAbsNegationAndZero) {
  EXPECT_EQ(dec("-2.5").sign(), -1);
  EXPECT_EQ(dec("0.0").sign(), 0);
  EXPECT_EQ(dec("7").sign(), 1);
  EXPECT_TRUE(dec("-0.000").isZero());
  EXPECT_FALSE(dec("-0.000").isNegative());
  EXPECT_EQ(dec("-2.5").abs(), dec("2.5"));
  EXPECT_EQ(-dec("2.5"), dec("-2.5"));
  EXPECT_EQ((-Decimal(0)).text(), "0");
  EXPECT_FALSE((-Decimal(0)).isNegative());
}

TEST(DecimalValue, IntegersAreExact) {
  EXPECT_EQ(Decimal(std::numeric_limits<std::int64_t>::min()).text(), "-9223372036854775808");
  EXPECT_EQ(Decimal(std::numeric_limits<std::int64_t>::max()).text(), "9223372036854775807");
  EXPECT_EQ(Decimal(std::numeric_limits<std::uint64_t>::max()).text(), "18446744073709551615");
  EXPECT_EQ(Decimal(-3600).text(), "-3600");
  EXPECT_EQ(Decimal::scaled(-1234500, -4).text(), "-123.45");
  EXPECT_EQ(Decimal::scaled(5, -129).text(), "0");  // a tie at the 10^-128 step goes to the even 0
  EXPECT_EQ(Decimal::scaled(51, -130).text(), "0." + std::string(127, '0') + "1");
  EXPECT_THROW(Decimal::scaled(1, 165), std::overflow_error);
}

struct ArithmeticCase {
  std::string a;
  char op;
  std::string b;
  std::string expected;
};

TEST(DecimalArithmetic, HandPickedResults) {
  const std::vector<ArithmeticCase> cases = {
      {"0.1", '+', "0.2", "0.3"},
      {"12.50", '+', "-12.5", "0"},
      {"1000000", '-', "0.01", "999999.99"},
      {"-5", '-', "-5", "0"},
      {"1.5", '*', "25", "37.5"},
      {"19.99", '*', "3", "59.97"},
      {"1", '/', "3", "0.33333333333333333333333333333333333333"},
      {"2", '/', "3", "0.66666666666666666666666666666666666667"},
      {"-2", '/', "3", "-0.66666666666666666666666666666666666667"},
      {"5400", '/', "3600", "1.5"},
      {"1", '/', "8", "0.125"},
      {"22.5", '/', "100", "0.225"},
      // Exact past 38 digits would need 39: the sum is rounded half-even.
      {"99999999999999999999999999999999999999", '+', "1", "100000000000000000000000000000000000000"},
      {"99999999999999999999999999999999999999", '+', "0.5", "100000000000000000000000000000000000000"},
      {"10000000000000000000000000000000000000", '+', "0.5", "10000000000000000000000000000000000000"},
      {"10000000000000000000000000000000000001", '+', "0.5", "10000000000000000000000000000000000002"},
      // A tiny operand only tips the rounding; taking it from a power of ten borrows through every digit.
      {"1e100", '-', "1e-100", "1" + std::string(100, '0')},
      {"1e100", '+', "1e-100", "1" + std::string(100, '0')},
      {"12345678901234567890123456789012345678", '*', "12345678901234567890123456789012345678",
       "152415787532388367504953515625666819430000000000000000000000000000000000000"},
      // Below the 10^-128 step the result rounds to that step.
      {"1e-100", '*', "1e-100", "0"},
      {"1e-64", '*', "5e-65", "0"},
      {"1e-64", '*', "6e-65", "0." + std::string(127, '0') + "1"},
      {"1e-128", '/', "2", "0"},
      {"3e-128", '/', "2", "0." + std::string(127, '0') + "2"},
  };
  for (const auto& c : cases) {
    const Decimal a = dec(c.a);
    const Decimal b = dec(c.b);
    Decimal result;
    switch (c.op) {
      case '+': result = a + b; break;
      case '-': result = a - b; break;
      case '*': result = a * b; break;
      default: result = a / b; break;
    }
    EXPECT_EQ(result.text(), c.expected) << c.a << ' ' << c.op << ' ' << c.b;
  }
}

TEST(DecimalArithmetic, DivisionByZeroAndOverflowThrow) {
  EXPECT_THROW(Decimal(1) / Decimal(0), std::domain_error);
  EXPECT_THROW(Decimal(0) / dec("0.0"), std::domain_error);
  EXPECT_THROW(dec("1e100") * dec("1e100"), std::overflow_error);
  EXPECT_THROW(dec("9e164") + dec("1e164"), std::overflow_error);
  EXPECT_THROW(dec("1e100") / dec("1e-100"), std::overflow_error);
  EXPECT_THROW(dec("9.5e164").rounded(-164, RoundingMode::HalfEven), std::overflow_error);
  EXPECT_EQ((dec("9e164") - dec("1e164")).text(), "8" + std::string(164, '0'));
}

TEST(DecimalArithmetic, CompoundAssignment) {
  Decimal total;
  for (const char* amount : {"12.5", "0.25", "-3", "100.005"}) total += dec(amount);
  EXPECT_EQ(total.text(), "109.755");
  total *= Decimal(2);
  total -= dec("0.01");
  total /= Decimal(4);
  EXPECT_EQ(total.text(), "54.875");
}

struct RoundCase {
  std::string value;
  int digits;
  RoundingMode mode;
  std::string expected;
};

TEST(DecimalRounding, ToFractionDigits) {
  using M = RoundingMode;
  const std::vector<RoundCase> cases = {
      {"2.675", 2, M::HalfAwayFromZero, "2.68"},
      {"2.665", 2, M::HalfEven, "2.66"},
      {"2.675", 2, M::HalfEven, "2.68"},
      {"-2.675", 2, M::HalfAwayFromZero, "-2.68"},
      {"-2.665", 2, M::HalfEven, "-2.66"},
      {"2.6651", 2, M::HalfEven, "2.67"},
      {"2.5", 0, M::HalfEven, "2"},
      {"3.5", 0, M::HalfEven, "4"},
      {"2.5", 0, M::HalfAwayFromZero, "3"},
      {"-2.5", 0, M::HalfAwayFromZero, "-3"},
      {"2.4999", 0, M::HalfAwayFromZero, "2"},
      {"1.239", 2, M::TowardZero, "1.23"},
      {"-1.239", 2, M::TowardZero, "-1.23"},
      {"1.231", 2, M::AwayFromZero, "1.24"},
      {"-1.231", 2, M::AwayFromZero, "-1.24"},
      {"-1.231", 2, M::Floor, "-1.24"},
      {"1.239", 2, M::Floor, "1.23"},
      {"-1.239", 2, M::Ceiling, "-1.23"},
      {"1.231", 2, M::Ceiling, "1.24"},
      {"-0.004", 2, M::HalfEven, "0"},
      {"-0.004", 2, M::Ceiling, "0"},
      {"0.001", 0, M::Ceiling, "1"},
      {"0.001", 0, M::HalfEven, "0"},
      {"12.5", 2, M::HalfEven, "12.5"},  // nothing to round
      {"1234.5", -2, M::HalfEven, "1200"},
      {"1250", -2, M::HalfEven, "1200"},
      {"1350", -2, M::HalfEven, "1400"},
      {"9.995", 2, M::HalfAwayFromZero, "10"},
      {"0." + std::string(127, '0') + "5", 0, M::AwayFromZero, "1"},
      {"99999999999999999999999999999999999999e-38", 2, M::HalfEven, "1"},
      {"1e164", 2, M::Floor, "1" + std::string(164, '0')},
      {"0.5", std::numeric_limits<int>::max(), M::HalfEven, "0.5"},
      {"5e100", std::numeric_limits<int>::min(), M::HalfEven, "0"},
      {"5e100", std::numeric_limits<int>::min(), M::Ceiling, "invalid"},  // overflow
  };
  for (const auto& c : cases) {
    std::string actual;
    try {
      actual = dec(c.value).rounded(c.digits, c.mode).text();
    } catch (const std::overflow_error&) {
      actual = "invalid";
    }
    EXPECT_EQ(actual, c.expected) << c.value << " to " << c.digits << " digits, mode " << static_cast<int>(c.mode);
  }
}

TEST(DecimalDouble, FromTheShortestRoundTripText) {
  const std::vector<std::pair<double, std::string>> cases = {
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {-0.0, "0"},
      {1e-5, "0.00001"},
      {5400.0, "5400"},
      {1.0 / 3.0, "0.3333333333333333"},
      {123456789.125, "123456789.125"},
      {1e22, "10000000000000000000000"},
      {9.9e164, "99" + std::string(163, '0')},
      {1e-128, "0." + std::string(127, '0') + "1"},
      {4e-129, "0"},
      {6e-129, "0." + std::string(127, '0') + "1"},
      {std::numeric_limits<double>::denorm_min(), "0"},
      {1e165, "invalid"},
      {-std::numeric_limits<double>::max(), "invalid"},
      {std::numeric_limits<double>::infinity(), "invalid"},
      {-std::numeric_limits<double>::infinity(), "invalid"},
      {std::numeric_limits<double>::quiet_NaN(), "invalid"},
  };
  for (const auto& [value, expected] : cases) {
    auto converted = Decimal::fromDouble(value);
    EXPECT_EQ(converted ? converted->text() : "invalid", expected) << value;
  }
}

TEST(DecimalDouble, ToTheNearestDouble) {
  EXPECT_EQ(dec("0.1").toDouble(), 0.1);
  EXPECT_EQ(dec("-12.5").toDouble(), -12.5);
  EXPECT_EQ(dec("0").toDouble(), 0.0);
  EXPECT_EQ(dec("1e164").toDouble(), 1e164);
  EXPECT_EQ(dec("1e-128").toDouble(), 1e-128);
  EXPECT_EQ(dec("0.30000000000000004").toDouble(), 0.1 + 0.2);
  // Halfway between two doubles (2^53 + 1) goes to the even one.
  EXPECT_EQ(dec("9007199254740993").toDouble(), 9007199254740992.0);
}

TEST(DecimalInteger, WholeValuesInRange) {
  const std::vector<std::pair<std::string, std::optional<std::int64_t>>> cases = {
      {"0", 0},
      {"-0.0", 0},
      {"42", 42},
      {"42.0", 42},
      {"4.2e1", 42},
      {"-7", -7},
      {"1e18", 1000000000000000000},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775809", std::nullopt},
      {"1e19", std::nullopt},
      {"42.5", std::nullopt},
      {"0.000001", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(dec(text).toInt64(), expected) << text;
  }
}

// Every line of the table written by decimal_oracle.py from Python's decimal module.
class DecimalOracle : public ::testing::Test {
 protected:
  static std::string outcome(const std::function<Decimal()>& operation) {
    try {
      return operation().text();
    } catch (const std::overflow_error&) {
      return "overflow";
    } catch (const std::domain_error&) {
      return "divzero";
    }
  }

  static std::uint64_t bits(const std::string& hex) {
    std::uint64_t value = 0;
    const auto result = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
    if (result.ec != std::errc() || result.ptr != hex.data() + hex.size()) throw std::invalid_argument(hex);
    return value;
  }

  // The actual result for one line; the expected one is the line's last field.
  static std::string evaluate(const std::vector<std::string>& f) {
    static const std::map<std::string, RoundingMode> modes = {
        {"half_even", RoundingMode::HalfEven}, {"half_up", RoundingMode::HalfAwayFromZero},
        {"down", RoundingMode::TowardZero},    {"up", RoundingMode::AwayFromZero},
        {"floor", RoundingMode::Floor},        {"ceiling", RoundingMode::Ceiling},
    };
    const std::string& op = f.at(0);
    if (op == "add") return outcome([&] { return dec(f.at(1)) + dec(f.at(2)); });
    if (op == "sub") return outcome([&] { return dec(f.at(1)) - dec(f.at(2)); });
    if (op == "mul") return outcome([&] { return dec(f.at(1)) * dec(f.at(2)); });
    if (op == "div") return outcome([&] { return dec(f.at(1)) / dec(f.at(2)); });
    if (op == "cmp") {
      const auto order = dec(f.at(1)) <=> dec(f.at(2));
      return order < 0 ? "-1" : order > 0 ? "1" : "0";
    }
    if (op == "round") {
      return outcome([&] { return dec(f.at(1)).rounded(std::stoi(f.at(2)), modes.at(f.at(3))); });
    }
    if (op == "parse") return parsedText(f.at(1));
    if (op == "fromdouble") {
      auto value = Decimal::fromDouble(std::bit_cast<double>(bits(f.at(1))));
      return value ? value->text() : "invalid";
    }
    if (op == "todouble") {
      char hex[17];
      std::snprintf(hex, sizeof hex, "%016llx",
                    static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(dec(f.at(1)).toDouble())));
      return hex;
    }
    throw std::invalid_argument("unknown operation " + op);
  }
};

TEST_F(DecimalOracle, AgreesWithPythonDecimal) {
  const std::string path = std::string(PELLAM_SOURCE_DIR) + "/tests/core/data/decimal_oracle.txt";
  std::ifstream in(path);
  ASSERT_TRUE(in) << "cannot open " << path;
  std::map<std::string, int> checked;
  int failures = 0;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string field; fields >> field;) f.push_back(field);
    std::string actual;
    try {
      actual = evaluate(f);
    } catch (const std::exception& error) {
      actual = std::string("exception: ") + error.what();
    }
    ++checked[f.at(0)];
    if (actual != f.back() && ++failures <= 25) {
      ADD_FAILURE() << "line " << number << ": " << line << "\n  actual: " << actual;
    }
  }
  EXPECT_EQ(failures, 0);
  // Every kind of line is present, so a truncated table cannot pass unnoticed.
  for (const char* op : {"add", "sub", "mul", "div", "cmp", "round", "parse", "fromdouble", "todouble"}) {
    EXPECT_GT(checked[op], 0) << op;
  }
}

}  // namespace
}  // namespace pellam
