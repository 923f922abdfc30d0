#pragma once
// What every fuzz target shares: the input as text, a fixed clock, and a check that stops
// the run with a message when an oracle disagrees.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/instant.h"

namespace pellam::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A fixed moment (2026-03-04T15:00:00Z), so every run of an input takes the same path.
inline constexpr Instant kNow{794329200.0};

// Pieces of the input between NUL bytes (an argument vector, a list of fields).
inline std::vector<std::string> splitOnNul(std::string_view input) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = input.find('\0', start);
    pieces.emplace_back(input.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return pieces;
    start = end + 1;
  }
}

// An oracle's disagreement is a finding: print it and abort so libFuzzer keeps the input.
[[noreturn]] inline void fail(const std::string& what) {
  std::fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
  std::abort();
}

inline void check(bool holds, const std::string& what) {
  if (!holds) fail(what);
}

}  // namespace pellam::fuzz
