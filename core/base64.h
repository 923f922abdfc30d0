#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pellam {

// Standard alphabet with padding.
std::string base64Encode(std::string_view bytes);
// The same text appended to `out`, so a writer can put it in place without a second copy.
void appendBase64(std::string& out, std::string_view bytes);
// The length of the Base64 text of `byteCount` bytes.
constexpr std::size_t base64Length(std::size_t byteCount) { return 4 * ((byteCount + 2) / 3); }

// Strict: standard alphabet, length a multiple of four, padding only at the end, zero
// padding bits; anything else (white space included) is refused.
std::optional<std::string> base64Decode(std::string_view text);
// The same decoding, handed to `part` a part of at most `partBytes` bytes (rounded down to
// whole groups) at a time, so a large file is never held whole. Each part is checked before
// it is handed over; false when the text breaks a rule, after the parts before the fault.
bool base64DecodeInParts(std::string_view text, std::size_t partBytes,
                         const std::function<void(std::string_view)>& part);
// Whether `text` decodes by those rules; nothing is kept.
bool isBase64(std::string_view text);

}  // namespace pellam
