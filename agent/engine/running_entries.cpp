#include "agent/engine/running_entries.h"

#include <algorithm>

#include "agent/wire/failure.h"
#include "core/validation/validation.h"

namespace pellam::agent::engine {

void closeEntry(Entry& entry, Instant at) {
  entry.end = std::max(at, entry.start);
  for (TimePause& pause : entry.pauses) {
    if (!pause.end) pause.end = std::max(at, pause.start);
  }
}

void refuseOutrunTimer(const Entry& entry, Instant now) {
  if (!hasOutrunLengthLimit(entry, now)) return;
  const std::string id = entry.id.text();
  throw AgentFailure::invalidArgument("Time entry " + id +
                                      " has been running for more than 366 days, the longest an entry may last, so "
                                      "it cannot be ended or changed now. Set its end with vantry entries update " +
                                      id + " --end <ISO>, or remove it with vantry entries delete " + id + ".");
}

void prepareRunning(const Entry& entry, Archive& archive, Instant now, EntryJournal& journal) {
  if (!entry.isRunning()) return;
  auto job = std::find_if(archive.jobs.begin(), archive.jobs.end(),
                          [&](const Job& candidate) { return candidate.id == entry.jobID; });
  if (job == archive.jobs.end() || job->archived) {
    throw AgentFailure::invalidArgument("Unarchive this job before running a timer.");
  }
  if (archive.preferences.multipleTimers) return;
  for (std::size_t i = 0; i < archive.entries.size(); ++i) {
    const Entry& other = archive.entries[i];
    if (!other.isRunning() || other.id == entry.id) continue;
    refuseOutrunTimer(other, now);
    closeEntry(journal.edit(archive.entries, i), now);
  }
}

}  // namespace pellam::agent::engine
