#include "core/validation/validation.h"

#include <algorithm>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "core/data_error.h"
#include "core/records/entry_origins.h"
#include "core/validation/validation_rules.h"

namespace pellam {

using namespace validation_rules;

namespace {

// Every rule before the entries' own, in order.
void checkAllButEntries(const Archive& archive, const JobIndex& jobs) {
  if (!isSupportedFormat(archive)) fail(kUnsupportedFormatMessage);
  if (hasDuplicate(idsOf(archive.jobs)) || hasDuplicate(idsOf(archive.entries))) {
    fail(kDuplicateIdentifiersMessage);
  }
  checkFilters(archive, jobs);
  std::vector<UuidKey> runningJobs;
  for (const Entry& entry : archive.entries) {
    if (entry.isRunning()) runningJobs.push_back(keyOf(entry.jobID));
  }
  checkRunningJobs(std::move(runningJobs), archive.preferences);
  checkPreferences(archive.preferences);
  checkJobs(archive.jobs);
}

bool entriesPass(std::span<const Entry> entries, const JobIndex& jobs) noexcept {
  try {
    return std::all_of(entries.begin(), entries.end(),
                       [&](const Entry& entry) { return isValidEntry(entry, jobs) && hasValidBreaks(entry); });
  } catch (...) {
    return false;  // judged again in order
  }
}

// Whether every rule passes, the later half of a large archive's entries checked on the second
// core meanwhile (the host reads a large archive before its first answer). Only a pass is
// certain here; which rule a failure breaks first is for the check in order to say.
bool passesOnTwoCores(const Archive& archive, const JobIndex& jobs) {
  const std::span<const Entry> entries(archive.entries);
  const std::size_t half = entries.size() / 2;
  bool laterPass = false;
  std::optional<std::jthread> later;
  try {
    later.emplace([&] { laterPass = entriesPass(entries.subspan(half), jobs); });
  } catch (const std::system_error&) {
    return false;
  }
  bool pass = true;
  try {
    checkAllButEntries(archive, jobs);
  } catch (const DataError&) {
    pass = false;
  }
  pass = pass && entriesPass(entries.first(half), jobs);
  later->join();
  return pass && laterPass;
}

constexpr std::size_t kTwoCoresFrom = 20000;  // entries; below, a thread's start is not repaid

}  // namespace

void validate(const Archive& archive) {
  const JobIndex jobs(archive.jobs);
  if (archive.entries.size() >= kTwoCoresFrom && passesOnTwoCores(archive, jobs)) return;
  checkAllButEntries(archive, jobs);
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
