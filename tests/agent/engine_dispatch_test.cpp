#include <gtest/gtest.h>

#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

struct DispatchCase {
  const char* command;
  const char* expected;  // summary(): "ok" or "code: message"
};

TEST(EngineDispatchTest, CommandNamesReachTheirFamilyOrFail) {
  const DispatchCase cases[] = {
      {"capabilities", "ok"},
      {"jobs.list", "ok"},
      {"jobs.delete", "invalid_argument: Unknown jobs operation."},
      {"jobs.", "invalid_argument: Unknown jobs operation."},
      {"jobs", "unknown_command: Unknown command: jobs. Run pellam capabilities or pellam help."},
      {"job.list", "unknown_command: Unknown command: job.list. Run pellam capabilities or pellam help."},
      {"Jobs.list", "unknown_command: Unknown command: Jobs.list. Run pellam capabilities or pellam help."},
      {"capabilities.x", "unknown_command: Unknown command: capabilities.x. Run pellam capabilities or pellam help."},
      {"app.status", "unknown_command: Unknown command: app.status. Run pellam capabilities or pellam help."},
      {"backups.list", "unknown_command: Unknown command: backups.list. Run pellam capabilities or pellam help."},
      {"reports.print", "invalid_argument: Unknown reports operation."},
      {"entries.nothing", "invalid_argument: Unknown entries operation."},
      {"timer.nothing", "invalid_argument: Unknown timer operation."},
      {"preferences.nothing", "invalid_argument: Unknown preferences operation."},
      {"tags.nothing", "invalid_argument: Unknown tags operation."},
      {"filters.nothing", "invalid_argument: Unknown filters operation."},
      {"exports", "unknown_command: Unknown command: exports. Run pellam capabilities or pellam help."},
      {"import.nothing", "unknown_command: Unknown command: import.nothing. Run pellam capabilities or pellam help."},
      {"", "unknown_command: Unknown command: . Run pellam capabilities or pellam help."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    Outcome outcome = run(sampleArchive(), c.command);
    EXPECT_EQ(summary(outcome), c.expected);
    if (outcome.failure) {
      EXPECT_FALSE(outcome.failure->retryable);
    }
  }
}

TEST(EngineDispatchTest, AnotherProtocolVersionFailsBeforeAnythingElse) {
  for (const char* command : {"capabilities", "no.such.command"}) {
    AgentRequest versioned = request(command);
    versioned.version = 2;
    Archive broken = sampleArchive();
    broken.version = 3;  // would fail validation
    Outcome outcome = run(broken, versioned);
    EXPECT_EQ(summary(outcome), "unsupported_version: Update Vantry and the CLI to the same protocol version.");
    EXPECT_FALSE(outcome.failure->retryable);
  }
}

TEST(EngineDispatchTest, AnInvalidArchiveFailsEveryCommand) {
  Archive broken = sampleArchive();
  broken.jobs[1].rate = -1;
  for (const char* command : {"capabilities", "jobs.list", "no.such.command"}) {
    SCOPED_TRACE(command);
    EXPECT_EQ(summary(run(broken, command)),
              "data_error: Check the pay, rounding, or location settings for Beta.");
  }
}

TEST(EngineDispatchTest, ValidationUsesTheGivenNowForRunningEntriesACommandChanges) {
  // The running entry started on 2026-03-04; 367 days later it is too long, but only a
  // command that changes it is held to that.
  const Instant later = at("2027-03-06T15:00:00Z");
  EXPECT_EQ(summary(run(sampleArchive(), request("jobs.list"), later)), "ok");
  Archive fresh = sampleArchive();
  fresh.entries.pop_back();
  EXPECT_EQ(summary(run(fresh, request("entries.create", {{"job", "Beta"}, {"start", "2026-03-04T13:00:00Z"}, {"running", "true"}}), later)),
            "data_error: A time entry contains invalid dates, amounts, or a missing job.");
  EXPECT_EQ(summary(run(fresh, request("entries.create", {{"job", "Beta"}, {"start", "2026-03-04T13:00:00Z"}, {"running", "true"}}),
                        at("2026-03-06T15:00:00Z"))),
            "ok");
}

TEST(EngineDispatchTest, AResultThatFailsValidationIsNotReturned) {
  // The name is trimmed to nothing, which validation refuses.
  Outcome outcome = run(sampleArchive(), "jobs.create", {{"name", "   "}});
  EXPECT_EQ(summary(outcome), "data_error: Check the pay, rounding, or location settings for .");
  // A dry run meets the same failure: it reports what the command would hit.
  EXPECT_EQ(summary(run(sampleArchive(), "jobs.create", {{"name", "   "}}, true)),
            "data_error: Check the pay, rounding, or location settings for .");
}

TEST(EngineDispatchTest, CapabilitiesListsTheCatalogueSorted) {
  Outcome outcome = run(sampleArchive(), "capabilities");
  ASSERT_TRUE(outcome.execution);
  EXPECT_FALSE(outcome.execution->changed);
  EXPECT_EQ(outcome.execution->archive, sampleArchive());
  EXPECT_EQ(outcome.execution->result,
            "{\"appCommands\":[\"app.data-folder\",\"app.help\",\"app.lock\",\"app.settings\",\"app.show\","
            "\"app.status\",\"app.unlock\",\"backups.list\",\"backups.preview\",\"backups.restore\","
            "\"cloud.disable\",\"cloud.enable\",\"cloud.status\",\"cloud.sync\",\"location.start\","
            "\"location.status\",\"location.stop\",\"notifications.request\",\"notifications.status\","
            "\"reports.print\",\"ui.dismiss\",\"ui.edit-entry\",\"ui.edit-job\",\"ui.navigate\"],"
            "\"dryRun\":true,"
            "\"engineCommands\":[\"capabilities\",\"entries.copy\",\"entries.create\",\"entries.delete\","
            "\"entries.list\",\"entries.show\",\"entries.update\",\"export\",\"filters.create\","
            "\"filters.delete\",\"filters.list\",\"filters.update\",\"import.apply\",\"import.preview\","
            "\"jobs.archive\",\"jobs.copy\",\"jobs.create\",\"jobs.list\",\"jobs.show\",\"jobs.update\","
            "\"preferences.get\",\"preferences.set\",\"reports.daily\",\"reports.payperiod\","
            "\"reports.summary\",\"tags.list\",\"tags.merge\",\"tags.remove\",\"tags.rename\","
            "\"timer.break\",\"timer.clock-in\",\"timer.clock-out\",\"timer.resume\",\"timer.status\"],"
            "\"maxImportBytes\":600000,\"schema\":1,\"transport\":\"local-files\"}");
}

TEST(EngineDispatchTest, CapabilitiesTakesNoArguments) {
  EXPECT_EQ(summary(run(sampleArchive(), "capabilities", {{"verbose", "true"}})),
            "invalid_argument: Unknown arguments for capabilities: verbose.");
}

TEST(EngineDispatchTest, DryRunReportsTheWouldBeRecordAndKeepsTheArchive) {
  const Archive input = sampleArchive();
  Outcome outcome = run(input, "jobs.create", {{"name", "Gamma"}}, true);
  ASSERT_TRUE(outcome.execution);
  EXPECT_FALSE(outcome.execution->changed);
  EXPECT_EQ(outcome.execution->archive, input);
  Json result = outcome.result();
  EXPECT_EQ(result.find("job")->find("name")->asString(), "Gamma");
  EXPECT_EQ(result.find("job")->find("id")->asString(), kRequestId.text());
  EXPECT_TRUE(result.find("dryRun")->asBool());

  // The same request for real changes the archive and reports the same record.
  Outcome real = run(input, "jobs.create", {{"name", "Gamma"}});
  ASSERT_TRUE(real.execution);
  EXPECT_TRUE(real.execution->changed);
  EXPECT_EQ(real.execution->archive.jobs.size(), input.jobs.size() + 1);
  EXPECT_EQ(*real.result().find("job"), *result.find("job"));
  EXPECT_EQ(*real.result().find("revision"), *result.find("revision"));
  EXPECT_FALSE(real.result().find("dryRun")->asBool());
}

TEST(EngineDispatchTest, ChangedIsFalseWhenNothingDiffers) {
  struct Case {
    const char* command;
    Arguments arguments;
    bool changed;
  };
  const Case cases[] = {
      {"jobs.update", {{"id", "Acme"}, {"name", "Acme"}}, false},
      {"jobs.update", {{"id", "Acme"}, {"rate", "0.00"}}, false},  // 0.00 is the stored 0
      {"jobs.update", {{"id", "Acme"}, {"currency", "usd"}}, false},  // upper-cased back to USD
      {"jobs.update", {{"id", "Acme"}, {"name", "  Acme\n"}}, false},
      {"jobs.archive", {{"id", "Old"}}, false},
      {"jobs.archive", {{"id", "Acme"}, {"archived", "false"}}, false},
      {"jobs.update", {{"id", "Acme"}, {"name", "Acme2"}}, true},
      {"jobs.archive", {{"id", "Acme"}}, true},
      {"jobs.list", {}, false},
      {"jobs.show", {{"id", "Acme"}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + writeJson(Json([&] {
                   Json::Object members;
                   for (const auto& [name, value] : c.arguments) members[name] = Json(value);
                   return members;
                 }())));
    Outcome outcome = run(sampleArchive(), c.command, c.arguments);
    ASSERT_TRUE(outcome.execution) << summary(outcome);
    EXPECT_EQ(outcome.execution->changed, c.changed);
    if (!c.changed) {
      EXPECT_EQ(outcome.execution->archive, sampleArchive());
    }
  }
}

TEST(EngineDispatchTest, AFailingCommandReturnsNoExecution) {
  Outcome outcome = run(sampleArchive(), "jobs.archive", {{"id", "Beta"}});
  EXPECT_EQ(summary(outcome), "invalid_argument: Clock out before archiving this job.");
  EXPECT_FALSE(outcome.execution);
}

}  // namespace
}  // namespace pellam::agent::testing

