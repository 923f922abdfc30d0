#include "core/decimal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>
#include <stdexcept>

namespace pellam {

namespace {

using u128 = Decimal::Coefficient;
using u64 = std::uint64_t;
using i64 = std::int64_t;

constexpr int kPrecision = Decimal::kMaxDigits;
// Largest exponent a value may need once written with all 38 digits: 10^38 x 10^127
// bounds the range, so a canonical value's top digit sits at most at 10^164.
constexpr i64 kMaxAdjustedExponent = Decimal::kMaxExponent + kPrecision - 1;
// No lower bound, for parsing: the caller looks at the exponent afterwards.
constexpr i64 kNoFloor = std::numeric_limits<i64>::min() / 4;

constexpr std::array<u128, 39> makePowers() {
  std::array<u128, 39> powers{};
  powers[0] = 1;
  for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}
constexpr std::array<u128, 39> kPow10 = makePowers();
constexpr u64 kPow10To19 = 10'000'000'000'000'000'000ULL;

// Digits of v (1 for 0); up to 39 for the whole u128 range. The bit length gives the
// count to within one (1233 / 4096 is just below log10(2)); one comparison settles it.
int digitCount(u128 v) {
  const u64 high = static_cast<u64>(v >> 64);
  const int bits = high != 0 ? 64 + std::bit_width(high) : std::bit_width(static_cast<u64>(v));
  const int estimate = (bits * 1233) >> 12;
  return estimate + 1 - (v < kPow10[estimate] ? 1 : 0);
}

// An unsigned integer of 320 bits (about 96 decimal digits): room for a product of two
// 38-digit coefficients, and for a dividend scaled to give 40 quotient digits.
struct Wide {
  static constexpr int kLimbs = 5;
  std::array<u64, kLimbs> limb{};  // least significant first

  static Wide of(u128 v) {
    Wide w;
    w.limb[0] = static_cast<u64>(v);
    w.limb[1] = static_cast<u64>(v >> 64);
    return w;
  }
  bool isZero() const {
    return std::all_of(limb.begin(), limb.end(), [](u64 l) { return l == 0; });
  }
  bool fitsU128() const { return limb[2] == 0 && limb[3] == 0 && limb[4] == 0; }
  u128 toU128() const { return (u128(limb[1]) << 64) | limb[0]; }

