#include <gtest/gtest.h>

#include "agent/engine/revision.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

// One command of a sequence, run on the archive the step before left.
struct Step {
  const char* command;
  Arguments arguments;
  const char* now;
  const char* expected;  // "ok" or "code: message"
  bool changed;          // for "ok"
  const char* timeline;  // the archive afterwards
};

// Runs the steps in order; every answer is the record result of the entry it touched.
void runSteps(Archive archive, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.command) + " at " + step.now);
    const Outcome outcome = run(archive, request(step.command, step.arguments), at(step.now));
    ASSERT_EQ(summary(outcome), step.expected);
    if (outcome.execution) {
      EXPECT_EQ(outcome.execution->changed, step.changed);
      archive = outcome.execution->archive;
      const Json result = outcome.result();
      EXPECT_EQ(result.asObject().size(), 3u);
      const Uuid id = *Uuid::parse(result.find("entry")->find("id")->asString());
      for (const Entry& entry : archive.entries) {
        if (entry.id == id) {
          EXPECT_EQ(result.find("revision")->asString(), engine::revision(entry));
        }
      }
    }
    EXPECT_EQ(timeline(archive), step.timeline);
  }
}

TEST(EngineTimerTest, ALifecycleWithOneTimerAtATime) {
  Archive archive = sampleArchive();
  archive.jobs[0].rate = Decimal::scaled(1850, -2);
  runSteps(archive, {
      // Beta's timer stops where Acme's starts.
      {"timer.clock-in", {{"job", "Acme"}}, "2026-03-04T15:00:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00-"},
      // Clocking in again keeps the running timer.
      {"timer.clock-in", {{"job", "11111111-1111-4111-8111-111111111111"}}, "2026-03-04T15:05:00Z", "ok", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00-"},
      {"timer.break", {{"paid", "true"}, {"kind", "Lunch"}}, "2026-03-04T16:00:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00- [16:00- paid Lunch]"},
      // The same kind of break continues; the other kind is refused.
      {"timer.break", {{"paid", "TRUE"}, {"kind", "Other"}}, "2026-03-04T16:10:00Z", "ok", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00- [16:00- paid Lunch]"},
      {"timer.break", {}, "2026-03-04T16:10:00Z",
       "invalid_argument: Resume the existing break before choosing a different break type.", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00- [16:00- paid Lunch]"},
      {"timer.resume", {}, "2026-03-04T16:30:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00- [16:00-16:30 paid Lunch]"},
      {"timer.resume", {}, "2026-03-04T16:40:00Z", "ok", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00- [16:00-16:30 paid Lunch]"},
      {"timer.break", {{"paid", "false"}}, "2026-03-04T17:00:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00- [16:00-16:30 paid Lunch, 17:00- unpaid Break]"},
      // Clocking out ends the open break too.
      {"timer.clock-out", {}, "2026-03-04T18:00:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00-18:00 [16:00-16:30 paid Lunch, "
       "17:00-18:00 unpaid Break]"},
      {"timer.clock-out", {}, "2026-03-04T18:30:00Z",
       "invalid_argument: Specify --entry when there is not exactly one active timer.", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00-18:00 [16:00-16:30 paid Lunch, "
       "17:00-18:00 unpaid Break]"},
      // An ended entry is returned unchanged by clock-out, refused by break and resume.
      {"timer.clock-out", {{"entry", "0e0e0e0e-0000-4000-8000-00000000000e"}}, "2026-03-04T18:30:00Z", "ok", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00-18:00 [16:00-16:30 paid Lunch, "
       "17:00-18:00 unpaid Break]"},
      {"timer.break", {{"entry", "0E0E0E0E-0000-4000-8000-00000000000E"}, {"paid", "maybe"}}, "2026-03-04T18:30:00Z",
       "invalid_argument: This timer has already ended.", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00-18:00 [16:00-16:30 paid Lunch, "
       "17:00-18:00 unpaid Break]"},
      {"timer.resume", {{"entry", "0E0E0E0E-0000-4000-8000-00000000000E"}}, "2026-03-04T18:30:00Z",
       "invalid_argument: This timer has already ended.", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-15:00 | new 15:00-18:00 [16:00-16:30 paid Lunch, "
       "17:00-18:00 unpaid Break]"},
  });
}

TEST(EngineTimerTest, ClockInMakesANewEntryForTheJob) {
  Archive archive = sampleArchive();
  archive.jobs[0].rate = Decimal::scaled(1850, -2);
  const Outcome outcome = run(archive, "timer.clock-in", {{"job", "Acme"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  const Entry& made = outcome.execution->archive.entries.back();
  Entry expected;
  expected.id = kRequestId;
  expected.jobID = kAcme;
  expected.start = kNow;
  expected.rate = Decimal::scaled(1850, -2);
  expected.source = "Agent CLI timer";
  EXPECT_EQ(made, expected);
  const Json result = outcome.result();
  EXPECT_EQ(result.find("entry")->find("source")->asString(), "Agent CLI timer");
  EXPECT_EQ(result.find("entry")->find("end"), nullptr);
  EXPECT_FALSE(result.find("dryRun")->asBool());
}

TEST(EngineTimerTest, SeveralTimersAtOnce) {
  Archive archive = sampleArchive();
  archive.preferences.multipleTimers = true;
  runSteps(archive, {
      // Beta keeps running beside Acme.
      {"timer.clock-in", {{"job", "Acme"}}, "2026-03-04T15:00:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00- | new 15:00-"},
      {"timer.clock-out", {}, "2026-03-04T16:00:00Z",
       "invalid_argument: Specify --entry when there is not exactly one active timer.", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00- | new 15:00-"},
      {"timer.break", {}, "2026-03-04T16:00:00Z",
       "invalid_argument: Specify --entry when there is not exactly one active timer.", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00- | new 15:00-"},
      {"timer.clock-out", {{"entry", "A1A1A1A1-0000-4000-8000-000000000002"}}, "2026-03-04T16:00:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-16:00 | new 15:00-"},
      // Now one runs: it is the one.
      {"timer.break", {}, "2026-03-04T16:15:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-16:00 | new 15:00- [16:15- unpaid Break]"},
  });
}

TEST(EngineTimerTest, AReplayedRequestIdentifierNeverStartsASecondTimer) {
  Outcome in = run(sampleArchive(), "timer.clock-in", {{"job", "Acme"}});
  ASSERT_TRUE(in.execution) << summary(in);
  Outcome out = run(in.execution->archive, "timer.clock-out", {});
  ASSERT_TRUE(out.execution) << summary(out);
  Outcome replay = run(out.execution->archive, "timer.clock-in", {{"job", "Acme"}});
  EXPECT_EQ(summary(replay), "conflict: This timer ID was already used.");
  EXPECT_FALSE(replay.failure->retryable);
  // The identifier is taken whatever job the replay names (Beta's timer stopped at the
  // first clock-in).
  EXPECT_EQ(summary(run(in.execution->archive, "timer.clock-in", {{"job", "Beta"}})),
            "conflict: This timer ID was already used.");
}

TEST(EngineTimerTest, AClockRunningBehindNeverEndsBeforeTheStart) {
  // Beta's entry started at 13:00; these clocks read earlier.
  runSteps(sampleArchive(), {
      {"timer.break", {}, "2026-03-04T12:00:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00- [13:00- unpaid Break]"},
      {"timer.resume", {}, "2026-03-04T11:00:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00- [13:00-13:00 unpaid Break]"},
      {"timer.clock-out", {}, "2026-03-04T12:30:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00-13:00 [13:00-13:00 unpaid Break]"},
  });
  // A break taken later by a clock that was right cannot fit an entry that ends at 13:00:
  // validation refuses the clock-out, and nothing changes.
  runSteps(sampleArchive(), {
      {"timer.break", {{"kind", "Coffee ☕"}}, "2026-03-04T13:30:00Z", "ok", true,
       "done 03-02 14:00-03-02 22:00 | beta 13:00- [13:30- unpaid Coffee ☕]"},
      {"timer.clock-out", {}, "2026-03-04T12:30:00Z",
       "data_error: Breaks must be ordered, non-overlapping, and inside their time entry.", false,
       "done 03-02 14:00-03-02 22:00 | beta 13:00- [13:30- unpaid Coffee ☕]"},
  });
}

TEST(EngineTimerTest, BreaksGetFreshIdentifiers) {
  Outcome first = run(sampleArchive(), "timer.break", {});
  ASSERT_TRUE(first.execution) << summary(first);
  Outcome resumed = run(first.execution->archive, "timer.resume", {});
  ASSERT_TRUE(resumed.execution) << summary(resumed);
  Outcome second = run(resumed.execution->archive, request("timer.break", {}), at("2026-03-04T15:10:00Z"));
  ASSERT_TRUE(second.execution) << summary(second);
  const std::vector<TimePause>& pauses = second.execution->archive.entries[1].pauses;
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_NE(pauses[0].id, pauses[1].id);
  EXPECT_NE(pauses[0].id, Uuid());
}

TEST(EngineTimerTest, RefusalsAndTheirOrder) {
  Archive archive = sampleArchive();
  archive.jobs.push_back(job(uuid("44444444-4444-4444-8444-444444444444"), "Beta"));
  const std::string revision = engine::revision(archive.entries[1]);
  struct Case {
    const char* command;
    Arguments arguments;
    const char* expected;
    bool retryable = false;
  };
  const Case cases[] = {
      {"timer.clock-in", {}, "invalid_argument: Supply --job."},
      {"timer.clock-in", {{"job", ""}}, "invalid_argument: Supply --job."},
      {"timer.clock-in", {{"job", "acme"}}, "not_found: Choose a unique job UUID from pellam jobs list."},
      {"timer.clock-in", {{"job", "Beta"}}, "ambiguous_job: Choose a unique job UUID from pellam jobs list."},
      {"timer.clock-in", {{"job", "Old"}}, "invalid_argument: Unarchive the job before clocking in."},
      {"timer.clock-in", {{"job", "Old"}, {"entry", "x"}, {"b", "1"}},
       "invalid_argument: Unknown arguments for timer.clock-in: b, entry."},
      {"timer.status", {{"job", "nobody"}}, "not_found: Choose a unique job UUID from pellam jobs list."},
      {"timer.status", {{"entry", "x"}}, "invalid_argument: Unknown arguments for timer.status: entry."},
      {"timer.clock-out", {{"entry", "x"}}, "invalid_argument: --entry must be a UUID from the corresponding list command."},
      {"timer.clock-out", {{"entry", ""}}, "invalid_argument: Supply --entry."},
      {"timer.clock-out", {{"entry", "A1A1A1A1-0000-4000-8000-0000000000FF"}}, "not_found: That entry no longer exists."},
      {"timer.clock-out", {{"if-match", revision + "0"}}, "conflict: This record changed. Read it again before applying your update.", true},
      {"timer.clock-out", {{"if-match", ""}}, "conflict: This record changed. Read it again before applying your update.", true},
      {"timer.clock-out", {{"if-match", revision}}, "ok"},
      {"timer.clock-out", {{"job", "Beta"}}, "invalid_argument: Unknown arguments for timer.clock-out: job."},
      {"timer.resume", {{"paid", "maybe"}, {"kind", "x"}}, "ok"},  // read by break alone
      {"timer.break", {{"paid", "maybe"}}, "invalid_argument: --paid must be true or false."},
      {"timer.stop", {}, "invalid_argument: Unknown timer operation."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.expected);
    const Outcome outcome = run(archive, c.command, c.arguments);
    EXPECT_EQ(summary(outcome), c.expected);
    if (outcome.failure) {
      EXPECT_EQ(outcome.failure->retryable, c.retryable);
    }
  }
}

// Three running timers of three jobs, stored latest first: Gamma's from 14:00 working,
// Acme's from 23:00 the evening before in New York (04:00Z), with a paid break behind it and
// an unpaid one open since 14:00, and Beta's from 13:00 on a paid break since 14:30.
Archive threeTimers() {
  Archive archive = sampleArchive();
  archive.preferences.multipleTimers = true;
  const Uuid gamma = uuid("44444444-4444-4444-8444-444444444444");
  archive.jobs.push_back(job(gamma, "Gamma"));
  Entry overnight =
      plainEntry(uuid("B0B0B0B0-0000-4000-8000-000000000001"), kAcme, at("2026-03-04T04:00:00Z"), std::nullopt);
  overnight.pauses = {TimePause(at("2026-03-04T05:00:00Z"), at("2026-03-04T05:30:00Z"), true),
                      TimePause(at("2026-03-04T14:00:00Z"), std::nullopt, false)};
  archive.entries[1].pauses = {TimePause(at("2026-03-04T14:30:00Z"), std::nullopt, true, "Walk")};
  Entry gammaEntry =
      plainEntry(uuid("C0C0C0C0-0000-4000-8000-000000000001"), gamma, at("2026-03-04T14:00:00Z"), std::nullopt);
  archive.entries.insert(archive.entries.begin(), gammaEntry);
  archive.entries.push_back(overnight);
  return archive;
}

TEST(EngineTimerTest, StatusListsRunningTimersEarliestFirst) {
  const Archive archive = threeTimers();
  struct Case {
    Arguments arguments;
    const char* expected;  // "job state workedSeconds" per timer
  };
  const Case cases[] = {
      // Acme: 23:00 to 14:00 across midnight, the paid break counted, the open unpaid one not.
      {{}, "Acme unpaid-break 36000, Beta paid-break 7200, Gamma working 3600"},
      {{{"job", "Beta"}}, "Beta paid-break 7200"},
      {{{"job", "Old"}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const Outcome outcome = run(archive, "timer.status", c.arguments);
    ASSERT_TRUE(outcome.execution) << summary(outcome);
    EXPECT_FALSE(outcome.execution->changed);
    const Json result = outcome.result();
    EXPECT_EQ(result.asObject().size(), 3u);
    EXPECT_TRUE(result.find("multipleTimers")->asBool());
    EXPECT_EQ(result.find("asOf")->asString(), "2026-03-04T15:00:00Z");
    std::string got;
    for (const Json& timer : result.find("active")->asArray()) {
      EXPECT_EQ(timer.asObject().size(), 5u);
      if (!got.empty()) got += ", ";
      got += timer.find("job")->find("name")->asString() + " " + timer.find("state")->asString() + " " +
             writeJson(*timer.find("workedSeconds"));
      const Uuid id = *Uuid::parse(timer.find("entry")->find("id")->asString());
      for (const Entry& entry : archive.entries) {
        if (entry.id == id) {
          EXPECT_EQ(timer.find("revision")->asString(), engine::revision(entry));
        }
      }
    }
    EXPECT_EQ(got, c.expected);
  }
  // The Acme timer's days: one hour on the 3rd in New York, nine on the 4th.
  const Json first = run(archive, "timer.status", {}).result().find("active")->asArray()[0];
  EXPECT_EQ(first.find("entry")->find("start")->asString(), "2026-03-04T04:00:00Z");
}

TEST(EngineTimerTest, StatusWithoutRunningTimers) {
  Archive archive = sampleArchive();
  archive.entries.pop_back();
  const Outcome outcome = run(archive, "timer.status", {});
  EXPECT_EQ(outcome.execution->result,
            R"({"active":[],"asOf":"2026-03-04T15:00:00Z","multipleTimers":false})");
}

TEST(EngineTimerTest, ADryRunReportsTheTimerButKeepsTheArchive) {
  const Archive archive = sampleArchive();
  const Outcome dry = run(archive, "timer.clock-in", {{"job", "Acme"}}, true);
  ASSERT_TRUE(dry.execution) << summary(dry);
  EXPECT_FALSE(dry.execution->changed);
  EXPECT_EQ(dry.execution->archive, archive);
  Json dryResult = dry.result();
  EXPECT_TRUE(dryResult.find("dryRun")->asBool());
  Json real = run(archive, "timer.clock-in", {{"job", "Acme"}}).result();
  dryResult["dryRun"] = false;
  EXPECT_EQ(dryResult, real);
}

TEST(EngineTimerTest, AFailureInPlaceLeavesEveryEntryAsItWas) {
  // Beta's timer has a break behind it, 14:30 to 14:45, by a clock that ran ahead.
  Archive archive = sampleArchive();
  archive.entries[1].pauses = {TimePause(at("2026-03-04T14:30:00Z"), at("2026-03-04T14:45:00Z"))};
  const Archive before = archive;
  // Clocking in for Acme at 14:00 stops Beta's timer at 14:00, before that break: validation
  // refuses the result, and the stopped timer must be put back.
  AgentRequest clockIn = request("timer.clock-in", {{"job", "Acme"}});
  try {
    AgentCommands::executeInPlace(clockIn, archive, at("2026-03-04T14:00:00Z"));
    ADD_FAILURE() << "the clock-in was accepted";
  } catch (const DataError& error) {
    EXPECT_STREQ(error.what(), "Breaks must be ordered, non-overlapping, and inside their time entry.");
  }
  EXPECT_EQ(archive, before);
}

}  // namespace
}  // namespace pellam::agent::testing
