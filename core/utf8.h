#pragma once
#include <string>
#include <string_view>

namespace pellam {

// The length of the well-formed UTF-8 sequence starting at `at` (1 to 4), or 0 when the
// bytes there are not one (a stray continuation byte, an overlong form, a surrogate, a
// scalar past U+10FFFF, a sequence cut short).
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);

// The scalar starting at `at` and its length in bytes; length 0 (and scalar 0) where
// utf8SequenceLength finds no well-formed sequence.
struct Utf8Scalar {
  char32_t scalar = 0;
  std::size_t length = 0;
};
Utf8Scalar utf8ScalarAt(std::string_view bytes, std::size_t at);

// Every byte below 0x80: the text needs no Unicode-aware handling.
bool isAscii(std::string_view text);

bool isValidUtf8(std::string_view bytes);
// Replaces every invalid sequence with U+FFFD, as the platform does for process arguments.
std::string repairedUtf8(std::string_view bytes);

}  // namespace pellam
