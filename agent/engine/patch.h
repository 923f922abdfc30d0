#pragma once
// The generic patch: a record's JSON form edited by the `patch` argument (a JSON object of
// model fields) and by option aliases from a field table, then read back as the record.
// One routine serves every record type.
#include <initializer_list>
#include <span>
#include <string_view>

#include "agent/engine/field_tables.h"
#include "agent/wire/wire.h"
#include "core/json.h"
#include "core/records/record_json.h"

namespace pellam::agent::engine {

// The model fields a patch may set to null.
using NullableFields = std::initializer_list<std::string_view>;
inline constexpr NullableFields kNoNullable = {};

// The record object (archive JSON form) with the patch and the options of `fields`
// applied. Fails with invalid_argument; a `patch` text that is not JSON throws the
// parser's JsonParseError.
Json patchedObject(const AgentRequest& request, std::span<const FieldRow> fields, NullableFields nullable,
                   Json recordObject);

// Reads a patched record object back; a decoding failure becomes "Invalid patch value: ...".
template <typename Record>
Record decodePatched(const Json& object);

// The patched copy of `record`.
template <typename Record>
Record patch(const AgentRequest& request, std::span<const FieldRow> fields, NullableFields nullable,
             const Record& record) {
  return decodePatched<Record>(patchedObject(request, fields, nullable, toJson(record, DateStyle::ArchiveNumbers)));
}

extern template Job decodePatched<Job>(const Json&);
extern template Entry decodePatched<Entry>(const Json&);
extern template SavedFilter decodePatched<SavedFilter>(const Json&);
extern template Preferences decodePatched<Preferences>(const Json&);

}  // namespace pellam::agent::engine