namespace pellam::agent::testing {
namespace {

TEST(EngineInPlaceTest, AFailureLeavesTheArchiveExactlyAsItWas) {
  struct Case {
    const char* command;
    Arguments arguments;
  };
  const Case cases[] = {
      {"jobs.create", {{"name", "Gamma"}, {"currency", "EURO"}}},  // appended, then refused by validation
      {"jobs.update", {{"id", "Acme"}, {"rate", "-1"}}},
      {"jobs.archive", {{"id", "Beta"}}},
      {"jobs.update", {{"id", "Acme"}, {"patch", "{"}}},
      {"entries.nothing", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    Archive archive = sampleArchive();
    EXPECT_ANY_THROW(AgentCommands::executeInPlace(request(c.command, c.arguments), archive, kNow));
    EXPECT_EQ(archive, sampleArchive());
  }
}

TEST(EngineInPlaceTest, ChangesStayAndADryRunPutsThemBack) {
  Archive archive = sampleArchive();
  auto dry = AgentCommands::executeInPlace(request("jobs.copy", {{"id", "Acme"}}, true), archive, kNow);
  EXPECT_FALSE(dry.changed);
  EXPECT_EQ(archive, sampleArchive());
  EXPECT_EQ(parseJson(dry.result).find("job")->find("name")->asString(), "Acme copy");

  auto real = AgentCommands::executeInPlace(request("jobs.copy", {{"id", "Acme"}}), archive, kNow);
  EXPECT_TRUE(real.changed);
  Json realResult = parseJson(real.result);
  Json dryResult = parseJson(dry.result);
  EXPECT_FALSE(realResult.find("dryRun")->asBool());
  dryResult["dryRun"] = false;
  EXPECT_EQ(realResult, dryResult);
  ASSERT_EQ(archive.jobs.size(), 4u);
  EXPECT_EQ(archive.jobs.back().name, "Acme copy");
  EXPECT_EQ(archive.entries, sampleArchive().entries);
}

}  // namespace
}  // namespace pellam::agent::testing
