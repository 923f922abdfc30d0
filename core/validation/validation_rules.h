#pragma once
// The rules of archive validation one by one, shared by the whole-archive check
// (core/validation/validation.h, the reference) and the check of a change (core/validation/validation_index.h),
// so that both judge a record alike. Internal to the core library.
#include <cstring>
#include <string_view>
#include <vector>

#include "core/instant.h"
#include "core/records/records.h"
#include "core/validation/running_age.h"

namespace pellam::validation_rules {

[[noreturn]] void fail(std::string_view message);

// A UUID as one 128-bit number: sorting 100,000 of them this way takes a fraction of the
// time that comparing their byte arrays does.
__extension__ using UuidKey = unsigned __int128;

inline UuidKey keyOf(const Uuid& id) {
  UuidKey key;
  std::memcpy(&key, id.bytes().data(), sizeof key);
  return key;
}

bool hasDuplicate(std::vector<UuidKey> ids);

template <typename Record>
std::vector<UuidKey> idsOf(const std::vector<Record>& records) {
  std::vector<UuidKey> ids;
  ids.reserve(records.size());
  for (const Record& record : records) ids.push_back(keyOf(record.id));
  return ids;
}

// The ids of the jobs, for the rules that want a job to exist.
class JobIndex {
 public:
  explicit JobIndex(const std::vector<Job>& jobs);
  bool contains(const Uuid& id) const;
  // Whether every id of `sortedIds` is a job's.
  bool containsAll(const std::vector<UuidKey>& sortedIds) const;

 private:
  std::vector<UuidKey> ids_;  // sorted
};

// Step 1: format and version.
bool isSupportedFormat(const Archive& archive);
// Step 3, whole: throws the saved-view message.
void checkFilters(const Archive& archive, const JobIndex& jobs);
// Step 4 over the jobs of the running entries: throws the running-timers message.
void checkRunningJobs(std::vector<UuidKey> runningJobs, const Preferences& preferences);
// Step 5: throws the preferences message.
void checkPreferences(const Preferences& preferences);
// Step 6, whole: throws the message that names the first job that breaks a rule.
void checkJobs(const std::vector<Job>& jobs);
// Step 7 for one entry, breaks apart, without the rules that bind only what a change makes.
bool isValidEntry(const Entry& entry, const JobIndex& jobs);
// Step 8 for one entry.
bool hasValidBreaks(const Entry& entry);
// Steps 7 and 8 over the entries in order: throws the message of the first entry that fails.
void checkEntries(const std::vector<Entry>& entries, const JobIndex& jobs);

// Whether every date of the record lies in the calendar (core/instant.h).
bool datesWithinCalendar(const Entry& entry);
bool datesWithinCalendar(const Job& job);
bool datesWithinCalendar(const SavedFilter& filter);

// The rules that bind only what a change makes, run after every other rule passed: the saved
// views and jobs that differ from all those before, and the entries at `changedEntries`
// (ascending) that are identical to none of `entriesBefore`, keep their dates in the
// calendar; such a running entry is at most 366 days old at `now`, unless `age` exempts it.
void checkChangedRecords(const Archive& after, const std::vector<Job>& jobsBefore,
                         const std::vector<SavedFilter>& filtersBefore, const std::vector<Entry>& entriesBefore,
                         const std::vector<std::size_t>& changedEntries, Instant now, RunningAge age);

}  // namespace pellam::validation_rules
