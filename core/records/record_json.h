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

#include "core/data_error.h"
#include "core/json.h"
#include "core/records/records.h"

namespace pellam {

// How dates are written.
enum class DateStyle {
  ArchiveNumbers,  // JSON numbers of seconds since 2001-01-01T00:00:00Z (the archive file)
  WireText,        // ISO 8601 UTC text with whole seconds and Z (engine results)
};

// A JSON read that failed because of the JSON value's shape. The message names the field
// by its path ("jobs[2].rate") and says what is wrong, except for dates, whose message is
// exactly "Invalid backup date." (the path is still available from path()).
class DecodingError : public DataError {
 public:
  enum class Reason {
    MissingKey,    // a required key is absent
    NullValue,     // a required key holds null
    WrongType,     // the value has another JSON type (or a number does not fit the field)
    UnknownCase,   // a Rounding or PaySchedule text that matches no case
    MalformedUuid, // a text that is not a UUID
    InvalidDate,   // neither a number nor an ISO 8601 date-time with a zone
  };

  DecodingError(Reason reason, std::string field, std::string detail = {});

  Reason reason() const { return reason_; }
  // The dotted path of the failing field, outermost first; empty for the top-level value itself.
  const std::string& path() const { return path_; }
  const char* what() const noexcept override { return message_.c_str(); }

  // Called while the error travels out of nested readers: "pauses[1]" + "end".
  void prependKey(std::string_view key);
  void prependIndex(std::size_t index);

 private:
  void compose();

  Reason reason_;
  std::string path_;
  std::string detail_;
  std::string message_;
};

inline constexpr std::string_view kInvalidBackupDateMessage = "Invalid backup date.";

// Dates.
Json dateToJson(Instant instant, DateStyle style);
// The date rule above; throws DecodingError (InvalidDate) naming no field.
Instant dateFromJson(const Json& value);
// A text date by the same rule (fraction first, then without; an offset or Z is required).
// Records are read with Years::Any (core/instant.h); a date given as an argument must lie in
// the calendar.
std::optional<Instant> parseDateText(std::string_view text, Years years = Years::Calendar);

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
