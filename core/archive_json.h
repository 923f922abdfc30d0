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

#include "core/records.h"

namespace pellam {

std::string encodeArchiveJson(const Archive& archive);

// Throws JsonParseError when the bytes are not one JSON document (with the byte offset
// where they break; duplicate keys, malformed numbers and trailing content included) and
// DecodingError (core/record_json.h) when the document does not have the archive's shape.
Archive decodeArchiveJson(std::string_view bytes);

}  // namespace pellam
