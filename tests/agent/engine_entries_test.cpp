#include <gtest/gtest.h>

#include "agent/engine/revision.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

constexpr const char* kDoneId = "A1A1A1A1-0000-4000-8000-000000000001";
constexpr const char* kRunningId = "A1A1A1A1-0000-4000-8000-000000000002";
constexpr const char* kDone = "done 03-02 14:00-03-02 22:00";

struct Case {
  const char* name;
  Arguments arguments;
  std::string expected;  // the archive's timeline afterwards, or "code: message"
};

// Runs each case on `archive` with one command: a failure must be the expected one; a
// success must leave the expected timeline and answer with a record result.
void runCases(const Archive& archive, const char* command, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = run(archive, command, c.arguments);
    if (!outcome.execution) {
      EXPECT_EQ(summary(outcome), c.expected);
      continue;
    }
    EXPECT_EQ(timeline(outcome.execution->archive), c.expected);
    EXPECT_EQ(outcome.result().asObject().size(), 3u);
  }
}

TEST(EngineEntriesTest, CreateBuildsAnEntryFromTheJobAndThePatch) {
  Archive archive = sampleArchive();
  archive.jobs[0].rate = Decimal::scaled(1850, -2);
  const Outcome outcome = run(archive, "entries.create", {{"job", "Acme"}, {"start", "2026-03-04T09:00:00-05:00"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  Entry expected;
  expected.id = kRequestId;
  expected.jobID = kAcme;
  expected.start = at("2026-03-04T14:00:00Z");
  expected.end = kNow;  // no end given: it ends now
  expected.rate = Decimal::scaled(1850, -2);
  expected.source = "Agent CLI";
  EXPECT_EQ(outcome.execution->archive.entries.back(), expected);
  EXPECT_EQ(outcome.execution->archive.entries.size(), 3u);
  const Json result = outcome.result();
  EXPECT_EQ(result.find("entry")->find("end")->asString(), "2026-03-04T15:00:00Z");
  EXPECT_EQ(result.find("revision")->asString(), engine::revision(expected));
}

TEST(EngineEntriesTest, CreateRules) {
  const Archive archive = sampleArchive();
  runCases(archive, "entries.create", {
      {"manual", {{"job", "Acme"}, {"start", "2026-03-04T09:00:00Z"}, {"end", "2026-03-04T11:00:00Z"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00- | new 09:00-11:00"},
      {"a patch stands for --start", {{"job", "Acme"}, {"patch", "{}"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00- | new 15:00-15:00"},
      {"running stops Beta", {{"job", "Acme"}, {"start", "2026-03-04T14:00:00Z"}, {"running", "true"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 14:00-"},
      {"end null runs too", {{"job", "Acme"}, {"start", "2026-03-04T14:00:00Z"}, {"end", "null"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 14:00-"},
      {"running false changes nothing", {{"job", "Acme"}, {"start", "2026-03-04T14:00:00Z"}, {"running", "False"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00- | new 14:00-15:00"},
      {"a manual entry of an archived job", {{"job", "Old"}, {"start", "2026-03-04T14:00:00Z"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00- | new 14:00-15:00"},
      {"a running one", {{"job", "Old"}, {"start", "2026-03-04T14:00:00Z"}, {"running", "true"}},
       "invalid_argument: Unarchive this job before running a timer."},
      {"only a job", {{"job", "Acme"}}, "invalid_argument: Supply --start for a manual entry, or use timer clock-in."},
      {"running alone", {{"job", "Acme"}, {"running", "true"}},
       "invalid_argument: Supply --start for a manual entry, or use timer clock-in."},
      {"no job", {{"start", "2026-03-04T14:00:00Z"}}, "invalid_argument: Supply --job."},
      {"unknown job", {{"job", "acme"}, {"start", "2026-03-04T14:00:00Z"}},
       "not_found: Choose a unique job UUID from pellam jobs list."},
      {"bad running", {{"job", "Acme"}, {"start", "2026-03-04T14:00:00Z"}, {"running", "yes"}},
       "invalid_argument: --running must be true or false."},
      {"starts after now", {{"job", "Acme"}, {"start", "2026-03-04T16:00:00Z"}},
       "data_error: A time entry contains invalid dates, amounts, or a missing job."},
      {"a date without a time", {{"job", "Acme"}, {"start", "2026-03-04"}},
       "invalid_argument: Invalid patch value: Use an ISO 8601 timestamp with timezone, such as "
       "2026-10-22T09:00:00-04:00."},
      {"the id is read-only", {{"job", "Acme"}, {"patch", "{\"id\":\"A1A1A1A1-0000-4000-8000-000000000009\"}"}},
       "invalid_argument: Unknown or read-only patch field: id."},
      {"end null in the patch", {{"job", "Acme"}, {"patch", "{\"start\":\"2026-03-04T14:00:00Z\",\"end\":null}"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 14:00-"},
      {"unknown arguments", {{"job", "Acme"}, {"id", kDoneId}, {"if-match", "x"}},
       "invalid_argument: Unknown arguments for entries.create: id, if-match."},
  });
}

TEST(EngineEntriesTest, CreateTakesTheJobsRateEvenWhenThePatchNamesAnotherJob) {
  Archive archive = sampleArchive();
  archive.jobs[0].rate = 11;
  archive.jobs[1].rate = 22;
  archive.entries.pop_back();  // nothing runs
  const Outcome outcome = run(archive, "entries.create",
                              {{"job", "Acme"}, {"job-id", "22222222-2222-4222-8222-222222222222"},
                               {"start", "2026-03-04T14:00:00Z"}, {"running", "true"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  const Entry& made = outcome.execution->archive.entries.back();
  EXPECT_EQ(made.jobID, kBeta);
  EXPECT_EQ(made.rate, 11);
  // The job the entry runs for is the one checked.
  EXPECT_EQ(summary(run(archive, "entries.create",
                        {{"job", "Acme"}, {"job-id", "33333333-3333-4333-8333-333333333333"},
                         {"start", "2026-03-04T14:00:00Z"}, {"running", "true"}})),
            "invalid_argument: Unarchive this job before running a timer.");
}

TEST(EngineEntriesTest, ARepeatedRequestIdentifierConflicts) {
  const Outcome first = run(sampleArchive(), "entries.create", {{"job", "Acme"}, {"start", "2026-03-04T14:00:00Z"}});
  ASSERT_TRUE(first.execution) << summary(first);
  const Archive& made = first.execution->archive;
  const Outcome again = run(made, "entries.create", {{"job", "Acme"}, {"start", "2026-03-04T14:00:00Z"}});
  EXPECT_EQ(summary(again), "conflict: This entry ID already exists.");
  EXPECT_FALSE(again.failure->retryable);
  const Outcome copied = run(made, "entries.copy", {{"id", kDoneId}});
  EXPECT_EQ(summary(copied), "conflict: The copied entry ID already exists.");
  EXPECT_FALSE(copied.failure->retryable);
}

// Beta's running entry has an open unpaid break since 14:30; an ended entry of the
// archived job Old is stored after it.
Archive withBreakAndOldEntry() {
  Archive archive = sampleArchive();
  archive.entries[1].pauses = {TimePause(at("2026-03-04T14:30:00Z"), std::nullopt, false, "Break")};
  archive.entries.push_back(plainEntry(uuid("0D0D0D0D-0000-4000-8000-000000000001"), kOld, at("2026-03-03T14:00:00Z"),
                                  at("2026-03-03T15:00:00Z")));
  return archive;
}

TEST(EngineEntriesTest, UpdateStartsAndStopsEntries) {
  const Archive archive = withBreakAndOldEntry();
  const std::string revision = engine::revision(archive.entries[0]);
  const std::string old = " | 0D0D 03-03 14:00-03-03 15:00";
  runCases(archive, "entries.update", {
      {"running false stops a running entry and its break now", {{"id", kRunningId}, {"running", "false"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 [14:30-15:00 unpaid Break]" + old},
      {"running false keeps an ended entry's end", {{"id", kDoneId}, {"running", "false"}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00- [14:30- unpaid Break]" + old},
      {"an end null runs it again, stopping Beta", {{"id", kDoneId}, {"end", "null"}},
       "done 03-02 14:00- | beta 13:00-15:00 [14:30-15:00 unpaid Break]" + old},
      {"so does running true", {{"id", kDoneId}, {"running", "true"}},
       "done 03-02 14:00- | beta 13:00-15:00 [14:30-15:00 unpaid Break]" + old},
      {"a running entry changed stays running",
       {{"id", kRunningId}, {"comment", "still on it"}, {"start", "2026-03-04T12:00:00Z"}},
       "done 03-02 14:00-03-02 22:00 | beta 12:00- [14:30- unpaid Break]" + old},
      {"not on an archived job", {{"id", "0D0D0D0D-0000-4000-8000-000000000001"}, {"running", "true"}},
       "invalid_argument: Unarchive this job before running a timer."},
      {"nor moved onto one", {{"id", kRunningId}, {"job", "Old"}},
       "invalid_argument: Unarchive this job before running a timer."},
      {"an end before the start", {{"id", kDoneId}, {"end", "2026-03-02T13:00:00Z"}},
       "data_error: A time entry contains invalid dates, amounts, or a missing job."},
      {"the break must fit", {{"id", kRunningId}, {"end", "2026-03-04T14:00:00Z"}},
       "data_error: Breaks must be ordered, non-overlapping, and inside their time entry."},
      {"with the revision", {{"id", kDoneId}, {"comment", "x"}, {"if-match", revision}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00- [14:30- unpaid Break]" + old},
      {"with a stale one", {{"id", kDoneId}, {"comment", "x"}, {"if-match", revision.substr(1)}},
       "conflict: This record changed. Read it again before applying your update."},
      {"unknown arguments", {{"id", kDoneId}, {"kind", "x"}}, "invalid_argument: Unknown arguments for entries.update: kind."},
      {"no id", {{"comment", "x"}}, "invalid_argument: Supply --id."},
      {"gone", {{"id", "A1A1A1A1-0000-4000-8000-0000000000FF"}}, "not_found: That entry no longer exists."},
  });
}

TEST(EngineEntriesTest, RewritingTheSameValuesChangesNothing) {
  const Archive archive = sampleArchive();
  const Arguments cases[] = {
      {{"id", kDoneId}, {"comment", ""}, {"job", "Acme"}},
      {{"id", kDoneId}, {"running", "false"}},
      {{"id", kRunningId}, {"running", "true"}},
      {{"id", kRunningId}, {"patch", "{\"end\":null,\"tags\":[]}"}},
  };
  for (const Arguments& arguments : cases) {
    const Outcome outcome = run(archive, "entries.update", arguments);
    ASSERT_TRUE(outcome.execution) << summary(outcome);
    EXPECT_FALSE(outcome.execution->changed) << arguments.begin()->second;
  }
  const Outcome changed = run(archive, "entries.update", {{"id", kDoneId}, {"comment", " "}});
  EXPECT_TRUE(changed.execution->changed);
}

TEST(EngineEntriesTest, UpdateJobWinsOverJobIdAndKeepsTheRate) {
  const Archive archive = sampleArchive();
  struct JobCase {
    Arguments arguments;
    Uuid job;
  };
  const JobCase cases[] = {
      {{{"job", "Beta"}, {"job-id", "33333333-3333-4333-8333-333333333333"}}, kBeta},
      {{{"job", "Beta"}, {"patch", "{\"jobID\":\"33333333-3333-4333-8333-333333333333\",\"rate\":5}"}}, kBeta},
      {{{"job-id", "33333333-3333-4333-8333-333333333333"}}, kOld},
  };
  for (const JobCase& c : cases) {
    Arguments arguments = c.arguments;
    arguments["id"] = kDoneId;
    const Outcome outcome = run(archive, "entries.update", arguments);
    ASSERT_TRUE(outcome.execution) << summary(outcome);
    const Entry& updated = outcome.execution->archive.entries[0];
    EXPECT_EQ(updated.jobID, c.job);
    EXPECT_EQ(updated.rate, c.arguments.count("patch") ? 5 : 20);
  }
  // Moving a running entry onto a job whose timer runs: one timer per job, even when
  // several may run.
  Archive several = sampleArchive();
  several.preferences.multipleTimers = true;
  several.entries.push_back(plainEntry(uuid("0D0D0D0D-0000-4000-8000-000000000001"), kAcme, at("2026-03-04T14:00:00Z"),
                                  std::nullopt));
  EXPECT_EQ(summary(run(several, "entries.update", {{"id", kRunningId}, {"job", "Acme"}})),
            "data_error: Keep one running timer per job. Enable multiple job timers in Settings to run different "
            "jobs together.");
}

TEST(EngineEntriesTest, CopyIsAlwaysEnded) {
  const Archive archive = withBreakAndOldEntry();
  const std::string old = " | 0D0D 03-03 14:00-03-03 15:00";
  runCases(archive, "entries.copy", {
      {"a running entry: the copy ends now, the source runs on", {{"id", kRunningId}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00- [14:30- unpaid Break]" + old +
           " | new 13:00-15:00 [14:30-15:00 unpaid Break]"},
      {"an ended one keeps its end", {{"id", kDoneId}},
       "done 03-02 14:00-03-02 22:00 | beta 13:00- [14:30- unpaid Break]" + old + " | new 03-02 14:00-03-02 22:00"},
      {"stale", {{"id", kDoneId}, {"if-match", "0"}},
       "conflict: This record changed. Read it again before applying your update."},
      {"nothing else is taken", {{"id", kDoneId}, {"comment", "x"}},
       "invalid_argument: Unknown arguments for entries.copy: comment."},
  });
  const Outcome outcome = run(archive, "entries.copy", {{"id", kRunningId}});
  const Entry& copy = outcome.execution->archive.entries.back();
  Entry expected = archive.entries[1];
  expected.id = kRequestId;
  expected.end = kNow;
  expected.pauses[0].end = kNow;
  EXPECT_EQ(copy, expected);  // every other field, the break's identifier included
  EXPECT_EQ(outcome.result().find("entry")->find("id")->asString(), "0E0E0E0E-0000-4000-8000-00000000000E");
}

TEST(EngineEntriesTest, DeleteReturnsTheRemovedEntry) {
  const Archive archive = sampleArchive();
  const std::string revision = engine::revision(archive.entries[1]);
  runCases(archive, "entries.delete", {
      {"a running entry", {{"id", kRunningId}}, kDone},
      {"with its revision", {{"id", kRunningId}, {"if-match", revision}}, kDone},
      {"stale", {{"id", kDoneId}, {"if-match", revision}},
       "conflict: This record changed. Read it again before applying your update."},
      {"not a UUID", {{"id", "Acme"}}, "invalid_argument: --id must be a UUID from the corresponding list command."},
  });
  const Outcome first = run(archive, "entries.delete", {{"id", kRunningId}});
  const Json result = first.result();
  EXPECT_EQ(result.find("deletedEntry")->find("id")->asString(), kRunningId);
  EXPECT_EQ(result.find("revision")->asString(), revision);
  EXPECT_FALSE(result.find("dryRun")->asBool());
  EXPECT_EQ(first.execution->archive.jobs, archive.jobs);
  EXPECT_EQ(summary(run(first.execution->archive, "entries.delete", {{"id", kRunningId}})),
            "not_found: That entry no longer exists.");
}

TEST(EngineEntriesTest, ShowReadsOneEntry) {
  const Archive archive = sampleArchive();
  const Outcome outcome = run(archive, "entries.show", {{"id", "a1a1a1a1-0000-4000-8000-000000000002"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  EXPECT_FALSE(outcome.execution->changed);
  const Json result = outcome.result();
  EXPECT_EQ(result.find("entry")->find("start")->asString(), "2026-03-04T13:00:00Z");
  EXPECT_EQ(result.find("revision")->asString(), engine::revision(archive.entries[1]));
  EXPECT_EQ(summary(run(archive, "entries.show", {{"id", kDoneId}, {"if-match", "x"}})),
            "invalid_argument: Unknown arguments for entries.show: if-match.");
  EXPECT_EQ(summary(run(archive, "entries.show", {})), "invalid_argument: Supply --id.");
}

// Six entries of Acme and Beta over two days, two of them running.
Archive sixEntries() {
  Archive archive = sampleArchive();
  archive.preferences.multipleTimers = true;
  archive.entries.clear();
  const char* starts[] = {"2026-03-03T14:00:00Z", "2026-03-04T13:00:00Z", "2026-03-04T14:00:00Z",
                          "2026-03-03T15:00:00Z", "2026-03-04T09:00:00Z", "2026-03-04T14:30:00Z"};
  for (int i = 0; i < 6; ++i) {
    const Instant start = at(starts[i]);
    const bool running = i == 2 || i == 5;
    archive.entries.push_back(plainEntry(uuid("E0000000-0000-4000-8000-00000000000" + std::to_string(i)),
                                    i % 2 ? kBeta : kAcme, start,
                                    running ? std::nullopt : std::optional<Instant>(Instant{start.seconds + 1800})));
  }
  return archive;
}

TEST(EngineEntriesTest, ListSelectsFiltersByRunningAndPages) {
  const Archive archive = sixEntries();
  struct ListCase {
    Arguments arguments;
    std::string expected;  // "total: digits of the listed entries", or "code: message"
  };
  const ListCase cases[] = {
      {{}, "6: 5 2 1 4 3 0"},
      {{{"running", "true"}}, "2: 5 2"},
      {{{"running", "FALSE"}}, "4: 1 4 3 0"},
      {{{"running", "false"}, {"limit", "2"}, {"offset", "1"}}, "4: 4 3"},
      {{{"running", "true"}, {"offset", "5"}}, "2:"},
      {{{"running", "false"}, {"job", "Beta"}}, "2: 1 3"},
      {{{"range", "today"}, {"running", "false"}}, "2: 1 4"},
      {{{"range", "week"}, {"through", "2026-03-03"}}, "2: 3 0"},
      {{{"running", "maybe"}}, "invalid_argument: --running must be true or false."},
      {{{"range", "weekly"}, {"running", "maybe"}},
       "invalid_argument: --range must be all, today, week, month, year, or pay-period."},
      {{{"limit", "0"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"id", "x"}, {"status", "y"}}, "invalid_argument: Unknown arguments for entries.list: id, status."},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.expected);
    const Outcome outcome = run(archive, "entries.list", c.arguments);
    if (!outcome.execution) {
      EXPECT_EQ(summary(outcome), c.expected);
      continue;
    }
    const Json result = outcome.result();
    std::string got = std::to_string(*result.find("total")->asInt64()) + ":";
    for (const Json& item : result.find("items")->asArray()) got += " " + item.find("id")->asString().substr(35);
    EXPECT_EQ(got, c.expected);
  }
}

TEST(EngineEntriesTest, ADryRunKeepsTheArchive) {
  const Archive archive = sampleArchive();
  struct DryCase {
    const char* command;
    Arguments arguments;
  };
  const DryCase cases[] = {
      {"entries.create", {{"job", "Acme"}, {"start", "2026-03-04T14:00:00Z"}, {"running", "true"}}},
      {"entries.update", {{"id", kDoneId}, {"end", "null"}}},
      {"entries.copy", {{"id", kRunningId}}},
      {"entries.delete", {{"id", kRunningId}}},
  };
  for (const DryCase& c : cases) {
    SCOPED_TRACE(c.command);
    const Outcome dry = run(archive, c.command, c.arguments, true);
    ASSERT_TRUE(dry.execution) << summary(dry);
    EXPECT_FALSE(dry.execution->changed);
    EXPECT_EQ(dry.execution->archive, archive);
    Json dryResult = dry.result();
    EXPECT_TRUE(dryResult.find("dryRun")->asBool());
    dryResult["dryRun"] = false;
    EXPECT_EQ(dryResult, run(archive, c.command, c.arguments).result());
  }
}

TEST(EngineEntriesTest, AFailureInPlaceLeavesEveryEntryAsItWas) {
  // Each of these changes entries and is then refused: by validation after a running entry
  // stopped Beta's timer, or by the job rule after the patch.
  struct FailCase {
    const char* command;
    Arguments arguments;
  };
  const FailCase cases[] = {
      {"entries.create", {{"job", "Acme"}, {"start", "2026-03-04T14:00:00Z"}, {"running", "true"}, {"tips", "-1"}}},
      {"entries.update", {{"id", kDoneId}, {"end", "null"}, {"miles", "-1"}}},
      {"entries.update", {{"id", kRunningId}, {"job", "Old"}}},
      {"entries.delete", {{"id", kRunningId}, {"if-match", "x"}}},
  };
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.command);
    Archive archive = sampleArchive();
    EXPECT_ANY_THROW(AgentCommands::executeInPlace(request(c.command, c.arguments), archive, kNow));
    EXPECT_EQ(archive, sampleArchive());
  }
}

}  // namespace
}  // namespace pellam::agent::testing
