#pragma once
// The JSON form of every record as a Json tree, both ways. Keys are exactly the field
// names; optional fields are left out when they hold no value. The tree is complete and
// exact (decimals keep their digits, dates their full double), so a record can be turned
// into JSON, edited and read back without loss.
//
// Reading checks shape only: a missing or null required key, a value of the wrong JSON
// type, an unknown Rounding or PaySchedule text or a malformed UUID fails the whole read
// with a DecodingError; values out of range read fine and are left to validation. Unknown
// keys are ignored. Dates follow one rule everywhere: a JSON number is seconds since
// 2001-01-01T00:00:00Z; a text is an ISO 8601 internet date-time with an offset or Z,
// tried with fractional seconds and then without; anything else fails with
// "Invalid backup date.".
#include <string>
#include <string_view>

#include "core/json.h"
#include "core/records/decoding_error.h"
#include "core/records/records.h"

namespace pellam {

// How dates are written.
enum class DateStyle {
  ArchiveNumbers,  // JSON numbers of seconds since 2001-01-01T00:00:00Z (the archive file)
  WireText,        // ISO 8601 UTC text with whole seconds and Z (engine results)
};

// Dates.
Json dateToJson(Instant instant, DateStyle style);
// The date rule above; throws DecodingError (InvalidDate) naming no field.
Instant dateFromJson(const Json& value);
// A text date by the same rule is parseDateText (core/instant.h).

// Records to JSON objects.
Json toJson(const Job& job, DateStyle style);
Json toJson(const TimePause& pause, DateStyle style);
Json toJson(const Entry& entry, DateStyle style);
Json toJson(const Preferences& preferences, DateStyle style = DateStyle::ArchiveNumbers);
Json toJson(const SavedFilter& filter, DateStyle style);
Json toJson(const Archive& archive, DateStyle style);

// JSON objects to records; throw DecodingError.
Job jobFromJson(const Json& json);
TimePause timePauseFromJson(const Json& json);
Entry entryFromJson(const Json& json);
Preferences preferencesFromJson(const Json& json);
SavedFilter savedFilterFromJson(const Json& json);
// `filters` missing or null reads as no saved filters.
Archive archiveFromJson(const Json& json);

// The same readers through one name, for generic callers (patches): fromJson<Job>(json).
template <typename Record>
Record fromJson(const Json& json);
template <>
inline Job fromJson<Job>(const Json& json) { return jobFromJson(json); }
template <>
inline TimePause fromJson<TimePause>(const Json& json) { return timePauseFromJson(json); }
template <>
inline Entry fromJson<Entry>(const Json& json) { return entryFromJson(json); }
template <>
inline Preferences fromJson<Preferences>(const Json& json) { return preferencesFromJson(json); }
template <>
inline SavedFilter fromJson<SavedFilter>(const Json& json) { return savedFilterFromJson(json); }
template <>
inline Archive fromJson<Archive>(const Json& json) { return archiveFromJson(json); }

}  // namespace pellam
