#pragma once
// The failure of a record's JSON read, shared by the Json-tree reader (record_json.h) and the
// archive file's direct reader (core/storage/archive_json.h).
#include <cstddef>
#include <string>
#include <string_view>

#include "core/data_error.h"

namespace pellam {

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

}  // namespace pellam
