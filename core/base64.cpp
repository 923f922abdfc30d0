#include "core/base64.h"

#include "core/huge_pages.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

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

// Sixteen characters at a time where the processor has SSSE3 (the byte shuffle): several
// times the table's speed on an export's megabytes. Chosen once, at run time, so the program
// still runs on a processor without it.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define PELLAM_BASE64_SSSE3 1

bool hasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// Twelve bytes at `in` (sixteen readable) to sixteen characters at `to`: each three bytes'
// four six-bit indices moved into bytes of their own, then turned into characters by adding
// the offset of their range (A-Z, a-z, 0-9, +, /).
__attribute__((target("ssse3"))) std::size_t encodeBlocks(const unsigned char* in, std::size_t size, char* to) {
  std::size_t done = 0;
  for (; done + 16 <= size; done += 12, to += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
    v = _mm_shuffle_epi8(v, _mm_set_epi8(10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1));
    const __m128i high = _mm_mulhi_epu16(_mm_and_si128(v, _mm_set1_epi32(0x0fc0fc00)), _mm_set1_epi32(0x04000040));
    const __m128i low = _mm_mullo_epi16(_mm_and_si128(v, _mm_set1_epi32(0x003f03f0)), _mm_set1_epi32(0x01000010));
    const __m128i indices = _mm_or_si128(high, low);
    // 0 for A-Z, 1 for a-z, 2-11 for the digits, 12 for '+', 13 for '/': the offset's slot.
    __m128i slot = _mm_subs_epu8(indices, _mm_set1_epi8(51));
    slot = _mm_or_si128(slot, _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), indices), _mm_set1_epi8(13)));
    const __m128i offsets = _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                          '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_add_epi8(_mm_shuffle_epi8(offsets, slot), indices));
  }
  return done;
}
#endif

}  // namespace

void appendBase64(std::string& out, std::string_view bytes) {
  const std::size_t start = out.size();
  // Encoded in place: an export's file can be tens of megabytes, never copied.
  out.resize(start + base64Length(bytes.size()));
  char* to = out.data() + start;
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t whole = bytes.size() / 3 * 3;
  std::size_t i = 0;
#ifdef PELLAM_BASE64_SSSE3
  if (hasSsse3()) {
    i = encodeBlocks(in, whole, to);
    to += i / 3 * 4;
  }
#endif
  for (; i < whole; i += 3, to += 4) {
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

#ifdef PELLAM_BASE64_SSSE3
// Four groups at a time, while at least two more follow (each block stores sixteen bytes for
// its twelve; the groups after it overwrite the rest). Returns the groups decoded; it stops
// before a block with a character outside the alphabet, which the table then finds.
__attribute__((target("ssse3"))) std::size_t decodeBlocks(const unsigned char* in, std::size_t groups,
                                                         unsigned char* to) {
  // By the high and the low half of each character: a bit the two look-ups share marks a
  // character outside the alphabet (bytes from 0x80 and '=' included).
  const __m128i lowBits = _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B,
                                        0x1B, 0x1B, 0x1A);
  const __m128i highBits = _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10,
                                         0x10, 0x10, 0x10);
  // What turns a character into its six bits, by its high half ('/' apart).
  const __m128i roll = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  std::size_t g = 0;
  for (; g + 6 <= groups; g += 4, in += 16, to += 12) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = _mm_and_si128(_mm_srli_epi32(v, 4), _mm_set1_epi8(0x0f));
    const __m128i low = _mm_and_si128(v, _mm_set1_epi8(0x0f));
    const __m128i outside = _mm_and_si128(_mm_shuffle_epi8(lowBits, low), _mm_shuffle_epi8(highBits, high));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(outside, _mm_setzero_si128())) != 0xFFFF) break;
    const __m128i slash = _mm_cmpeq_epi8(v, _mm_set1_epi8('/'));
    const __m128i values = _mm_add_epi8(v, _mm_shuffle_epi8(roll, _mm_add_epi8(slash, high)));
    // Six-bit values into 12-bit pairs, pairs into 24-bit groups, groups into bytes in order.
    const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
    const __m128i words = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    const __m128i bytes =
        _mm_shuffle_epi8(words, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes);
  }
  return g;
}
#endif

// Decodes `groups` whole groups of four characters without padding; the result has
// kOutside set when any character is outside the alphabet ('=' included).
std::uint32_t decodeGroups(const unsigned char* in, std::size_t groups, unsigned char* to) {
  std::uint32_t seen = 0;
  std::size_t g = 0;
#ifdef PELLAM_BASE64_SSSE3
  if (hasSsse3()) {
    g = decodeBlocks(in, groups, to);
    in += 4 * g;
    to += 3 * g;
  }
#endif
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
