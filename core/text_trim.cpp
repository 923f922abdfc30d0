#include "core/text_trim.h"

#include <cstdint>

namespace pellam {

bool isWhitespaceOrNewline(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

namespace {

// The scalar starting at `at` and its length in bytes; length 0 when the bytes there are
// not a well-formed, shortest-form sequence of at most three bytes (no white space needs
// four).
char32_t scalarAt(std::string_view text, std::size_t at, std::size_t& length) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  std::uint8_t b0 = byte(at);
  if (b0 < 0x80) {
    length = 1;
    return b0;
  }
  auto continuation = [&](std::size_t i) { return i < text.size() && (byte(i) & 0xC0) == 0x80; };
  if (b0 >= 0xC2 && b0 <= 0xDF && continuation(at + 1)) {
    length = 2;
    return static_cast<char32_t>(((b0 & 0x1F) << 6) | (byte(at + 1) & 0x3F));
  }
  if ((b0 & 0xF0) == 0xE0 && continuation(at + 1) && continuation(at + 2) &&
      (b0 != 0xE0 || byte(at + 1) >= 0xA0)) {  // no overlong forms
    length = 3;
    return static_cast<char32_t>(((b0 & 0x0F) << 12) | ((byte(at + 1) & 0x3F) << 6) | (byte(at + 2) & 0x3F));
  }
  length = 0;
  return 0;
}

// Start of the scalar that ends just before `end`.
std::size_t previousStart(std::string_view text, std::size_t end) {
  std::size_t start = end - 1;
  while (start > 0 && end - start < 3 && (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80) --start;
  return start;
}

}  // namespace

std::string_view trimmedWhitespaceAndNewlines(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t length = 0;
    char32_t c = scalarAt(text, begin, length);
    if (length == 0 || !isWhitespaceOrNewline(c)) break;
    begin += length;
  }
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t start = previousStart(text, end);
    std::size_t length = 0;
    char32_t c = scalarAt(text, start, length);
    if (length == 0 || start + length != end || !isWhitespaceOrNewline(c)) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

}  // namespace pellam