  // The callers size their values so that nothing is carried out of the top limb.
  void mulSmall(u64 m) {
    u128 carry = 0;
    for (u64& l : limb) {
      const u128 t = u128(l) * m + carry;
      l = static_cast<u64>(t);
      carry = t >> 64;
    }
  }
  void mulPow10(i64 n) {
    for (; n >= 19; n -= 19) mulSmall(kPow10To19);
    if (n > 0) mulSmall(static_cast<u64>(kPow10[n]));
  }
  void addSmall(u64 v) {
    for (u64& l : limb) {
      l += v;
      if (l >= v) return;
      v = 1;
    }
  }
  void add(const Wide& other) {
    u64 carry = 0;
    for (int i = 0; i < kLimbs; ++i) {
      const u128 t = u128(limb[i]) + other.limb[i] + carry;
      limb[i] = static_cast<u64>(t);
      carry = static_cast<u64>(t >> 64);
    }
  }
  // Requires *this >= other.
  void sub(const Wide& other) {
    u64 borrow = 0;
    for (int i = 0; i < kLimbs; ++i) {
      const u64 a = limb[i];
      const u64 b = other.limb[i];
      limb[i] = a - b - borrow;
      borrow = (a < b || (a == b && borrow)) ? 1 : 0;
    }
  }
  // (rem x 2^64 + low) / d with rem < d, so the quotient fits in 64 bits; rem becomes the
  // remainder. One hardware division where there is one: the generic 128-bit division of
  // the runtime library costs several times as much.
  static u64 divStep(u128& rem, u64 low, u64 d) {
#if defined(__x86_64__)
    u64 quotient, remainder;
    __asm__("divq %[d]" : "=a"(quotient), "=d"(remainder) : [d] "rm"(d), "a"(low), "d"(static_cast<u64>(rem)));
    rem = remainder;
    return quotient;
#else
    const u128 cur = (rem << 64) | low;
    rem = cur % d;
    return static_cast<u64>(cur / d);
#endif
  }
  // Quotient in place; returns the remainder.
  u64 divSmall(u64 d) {
    u128 rem = 0;
    int top = kLimbs - 1;
    while (top > 0 && limb[top] == 0) --top;
    for (int i = top; i >= 0; --i) limb[i] = divStep(rem, limb[i], d);
    return static_cast<u64>(rem);
  }
  // Quotient in place; returns the remainder. Plain shift-and-subtract: used only for
  // divisors above 64 bits, which stay below 2^127 so the shifted remainder fits.
  u128 divLarge(u128 d) {
    Wide quotient;
    u128 rem = 0;
    for (int bit = kLimbs * 64 - 1; bit >= 0; --bit) {
      rem = (rem << 1) | ((limb[bit / 64] >> (bit % 64)) & 1);
      if (rem >= d) {
        rem -= d;
        quotient.limb[bit / 64] |= u64(1) << (bit % 64);
      }
    }
    *this = quotient;
    return rem;
  }
  friend std::strong_ordering operator<=>(const Wide& a, const Wide& b) {
    for (int i = kLimbs - 1; i >= 0; --i) {
      if (a.limb[i] != b.limb[i]) return a.limb[i] <=> b.limb[i];
    }
    return std::strong_ordering::equal;
  }
};

const std::array<Wide, 97>& widePowers() {
  static const std::array<Wide, 97> powers = [] {
    std::array<Wide, 97> p;
    p[0] = Wide::of(1);
    for (std::size_t i = 1; i < p.size(); ++i) {
      p[i] = p[i - 1];
      p[i].mulSmall(10);
    }
    return p;
  }();
  return powers;
}

int digitCount(const Wide& w) {
  if (w.fitsU128()) return digitCount(w.toU128());
  const auto& powers = widePowers();
  return static_cast<int>(std::upper_bound(powers.begin() + 1, powers.end(), w) - powers.begin());
}

struct Dropped {
  int digit = 0;        // the first digit dropped
  bool sticky = false;  // whether any later dropped digit is non-zero
};

// Divides w by 10^count (count >= 1) and says what was dropped.
Dropped dropDigits(Wide& w, i64 count) {
  if (count > 97) {  // more digits than a Wide holds
    const bool sticky = !w.isZero();
    w = Wide{};
    return {0, sticky};
  }
  Dropped dropped;
  if (count <= 19) {
    // One division; the remainder holds every dropped digit.
    const u64 below = static_cast<u64>(kPow10[count - 1]);
    const u64 rest = w.divSmall(static_cast<u64>(kPow10[count]));
    dropped.digit = static_cast<int>(rest / below);
    dropped.sticky = rest % below != 0;
    return dropped;
  }
  i64 rest = count - 1;
  for (; rest >= 19; rest -= 19) dropped.sticky |= w.divSmall(kPow10To19) != 0;
  if (rest > 0) dropped.sticky |= w.divSmall(static_cast<u64>(kPow10[rest])) != 0;
  dropped.digit = static_cast<int>(w.divSmall(10));
  return dropped;
}

// Whether a truncated magnitude moves one step away from zero.
bool roundsAway(RoundingMode mode, bool negative, Dropped dropped, bool odd) {
  if (dropped.digit == 0 && !dropped.sticky) return false;
  switch (mode) {
    case RoundingMode::HalfEven:
      return dropped.digit > 5 || (dropped.digit == 5 && (dropped.sticky || odd));
    case RoundingMode::HalfAwayFromZero:
      return dropped.digit >= 5;
    case RoundingMode::TowardZero:
      return false;
    case RoundingMode::AwayFromZero:
      return true;
    case RoundingMode::Floor:
      return negative;
    case RoundingMode::Ceiling:
      return !negative;
  }
  return false;
}

// A finished value before its range check.
struct Parts {
  u128 coefficient = 0;  // below 10^38, no trailing zeros
  i64 exponent = 0;
  bool negative = false;
};

void stripTrailingZeros(u128& c, i64& e) {
  if (c == 0) {
    e = 0;
    return;
  }
  while (c > ~u64(0)) {
    if (c % 10 != 0) return;
    c /= 10;
    ++e;
  }
  u64 small = static_cast<u64>(c);
  while (small % 10 == 0) {
    small /= 10;
    ++e;
  }
  c = small;
}

// Rounds w x 10^e once, with `mode`, to at most 38 digits and to no step finer than
// 10^minExponent, whichever drops more digits.
Parts finish(Wide w, i64 e, bool negative, RoundingMode mode, i64 minExponent) {
  Parts parts;
  if (w.isZero()) return parts;
  const i64 drop = std::max<i64>({digitCount(w) - kPrecision, minExponent - e, 0});
  if (drop > 0) {
    const Dropped dropped = dropDigits(w, drop);
    e += drop;
    if (roundsAway(mode, negative, dropped, (w.limb[0] & 1) != 0)) w.addSmall(1);
    if (w.isZero()) return parts;
  }
  // At most 10^38 after a carry, which still fits and loses its zeros below.
  parts.coefficient = w.toU128();
  parts.exponent = e;
  parts.negative = negative;
  stripTrailingZeros(parts.coefficient, parts.exponent);
  return parts;
}

bool exceedsRange(const Parts& parts) {
  return parts.coefficient != 0 &&
         parts.exponent + digitCount(parts.coefficient) - 1 > kMaxAdjustedExponent;
}

std::string coefficientDigits(u128 c) {
  if (c <= ~u64(0)) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<u64>(c));
    return std::string(buffer, result.ptr);
  }
  std::string low = coefficientDigits(c % kPow10To19);
  return coefficientDigits(c / kPow10To19) + std::string(19 - low.size(), '0') + low;
}

