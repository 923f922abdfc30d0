#pragma once
// Small fixed archives and a one-call way to run a command through the engine with a
// fixed "now", for the engine tests.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

#include "agent/engine/execute.h"
#include "core/data_error.h"
#include "core/json.h"
#include "core/records/records.h"
#include "support/fixture_values.h"
#include "support/record_builders.h"
#include "support/request_builders.h"

namespace pellam::agent::testing {

using pellam::testing::at;
using pellam::testing::uuid;

// Wednesday 2026-03-04, 10:00 in New York.
inline const Instant kNow = at("2026-03-04T15:00:00Z");

inline const Uuid kRequestId = uuid("0E0E0E0E-0000-4000-8000-00000000000E");
inline const Uuid kAcme = uuid("11111111-1111-4111-8111-111111111111");
inline const Uuid kBeta = uuid("22222222-2222-4222-8222-222222222222");
inline const Uuid kOld = uuid("33333333-3333-4333-8333-333333333333");
inline const Uuid kEntryDone = uuid("A1A1A1A1-0000-4000-8000-000000000001");
inline const Uuid kEntryRunning = uuid("A1A1A1A1-0000-4000-8000-000000000002");

using pellam::testing::plainEntry;

inline Job job(Uuid id, std::string name, bool archived = false) {
  Job job = pellam::testing::plainJob(id, std::move(name));
  job.archived = archived;
  return job;
}

// Three jobs (one archived), a finished entry of Acme and a running entry of Beta.
inline Archive sampleArchive() {
  Archive archive;
  archive.preferences.timeZone = "America/New_York";
  archive.jobs = {job(kAcme, "Acme"), job(kBeta, "Beta"), job(kOld, "Old", true)};
  archive.entries = {plainEntry(kEntryDone, kAcme, at("2026-03-02T14:00:00Z"), at("2026-03-02T22:00:00Z")),
                     plainEntry(kEntryRunning, kBeta, at("2026-03-04T13:00:00Z"), std::nullopt)};
  return archive;
}

// An instant as "HH:MM" in UTC, prefixed with "MM-DD " when not on kNow's day.
inline std::string clockText(Instant instant) {
  const std::string text = formatInternetDateTime(instant);
  const std::string time = text.substr(11, 5);
  return text.substr(0, 10) == "2026-03-04" ? time : text.substr(5, 5) + " " + time;
}

// The entries in stored order, one "label start-end [breaks]" each, joined by " | ": the
// fixture's entries are "done" and "beta", the request's own identifier "new", any other
// the first four digits of its identifier. An open end is left empty ("13:00-").
inline std::string timeline(const Archive& archive) {
  std::string text;
  for (const Entry& entry : archive.entries) {
    if (!text.empty()) text += " | ";
    text += entry.id == kEntryDone ? "done" : entry.id == kEntryRunning ? "beta"
            : entry.id == kRequestId ? "new" : entry.id.text().substr(0, 4);
    text += " " + clockText(entry.start) + "-" + (entry.end ? clockText(*entry.end) : "");
    if (entry.pauses.empty()) continue;
    text += " [";
    for (std::size_t i = 0; i < entry.pauses.size(); ++i) {
      const TimePause& pause = entry.pauses[i];
      if (i > 0) text += ", ";
      text += clockText(pause.start) + "-" + (pause.end ? clockText(*pause.end) : "") +
              (pause.paid ? " paid " : " unpaid ") + pause.kind;
    }
    text += "]";
  }
  return text;
}

using Arguments = std::map<std::string, std::string>;

inline AgentRequest request(std::string command, Arguments arguments = {}, bool dryRun = false) {
  return pellam::testing::requestFor(std::move(command), std::move(arguments), kRequestId, kNow, dryRun);
}

// What a failed command reported.
struct Failure {
  std::string code;
  std::string message;
  bool retryable = false;
};

struct Outcome {
  std::optional<AgentExecution> execution;
  std::optional<Failure> failure;

  // The result document, parsed; fails the test when the command failed.
  Json result() const {
    if (!execution) {
      ADD_FAILURE() << "command failed: " << failure->code << ": " << failure->message;
      return Json();
    }
    return parseJson(execution->result);
  }
};

inline Outcome run(const Archive& archive, const AgentRequest& request, Instant now = kNow) {
  Outcome outcome;
  try {
    outcome.execution = AgentCommands::execute(request, archive, now);
  } catch (const AgentFailure& failure) {
    outcome.failure = Failure{failure.code, failure.message, failure.retryable};
  } catch (const DataError& error) {
    outcome.failure = Failure{"data_error", error.what(), false};
  } catch (const JsonParseError& error) {
    outcome.failure = Failure{"json_parse_error", error.what(), false};
  }
  return outcome;
}

inline Outcome run(const Archive& archive, std::string command, Arguments arguments = {}, bool dryRun = false) {
  return run(archive, request(std::move(command), std::move(arguments), dryRun));
}

// "code: message" of a failed outcome, or "ok" — compact for table-driven expectations.
inline std::string summary(const Outcome& outcome) {
  if (outcome.failure) return outcome.failure->code + ": " + outcome.failure->message;
  return "ok";
}

}  // namespace pellam::agent::testing
