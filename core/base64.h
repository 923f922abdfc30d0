#pragma once
#include <cstddef>
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

}  // namespace pellam
