#include "core/records/record_json.h"

#include "core/records/record_fields.h"

namespace pellam {

// ---- Dates ----------------------------------------------------------------------------

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