// The digits of a JSON number lexeme, before rounding: w x 10^exponent, w holding at
// most 38 digits plus two standing for the dropped ones (the first dropped digit, then
// 1 if any later one is non-zero).
struct Lexeme {
  Wide w;
  i64 exponent = 0;
  bool negative = false;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<Lexeme> readLexeme(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  Lexeme lexeme;
  if (i < n && text[i] == '-') {
    lexeme.negative = true;
    ++i;
  }
  if (i >= n || !isDigit(text[i])) return std::nullopt;

  u128 kept = 0;
  int keptDigits = 0;
  i64 dropped = 0;  // significant digits beyond the 38 kept
  int firstDropped = 0;
  bool sticky = false;
  i64 scale = 0;  // minus the number of fraction digits
  auto take = [&](char c) {
    const int digit = c - '0';
    if (keptDigits == 0 && digit == 0) return;  // leading zero
    if (keptDigits < kPrecision) {
      kept = kept * 10 + digit;
      ++keptDigits;
    } else {
      if (dropped == 0) {
        firstDropped = digit;
      } else if (digit != 0) {
        sticky = true;
      }
      ++dropped;
    }
  };

  if (text[i] == '0') {
    ++i;
  } else {
    while (i < n && isDigit(text[i])) take(text[i++]);
  }
  if (i < n && text[i] == '.') {
    ++i;
    if (i >= n || !isDigit(text[i])) return std::nullopt;
    while (i < n && isDigit(text[i])) {
      take(text[i++]);
      --scale;
    }
  }
  i64 exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    if (i >= n || !isDigit(text[i])) return std::nullopt;
    constexpr i64 kSaturated = i64(1) << 50;  // far outside any range; sums stay safe
    for (; i < n && isDigit(text[i]); ++i) exponent = std::min(kSaturated, exponent * 10 + (text[i] - '0'));
    if (negativeExponent) exponent = -exponent;
  }
  if (i != n) return std::nullopt;

