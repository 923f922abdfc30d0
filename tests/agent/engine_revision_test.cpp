#include <gtest/gtest.h>

#include "agent/engine/revision.h"
#include "core/sha256.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

TEST(EngineRevisionTest, TokenIsTheDigestOfTheSortedArchiveForm) {
  Job acme = sampleArchive().jobs[0];
  const std::string token = engine::revision(acme);
  EXPECT_EQ(token.size(), 64u);
  EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
  // Dates as seconds since 2001 (2026-01-05T05:00:00Z), decimals with their digits.
  const std::string text =
      "{\"archived\":false,\"autoBreakAfterHours\":0,\"autoBreakMinutes\":30,\"color\":\"blue\","
      "\"currency\":\"USD\",\"dailyDoubleTime\":12,\"dailyOvertime\":8,\"doubleTimeMultiplier\":2,"
      "\"id\":\"11111111-1111-4111-8111-111111111111\",\"latitude\":0,\"locationMode\":\"Off\","
      "\"locationRadius\":200,\"longitude\":0,\"mileageRate\":0,\"name\":\"Acme\",\"notes\":\"\","
      "\"overtimeMultiplier\":1.5,\"payAnchor\":789282000,\"rate\":0,\"rounding\":\"None\","
      "\"roundingMinutes\":6,\"schedule\":\"Every two weeks\",\"targetHours\":8,\"weeklyOvertime\":40,"
      "\"withholding\":0}";
  EXPECT_EQ(token, sha256Hex(text));
}

TEST(EngineRevisionTest, EveryFieldChangesTheToken) {
  const Job base = sampleArchive().jobs[0];
  const std::string token = engine::revision(base);
  std::vector<std::pair<const char*, Job>> changed;
  auto with = [&](const char* what, auto change) {
    Job job = base;
    change(job);
    changed.emplace_back(what, job);
  };
  with("id", [](Job& j) { j.id = kBeta; });
  with("name", [](Job& j) { j.name = "Acme "; });
  with("rate", [](Job& j) { j.rate = Decimal::scaled(1, -2); });
  with("payAnchor by a millisecond", [](Job& j) { j.payAnchor.seconds += 0.001; });
  with("archived", [](Job& j) { j.archived = true; });
  with("rounding", [](Job& j) { j.rounding = Rounding::up; });
  with("locationRadius", [](Job& j) { j.locationRadius = 200.5; });
  for (const auto& [what, job] : changed) {
    EXPECT_NE(engine::revision(job), token) << what;
  }
  EXPECT_EQ(engine::revision(Job(base)), token);

  Entry running = sampleArchive().entries[1];
  Entry finished = running;
  finished.end = at("2026-03-04T14:00:00Z");
  EXPECT_NE(engine::revision(running), engine::revision(finished));
  Entry paused = running;
  paused.pauses.push_back(TimePause{});
  EXPECT_NE(engine::revision(running), engine::revision(paused));
}

TEST(EngineRevisionTest, IfMatchComparesExactly) {
  const Archive archive = sampleArchive();
  const std::string token = run(archive, "jobs.show", {{"id", "Acme"}}).result().find("revision")->asString();
  std::string upper = token;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  struct Case {
    const char* command;
    std::string ifMatch;
    bool ok;
  };
  const Case cases[] = {
      {"jobs.update", token, true},
      {"jobs.archive", token, true},
      {"jobs.copy", token, true},
      {"jobs.update", "", false},
      {"jobs.update", upper, false},
      {"jobs.update", token + " ", false},
      {"jobs.archive", std::string(64, '0'), false},
      {"jobs.copy", "stale", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " [" + c.ifMatch + "]");
    Outcome outcome = run(archive, c.command, {{"id", "Acme"}, {"if-match", c.ifMatch}});
    if (c.ok) {
      EXPECT_EQ(summary(outcome), "ok");
    } else {
      EXPECT_EQ(summary(outcome), "conflict: This record changed. Read it again before applying your update.");
      EXPECT_TRUE(outcome.failure->retryable);
    }
  }
}

TEST(EngineRevisionTest, ATokenGoesStaleAfterAnUpdate) {
  Archive archive = sampleArchive();
  const std::string before = run(archive, "jobs.show", {{"id", "Acme"}}).result().find("revision")->asString();
  Outcome update = run(archive, "jobs.update", {{"id", "Acme"}, {"notes", "gate code 4411"}, {"if-match", before}});
  ASSERT_TRUE(update.execution);
  const std::string after = update.result().find("revision")->asString();
  EXPECT_NE(after, before);
  archive = update.execution->archive;
  EXPECT_EQ(run(archive, "jobs.show", {{"id", "Acme"}}).result().find("revision")->asString(), after);
  EXPECT_EQ(summary(run(archive, "jobs.update", {{"id", "Acme"}, {"notes", "x"}, {"if-match", before}})),
            "conflict: This record changed. Read it again before applying your update.");
}

}  // namespace
}  // namespace pellam::agent::testing
