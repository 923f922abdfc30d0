#pragma once
// Eight bytes at a time: tests over a 64-bit word that are exact for the question "is there
// such a byte among the eight" (not for which one). The JSON reader and writer skip the long
// plain runs of an answer with them (a file's Base64 is megabytes of such runs).
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pellam::byte_words {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The eight bytes at `bytes`, which must all be readable.
inline std::uint64_t load(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// Non-zero when some byte of the word is below `bound` (at most 0x80).
constexpr std::uint64_t hasByteBelow(std::uint64_t word, unsigned char bound) {
  return (word - kOnes * bound) & ~word & kHighBits;
}

// Non-zero when some byte of the word is `c`.
constexpr std::uint64_t hasByte(std::uint64_t word, char c) {
  return hasByteBelow(word ^ (kOnes * static_cast<unsigned char>(c)), 1);
}

// Sixteen bytes at a time where the machine has the instructions for it (every x86-64 has):
// the first position from `at` on, in steps of 16, where fewer than 16 bytes remain before
// `size` or a block of 16 holds a byte other than plain ASCII text (a control, a quote, a
// backslash or a byte from 0x80). Elsewhere `at` itself; the callers go on eight bytes at a
// time from there.
inline std::size_t skipPlainAscii(const char* data, std::size_t at, std::size_t size) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i space = _mm_set1_epi8(0x20);
  while (at + 16 <= size) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    // A signed compare: bytes from 0x80 count as negative, below the space, as controls do.
    const __m128i outside = _mm_or_si128(_mm_cmpgt_epi8(space, block),
                                         _mm_or_si128(_mm_cmpeq_epi8(block, quote), _mm_cmpeq_epi8(block, backslash)));
    if (_mm_movemask_epi8(outside) != 0) break;
    at += 16;
  }
#else
  (void)data;
  (void)size;
#endif
  return at;
}

}  // namespace pellam::byte_words