  lexeme.w = Wide::of(kept);
  lexeme.exponent = exponent + scale + dropped;
  if (dropped > 0) {
    lexeme.w.mulSmall(100);
    lexeme.w.addSmall(static_cast<u64>(firstDropped * 10 + (sticky ? 1 : 0)));
    lexeme.exponent -= 2;
  }
  return lexeme;
}

}  // namespace

// Builds values from finished parts and reads their fields for the operations.
struct DecimalAccess {
  static Decimal make(const Parts& parts) {
    if (exceedsRange(parts)) throw std::overflow_error("Decimal overflow: the magnitude reaches 10^165.");
    return makeUnchecked(parts);
  }
  static Decimal makeUnchecked(const Parts& parts) {
    Decimal d;
    if (parts.coefficient == 0) return d;
    d.coefficient_ = parts.coefficient;
    d.exponent_ = static_cast<std::int32_t>(parts.exponent);
    d.negative_ = parts.negative;
    return d;
  }
  // An exact result that already fits in 38 digits: no rounding, only the range check.
  static std::optional<Decimal> exact(u128 c, i64 e, bool negative) {
    if (c >= kPow10[kPrecision] || e < Decimal::kMinExponent) return std::nullopt;
    Parts parts{c, e, negative};
    stripTrailingZeros(parts.coefficient, parts.exponent);
    return make(parts);
  }
  static Decimal arithmetic(const Wide& w, i64 e, bool negative) {
    return make(finish(w, e, negative, RoundingMode::HalfEven, Decimal::kMinExponent));
  }

  static Decimal add(const Decimal& a, const Decimal& b, bool subtract) {
    const bool bNegative = subtract ? !b.negative_ && !b.isZero() : b.negative_;
    if (b.isZero()) return a;
    if (a.isZero()) {
      Decimal result = b;
      result.negative_ = bNegative;
      return result;
    }
    // x has the larger exponent.
    const bool aFirst = a.exponent_ >= b.exponent_;
    const u128 xc = aFirst ? a.coefficient_ : b.coefficient_;
    const u128 yc = aFirst ? b.coefficient_ : a.coefficient_;
    const i64 xe = aFirst ? a.exponent_ : b.exponent_;
    const i64 ye = aFirst ? b.exponent_ : a.exponent_;
    const bool xNegative = aFirst ? a.negative_ : bNegative;
    const bool yNegative = aFirst ? bNegative : a.negative_;
    const i64 shift = xe - ye;
    const int xDigits = digitCount(xc);
    const int yDigits = digitCount(yc);
    if (xDigits + shift <= kPrecision) {
      // x aligned to y's exponent still has at most 38 digits: the sum fits in 128 bits.
      const u128 xs = xc * kPow10[shift];
      std::optional<Decimal> result;
      if (xNegative == yNegative) {
        result = exact(xs + yc, ye, xNegative);
      } else {
        result = xs >= yc ? exact(xs - yc, ye, xNegative) : exact(yc - xs, ye, yNegative);
      }
      if (result) return *result;
    }
    const i64 xTop = xDigits + shift - 1;  // x's leading digit, in units of 10^ye

    if (yDigits <= xTop - 39) {
      // y lies wholly below x's 39th digit, so it can only tip the rounding, and any
      // smaller non-zero amount tips it the same way. Scale x to 42 digits (38 kept, one
      // for a borrow out of the top digit, three below) and stand y in as one last unit.
      const i64 s = 42 - xDigits;
      Wide w = Wide::of(xc);
      w.mulPow10(s);
      if (xNegative == yNegative) {
        w.addSmall(1);
      } else {
        w.sub(Wide::of(1));
      }
      return arithmetic(w, xe - s, xNegative);
    }
    // x aligned to y's exponent has at most 77 digits, exact in a Wide, and more than
    // 38 (fewer were finished above), so it outweighs y.
    Wide w = Wide::of(xc);
    w.mulPow10(shift);
    if (xNegative == yNegative) {
      w.add(Wide::of(yc));
    } else {
      w.sub(Wide::of(yc));
    }
    return arithmetic(w, ye, xNegative);
  }

