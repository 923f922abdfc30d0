#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace pellam {

// Standard alphabet with padding.
std::string base64Encode(std::string_view bytes);

// Strict: standard alphabet, length a multiple of four, padding only at the end, zero
// padding bits; anything else (white space included) is refused.
std::optional<std::string> base64Decode(std::string_view text);

}  // namespace pellam
