#include <gtest/gtest.h>

#include "agent/engine/arguments.h"
#include "agent/engine/lookup.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

struct ArgumentCase {
  const char* command;
  Arguments arguments;
  const char* expected;
};

TEST(EngineArgumentsTest, ArgumentRulesAndTheirMessages) {
  const ArgumentCase cases[] = {
      // Unknown names: sorted, comma-separated, known ones not mentioned, checked first.
      {"jobs.show", {{"zeta", "1"}, {"id", "Nobody"}, {"alpha", ""}, {"Id", "x"}},
       "invalid_argument: Unknown arguments for jobs.show: Id, alpha, zeta."},
      {"jobs.list", {{"limit", "0"}, {"json", "true"}}, "invalid_argument: Unknown arguments for jobs.list: json."},
      {"jobs.copy", {{"rate", "5"}}, "invalid_argument: Unknown arguments for jobs.copy: rate."},
      {"jobs.archive", {{"name", "x"}, {"patch", "{}"}},
       "invalid_argument: Unknown arguments for jobs.archive: name, patch."},
      // Required.
      {"jobs.show", {}, "invalid_argument: Supply --id."},
      {"jobs.show", {{"id", ""}}, "invalid_argument: Supply --id."},
      {"jobs.update", {{"name", "x"}}, "invalid_argument: Supply --id."},
      // Booleans: any letter case; anything else names the option.
      {"jobs.list", {{"archived", "TRUE"}}, "ok"},
      {"jobs.list", {{"archived", "False"}}, "ok"},
      {"jobs.list", {{"archived", "yes"}}, "invalid_argument: --archived must be true or false."},
      {"jobs.list", {{"archived", ""}}, "invalid_argument: --archived must be true or false."},
      {"jobs.list", {{"archived", " true"}}, "invalid_argument: --archived must be true or false."},
      {"jobs.archive", {{"id", "Acme"}, {"archived", "1"}}, "invalid_argument: --archived must be true or false."},
      // Job keys.
      {"jobs.show", {{"id", "11111111-1111-4111-8111-111111111111"}}, "ok"},
      {"jobs.show", {{"id", "acme"}}, "not_found: Choose a unique job UUID from pellam jobs list."},
      {"jobs.show", {{"id", "44444444-4444-4444-8444-444444444444"}},
       "not_found: Choose a unique job UUID from pellam jobs list."},
      {"jobs.show", {{"id", "{11111111-1111-4111-8111-111111111111}"}},
       "not_found: Choose a unique job UUID from pellam jobs list."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(summary(run(sampleArchive(), c.command, c.arguments)), c.expected);
  }
}

TEST(EngineArgumentsTest, JobKeyIsAnIdentifierInAnyCaseOrAnExactName) {
  Archive archive = sampleArchive();
  archive.jobs.push_back(job(uuid("ABCDEF00-0000-4000-8000-0000000000AB"), "Twin"));
  archive.jobs.push_back(job(uuid("ABCDEF00-0000-4000-8000-0000000000CD"), "Twin"));
  // A job whose name is another job's identifier text.
  archive.jobs.push_back(job(uuid("ABCDEF00-0000-4000-8000-0000000000EF"), "22222222-2222-4222-8222-222222222222"));

  EXPECT_EQ(engine::jobIndex("abcdef00-0000-4000-8000-0000000000ab", archive), 3u);
  EXPECT_EQ(engine::jobIndex("AbCdEf00-0000-4000-8000-0000000000Cd", archive), 4u);
  EXPECT_EQ(engine::jobIndex("Old", archive), 2u);  // archived jobs are found too

  struct FailureCase {
    const char* key;
    const char* code;
  };
  const FailureCase failures[] = {
      {"Twin", "ambiguous_job"},
      {"22222222-2222-4222-8222-222222222222", "ambiguous_job"},
      {"twin", "not_found"},
      {"Twin ", "not_found"},
      {"", "not_found"},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.key);
    try {
      engine::jobIndex(f.key, archive);
      ADD_FAILURE() << "expected a failure";
    } catch (const AgentFailure& failure) {
      EXPECT_EQ(failure.code, f.code);
      EXPECT_EQ(failure.message, "Choose a unique job UUID from pellam jobs list.");
      EXPECT_FALSE(failure.retryable);
    }
  }
}

TEST(EngineArgumentsTest, EntryKeyIsARequiredIdentifierOfAStoredEntry) {
  const Archive archive = sampleArchive();
  struct Case {
    Arguments arguments;
    const char* expected;  // index or "code: message"
  };
  const Case cases[] = {
      {{{"id", "a1a1a1a1-0000-4000-8000-000000000002"}}, "1"},
      {{{"id", "A1A1A1A1-0000-4000-8000-000000000001"}}, "0"},
      {{}, "invalid_argument: Supply --id."},
      {{{"id", ""}}, "invalid_argument: Supply --id."},
      {{{"id", "A1A1A1A1000040008000000000000001"}},
       "invalid_argument: --id must be a UUID from the corresponding list command."},
      {{{"id", "A1A1A1A1-0000-4000-8000-00000000000G"}},
       "invalid_argument: --id must be a UUID from the corresponding list command."},
      {{{"id", "A1A1A1A1-0000-4000-8000-000000000009"}}, "not_found: That entry no longer exists."},
  };
  for (const auto& c : cases) {
    std::string got;
    try {
      got = std::to_string(engine::entryIndex(archive, "id", request("entries.show", c.arguments)));
    } catch (const AgentFailure& failure) {
      got = failure.code + ": " + failure.message;
    }
    EXPECT_EQ(got, c.expected);
  }
}

TEST(EngineArgumentsTest, IdentifierMessageNamesTheArgument) {
  try {
    engine::uuid("nope", "job-id");
    ADD_FAILURE() << "expected a failure";
  } catch (const AgentFailure& failure) {
    EXPECT_EQ(failure.message, "--job-id must be a UUID from the corresponding list command.");
  }
}

}  // namespace
}  // namespace pellam::agent::testing
