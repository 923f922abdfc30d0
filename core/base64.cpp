#include "core/base64.h"

#include "core/huge_pages.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace pellam {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two characters of every 12-bit half of a group of three bytes: a group is encoded with
// two look-ups (several times OpenSSL's EVP_EncodeBlock on an export's megabytes).
constexpr std::array<std::array<char, 2>, 4096> pairTable() {
  std::array<std::array<char, 2>, 4096> table{};
  for (std::size_t v = 0; v < 4096; ++v) table[v] = {kAlphabet[v >> 6], kAlphabet[v & 63]};
  return table;
}

constexpr auto kPairs = pairTable();

}  // namespace

void appendBase64(std::string& out, std::string_view bytes) {
  const std::size_t start = out.size();
  // Encoded in place: an export's file can be tens of megabytes, never copied.
  out.resize(start + base64Length(bytes.size()));
  char* to = out.data() + start;
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t whole = bytes.size() / 3 * 3;
  for (std::size_t i = 0; i < whole; i += 3, to += 4) {
    const std::uint32_t group = (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8) | in[i + 2];
    std::memcpy(to, kPairs[group >> 12].data(), 2);
    std::memcpy(to + 2, kPairs[group & 0xFFF].data(), 2);
  }
  const std::size_t rest = bytes.size() - whole;
  if (rest > 0) {
    const std::uint32_t group = (std::uint32_t(in[whole]) << 16) | (rest == 2 ? std::uint32_t(in[whole + 1]) << 8 : 0);
    to[0] = kAlphabet[group >> 18];
    to[1] = kAlphabet[(group >> 12) & 63];
    to[2] = rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    to[3] = '=';
  }
}

std::string base64Encode(std::string_view bytes) {
  std::string text;
  appendBase64(text, bytes);
  return text;
}

namespace {

// One table per position in a group of four characters, each holding the character's six
// bits already shifted into place, so that a group decodes with three ORs. A character
// outside the alphabet sets a bit above the 24 bits of the group, which the ORs keep.
constexpr std::uint32_t kOutside = 1u << 24;

constexpr std::array<std::uint32_t, 256> decodeTable(int shift) {
  std::array<std::uint32_t, 256> table{};
  for (auto& v : table) v = kOutside;
  for (std::uint32_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i << shift;
  return table;
}

constexpr auto kDecode0 = decodeTable(18);
constexpr auto kDecode1 = decodeTable(12);
constexpr auto kDecode2 = decodeTable(6);
constexpr auto kDecode3 = decodeTable(0);

std::uint32_t group(const unsigned char* in) {
  return kDecode0[in[0]] | kDecode1[in[1]] | kDecode2[in[2]] | kDecode3[in[3]];
}

// Decodes `groups` whole groups of four characters without padding; the result has
// kOutside set when any character is outside the alphabet ('=' included).
std::uint32_t decodeGroups(const unsigned char* in, std::size_t groups, unsigned char* to) {
  std::uint32_t seen = 0;
  std::size_t g = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Four groups a turn, their bytes stored as two eight-byte words: the last two bytes of
    // each word are garbage that the group after them overwrites, so a turn needs one more
    // group to follow it. About a third faster than a byte at a time.
    for (; g + 4 < groups; g += 4, in += 16, to += 12) {
      const std::uint32_t a = group(in), b = group(in + 4), c = group(in + 8), d = group(in + 12);
      seen |= a | b | c | d;
      const std::uint64_t first = __builtin_bswap64((std::uint64_t(a) << 40) | (std::uint64_t(b) << 16));
      const std::uint64_t second = __builtin_bswap64((std::uint64_t(c) << 40) | (std::uint64_t(d) << 16));
      std::memcpy(to, &first, 8);
      std::memcpy(to + 6, &second, 8);
    }
  }
  for (; g < groups; ++g, in += 4, to += 3) {
    const std::uint32_t word = group(in);
    seen |= word;
    to[0] = static_cast<unsigned char>(word >> 16);
    to[1] = static_cast<unsigned char>(word >> 8);
    to[2] = static_cast<unsigned char>(word);
  }
  return seen;
}

int paddingOf(std::string_view text) {
  if (text.empty() || text.back() != '=') return 0;
  return text[text.size() - 2] == '=' ? 2 : 1;
}

// The last group of four characters, where padding may stand: its one to three bytes go to
// `to`. False when it breaks a rule.
bool decodeLastGroup(const unsigned char* in, int padding, unsigned char* to) {
  unsigned char last[4] = {in[0], in[1], in[2], in[3]};
  for (int k = 4 - padding; k < 4; ++k) last[k] = 'A';  // padding counts as zero bits
  const std::uint32_t word = group(last);
  if (word & kOutside) return false;
  // Bits that padding drops must be zero, or two texts would decode to the same bytes.
  if (padding == 1 && (word & 0xFF) != 0) return false;
  if (padding == 2 && (word & 0xFFFF) != 0) return false;
  to[0] = static_cast<unsigned char>(word >> 16);
  if (padding < 2) to[1] = static_cast<unsigned char>(word >> 8);
  if (padding < 1) to[2] = static_cast<unsigned char>(word);
  return true;
}

}  // namespace

std::optional<std::string> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  if (text.empty()) return std::string();
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t groups = text.size() / 4;
  const int padding = paddingOf(text);

  // An answer's file is megabytes, faulted in page by page as it is filled.
  std::string out;
  reserveWithHugePages(out, groups * 3 - static_cast<std::size_t>(padding));
  out.resize(groups * 3 - static_cast<std::size_t>(padding));
  auto* to = reinterpret_cast<unsigned char*>(out.data());
  // Every group but the last has no padding; an '=' among them is outside the alphabet.
  if (decodeGroups(in, groups - 1, to) & kOutside) return std::nullopt;
  if (!decodeLastGroup(in + 4 * (groups - 1), padding, to + 3 * (groups - 1))) return std::nullopt;
  return out;
}

bool base64DecodeInParts(std::string_view text, std::size_t partBytes,
                         const std::function<void(std::string_view)>& part) {
  if (text.size() % 4 != 0) return false;
  if (text.empty()) return true;
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t groups = text.size() / 4;
  const int padding = paddingOf(text);
  const std::size_t groupsPerPart = std::max<std::size_t>(1, partBytes / 3);
  // One buffer, reused: the decoded file is never held whole.
  std::string buffer(3 * std::min(groupsPerPart, groups), '\0');
  auto* to = reinterpret_cast<unsigned char*>(buffer.data());
  // Each part is checked before it is handed over; the last group waits for the last part.
  std::size_t done = 0;
  while (done < groups) {
    const std::size_t count = std::min(groupsPerPart, groups - done);
    const bool last = done + count == groups;
    const std::size_t plain = last ? count - 1 : count;
    if (decodeGroups(in + 4 * done, plain, to) & kOutside) return false;
    std::size_t size = 3 * plain;
    if (last) {
      if (!decodeLastGroup(in + 4 * (groups - 1), padding, to + size)) return false;
      size += 3 - static_cast<std::size_t>(padding);
    }
    part(std::string_view(buffer.data(), size));
    done += count;
  }
  return true;
}

bool isBase64(std::string_view text) {
  // Small parts: the bytes are only looked at, in a buffer that stays in the cache.
  return base64DecodeInParts(text, 3 * 4096, [](std::string_view) {});
}

}  // namespace pellam
