// entries.list, entries.show, entries.create, entries.update, entries.copy and
// entries.delete. An entry is addressed by the `id` argument, its identifier; a job by the
// `job` argument, its identifier or exact name. Every entry that starts running passes
// prepareRunning; dates, amounts and breaks are checked by archive validation afterwards.
#include <vector>

#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "agent/engine/lookup.h"
#include "agent/engine/paging.h"
#include "agent/engine/patch.h"
#include "agent/engine/record_result.h"
#include "agent/engine/running_entries.h"
#include "agent/engine/selection.h"

namespace pellam::agent::engine {

namespace {

// Setting `end` to null makes an entry run again.
const NullableFields kNullable = {"end"};

Json list(const AgentRequest& request, const Archive& archive, Instant now, ArchiveIndexes* indexes) {
  std::vector<const Entry*> kept = selectedEntries(readSelection(request, archive, now), archive, indexes);
  if (const std::string* text = argument(request, "running")) {
    const bool running = boolean(*text, "running");
    std::erase_if(kept, [&](const Entry* entry) { return entry->isRunning() != running; });
  }
  return page(request, kept);
}

Json show(const AgentRequest& request, const Archive& archive) {
  return record("entry", archive.entries[entryIndex(archive, "id", request)], request);
}

// The `running` argument, when given.
std::optional<bool> runningArgument(const AgentRequest& request) {
  const std::string* text = argument(request, "running");
  if (text == nullptr) return std::nullopt;
  return boolean(*text, "running");
}

Json create(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal) {
  const Job& job = archive.jobs[jobIndex(required("job", request), archive)];

  Entry entry;  // every other field at its new-record value
  // The request's identifier, so replaying one request cannot create two entries.
  entry.id = request.id;
  entry.jobID = job.id;
  entry.start = now;
  entry.end = now;
  entry.rate = job.rate;
  entry.source = "Agent CLI";

  entry = patch(request, entryFields, kNullable, entry);
  if (runningArgument(request) == true) entry.end.reset();
  if (argument(request, "start") == nullptr && argument(request, "patch") == nullptr) {
    throw AgentFailure::invalidArgument("Supply --start for a manual entry, or use timer clock-in.");
  }
  for (const Entry& existing : archive.entries) {
    if (existing.id == entry.id) throw AgentFailure::conflict("This entry ID already exists.");
  }
  prepareRunning(entry, archive, now, journal);
  return record("entry", journal.append(archive.entries, std::move(entry)), request);
}

// The entry update, copy and delete act on, checked against --if-match.
std::size_t storedEntry(const AgentRequest& request, const Archive& archive) {
  const std::size_t index = entryIndex(archive, "id", request);
  match(request, archive.entries[index]);
  return index;
}

Json update(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal) {
  const std::size_t index = storedEntry(request, archive);

  Entry entry = patch(request, entryFields, kNullable, archive.entries[index]);
  // After the patch, so it wins over --job-id; the entry keeps its rate.
  if (const std::string* key = argument(request, "job")) entry.jobID = archive.jobs[jobIndex(*key, archive)].id;
  bool endsNow = false;
  if (std::optional<bool> running = runningArgument(request)) {
    if (*running) {
      entry.end.reset();
    } else {
      endsNow = !entry.end;
      closeEntry(entry, entry.end.value_or(now));
    }
  }
  // A timer that ran too long is mended only by the end it really had (or by deleting it).
  if (entry.isRunning() || endsNow) refuseOutrunTimer(archive.entries[index], now);
  prepareRunning(entry, archive, now, journal);
  return record("entry", journal.edit(archive.entries, index) = std::move(entry), request);
}

Json copy(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal) {
  const std::size_t index = storedEntry(request, archive);

  // A copy never runs, and none of its breaks stays open; one of a timer that ran too long
  // would hold more than an entry may.
  refuseOutrunTimer(archive.entries[index], now);
  Entry entry = archive.entries[index];
  entry.id = request.id;
  closeEntry(entry, entry.end.value_or(now));
  for (const Entry& existing : archive.entries) {
    if (existing.id == entry.id) throw AgentFailure::conflict("The copied entry ID already exists.");
  }
  return record("entry", journal.append(archive.entries, std::move(entry)), request);
}

Json remove(const AgentRequest& request, Archive& archive, EntryJournal& journal) {
  const std::size_t index = storedEntry(request, archive);
  return record("deletedEntry", journal.erase(archive.entries, index), request);
}

constexpr HandlerRow kEntriesHandlers[] = {
    {"entries.list", [](const CommandCall& c) { return list(c.request, c.archive, c.now, c.indexes); }},
    {"entries.show", [](const CommandCall& c) { return show(c.request, c.archive); }},
    {"entries.create", [](const CommandCall& c) { return create(c.request, c.archive, c.now, c.journal); }},
    {"entries.update", [](const CommandCall& c) { return update(c.request, c.archive, c.now, c.journal); }},
    {"entries.copy", [](const CommandCall& c) { return copy(c.request, c.archive, c.now, c.journal); }},
    {"entries.delete", [](const CommandCall& c) { return remove(c.request, c.archive, c.journal); }},
};

}  // namespace

const FamilyHandlers entriesFamily{kEntriesHandlers, "Unknown entries operation."};

}  // namespace pellam::agent::engine
