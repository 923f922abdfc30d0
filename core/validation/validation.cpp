#include "core/validation/validation.h"

#include <algorithm>
#include <vector>

#include "core/data_error.h"
#include "core/records/entry_origins.h"
#include "core/validation/validation_rules.h"

namespace pellam {

using namespace validation_rules;

void validate(const Archive& archive) {
  if (!isSupportedFormat(archive)) fail(kUnsupportedFormatMessage);
  if (hasDuplicate(idsOf(archive.jobs)) || hasDuplicate(idsOf(archive.entries))) {
    fail(kDuplicateIdentifiersMessage);
  }
  const JobIndex jobs(archive.jobs);
  checkFilters(archive, jobs);
  std::vector<UuidKey> runningJobs;
  for (const Entry& entry : archive.entries) {
    if (entry.isRunning()) runningJobs.push_back(keyOf(entry.jobID));
  }
  checkRunningJobs(std::move(runningJobs), archive.preferences);
  checkPreferences(archive.preferences);
  checkJobs(archive.jobs);
  checkEntries(archive.entries, jobs);
}

void validateChange(const Archive& after, const ArchiveChange& change, Instant now, RunningAge age) {
  validate(after);
  checkChangedRecords(after, change.jobsBefore, change.filtersBefore, change.entriesBefore, change.entries.changed(),
                      now, age);
}

std::vector<Entry> untouchedEntriesToKeep(const std::vector<Entry>& entries) {
  std::vector<Entry> kept;
  for (const Entry& entry : entries) {
    if (entry.isRunning() || !datesWithinCalendar(entry)) kept.push_back(entry);
  }
  return kept;
}

void checkDatesWithinCalendar(const Archive& archive, std::string_view message) {
  const auto outside = [](const auto& record) { return !datesWithinCalendar(record); };
  if (std::any_of(archive.jobs.begin(), archive.jobs.end(), outside) ||
      std::any_of(archive.entries.begin(), archive.entries.end(), outside) ||
      std::any_of(archive.filters.begin(), archive.filters.end(), outside)) {
    fail(message);
  }
}

Archive validated(Archive archive) {
  validate(archive);
  return archive;
}

Archive Archive::validated() const {
  validate(*this);
  return *this;
}

}  // namespace pellam