  static Decimal multiply(const Decimal& a, const Decimal& b) {
    if (a.isZero() || b.isZero()) return Decimal();
    const i64 e = i64(a.exponent_) + b.exponent_;
    const bool negative = a.negative_ != b.negative_;
    if (a.coefficient_ <= ~u64(0) && b.coefficient_ <= ~u64(0)) {
      if (auto result = exact(a.coefficient_ * b.coefficient_, e, negative)) return *result;
    }
    Wide low = Wide::of(a.coefficient_);
    low.mulSmall(static_cast<u64>(b.coefficient_));
    Wide high = Wide::of(a.coefficient_);
    high.mulSmall(static_cast<u64>(b.coefficient_ >> 64));
    Wide shifted;  // high x 2^64
    for (int i = Wide::kLimbs - 1; i > 0; --i) shifted.limb[i] = high.limb[i - 1];
    low.add(shifted);
    return arithmetic(low, e, negative);
  }

  static Decimal divide(const Decimal& a, const Decimal& b) {
    if (b.isZero()) throw std::domain_error("Decimal division by zero.");
    if (a.isZero()) return Decimal();
    // Scale the dividend so that the quotient has at least 40 digits: two beyond the
    // 38 kept, then the remainder decides the rounding as a sticky digit.
    const i64 k = 40 + digitCount(b.coefficient_) - digitCount(a.coefficient_);
    Wide w = Wide::of(a.coefficient_);
    w.mulPow10(k);
    const bool inexact = b.coefficient_ <= ~u64(0) ? w.divSmall(static_cast<u64>(b.coefficient_)) != 0
                                                     : w.divLarge(b.coefficient_) != 0;
    w.mulSmall(10);
    if (inexact) w.addSmall(1);
    return arithmetic(w, i64(a.exponent_) - b.exponent_ - k - 1, a.negative_ != b.negative_);
  }

  static std::strong_ordering compareMagnitude(const Decimal& a, const Decimal& b) {
    if (a.isZero() || b.isZero()) return !a.isZero() <=> !b.isZero();
    const int aDigits = digitCount(a.coefficient_);
    const int bDigits = digitCount(b.coefficient_);
    const i64 aTop = i64(a.exponent_) + aDigits - 1;
    const i64 bTop = i64(b.exponent_) + bDigits - 1;
    if (aTop != bTop) return aTop <=> bTop;
    // Same leading position: align to the finer exponent, staying within 38 digits.
    if (a.exponent_ >= b.exponent_) return a.coefficient_ * kPow10[a.exponent_ - b.exponent_] <=> b.coefficient_;
    return a.coefficient_ <=> b.coefficient_ * kPow10[b.exponent_ - a.exponent_];
  }

  static std::strong_ordering compare(const Decimal& a, const Decimal& b) {
    if (a.negative_ != b.negative_) return a.negative_ ? std::strong_ordering::less : std::strong_ordering::greater;
    const auto magnitude = compareMagnitude(a, b);
    return a.negative_ ? 0 <=> magnitude : magnitude;
  }

  static Decimal rounded(const Decimal& d, int fractionDigits, RoundingMode mode) {
    const i64 target = -i64(fractionDigits);
    if (d.isZero() || d.exponent_ >= target) return d;
    return make(finish(Wide::of(d.coefficient_), d.exponent_, d.negative_, mode, target));
  }

  static std::optional<std::int64_t> toInt64(const Decimal& d) {
    if (d.isZero()) return 0;
    if (d.exponent_ < 0 || digitCount(d.coefficient_) + d.exponent_ > 19) return std::nullopt;
    const u128 magnitude = d.coefficient_ * kPow10[d.exponent_];
    const u128 limit = u128(std::numeric_limits<std::int64_t>::max()) + (d.negative_ ? 1 : 0);
    if (magnitude > limit) return std::nullopt;
    if (!d.negative_) return static_cast<std::int64_t>(magnitude);
    // -(magnitude) through the unsigned type, so that INT64_MIN needs no overflow.
    return static_cast<std::int64_t>(u64(0) - static_cast<u64>(magnitude));
  }

