// timer.status, timer.clock-in, timer.clock-out, timer.break and timer.resume. A running
// timer is an entry without an end; a break is a pause of it without an end. An entry
// moves running ⇄ on break → ended, and ending is final here: only the entries commands
// can make an entry run again.
#include <algorithm>
#include <vector>

#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "agent/engine/lookup.h"
#include "agent/engine/record_result.h"
#include "agent/engine/running_entries.h"
#include "core/payroll/payroll.h"

namespace pellam::agent::engine {

namespace {

Json status(const AgentRequest& request, const Archive& archive, Instant now) {
  std::optional<Uuid> onlyJob;
  if (const std::string* key = argument(request, "job")) onlyJob = archive.jobs[jobIndex(*key, archive)].id;

  std::vector<const Entry*> running;
  for (const Entry& entry : archive.entries) {
    if (entry.isRunning() && (!onlyJob || entry.jobID == *onlyJob)) running.push_back(&entry);
  }
  // Earliest first; timers started together keep their stored order.
  std::stable_sort(running.begin(), running.end(),
                   [](const Entry* a, const Entry* b) { return a->start < b->start; });

  const Payroll payroll(archive.preferences);
  Json active = Json::array();
  for (const Entry* entry : running) {
    // A validated archive always has the entry's job.
    const Job& job = *std::find_if(archive.jobs.begin(), archive.jobs.end(),
                                   [&](const Job& candidate) { return candidate.id == entry->jobID; });
    double worked = 0;
    for (const DayTime& day : payroll.daySeconds(*entry, job, now)) worked += day.seconds;
    const TimePause* pause = entry->openPause();

    Json timer = Json::object();
    timer["entry"] = toJson(*entry, DateStyle::WireText);
    timer["job"] = toJson(job, DateStyle::WireText);
    timer["revision"] = revision(*entry);
    timer["workedSeconds"] = worked;
    timer["state"] = pause == nullptr ? "working" : pause->paid ? "paid-break" : "unpaid-break";
    active.push_back(std::move(timer));
  }
  Json result = Json::object();
  result["active"] = std::move(active);
  result["multipleTimers"] = archive.preferences.multipleTimers;
  result["asOf"] = formatInternetDateTime(now);
  return result;
}

Json clockIn(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal) {
  const Job& job = archive.jobs[jobIndex(required("job", request), archive)];
  if (job.archived) throw AgentFailure::invalidArgument("Unarchive the job before clocking in.");

  // Idempotent per job: a job whose timer runs keeps it.
  for (const Entry& entry : archive.entries) {
    if (entry.jobID == job.id && entry.isRunning()) return record("entry", entry, request);
  }

  Entry entry;  // every other field at its new-record value
  // The request's identifier, so a replayed request can never start a second timer.
  entry.id = request.id;
  entry.jobID = job.id;
  entry.start = now;
  entry.rate = job.rate;
  entry.source = "Agent CLI timer";
  for (const Entry& existing : archive.entries) {
    if (existing.id == entry.id) throw AgentFailure::conflict("This timer ID was already used.");
  }
  prepareRunning(entry, archive, now, journal);
  return record("entry", journal.append(archive.entries, std::move(entry)), request);
}

// The entry clock-out, break and resume act on: the one named by --entry, or else the one
// running timer of the whole archive; checked against --if-match.
std::size_t selectedTimer(const AgentRequest& request, const Archive& archive) {
  std::size_t index = 0;
  if (argument(request, "entry") != nullptr) {
    index = entryIndex(archive, "entry", request);
  } else {
    std::size_t found = 0;
    for (std::size_t i = 0; i < archive.entries.size() && found < 2; ++i) {
      if (archive.entries[i].isRunning()) {
        index = i;
        ++found;
      }
    }
    if (found != 1) {
      throw AgentFailure::invalidArgument("Specify --entry when there is not exactly one active timer.");
    }
  }
  match(request, archive.entries[index]);
  return index;
}

void refuseEnded(const Entry& entry) {
  if (!entry.isRunning()) throw AgentFailure::invalidArgument("This timer has already ended.");
}

Json clockOut(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal) {
  const std::size_t index = selectedTimer(request, archive);
  // An entry that has already ended is returned as it is.
  if (archive.entries[index].isRunning()) {
    refuseOutrunTimer(archive.entries[index], now);
    closeEntry(journal.edit(archive.entries, index), now);
  }
  return record("entry", archive.entries[index], request);
}

Json startBreak(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal) {
  const std::size_t index = selectedTimer(request, archive);
  const Entry& entry = archive.entries[index];
  refuseEnded(entry);
  const std::string* paidText = argument(request, "paid");
  const bool paid = paidText != nullptr && boolean(*paidText, "paid");
  if (const TimePause* open = entry.openPause()) {
    // A break of the same kind simply continues.
    if (open->paid != paid) {
      throw AgentFailure::invalidArgument("Resume the existing break before choosing a different break type.");
    }
    return record("entry", entry, request);
  }
  refuseOutrunTimer(entry, now);
  const std::string* kind = argument(request, "kind");
  Entry& changed = journal.edit(archive.entries, index);
  changed.pauses.emplace_back(std::max(now, changed.start), std::nullopt, paid, kind ? *kind : std::string("Break"));
  return record("entry", changed, request);
}

Json resume(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal) {
  const std::size_t index = selectedTimer(request, archive);
  refuseEnded(archive.entries[index]);
  if (archive.entries[index].openPause() != nullptr) {
    refuseOutrunTimer(archive.entries[index], now);
    for (TimePause& pause : journal.edit(archive.entries, index).pauses) {
      if (!pause.end) pause.end = std::max(now, pause.start);
    }
  }
  return record("entry", archive.entries[index], request);
}

constexpr HandlerRow kTimerHandlers[] = {
    {"timer.status", [](const CommandCall& c) { return status(c.request, c.archive, c.now); }},
    {"timer.clock-in", [](const CommandCall& c) { return clockIn(c.request, c.archive, c.now, c.journal); }},
    {"timer.clock-out", [](const CommandCall& c) { return clockOut(c.request, c.archive, c.now, c.journal); }},
    {"timer.break", [](const CommandCall& c) { return startBreak(c.request, c.archive, c.now, c.journal); }},
    {"timer.resume", [](const CommandCall& c) { return resume(c.request, c.archive, c.now, c.journal); }},
};

}  // namespace

const FamilyHandlers timerFamily{kTimerHandlers, "Unknown timer operation."};

}  // namespace pellam::agent::engine
