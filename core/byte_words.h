#pragma once
// Eight bytes at a time: tests over a 64-bit word that are exact for the question "is there
// such a byte among the eight" (not for which one). The JSON reader and writer skip the long
// plain runs of an answer with them (a file's Base64 is megabytes of such runs).
#include <cstdint>
#include <cstring>

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

}  // namespace pellam::byte_words
