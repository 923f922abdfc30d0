// The check for an id that appears twice, on sets small and large, with ids as a generator
// makes them and as a hand (or a hostile file) might: differing in one bit, or only in bits
// a weak hash would drop.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/validation/validation_rules.h"

namespace pellam {
namespace {

using validation_rules::hasDuplicate;
using validation_rules::UuidKey;

UuidKey randomKey(std::uint64_t& state) {
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  const UuidKey high = next();
  return high << 64 | next();
}

TEST(DuplicateIdsTest, AnIdThatAppearsTwiceIsFoundWhereverItIs) {
  struct Case {
    const char* label;
    std::vector<UuidKey> (*make)(std::size_t count);
  };
  const Case cases[] = {
      {"random",
       [](std::size_t count) {
         std::uint64_t state = 88172645463325252ull;
         std::vector<UuidKey> ids;
         for (std::size_t i = 0; i < count; ++i) ids.push_back(randomKey(state));
         return ids;
       }},
      {"counting in the low bits",
       [](std::size_t count) {
         std::vector<UuidKey> ids;
         for (std::size_t i = 0; i < count; ++i) ids.push_back(UuidKey(i));
         return ids;
       }},
      {"counting in the high bits only",
       [](std::size_t count) {
         std::vector<UuidKey> ids;
         for (std::size_t i = 0; i < count; ++i) ids.push_back(UuidKey(i) << 100);
         return ids;
       }},
      {"counting across the halves",
       [](std::size_t count) {
         std::vector<UuidKey> ids;
         for (std::size_t i = 0; i < count; ++i) ids.push_back(UuidKey(i) << 58);
         return ids;
       }},
  };
  for (const Case& c : cases) {
    for (std::size_t count : {2u, 5u, 1023u, 1024u, 1025u, 100000u}) {
      SCOPED_TRACE(std::string(c.label) + ", " + std::to_string(count));
      const std::vector<UuidKey> ids = c.make(count);
      EXPECT_FALSE(hasDuplicate(ids));
      for (auto [from, to] : {std::pair{count - 1, std::size_t(0)}, std::pair{std::size_t(0), count - 1},
                              std::pair{count / 2, count / 2 + 1 == count ? std::size_t(0) : count / 2 + 1}}) {
        std::vector<UuidKey> twice = ids;
        twice[to] = twice[from];
        EXPECT_TRUE(hasDuplicate(twice)) << from << " at " << to;
      }
    }
  }
}

TEST(DuplicateIdsTest, IdsMadeToShareOneSlotAreStillJudgedRight) {
  // Ids chosen so that the table's mix of their halves is the same for all (the inverse of its
  // multiplier for the low half): one run of taken slots, judged by sorting instead, still right.
  constexpr std::uint64_t kLowMultiplier = 0x9E3779B97F4A7C15ull, kHighMultiplier = 0xC2B2AE3D27D4EB4Full;
  std::uint64_t inverse = kLowMultiplier;  // Newton's iteration for the inverse modulo 2^64
  for (int i = 0; i < 6; ++i) inverse *= 2 - kLowMultiplier * inverse;
  ASSERT_EQ(kLowMultiplier * inverse, 1u);
  std::vector<UuidKey> ids;
  for (std::uint64_t high = 1; high <= 5000; ++high) {
    const std::uint64_t low = (0x1234u ^ high * kHighMultiplier) * inverse;
    ids.push_back(UuidKey(high) << 64 | low);
  }
  EXPECT_FALSE(hasDuplicate(ids));
  for (std::size_t at : {std::size_t(1), std::size_t(100), std::size_t(4999)}) {
    std::vector<UuidKey> twice = ids;
    twice[at] = twice[0];
    EXPECT_TRUE(hasDuplicate(twice)) << at;
  }
}

}  // namespace
}  // namespace pellam
