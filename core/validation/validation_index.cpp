#include "core/validation/validation_index.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/data_error.h"
#include "core/validation/validation.h"

namespace pellam {

using namespace validation_rules;

namespace {

bool containsKey(const std::vector<UuidKey>& sorted, UuidKey key) {
  return std::binary_search(sorted.begin(), sorted.end(), key);
}

std::vector<UuidKey> sortedKeys(std::vector<UuidKey> keys) {
  std::sort(keys.begin(), keys.end());
  return keys;
}

// The message a check threw, or none when it passed.
template <typename Check>
std::optional<std::string> messageOf(Check check) {
  try {
    check();
  } catch (const DataError& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}

}  // namespace

ValidationIndex::ValidationIndex(const Archive& archive)
    : positionIds_(idsOf(archive.entries)),
      sortedIds_(sortedKeys(positionIds_)),
      jobIds_(sortedKeys(idsOf(archive.jobs))),
      jobs_(archive.jobs),
      filters_(archive.filters),
      keptEntries_(untouchedEntriesToKeep(archive.entries)),
      standsForArchive_(true) {
  for (const Entry& entry : archive.entries) {
    if (entry.isRunning()) running_.push_back({keyOf(entry.id), keyOf(entry.jobID)});
  }
}

std::vector<ValidationIndex::UuidKey> ValidationIndex::goneIds(const EntryOrigins& origins) const {
  std::vector<UuidKey> gone;
  for (std::size_t position : origins.gone()) gone.push_back(positionIds_[position]);
  std::sort(gone.begin(), gone.end());
  return gone;
}

void ValidationIndex::requireArchive() const {
  if (!standsForArchive_) throw std::logic_error("A change was checked against an index of no archive.");
}

void ValidationIndex::checkChange(const Archive& after, const EntryOrigins& origins, Instant now,
                                  RunningAge age) const {
  requireArchive();
#ifdef NDEBUG
  checkChangeHere(after, origins, now, age);
#else
  // Builds for tests compare every answer with the whole validation's.
  std::optional<std::string> here = messageOf([&] { checkChangeHere(after, origins, now, age); });
  std::optional<std::string> whole =
      messageOf([&] { validateChange(after, ArchiveChange{jobs_, filters_, keptEntries_, origins}, now, age); });
  if (here != whole) {
    throw std::logic_error("The check of a change says \"" + here.value_or("valid") + "\", the whole validation \"" +
                           whole.value_or("valid") + "\".");
  }
  if (here) fail(*here);
#endif
}

void ValidationIndex::checkChangeHere(const Archive& after, const EntryOrigins& origins, Instant now,
                                      RunningAge age) const {
  if (origins.before() != positionIds_.size() || origins.after() != after.entries.size()) {
    throw std::logic_error("The entries' origins do not fit the archives they relate.");
  }
  const std::vector<std::size_t> changed = origins.changed();
  const std::vector<UuidKey> gone = goneIds(origins);

  // 1. Format and version.
  if (!isSupportedFormat(after)) fail(kUnsupportedFormatMessage);

  // 2. Unique ids: the jobs whole; a changed entry's id must be neither another changed
  // entry's nor that of an entry left as it was (one not gone).
  if (hasDuplicate(idsOf(after.jobs))) fail(kDuplicateIdentifiersMessage);
  std::vector<UuidKey> changedIds;
  changedIds.reserve(changed.size());
  for (std::size_t position : changed) changedIds.push_back(keyOf(after.entries[position].id));
  if (hasDuplicate(changedIds)) fail(kDuplicateIdentifiersMessage);
  for (UuidKey id : changedIds) {
    if (containsKey(sortedIds_, id) && !containsKey(gone, id)) fail(kDuplicateIdentifiersMessage);
  }

  // 3. Saved views, whole.
  const JobIndex jobs(after.jobs);
  checkFilters(after, jobs);

  // 4. Running timers: those left as they were, and the changed ones.
  std::vector<UuidKey> runningJobs;
  for (const Running& entry : running_) {
    if (!containsKey(gone, entry.id)) runningJobs.push_back(entry.job);
  }
  for (std::size_t position : changed) {
    const Entry& entry = after.entries[position];
    if (entry.isRunning()) runningJobs.push_back(keyOf(entry.jobID));
  }
  checkRunningJobs(std::move(runningJobs), after.preferences);

  // 5 and 6, whole.
  checkPreferences(after.preferences);
  checkJobs(after.jobs);

  // 7 and 8. An entry left as it was still passes, unless its job is gone (then every
  // entry is looked at).
  if (!jobs.containsAll(jobIds_)) {
    checkEntries(after.entries, jobs);
  } else {
    for (std::size_t position : changed) {
      const Entry& entry = after.entries[position];
      if (!isValidEntry(entry, jobs)) fail(kEntryMessage);
      if (!hasValidBreaks(entry)) fail(kBreaksMessage);
    }
  }

  // What binds only the change.
  checkChangedRecords(after, jobs_, filters_, keptEntries_, changed, now, age);
}

void ValidationIndex::adopt(const Archive& after, const EntryOrigins& origins) {
  requireArchive();
  const std::vector<UuidKey> gone = goneIds(origins);
  std::vector<UuidKey> positionIds(after.entries.size());
  std::vector<UuidKey> fresh;
  for (std::size_t i = 0; i < after.entries.size(); ++i) {
    std::size_t origin = origins.from(i);
    if (origin == EntryOrigins::kChanged) {
      positionIds[i] = keyOf(after.entries[i].id);
      fresh.push_back(positionIds[i]);
    } else {
      positionIds[i] = positionIds_[origin];
    }
  }
  std::sort(fresh.begin(), fresh.end());
  std::vector<UuidKey> kept;
  kept.reserve(sortedIds_.size());
  std::set_difference(sortedIds_.begin(), sortedIds_.end(), gone.begin(), gone.end(), std::back_inserter(kept));
  std::vector<UuidKey> sortedIds;
  sortedIds.reserve(kept.size() + fresh.size());
  std::merge(kept.begin(), kept.end(), fresh.begin(), fresh.end(), std::back_inserter(sortedIds));

  std::vector<Running> running;
  for (const Running& entry : running_) {
    if (!containsKey(gone, entry.id)) running.push_back(entry);
  }
  std::vector<Entry> keptEntries;
  for (Entry& entry : keptEntries_) {
    if (!containsKey(gone, keyOf(entry.id))) keptEntries.push_back(std::move(entry));
  }
  std::vector<Entry> changedEntries;
  for (std::size_t position : origins.changed()) changedEntries.push_back(after.entries[position]);
  for (Entry& entry : untouchedEntriesToKeep(changedEntries)) keptEntries.push_back(std::move(entry));
  for (std::size_t position : origins.changed()) {
    const Entry& entry = after.entries[position];
    if (entry.isRunning()) running.push_back({keyOf(entry.id), keyOf(entry.jobID)});
  }

  positionIds_ = std::move(positionIds);
  sortedIds_ = std::move(sortedIds);
  running_ = std::move(running);
  jobIds_ = sortedKeys(idsOf(after.jobs));
  jobs_ = after.jobs;
  filters_ = after.filters;
  keptEntries_ = std::move(keptEntries);
}

}  // namespace pellam
