#include "core/text/text_trim.h"

#include <cstdint>

#include "core/utf8.h"

namespace pellam {

bool isWhitespaceOrNewline(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

namespace {

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
    const Utf8Scalar c = utf8ScalarAt(text, begin);
    if (c.length == 0 || !isWhitespaceOrNewline(c.scalar)) break;
    begin += c.length;
  }
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t start = previousStart(text, end);
    const Utf8Scalar c = utf8ScalarAt(text, start);
    if (c.length == 0 || start + c.length != end || !isWhitespaceOrNewline(c.scalar)) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

}  // namespace pellam
