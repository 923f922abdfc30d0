#include "core/records/record_json.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/records/record_fields.h"

namespace pellam {

// ---- DecodingError -------------------------------------------------------------------

DecodingError::DecodingError(Reason reason, std::string field, std::string detail)
    : DataError(std::string(kInvalidBackupDateMessage)),
      reason_(reason),
      path_(std::move(field)),
      detail_(std::move(detail)) {
  compose();
}

void DecodingError::prependKey(std::string_view key) {
  if (path_.empty() || path_.front() == '[') {
    path_.insert(0, key);
  } else {
    path_.insert(0, std::string(key) + ".");
  }
  compose();
}

void DecodingError::prependIndex(std::size_t index) {
  std::string segment = "[" + std::to_string(index) + "]";
  if (!path_.empty() && path_.front() != '[') segment += ".";
  path_.insert(0, segment);
  compose();
}

void DecodingError::compose() {
  const std::string field = "The field \"" + path_ + "\"";
  switch (reason_) {
    case Reason::MissingKey:
      message_ = "The required field \"" + path_ + "\" is missing.";
      return;
    case Reason::NullValue:
      message_ = field + " must not be null.";
      return;
    case Reason::WrongType:
      message_ = path_.empty() ? "The JSON value must be " + detail_ + "." : field + " must be " + detail_ + ".";
      return;
    case Reason::UnknownCase:
      message_ = field + " must be one of " + detail_ + ".";
      return;
    case Reason::MalformedUuid:
      message_ = field + " must be a UUID such as 3F2504E0-4F89-41D3-9A0C-0305E82C3301.";
      return;
    case Reason::InvalidDate:
      message_ = std::string(kInvalidBackupDateMessage);
      return;
  }
}

// ---- Conversions shared by both readers -----------------------------------------------

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

// ---- Dates ----------------------------------------------------------------------------

std::optional<Instant> parseDateText(std::string_view text, Years years) {
  // Fractional seconds are tried first, then the plain form; a zone is required in both.
  if (auto instant = parseInternetDateTime(text, FractionalSeconds::Allowed, years)) return instant;
  return parseInternetDateTime(text, FractionalSeconds::Refused, years);
}

Json dateToJson(Instant instant, DateStyle style) {
  if (style == DateStyle::WireText) return Json(formatInternetDateTime(instant));
  return Json(instant.seconds);
}

Instant dateFromJson(const Json& value) {
  if (value.isNumber()) return detail::dateFromLexeme(value.numberLexeme());
  if (value.isString()) return detail::dateFromText(value.asString());
  throw DecodingError(DecodingError::Reason::InvalidDate, "");
}

// ---- Writing the tree -----------------------------------------------------------------

namespace {

template <typename Record>
Json recordToJson(const Record& record, DateStyle style);

template <typename T>
Json valueToJson(const T& value, DateStyle style) {
  if constexpr (std::is_same_v<T, bool>) {
    return Json(value);
  } else if constexpr (std::is_same_v<T, double>) {
    return Json(value);
  } else if constexpr (std::is_same_v<T, std::int64_t>) {
    return Json(value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    return Json(value);
  } else if constexpr (std::is_same_v<T, Decimal>) {
    return Json::number(value.text());
  } else if constexpr (std::is_same_v<T, Instant>) {
    return dateToJson(value, style);
  } else if constexpr (std::is_same_v<T, Uuid>) {
    return Json(value.text());
  } else if constexpr (std::is_same_v<T, Rounding> || std::is_same_v<T, PaySchedule>) {
    return Json(rawValue(value));
  } else if constexpr (detail::IsRecord<T>) {
    return recordToJson(value, style);
  } else {
    Json::Array items;
    items.reserve(value.size());
    for (const auto& item : value) items.push_back(valueToJson(item, style));
    return Json(std::move(items));
  }
}

template <typename Record>
Json recordToJson(const Record& record, DateStyle style) {
  using Fields = typename detail::FieldsOf<Record>::Type;
  Json::Object members;
  for (std::size_t i = 0; i < Fields::kKeys.size(); ++i) {
    Fields::field(record, i, [&](const auto& value) {
      using T = std::decay_t<decltype(value)>;
      if constexpr (detail::IsOptional<T>::value) {
        // Optional fields are left out when they hold no value.
        if (value) members.emplace_hint(members.end(), Fields::kKeys[i], valueToJson(*value, style));
      } else {
        members.emplace_hint(members.end(), Fields::kKeys[i], valueToJson(value, style));
      }
    });
  }
  return Json(std::move(members));
}

// ---- Reading the tree -----------------------------------------------------------------

template <typename Record>
void readRecord(const Json& json, Record& record);

template <typename T>
void readValue(const Json& json, T& out) {
  if constexpr (std::is_same_v<T, Instant>) {
    out = dateFromJson(json);
  } else if constexpr (std::is_same_v<T, bool>) {
    if (!json.isBool()) detail::throwWrongType(detail::expectedKind<T>());
    out = json.asBool();
  } else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, std::int64_t> ||
                       std::is_same_v<T, Decimal>) {
    if (!json.isNumber()) detail::throwWrongType(detail::expectedKind<T>());
    const std::string& lexeme = json.numberLexeme();
    if constexpr (std::is_same_v<T, double>) out = detail::realFromLexeme(lexeme);
    else if constexpr (std::is_same_v<T, std::int64_t>) out = detail::integerFromLexeme(lexeme);
    else out = detail::decimalFromLexeme(lexeme);
  } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, Uuid> || std::is_same_v<T, Rounding> ||
                       std::is_same_v<T, PaySchedule>) {
    if (!json.isString()) detail::throwWrongType(detail::expectedKind<T>());
    const std::string& text = json.asString();
    if constexpr (std::is_same_v<T, std::string>) out = text;
    else if constexpr (std::is_same_v<T, Uuid>) out = detail::uuidFromText(text);
    else if constexpr (std::is_same_v<T, Rounding>) out = detail::roundingFromText(text);
    else out = detail::payScheduleFromText(text);
  } else if constexpr (detail::IsRecord<T>) {
    readRecord(json, out);
  } else {
    if (!json.isArray()) detail::throwWrongType("an array");
    const Json::Array& items = json.asArray();
    out.clear();
    out.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      try {
        if (items[i].isNull()) detail::throwNull();
        readValue(items[i], out[i]);
      } catch (DecodingError& error) {
        error.prependIndex(i);
        throw;
      }
    }
  }
}

