#include "core/records/record_fields.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/records/decoding_error.h"

namespace pellam {

namespace detail {

[[noreturn]] void throwWrongType(std::string_view expected) {
  throw DecodingError(DecodingError::Reason::WrongType, "", std::string(expected));
}

[[noreturn]] void throwNull() { throw DecodingError(DecodingError::Reason::NullValue, ""); }

[[noreturn]] void throwMissing(std::string_view key) {
  throw DecodingError(DecodingError::Reason::MissingKey, std::string(key));
}

namespace {

// The lexeme is a valid JSON number, so from_chars reads all of it; only the range can
// fail. A number too small for a double reads as zero (strtod's answer); one too large
// has no value.
std::optional<double> finiteDouble(std::string_view lexeme) {
  double value = 0;
  auto [end, error] = std::from_chars(lexeme.data(), lexeme.data() + lexeme.size(), value);
  if (error == std::errc() && end == lexeme.data() + lexeme.size()) return value;
  if (error != std::errc::result_out_of_range) return std::nullopt;
  value = std::strtod(std::string(lexeme).c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::string quotedList(const auto& texts) {
  std::string list;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) list += i + 1 == texts.size() ? " or " : ", ";
    list += "\"" + std::string(texts[i]) + "\"";
  }
  return list;
}

}  // namespace

double realFromLexeme(std::string_view lexeme) {
  if (auto value = finiteDouble(lexeme)) return *value;
  throwWrongType("a number within the range of a double");
}

std::int64_t integerFromLexeme(std::string_view lexeme) {
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(lexeme.data(), lexeme.data() + lexeme.size(), value);
  if (error == std::errc() && end == lexeme.data() + lexeme.size()) return value;
  // "2.0" and "1e2" are whole numbers too.
  if (auto decimal = Decimal::parse(lexeme)) {
    if (auto whole = decimal->toInt64()) return *whole;
  }
  throwWrongType("a whole number");
}

Decimal decimalFromLexeme(std::string_view lexeme) {
  if (auto value = Decimal::parse(lexeme)) return *value;
  throwWrongType("a number with at most 38 significant digits");
}

Instant dateFromLexeme(std::string_view lexeme) {
  if (auto value = finiteDouble(lexeme)) return Instant{*value};
  throw DecodingError(DecodingError::Reason::InvalidDate, "");
}

Instant dateFromText(std::string_view text) {
  if (auto instant = parseDateText(text, Years::Any)) return *instant;
  throw DecodingError(DecodingError::Reason::InvalidDate, "");
}

Uuid uuidFromText(std::string_view text) {
  if (auto id = Uuid::parse(text)) return *id;
  throw DecodingError(DecodingError::Reason::MalformedUuid, "");
}

Rounding roundingFromText(std::string_view text) {
  if (auto rounding = roundingFromRawValue(text)) return *rounding;
  std::array<std::string_view, 4> texts;
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = rawValue(kAllRoundings[i]);
  throw DecodingError(DecodingError::Reason::UnknownCase, "", quotedList(texts));
}

PaySchedule payScheduleFromText(std::string_view text) {
  if (auto schedule = payScheduleFromRawValue(text)) return *schedule;
  std::array<std::string_view, 4> texts;
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = rawValue(kAllPaySchedules[i]);
  throw DecodingError(DecodingError::Reason::UnknownCase, "", quotedList(texts));
}

}  // namespace detail

}  // namespace pellam
