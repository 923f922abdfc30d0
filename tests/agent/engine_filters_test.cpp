#include <gtest/gtest.h>

#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

const Uuid kMain = uuid("F0000000-0000-4000-8000-000000000001");
const Uuid kAudit = uuid("F0000000-0000-4000-8000-000000000002");

SavedFilter view(Uuid id, std::string name, std::optional<Uuid> jobID) {
  SavedFilter filter;
  filter.id = id;
  filter.name = std::move(name);
  filter.jobID = jobID;
  filter.tag = "client";
  filter.range = "Custom";
  filter.from = at("2026-01-01T05:00:00Z");
  filter.through = at("2026-02-01T05:00:00Z");
  return filter;
}

// Two saved views, stored against name order: one of Acme's, one of no job.
Archive withViews() {
  Archive archive = sampleArchive();
  archive.filters = {view(kMain, "Main", kAcme), view(kAudit, "Audit", std::nullopt)};
  return archive;
}

TEST(EngineFiltersTest, ListKeepsStoredOrder) {
  const Archive archive = withViews();
  const Json result = run(archive, "filters.list").result();
  EXPECT_EQ(writeJson(result),
            R"({"items":[{"from":"2026-01-01T05:00:00Z","id":"F0000000-0000-4000-8000-000000000001",)"
            R"("jobID":"11111111-1111-4111-8111-111111111111","name":"Main","query":"","range":"Custom",)"
            R"("tag":"client","through":"2026-02-01T05:00:00Z"},{"from":"2026-01-01T05:00:00Z",)"
            R"("id":"F0000000-0000-4000-8000-000000000002","name":"Audit","query":"","range":"Custom",)"
            R"("tag":"client","through":"2026-02-01T05:00:00Z"}],"limit":100,"offset":0,"total":2})");
  const Json second = run(archive, "filters.list", {{"offset", "+1"}}).result();
  EXPECT_EQ(second.find("items")->asArray().size(), 1u);
  EXPECT_EQ(second.find("items")->asArray()[0].find("name")->asString(), "Audit");
  EXPECT_EQ(summary(run(archive, "filters.list", {{"offset", "-1"}})),
            "invalid_argument: --offset must be a nonnegative integer.");
  EXPECT_EQ(summary(run(archive, "filters.list", {{"id", "x"}})),
            "invalid_argument: Unknown arguments for filters.list: id.");
}

TEST(EngineFiltersTest, CreateStartsFromTheNewViewDefaults) {
  const Archive archive = withViews();
  Outcome outcome = run(archive, "filters.create", {{"name", " Week "}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  const std::vector<SavedFilter>& stored = outcome.execution->archive.filters;
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0], archive.filters[0]);
  EXPECT_EQ(stored[1], archive.filters[1]);
  EXPECT_EQ(writeJson(outcome.result()),
            R"({"dryRun":false,"filter":{"from":"2026-03-04T15:00:00Z","id":"0E0E0E0E-0000-4000-8000-00000000000E",)"
            R"("name":" Week ","query":"","range":"This week","tag":"","through":"2026-03-04T15:00:00Z"},)"
            R"("revision":")" +
                outcome.result().find("revision")->asString() + R"("})");
  EXPECT_EQ(stored[2].from, kNow);
  EXPECT_EQ(stored[2].through, kNow);
  EXPECT_FALSE(stored[2].jobID.has_value());

  // The same request again would make a second view with the same identifier.
  Outcome again = run(outcome.execution->archive, "filters.create", {{"name", "Other"}});
  EXPECT_EQ(summary(again), "conflict: This saved view ID already exists.");
  EXPECT_FALSE(again.failure->retryable);
}

