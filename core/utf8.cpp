#include "core/utf8.h"

namespace pellam {

std::size_t utf8SequenceLength(std::string_view s, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(at);
  if (b0 < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

Utf8Scalar utf8ScalarAt(std::string_view s, std::size_t at) {
  const std::size_t length = utf8SequenceLength(s, at);
  if (length == 0) return {};
  const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[at + i])); };
  // The lead byte keeps 7, 5, 4 or 3 bits; every continuation byte adds 6.
  static constexpr char32_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t scalar = byte(0) & kLeadMask[length];
  for (std::size_t i = 1; i < length; ++i) scalar = (scalar << 6) | (byte(i) & 0x3F);
  return {scalar, length};
}

bool isAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool isValidUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t length = utf8SequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string repairedUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t length = utf8SequenceLength(bytes, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
    } else {
      out.append(bytes.substr(at, length));
      at += length;
    }
  }
  return out;
}

}  // namespace pellam
