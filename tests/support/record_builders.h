#pragma once
// Jobs, entries and breaks for fixtures: the fields a test names, every other field at its
// default, so a fixture states only what it is about.
#include <optional>
#include <string>

#include "core/decimal.h"
#include "core/instant.h"
#include "core/records/records.h"
#include "core/uuid.h"
#include "support/fixture_values.h"

namespace pellam::testing {

// A job whose pay periods are anchored on Monday 2026-01-05 in New York.
inline Job plainJob(Uuid id, std::string name) {
  Job job;
  job.id = id;
  job.name = std::move(name);
  job.payAnchor = at("2026-01-05T05:00:00Z");
  return job;
}

// An entry of `jobID` at 20 an hour; no `end` is a running entry.
inline Entry plainEntry(Uuid id, Uuid jobID, Instant start, std::optional<Instant> end) {
  Entry entry;
  entry.id = id;
  entry.jobID = jobID;
  entry.start = start;
  entry.end = end;
  entry.rate = dec("20");
  return entry;
}

// A break; no `end` is a break still running.
inline TimePause pause(Uuid id, Instant start, std::optional<Instant> end, bool paid = false) {
  TimePause p;
  p.id = id;
  p.start = start;
  p.end = end;
  p.paid = paid;
  return p;
}

}  // namespace pellam::testing
