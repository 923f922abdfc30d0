#include "agent/engine/patch.h"

#include <algorithm>
#include <string>

#include "agent/engine/arguments.h"
#include "core/text/text_trim.h"

namespace pellam::agent::engine {

namespace {

constexpr std::string_view kTimestampMessage =
    "Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.";

bool isDateField(std::string_view field) {
  return std::find(dateFields.begin(), dateFields.end(), field) != dateFields.end();
}

const FieldRow* rowForField(std::span<const FieldRow> fields, std::string_view field) {
  for (const FieldRow& row : fields) {
    if (row.field == field) return &row;
  }
  return nullptr;
}

// Tag text without brackets: comma-separated, each piece trimmed, empty pieces dropped.
Json tagList(std::string_view text) {
  Json tags = Json::array();
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t comma = text.find(',', from);
    if (comma == std::string_view::npos) comma = text.size();
    std::string_view piece = trimmedWhitespaceAndNewlines(text.substr(from, comma - from));
    if (!piece.empty()) tags.push_back(Json(piece));
    from = comma + 1;
  }
  return tags;
}

// The JSON value an option's text stands for, typed after the field's current value.
Json optionValue(const FieldRow& row, const std::string& text, const Json* current) {
  if (isDateField(row.field)) {
    if (text == "null") return Json(nullptr);
    return Json(text);  // read as a timestamp when the record is decoded
  }
  if (current != nullptr && current->isBool()) return Json(boolean(text, row.name));
  if (current != nullptr && current->isNumber()) {
    std::optional<Json> parsed;
    try {
      parsed = parseJson(text);
    } catch (const JsonParseError&) {
    }
    if (!parsed || !parsed->isNumber()) {
      throw AgentFailure::invalidArgument("--" + std::string(row.name) + " must be a JSON number.");
    }
    return std::move(*parsed);
  }
  if (row.field == "tags") {
    if (!text.empty() && text.front() == '[') return parseJson(text);
    return tagList(text);
  }
  if (row.field == "pauses" || row.field == "reminderWeekdays") return parseJson(text);
  return Json(text);
}

[[noreturn]] void refuseTimestamp() {
  throw AgentFailure::invalidArgument("Invalid patch value: " + std::string(kTimestampMessage));
}

// A date given as a number (seconds since 2001, whatever its size) or as a text (whose offset
// may move it) that lies outside the calendar is refused like a text that names no date.
void checkDate(const Json& value) {
  if (!value.isNumber() && !value.isString()) return;
  try {
    if (!isWithinCalendar(dateFromJson(value))) refuseTimestamp();
  } catch (const DecodingError&) {
    refuseTimestamp();
  }
}

// The dates the patch itself gives: a date field's value, and those of the breaks it sets.
void checkGivenDates(const std::string& field, const Json& value) {
  if (isDateField(field)) checkDate(value);
  if (field != "pauses" || !value.isArray()) return;
  for (const Json& pause : value.asArray()) {
    if (!pause.isObject()) continue;
    for (const char* key : {"start", "end"}) {
      if (const Json* date = pause.find(key)) checkDate(*date);
    }
  }
}

}  // namespace

Json patchedObject(const AgentRequest& request, std::span<const FieldRow> fields, NullableFields nullable,
                   Json recordObject) {
  if (!recordObject.isObject()) throw AgentFailure::invalidArgument("Invalid record.");

  Json patch = Json::object();
  if (const std::string* text = argument(request, "patch")) {
    patch = parseJson(*text);
    if (!patch.isObject()) throw AgentFailure::invalidArgument("--patch must contain a JSON object.");
  }
  for (const auto& [field, value] : patch.asObject()) {
    if (rowForField(fields, field) == nullptr) {
      throw AgentFailure::invalidArgument("Unknown or read-only patch field: " + field + ".");
    }
  }

  for (const FieldRow& row : fields) {
    const std::string* text = argument(request, row.name);
    if (text == nullptr) continue;
    if (patch.find(row.field) != nullptr) {
      throw AgentFailure::invalidArgument("Specify " + std::string(row.field) + " once, in --patch or as --" +
                                          std::string(row.name) + ".");
    }
    patch[row.field] = optionValue(row, *text, recordObject.find(row.field));
  }

  for (const auto& [field, value] : patch.asObject()) {
    if (value.isNull() && std::find(nullable.begin(), nullable.end(), field) == nullable.end()) {
      throw AgentFailure::invalidArgument(field + " cannot be null.");
    }
  }
  for (const auto& [field, value] : patch.asObject()) checkGivenDates(field, value);
  // Arrays are replaced whole, never merged.
  for (auto& [field, value] : patch.asObject()) recordObject[field] = std::move(value);
  return recordObject;
}

template <typename Record>
Record decodePatched(const Json& object) {
  try {
    return fromJson<Record>(object);
  } catch (const DecodingError& error) {
    if (error.reason() == DecodingError::Reason::InvalidDate) {
      throw AgentFailure::invalidArgument("Invalid patch value: " + std::string(kTimestampMessage));
    }
    throw AgentFailure::invalidArgument("Invalid patch value: " + std::string(error.what()));
  }
}

template Job decodePatched<Job>(const Json&);
template Entry decodePatched<Entry>(const Json&);
template SavedFilter decodePatched<SavedFilter>(const Json&);
template Preferences decodePatched<Preferences>(const Json&);

}  // namespace pellam::agent::engine
