#include "core/base64.h"

#include <openssl/evp.h>

#include <array>

namespace pellam {

std::string base64Encode(std::string_view bytes) {
  // One buffer, with room for the NUL that EVP_EncodeBlock writes after the text (an export's
  // file can be tens of megabytes).
  std::string buffer(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(buffer.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  buffer.resize(static_cast<std::size_t>(written));
  return buffer;
}

namespace {

constexpr std::array<signed char, 256> decodeTable() {
  std::array<signed char, 256> table{};
  for (auto& v : table) v = -1;
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
  return table;
}

constexpr auto kDecode = decodeTable();

}  // namespace

std::optional<std::string> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    int padding = 0;
    if (last && text[i + 3] == '=') padding = text[i + 2] == '=' ? 2 : 1;
    int v[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4 - padding; ++k) {
      v[k] = kDecode[static_cast<unsigned char>(text[i + k])];
      if (v[k] < 0) return std::nullopt;
    }
    std::uint32_t word = (std::uint32_t(v[0]) << 18) | (std::uint32_t(v[1]) << 12) | (std::uint32_t(v[2]) << 6) |
                         std::uint32_t(v[3]);
    out.push_back(static_cast<char>(word >> 16));
    if (padding < 2) out.push_back(static_cast<char>((word >> 8) & 0xFF));
    if (padding < 1) out.push_back(static_cast<char>(word & 0xFF));
    // Bits that padding drops must be zero, or two texts would decode to the same bytes.
    if (padding == 1 && (word & 0xFF) != 0) return std::nullopt;
    if (padding == 2 && (word & 0xFFFF) != 0) return std::nullopt;
  }
  return out;
}

}  // namespace pellam