template <typename Record>
void readRecord(const Json& json, Record& record) {
  using Fields = typename detail::FieldsOf<Record>::Type;
  if (!json.isObject()) detail::throwWrongType("an object");
  detail::MemberLookup<Fields> lookup;
  // Named references, not a structured binding: clang before 16 cannot capture a binding.
  for (const auto& member : json.asObject()) {
    const auto& key = member.first;
    const auto& value = member.second;
    const std::size_t index = lookup.find(key);
    if (index == lookup.kUnknown) continue;
    lookup.markSeen(index);
    try {
      Fields::field(record, index, [&](auto& field) {
        using T = std::decay_t<decltype(field)>;
        if (value.isNull()) {
          if constexpr (detail::IsOptional<T>::value) {
            field.reset();
          } else if (Fields::kLenient & (1u << index)) {
            field = T{};
          } else {
            detail::throwNull();
          }
        } else if constexpr (detail::IsOptional<T>::value) {
          typename T::value_type inner{};
          readValue(value, inner);
          field = std::move(inner);
        } else {
          readValue(value, field);
        }
      });
    } catch (DecodingError& error) {
      error.prependKey(key);
      throw;
    }
  }
  detail::requirePresent<Fields>(record, lookup.seen());
}

template <typename Record>
Record recordFromJson(const Json& json) {
  Record record;
  readRecord(json, record);
  return record;
}

}  // namespace

Json toJson(const Job& job, DateStyle style) { return recordToJson(job, style); }
Json toJson(const TimePause& pause, DateStyle style) { return recordToJson(pause, style); }
Json toJson(const Entry& entry, DateStyle style) { return recordToJson(entry, style); }
Json toJson(const Preferences& preferences, DateStyle style) { return recordToJson(preferences, style); }
Json toJson(const SavedFilter& filter, DateStyle style) { return recordToJson(filter, style); }
Json toJson(const Archive& archive, DateStyle style) { return recordToJson(archive, style); }

Job jobFromJson(const Json& json) { return recordFromJson<Job>(json); }
TimePause timePauseFromJson(const Json& json) { return recordFromJson<TimePause>(json); }
Entry entryFromJson(const Json& json) { return recordFromJson<Entry>(json); }
Preferences preferencesFromJson(const Json& json) { return recordFromJson<Preferences>(json); }
SavedFilter savedFilterFromJson(const Json& json) { return recordFromJson<SavedFilter>(json); }
Archive archiveFromJson(const Json& json) { return recordFromJson<Archive>(json); }

}  // namespace pellam
