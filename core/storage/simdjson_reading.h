#pragma once
// The archive file reader's helpers on simdjson: white space trimming of raw tokens and errors
// that name the byte where the text breaks, in the generic reader's words. Include only from
// that one source; simdjson's header is slow to compile.
#include <simdjson.h>

#include <string>
#include <string_view>

#include "core/json.h"

namespace pellam::simdjson_reading {

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A raw token runs to the next structural character; drop the white space it carries.
inline std::string_view trimmed(std::string_view raw) {
  while (!raw.empty() && isSpace(raw.back())) raw.remove_suffix(1);
  return raw;
}

// Throws JsonParseError with offsets counted from the first byte of the text.
class ErrorReporter {
 public:
  explicit ErrorReporter(std::string_view text) : base_(text.data()), end_(text.data() + text.size()) {}

  [[noreturn]] void fail(const std::string& what, const char* at) const {
    std::size_t offset = at ? static_cast<std::size_t>(at - base_) : 0;
    throw JsonParseError("The JSON text is invalid at byte " + std::to_string(offset) + ": " + what, offset);
  }

  [[noreturn]] void fail(simdjson::error_code code, const char* at) const {
    fail(std::string(simdjson::error_message(code)), at);
  }

  // Where the reader stands, or null when simdjson cannot say. A text that stops short
  // (`{"rate":`) leaves the reader past its last byte: that is where it breaks, not byte 0.
  template <typename Source>
  const char* where(Source& source) const {
    auto location = source.current_location();
    if (location.error() == simdjson::OUT_OF_BOUNDS) return end_;
    return location.error() ? nullptr : location.value_unsafe();
  }

  // Where a failed iterate() breaks: its first pass knows only that a string never closed,
  // not where it opened. Anything else it refuses is reported at the start.
  const char* whereIterateFailed(simdjson::error_code code) const {
    return code == simdjson::UNCLOSED_STRING ? openingOfUnclosedString() : nullptr;
  }

 private:
  // The opening quote of the string still open at the end of the text. A quote counts unless
  // an odd run of backslashes precedes it, in or out of a string, as in simdjson's first pass.
  const char* openingOfUnclosedString() const {
    const char* opening = nullptr;
    std::size_t backslashes = 0;
    for (const char* at = base_; at != end_; ++at) {
      if (*at == '\\') {
        ++backslashes;
        continue;
      }
      if (*at == '"' && backslashes % 2 == 0) opening = opening ? nullptr : at;
      backslashes = 0;
    }
    return opening ? opening : end_;
  }

  const char* base_;
  const char* end_;
};

}  // namespace pellam::simdjson_reading
