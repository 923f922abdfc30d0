#include "core/exchange/crc32.h"

#include <array>

namespace pellam {

namespace {

// Eight tables let the loop take eight bytes per step ("slicing by 8"): the same value as
// the bit-by-bit definition, several times faster on the megabytes of a large worksheet.
constexpr std::array<std::array<std::uint32_t, 256>, 8> makeTables() {
  std::array<std::array<std::uint32_t, 256>, 8> tables{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    std::uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0u);
    tables[0][byte] = crc;
  }
  for (std::size_t byte = 0; byte < 256; ++byte) {
    for (std::size_t k = 1; k < 8; ++k) {
      const std::uint32_t previous = tables[k - 1][byte];
      tables[k][byte] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr auto kTables = makeTables();

}  // namespace

std::uint32_t crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  for (; n >= 8; n -= 8, p += 8) {
    // Little-endian byte order assembled by hand, so the loop is right on any host.
    const std::uint32_t low = (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                               std::uint32_t(p[3]) << 24) ^ crc;
    crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
          kTables[4][low >> 24] ^ kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
  }
  for (; n > 0; --n, ++p) crc = (crc >> 8) ^ kTables[0][(crc ^ *p) & 0xFF];
  return ~crc;
}

}  // namespace pellam
