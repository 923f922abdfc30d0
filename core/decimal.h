#pragma once
// Exact base-10 numbers for money, rates, multipliers and percentages: a signed
// coefficient of at most 38 significant digits times a power of ten.
//
// Range: every value is coefficient x 10^exponent with coefficient < 10^38 and
// exponent from -128 to 127, so the smallest step is 10^-128 and magnitudes stay
// below 10^165.
//
// Arithmetic: +, - and * are exact while the result fits in 38 significant digits and
// are otherwise rounded half-even to 38 digits; / gives 38 significant digits, rounded
// half-even. A result finer than 10^-128 is rounded half-even to that step (possibly to
// zero). Errors are exceptions because the operators have no other channel:
//   - division by zero throws std::domain_error;
//   - a result of magnitude 10^165 or more throws std::overflow_error.
//
// Values are kept in one canonical form (no trailing zeros in the coefficient, zero
// unsigned), so equality is equality of value: 12.50 == 12.5 and -0 == 0.
#include <compare>
#include <concepts>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace pellam {

enum class RoundingMode {
  HalfEven,          // ties to the even neighbour (banker's rounding)
  HalfAwayFromZero,  // ties away from zero: the everyday "plain" rounding (2.5 -> 3, -2.5 -> -3)
  TowardZero,        // truncate
  AwayFromZero,      // any discarded fraction moves one step away from zero
  Floor,             // toward negative infinity
  Ceiling,           // toward positive infinity
};

class Decimal {
 public:
  __extension__ typedef unsigned __int128 Coefficient;

  static constexpr int kMaxDigits = 38;
  static constexpr int kMinExponent = -128;
  static constexpr int kMaxExponent = 127;

  constexpr Decimal() = default;

  // Every integer is held exactly (64-bit integers have at most 20 digits).
  template <std::integral T>
    requires(!std::same_as<T, bool>)
  Decimal(T value) {
    if constexpr (std::is_signed_v<T>) {
      const auto wide = static_cast<std::int64_t>(value);
      negative_ = wide < 0;
      // Negating in the unsigned type keeps INT64_MIN well defined.
      const std::uint64_t magnitude =
          negative_ ? std::uint64_t(0) - static_cast<std::uint64_t>(wide) : static_cast<std::uint64_t>(wide);
      coefficient_ = magnitude;
    } else {
      coefficient_ = static_cast<std::uint64_t>(value);
    }
    normalize();
  }

  // units x 10^exponent, e.g. scaled(15, -1) is 1.5. Throws std::overflow_error when out
  // of range; a value finer than 10^-128 is rounded half-even to that step.
  static Decimal scaled(std::int64_t units, int exponent);

  // A JSON number lexeme: optional '-', digits without superfluous leading zeros, an
  // optional fraction, an optional exponent. Anything else (empty text, blanks, '+',
  // '.5', '1.', hex, NaN, Infinity) gives nullopt. More than 38 significant digits are
  // rounded half-even to 38; a value that then lies outside the range (magnitude of
  // 10^165 or more, or a non-zero digit below 10^-128) gives nullopt rather than a
  // silently changed number. Zero with any exponent ("0e999") is zero.
  static std::optional<Decimal> parse(std::string_view text);

  // The value of the double's shortest round-trip text (0.1 becomes exactly 0.1).
  // NaN, infinities and magnitudes of 10^165 or more give nullopt; magnitudes below
  // 10^-128 are rounded half-even to that step, so tiny doubles become 0.
  static std::optional<Decimal> fromDouble(double value);

  // The nearest double (correctly rounded).
  double toDouble() const;

  // The integer value when the value is a whole number in the range of int64_t.
  std::optional<std::int64_t> toInt64() const;

  // Plain text: optional '-', digits, a point and fraction digits only when there is a
  // fraction, no trailing zeros, never an exponent, no grouping ("12.5", "1000", "0").
  std::string text() const;

  // Rounded to `fractionDigits` digits after the point (negative rounds to tens,
  // hundreds, ...). A value that already has no more digits is returned unchanged.
  // Throws std::overflow_error only when rounding to tens or coarser leaves the range.
  Decimal rounded(int fractionDigits, RoundingMode mode) const;

  bool isZero() const { return coefficient_ == 0; }
  bool isNegative() const { return negative_; }
  int sign() const { return isZero() ? 0 : (negative_ ? -1 : 1); }
  Decimal abs() const {
    Decimal copy = *this;
    copy.negative_ = false;
    return copy;
  }

  Decimal operator-() const {
    Decimal copy = *this;
    copy.negative_ = !isZero() && !negative_;
    return copy;
  }
  Decimal operator+() const { return *this; }

  friend Decimal operator+(const Decimal& a, const Decimal& b);
  friend Decimal operator-(const Decimal& a, const Decimal& b);
  friend Decimal operator*(const Decimal& a, const Decimal& b);
  friend Decimal operator/(const Decimal& a, const Decimal& b);
  Decimal& operator+=(const Decimal& other) { return *this = *this + other; }
  Decimal& operator-=(const Decimal& other) { return *this = *this - other; }
  Decimal& operator*=(const Decimal& other) { return *this = *this * other; }
  Decimal& operator/=(const Decimal& other) { return *this = *this / other; }

  // The canonical form makes member-wise equality the equality of values.
  friend bool operator==(const Decimal&, const Decimal&) = default;
  friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

 private:
  friend struct DecimalAccess;

  void normalize();

  Coefficient coefficient_ = 0;  // below 10^38, no trailing zeros; 0 for zero
  std::int32_t exponent_ = 0;    // 0 for zero
  bool negative_ = false;        // never set for zero
};

// Writes text(); lets test frameworks and logs show values.
std::ostream& operator<<(std::ostream& out, const Decimal& value);

}  // namespace pellam
