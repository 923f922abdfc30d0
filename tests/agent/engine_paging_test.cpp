#include <gtest/gtest.h>

#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

// Five jobs named J0 ... J4.
Archive fiveJobs() {
  Archive archive = sampleArchive();
  archive.entries.clear();
  archive.jobs.clear();
  for (int i = 0; i < 5; ++i) {
    archive.jobs.push_back(job(uuid("00000000-0000-4000-8000-00000000000" + std::to_string(i)), "J" + std::to_string(i)));
  }
  return archive;
}

struct PagingCase {
  Arguments arguments;
  const char* expected;  // "names | total limit offset" or "code: message"
};

std::string describe(const Outcome& outcome) {
  if (outcome.failure) return summary(outcome);
  Json result = outcome.result();
  std::string names;
  for (const Json& item : result.find("items")->asArray()) names += item.find("name")->asString() + " ";
  return names + "| " + result.find("total")->numberLexeme() + " " + result.find("limit")->numberLexeme() + " " +
         result.find("offset")->numberLexeme();
}

TEST(EnginePagingTest, LimitAndOffsetBounds) {
  const PagingCase cases[] = {
      {{}, "J0 J1 J2 J3 J4 | 5 100 0"},
      {{{"limit", "2"}}, "J0 J1 | 5 2 0"},
      {{{"limit", "2"}, {"offset", "3"}}, "J3 J4 | 5 2 3"},
      {{{"offset", "4"}}, "J4 | 5 100 4"},
      {{{"offset", "5"}}, "| 5 100 5"},
      {{{"offset", "9223372036854775807"}, {"limit", "1000"}}, "| 5 1000 9223372036854775807"},
      {{{"limit", "1000"}}, "J0 J1 J2 J3 J4 | 5 1000 0"},
      {{{"limit", "1"}}, "J0 | 5 1 0"},
      {{{"limit", "+5"}}, "J0 J1 J2 J3 J4 | 5 5 0"},
      {{{"offset", "+1"}, {"limit", "1"}}, "J1 | 5 1 1"},
      {{{"offset", "-0"}}, "J0 J1 J2 J3 J4 | 5 100 0"},
      {{{"limit", "007"}}, "J0 J1 J2 J3 J4 | 5 7 0"},
      {{{"limit", "0"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", "1001"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", "-5"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", ""}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", "+"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", "5.0"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", " 5"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", "1e2"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", "99999999999999999999"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"offset", "-1"}}, "invalid_argument: --offset must be a nonnegative integer."},
      {{{"offset", "x"}}, "invalid_argument: --offset must be a nonnegative integer."},
      {{{"offset", "9223372036854775808"}}, "invalid_argument: --offset must be a nonnegative integer."},
      // Past the largest 64-bit values: refused, never wrapped round to a small number.
      {{{"offset", "18446744073709551616"}}, "invalid_argument: --offset must be a nonnegative integer."},
      {{{"offset", "18446744073709551617"}}, "invalid_argument: --offset must be a nonnegative integer."},
      {{{"offset", "36893488147419103233"}}, "invalid_argument: --offset must be a nonnegative integer."},
      {{{"limit", "18446744073709551617"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"limit", "18446744073709551621"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"offset", "-9223372036854775809"}}, "invalid_argument: --offset must be a nonnegative integer."},
      // The limit is read before the offset.
      {{{"limit", "0"}, {"offset", "-1"}}, "invalid_argument: --limit must be from 1 through 1000."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(describe(run(fiveJobs(), "jobs.list", c.arguments)), c.expected);
  }
}

TEST(EnginePagingTest, PageItemsAreInWireFormWithoutDryRun) {
  Outcome outcome = run(fiveJobs(), "jobs.list", {{"limit", "1"}}, true);
  Json result = outcome.result();
  EXPECT_EQ(result.asObject().size(), 4u);
  EXPECT_EQ(result.find("dryRun"), nullptr);
  const Json& first = result.find("items")->asArray().at(0);
  EXPECT_EQ(first.find("payAnchor")->asString(), "2026-01-05T05:00:00Z");
  EXPECT_EQ(first.find("id")->asString(), "00000000-0000-4000-8000-000000000000");
}

}  // namespace
}  // namespace pellam::agent::testing
