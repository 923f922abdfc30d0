#include <gtest/gtest.h>

#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

std::string listedNames(const Outcome& outcome) {
  if (outcome.failure) return summary(outcome);
  std::string names;
  const Json result = outcome.result();
  for (const Json& item : result.find("items")->asArray()) {
    if (!names.empty()) names += ",";
    names += item.find("name")->asString();
  }
  return names;
}

Archive namedJobs(std::initializer_list<std::pair<const char*, bool>> jobs) {
  Archive archive = sampleArchive();
  archive.entries.clear();
  archive.jobs.clear();
  int n = 0;
  for (const auto& [name, archived] : jobs) {
    // Identifiers counting down, so stored order, identifier order and name order differ.
    archive.jobs.push_back(job(uuid("00000000-0000-4000-8000-0000000000" + std::to_string(90 - n++)), name, archived));
  }
  return archive;
}

TEST(EngineJobsTest, ListFiltersAndSortsByCodePoint) {
  const Archive archive = namedJobs({{"b", false},
                                     {"a", false},
                                     {"B", true},
                                     {"ACME Corp", false},
                                     {"Émile", false},
                                     {"Zeta", false},
                                     {"Straße", true},
                                     {"a", true}});
  struct Case {
    Arguments arguments;
    const char* expected;
  };
  const Case cases[] = {
      // Upper case before lower case, non-ASCII after ASCII; equal names by identifier.
      {{}, "ACME Corp,B,Straße,Zeta,a,a,b,Émile"},
      {{{"archived", "false"}}, "ACME Corp,Zeta,a,b,Émile"},
      {{{"archived", "TRUE"}}, "B,Straße,a"},
      {{{"query", "acme"}}, "ACME Corp"},
      {{{"query", "CORP"}}, "ACME Corp"},
      {{{"query", "STRASSE"}}, "Straße"},
      {{{"query", "émi"}}, "Émile"},
      {{{"query", "a"}, {"archived", "false"}}, "ACME Corp,Zeta,a"},
      {{{"query", ""}}, "ACME Corp,B,Straße,Zeta,a,a,b,Émile"},
      {{{"query", "nothing"}}, ""},
      {{{"archived", "maybe"}}, "invalid_argument: --archived must be true or false."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(listedNames(run(archive, "jobs.list", c.arguments)), c.expected);
  }
  // The two jobs named "a": the smaller identifier first.
  Json both = *run(archive, "jobs.list", {}).result().find("items");
  EXPECT_EQ(both.asArray()[4].find("id")->asString(), "00000000-0000-4000-8000-000000000083");
  EXPECT_EQ(both.asArray()[5].find("id")->asString(), "00000000-0000-4000-8000-000000000089");
}

TEST(EngineJobsTest, ShowByIdentifierOrUniqueName) {
  const Archive archive = sampleArchive();
  for (const char* key : {"Beta", "22222222-2222-4222-8222-222222222222", "22222222-2222-4222-8222-222222222222"}) {
    Outcome outcome = run(archive, "jobs.show", {{"id", key}});
    Json result = outcome.result();
    EXPECT_EQ(result.asObject().size(), 3u);
    EXPECT_EQ(result.find("job")->find("id")->asString(), "22222222-2222-4222-8222-222222222222");
    EXPECT_EQ(result.find("revision")->asString().size(), 64u);
    EXPECT_FALSE(result.find("dryRun")->asBool());
  }
  EXPECT_EQ(summary(run(archive, "jobs.show", {{"id", "beta"}})),
            "not_found: Choose a unique job UUID from pellam jobs list.");
  Archive twins = archive;
  twins.jobs.push_back(job(uuid("44444444-4444-4444-8444-444444444444"), "Beta"));
  EXPECT_EQ(summary(run(twins, "jobs.show", {{"id", "Beta"}})),
            "ambiguous_job: Choose a unique job UUID from pellam jobs list.");
  EXPECT_EQ(summary(run(twins, "jobs.show", {{"id", "44444444-4444-4444-8444-444444444444"}})), "ok");
}

TEST(EngineJobsTest, CreateAppendsANormalisedJobWithTheRequestIdentifier) {
  const Archive archive = sampleArchive();
  Outcome outcome = run(archive, "jobs.create", {{"name", "  Gamma Ltd \n"}, {"currency", "eur"}, {"rate", "31.50"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  const std::vector<Job>& jobs = outcome.execution->archive.jobs;
  ASSERT_EQ(jobs.size(), 4u);
  const Job& created = jobs.back();
  EXPECT_EQ(created.id, kRequestId);
  EXPECT_EQ(created.name, "Gamma Ltd");
  EXPECT_EQ(created.currency, "EUR");
  EXPECT_EQ(created.rate, Decimal::scaled(315, -1));
  // Defaults of a new job, the pay anchor at the start of today in New York.
  EXPECT_EQ(created.color, "blue");
  EXPECT_EQ(created.overtimeMultiplier, Decimal::scaled(15, -1));
  EXPECT_EQ(created.schedule, PaySchedule::biweekly);
  EXPECT_FALSE(created.archived);
  EXPECT_EQ(created.payAnchor, at("2026-03-04T05:00:00Z"));
  EXPECT_EQ(outcome.result().find("job")->find("payAnchor")->asString(), "2026-03-04T05:00:00Z");
  // The stored jobs before it are untouched and keep their order.
  EXPECT_TRUE(std::equal(archive.jobs.begin(), archive.jobs.end(), jobs.begin()));
}

TEST(EngineJobsTest, CreateTakesTheDayInThePreferenceZone) {
  Archive archive = sampleArchive();
  struct Case {
    const char* zone;
    const char* now;
    const char* anchor;
  };
  const Case cases[] = {
      {"America/New_York", "2026-03-05T03:00:00Z", "2026-03-04T05:00:00Z"},  // still the 4th in New York
      {"Asia/Tokyo", "2026-03-04T15:00:00Z", "2026-03-04T15:00:00Z"},        // already the 5th in Tokyo
      {"America/Santiago", "2022-09-11T15:00:00Z", "2022-09-11T04:00:00Z"},  // midnight skipped
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zone);
    archive.preferences.timeZone = c.zone;
    archive.entries.clear();
    Outcome outcome = run(archive, request("jobs.create", {{"name", "Gamma"}}), at(c.now));
    ASSERT_TRUE(outcome.execution) << summary(outcome);
    EXPECT_EQ(outcome.execution->archive.jobs.back().payAnchor, at(c.anchor));
  }
}

TEST(EngineJobsTest, CreateRules) {
  Archive archive = sampleArchive();
  struct Case {
    Arguments arguments;
    const char* expected;
  };
  const Case cases[] = {
      {{{"name", "Gamma"}, {"pay-anchor", "2026-02-01T00:00:00Z"}}, "ok"},
      {{{"patch", "{\"name\":\"Gamma\",\"schedule\":\"Monthly\"}"}}, "ok"},
      {{{"name", "Gamma"}, {"id", "x"}}, "invalid_argument: Unknown arguments for jobs.create: id."},
      {{{"name", "Gamma"}, {"if-match", "x"}}, "invalid_argument: Unknown arguments for jobs.create: if-match."},
      {{{"name", "Gamma"}, {"currency", "eu"}}, "data_error: Check the pay, rounding, or location settings for Gamma."},
      {{}, "data_error: Check the pay, rounding, or location settings for ."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(summary(run(archive, "jobs.create", c.arguments)), c.expected);
  }
}

TEST(EngineJobsTest, CreateTwiceWithOneRequestIdentifierConflicts) {
  Outcome first = run(sampleArchive(), "jobs.create", {{"name", "Gamma"}});
  ASSERT_TRUE(first.execution);
  Outcome second = run(first.execution->archive, "jobs.create", {{"name", "Delta"}});
  EXPECT_EQ(summary(second), "conflict: This job ID already exists.");
  EXPECT_FALSE(second.failure->retryable);
}

TEST(EngineJobsTest, UpdateReplacesTheJobInPlace) {
  const Archive archive = sampleArchive();
  Outcome outcome = run(archive, "jobs.update",
                        {{"id", "beta"}, {"name", " Beta Two "}, {"currency", "cad"}, {"weekly-overtime", "44"}});
  EXPECT_EQ(summary(outcome), "not_found: Choose a unique job UUID from pellam jobs list.");

  outcome = run(archive, "jobs.update",
                {{"id", "22222222-2222-4222-8222-222222222222"}, {"name", " Beta Two "}, {"currency", "cad"},
                 {"weekly-overtime", "44"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  const Job& updated = outcome.execution->archive.jobs[1];
  EXPECT_EQ(updated.id, kBeta);
  EXPECT_EQ(updated.name, "Beta Two");
  EXPECT_EQ(updated.currency, "CAD");
  EXPECT_EQ(updated.weeklyOvertime, 44);
  EXPECT_EQ(outcome.execution->archive.jobs.size(), 3u);
  EXPECT_EQ(outcome.result().find("job")->find("name")->asString(), "Beta Two");
}

TEST(EngineJobsTest, ArchiveSetsOrClearsTheFlag) {
  const Archive archive = sampleArchive();
  struct Case {
    const char* key;
    const char* archived;  // nullptr: argument absent
    const char* expected;
    bool flag;
  };
  const Case cases[] = {
      {"Acme", nullptr, "ok", true},
      {"Acme", "true", "ok", true},
      {"Old", "false", "ok", false},
      {"Old", "False", "ok", false},
      {"Old", nullptr, "ok", true},
      // Beta's timer runs.
      {"Beta", nullptr, "invalid_argument: Clock out before archiving this job.", false},
      {"Beta", "false", "ok", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + (c.archived ? c.archived : "-"));
    Arguments arguments{{"id", c.key}};
    if (c.archived) arguments["archived"] = c.archived;
    Outcome outcome = run(archive, "jobs.archive", arguments);
    EXPECT_EQ(summary(outcome), c.expected);
    if (outcome.execution) {
      EXPECT_EQ(outcome.result().find("job")->find("archived")->asBool(), c.flag);
    }
  }
}

TEST(EngineJobsTest, AnArchivedJobWithARunningEntryCannotBeUpdated) {
  Archive archive = sampleArchive();
  archive.jobs[1].archived = true;  // Beta, whose entry still runs
  EXPECT_EQ(summary(run(archive, "jobs.update", {{"id", "Beta"}, {"notes", "x"}})),
            "invalid_argument: Clock out before archiving this job.");
  EXPECT_EQ(summary(run(archive, "jobs.update", {{"id", "Beta"}, {"archived", "false"}})), "ok");
  // Archiving through an update meets the same rule.
  EXPECT_EQ(summary(run(sampleArchive(), "jobs.update", {{"id", "Beta"}, {"archived", "true"}})),
            "invalid_argument: Clock out before archiving this job.");
  EXPECT_EQ(summary(run(sampleArchive(), "jobs.update", {{"id", "Acme"}, {"patch", "{\"archived\":true}"}})), "ok");
}

TEST(EngineJobsTest, CopyAppendsAnActiveCopyWithTheRequestIdentifier) {
  Archive archive = sampleArchive();
  archive.jobs[2].name = "  Old  ";  // copied verbatim, never trimmed
  archive.jobs[2].currency = "usd";
  archive.jobs[2].rate = 17;
  struct Case {
    const char* name;  // nullptr: argument absent
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "  Old   copy"},
      {"Older", "Older"},
      {" spaced ", " spaced "},
  };
  for (const auto& c : cases) {
    Arguments arguments{{"id", "33333333-3333-4333-8333-333333333333"}};
    if (c.name) arguments["name"] = c.name;
    Outcome outcome = run(archive, "jobs.copy", arguments);
    ASSERT_TRUE(outcome.execution) << summary(outcome);
    const Job& copy = outcome.execution->archive.jobs.back();
    EXPECT_EQ(outcome.execution->archive.jobs.size(), 4u);
    EXPECT_EQ(copy.id, kRequestId);
    EXPECT_EQ(copy.name, c.expected);
    EXPECT_FALSE(copy.archived);
    EXPECT_EQ(copy.currency, "usd");
    EXPECT_EQ(copy.rate, 17);
    EXPECT_EQ(copy.payAnchor, archive.jobs[2].payAnchor);
    EXPECT_EQ(outcome.execution->archive.entries, archive.entries);  // entries are never copied
  }
  // An empty name is taken as given, and validation refuses it.
  EXPECT_EQ(summary(run(archive, "jobs.copy", {{"id", "Acme"}, {"name", ""}})),
            "data_error: Check the pay, rounding, or location settings for .");
}

TEST(EngineJobsTest, CopyWithATakenIdentifierConflicts) {
  Outcome first = run(sampleArchive(), "jobs.copy", {{"id", "Acme"}});
  ASSERT_TRUE(first.execution);
  Outcome second = run(first.execution->archive, "jobs.copy", {{"id", "Beta"}});
  EXPECT_EQ(summary(second), "conflict: The copied job ID already exists.");
  EXPECT_FALSE(second.failure->retryable);
}

TEST(EngineJobsTest, CopyOfARunningJobNeedsNoClockOut) {
  // The copy is active, so Beta's running entry does not matter.
  Outcome outcome = run(sampleArchive(), "jobs.copy", {{"id", "Beta"}});
  EXPECT_EQ(summary(outcome), "ok");
}

}  // namespace
}  // namespace pellam::agent::testing
