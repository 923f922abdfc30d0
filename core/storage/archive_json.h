#pragma once
// The archive file's JSON: pretty-printed, keys sorted, dates as JSON numbers. The same
// archive always gives the same bytes, and they equal writeJson(toJson(archive,
// DateStyle::ArchiveNumbers), {.pretty = true}).
//
// Decoding reads straight into records, without a Json tree in between (a tree costs about
// ten times the file's size). Neither function validates; callers that store or load an
// archive run validate() themselves.
#include <string>
#include <string_view>

#include "core/records/records.h"

namespace pellam {

std::string encodeArchiveJson(const Archive& archive);

// Throws JsonParseError when the bytes are not one JSON document (with the byte offset
// where they break; duplicate keys, malformed numbers and trailing content included) and
// DecodingError (core/records/record_json.h) when the JSON does not have the archive's shape.
Archive decodeArchiveJson(std::string_view bytes);

// The spare capacity after the text that lets decodeArchiveJsonInPlace read it where it is.
inline constexpr std::size_t kArchiveReadPadding = 64;

// The same, but without first copying the text when `bytes` has at least
// kArchiveReadPadding bytes of spare capacity after its end (reserve them before reading
// a file into the string); otherwise exactly decodeArchiveJson. For a large file this
// saves a copy of its size at the peak of memory use.
Archive decodeArchiveJsonInPlace(const std::string& bytes);

}  // namespace pellam
