#include "core/uuid.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace pellam {

namespace {

// Hexadecimal digit values; 0xFF for every other byte.
constexpr std::array<std::uint8_t, 256> kHexValues = [] {
  std::array<std::uint8_t, 256> values{};
  values.fill(0xFF);
  for (int c = 0; c < 10; ++c) values['0' + c] = static_cast<std::uint8_t>(c);
  for (int c = 0; c < 6; ++c) {
    values['A' + c] = static_cast<std::uint8_t>(10 + c);
    values['a' + c] = static_cast<std::uint8_t>(10 + c);
  }
  return values;
}();

// Where each of the 16 bytes starts in the 36-character text.
constexpr std::array<std::uint8_t, 16> kByteOffsets = {0, 2, 4, 6, 9, 11, 14, 16, 19, 21, 24, 26, 28, 30, 32, 34};

}  // namespace

// A version 4 UUID from the kernel's random source. getentropy (glibc and macOS alike) rather
// than libuuid: one library fewer to load in every short-lived vantry process.
Uuid Uuid::random() {
  std::array<std::uint8_t, 16> bytes;
  if (getentropy(bytes.data(), bytes.size()) != 0) {
    throw std::system_error(errno, std::generic_category(), "No random bytes for a UUID");
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  return Uuid(bytes);
}

// Decoded by hand: an archive holds two identifiers per entry, and libuuid's parser, which
// converts each group with strtoul, took a quarter of the time of reading a large file.
std::optional<Uuid> Uuid::parse(std::string_view text) {
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
    return std::nullopt;
  }
  std::array<std::uint8_t, 16> bytes;
  std::uint8_t invalid = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    const std::uint8_t high = kHexValues[static_cast<unsigned char>(text[kByteOffsets[i]])];
    const std::uint8_t low = kHexValues[static_cast<unsigned char>(text[kByteOffsets[i] + 1])];
    invalid |= static_cast<std::uint8_t>(high | low);
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  if (invalid & 0xF0) return std::nullopt;
  return Uuid(bytes);
}

void Uuid::appendText(std::string& out) const {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::size_t at = out.size();
  out.append(36, '-');
  for (std::size_t i = 0; i < 16; ++i) {
    out[at + kByteOffsets[i]] = hex[bytes_[i] >> 4];
    out[at + kByteOffsets[i] + 1] = hex[bytes_[i] & 0xF];
  }
}

std::string Uuid::text() const {
  std::string text;
  appendText(text);
  return text;
}

}  // namespace pellam