TEST(EngineFiltersTest, CreateRules) {
  const Archive archive = withViews();
  struct Case {
    Arguments arguments;
    const char* expected;
  };
  const Case cases[] = {
      {{{"name", "Acme"}, {"job-id", "11111111-1111-4111-8111-111111111111"}, {"range", "All time"}}, "ok"},
      {{{"patch", R"({"name":"Acme","jobID":"11111111-1111-4111-8111-111111111111","tag":"x"})"}}, "ok"},
      {{{"name", "Custom"}, {"range", "Custom"}, {"from", "2026-01-01T00:00:00.5Z"}, {"through", "2026-01-31T23:59:59-05:00"}},
       "ok"},
      {{{"name", "Cleared"}, {"patch", R"({"jobID":null})"}}, "ok"},
      {{{"name", "X"}, {"id", "F0000000-0000-4000-8000-000000000009"}},
       "invalid_argument: Unknown arguments for filters.create: id."},
      {{{"name", "X"}, {"if-match", "x"}}, "invalid_argument: Unknown arguments for filters.create: if-match."},
      {{{"name", "X"}, {"patch", R"({"id":"F0000000-0000-4000-8000-000000000009"})"}},
       "invalid_argument: Unknown or read-only patch field: id."},
      {{{"name", "X"}, {"patch", R"({"name":"Y"})"}}, "invalid_argument: Specify name once, in --patch or as --name."},
      {{{"name", "X"}, {"from", "2026-01-01"}},
       "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
       "2026-10-22T09:00:00-04:00."},
      {{{"name", "X"}, {"from", "null"}}, "invalid_argument: from cannot be null."},
      // Names, jobs and ranges are the archive gate's business.
      {{}, "data_error: A saved view contains an invalid name, job, or date range."},
      {{{"name", " \n "}}, "data_error: A saved view contains an invalid name, job, or date range."},
      {{{"name", "X"}, {"range", "this week"}}, "data_error: A saved view contains an invalid name, job, or date range."},
      {{{"name", "X"}, {"job-id", "99999999-9999-4999-8999-999999999999"}},
       "data_error: A saved view contains an invalid name, job, or date range."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(summary(run(archive, "filters.create", c.arguments)), c.expected);
  }
}

TEST(EngineFiltersTest, UpdateFindsPatchesAndStoresInPlace) {
  const Archive archive = withViews();
  const std::string mainId = "f0000000-0000-4000-8000-000000000001";  // either letter case
  struct Case {
    Arguments arguments;
    const char* expected;
  };
  const Case cases[] = {
      {{{"id", mainId}, {"name", "Renamed"}}, "ok"},
      {{{"name", "Renamed"}}, "invalid_argument: Supply --id."},
      {{{"id", ""}}, "invalid_argument: Supply --id."},
      {{{"id", "Main"}}, "invalid_argument: --id must be a UUID from the corresponding list command."},
      {{{"id", "99999999-9999-4999-8999-999999999999"}}, "not_found: That saved view does not exist."},
      // A job of a saved view is cleared only through a JSON null in --patch.
      {{{"id", mainId}, {"patch", R"({"jobID":null})"}}, "ok"},
      {{{"id", mainId}, {"patch", R"({"name":null})"}}, "invalid_argument: name cannot be null."},
      {{{"id", mainId}, {"range", "Pay period"}, {"tag", ""}}, "ok"},
      {{{"id", mainId}, {"unknown", "1"}, {"zzz", "2"}},
       "invalid_argument: Unknown arguments for filters.update: unknown, zzz."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(summary(run(archive, "filters.update", c.arguments)), c.expected);
  }

  // The option text "null" is a string, which is no identifier.
  Outcome textNull = run(archive, "filters.update", {{"id", mainId}, {"job-id", "null"}});
  EXPECT_EQ(summary(textNull).rfind("invalid_argument: Invalid patch value: ", 0), 0u) << summary(textNull);

  Outcome cleared = run(archive, "filters.update", {{"id", mainId}, {"patch", R"({"jobID":null})"}});
  ASSERT_TRUE(cleared.execution);
  EXPECT_FALSE(cleared.execution->archive.filters[0].jobID.has_value());
  EXPECT_EQ(cleared.result().find("filter")->find("jobID"), nullptr);
  EXPECT_EQ(cleared.execution->archive.filters[1], archive.filters[1]);

  Outcome renamed = run(archive, "filters.update", {{"id", mainId}, {"name", "Renamed"}});
  ASSERT_TRUE(renamed.execution);
  SavedFilter expected = archive.filters[0];
  expected.name = "Renamed";
  EXPECT_EQ(renamed.execution->archive.filters, (std::vector<SavedFilter>{expected, archive.filters[1]}));
}

TEST(EngineFiltersTest, IfMatchGuardsUpdateAndDelete) {
  const Archive archive = withViews();
  const std::string auditId = "F0000000-0000-4000-8000-000000000002";
  const std::string token = run(archive, "filters.update", {{"id", auditId}}).result().find("revision")->asString();
  const std::string mainToken =
      run(archive, "filters.update", {{"id", "F0000000-0000-4000-8000-000000000001"}}).result().find("revision")->asString();
  ASSERT_NE(token, mainToken);

  EXPECT_EQ(summary(run(archive, "filters.update", {{"id", auditId}, {"query", "x"}, {"if-match", token}})), "ok");
  EXPECT_EQ(summary(run(archive, "filters.delete", {{"id", auditId}, {"if-match", token}})), "ok");
  for (const char* command : {"filters.update", "filters.delete"}) {
    for (const std::string& stale : {mainToken, std::string()}) {
      Outcome outcome = run(archive, command, {{"id", auditId}, {"if-match", stale}});
      EXPECT_EQ(summary(outcome), "conflict: This record changed. Read it again before applying your update.");
      EXPECT_TRUE(outcome.failure->retryable);
    }
  }
}

TEST(EngineFiltersTest, DeleteReturnsTheRemovedView) {
  const Archive archive = withViews();
  Outcome outcome = run(archive, "filters.delete", {{"id", "F0000000-0000-4000-8000-000000000001"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  EXPECT_EQ(outcome.execution->archive.filters, std::vector<SavedFilter>{archive.filters[1]});
  const Json result = outcome.result();
  EXPECT_EQ(result.asObject().size(), 3u);
  EXPECT_EQ(result.find("deletedFilter")->find("name")->asString(), "Main");
  EXPECT_EQ(result.find("revision")->asString(),
            run(archive, "filters.update", {{"id", "F0000000-0000-4000-8000-000000000001"}}).result().find("revision")->asString());

  struct Case {
    Arguments arguments;
    const char* expected;
  };
  const Case cases[] = {
      {{}, "invalid_argument: Supply --id."},
      {{{"id", "F0000000-0000-4000-8000-00000000000"}},
       "invalid_argument: --id must be a UUID from the corresponding list command."},
      {{{"id", "99999999-9999-4999-8999-999999999999"}}, "not_found: That saved view does not exist."},
      {{{"id", "F0000000-0000-4000-8000-000000000001"}, {"name", "x"}},
       "invalid_argument: Unknown arguments for filters.delete: name."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(summary(run(archive, "filters.delete", c.arguments)), c.expected);
  }
}

TEST(EngineFiltersTest, FailuresAndDryRunsLeaveTheArchiveAsItWas) {
  const Archive archive = withViews();
  struct Case {
    const char* command;
    Arguments arguments;
    bool dryRun;
  };
  const Case cases[] = {
      {"filters.create", {{"name", "New"}}, true},
      {"filters.delete", {{"id", "F0000000-0000-4000-8000-000000000001"}}, true},
      {"filters.update", {{"id", "F0000000-0000-4000-8000-000000000001"}, {"range", "Never"}}, false},
      {"filters.create", {{"name", "New"}, {"range", "Never"}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    Archive inPlace = archive;
    try {
      AgentInPlaceExecution execution =
          AgentCommands::executeInPlace(request(c.command, c.arguments, c.dryRun), inPlace, kNow);
      EXPECT_TRUE(c.dryRun);
      EXPECT_FALSE(execution.changed);
      EXPECT_TRUE(parseJson(execution.result).find("dryRun")->asBool());
    } catch (const DataError& error) {
      EXPECT_FALSE(c.dryRun) << error.what();
    }
    EXPECT_EQ(inPlace, archive);
  }
}

}  // namespace
}  // namespace pellam::agent::testing