  static std::string text(const Decimal& d) {
    std::string digits = coefficientDigits(d.coefficient_);
    std::string out = d.negative_ ? "-" : "";
    if (d.exponent_ >= 0) {
      out += digits;
      if (!d.isZero()) out.append(static_cast<std::size_t>(d.exponent_), '0');
      return out;
    }
    const i64 point = i64(digits.size()) + d.exponent_;  // digits before the point
    if (point > 0) {
      out.append(digits, 0, static_cast<std::size_t>(point));
      out += '.';
      out.append(digits, static_cast<std::size_t>(point));
    } else {
      out += "0.";
      out.append(static_cast<std::size_t>(-point), '0');
      out += digits;
    }
    return out;
  }

  static double toDouble(const Decimal& d) {
    if (d.isZero()) return 0.0;
    // The digits with an exponent: from_chars rounds them correctly in one step.
    const std::string lexeme =
        (d.negative_ ? "-" : "") + coefficientDigits(d.coefficient_) + "e" + std::to_string(d.exponent_);
    double value = 0;
    std::from_chars(lexeme.data(), lexeme.data() + lexeme.size(), value);
    return value;
  }

  static void normalize(Decimal& d) {
    i64 e = d.exponent_;
    stripTrailingZeros(d.coefficient_, e);
    d.exponent_ = static_cast<std::int32_t>(e);
    if (d.coefficient_ == 0) d.negative_ = false;
  }
};

void Decimal::normalize() { DecimalAccess::normalize(*this); }

Decimal Decimal::scaled(std::int64_t units, int exponent) {
  const bool negative = units < 0;
  const u64 magnitude = negative ? u64(0) - static_cast<u64>(units) : static_cast<u64>(units);
  return DecimalAccess::arithmetic(Wide::of(magnitude), exponent, negative);
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
  const auto lexeme = readLexeme(text);
  if (!lexeme) return std::nullopt;
  const Parts parts = finish(lexeme->w, lexeme->exponent, lexeme->negative, RoundingMode::HalfEven, kNoFloor);
  if (parts.coefficient != 0 && (parts.exponent < kMinExponent || exceedsRange(parts))) return std::nullopt;
  return DecimalAccess::makeUnchecked(parts);
}

std::optional<Decimal> Decimal::fromDouble(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  const auto lexeme = readLexeme(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
  if (!lexeme) return std::nullopt;
  // A double has at most 17 significant digits, so only the step of 10^-128 can round.
  const Parts parts = finish(lexeme->w, lexeme->exponent, lexeme->negative, RoundingMode::HalfEven, kMinExponent);
  if (exceedsRange(parts)) return std::nullopt;
  return DecimalAccess::makeUnchecked(parts);
}

double Decimal::toDouble() const { return DecimalAccess::toDouble(*this); }

std::optional<std::int64_t> Decimal::toInt64() const { return DecimalAccess::toInt64(*this); }

std::string Decimal::text() const { return DecimalAccess::text(*this); }

Decimal Decimal::rounded(int fractionDigits, RoundingMode mode) const {
  return DecimalAccess::rounded(*this, fractionDigits, mode);
}

Decimal operator+(const Decimal& a, const Decimal& b) { return DecimalAccess::add(a, b, false); }
Decimal operator-(const Decimal& a, const Decimal& b) { return DecimalAccess::add(a, b, true); }
Decimal operator*(const Decimal& a, const Decimal& b) { return DecimalAccess::multiply(a, b); }
Decimal operator/(const Decimal& a, const Decimal& b) { return DecimalAccess::divide(a, b); }

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) { return DecimalAccess::compare(a, b); }

std::ostream& operator<<(std::ostream& out, const Decimal& value) { return out << value.text(); }

}  // namespace pellam
