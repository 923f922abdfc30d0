#include "core/validation.h"

#include <vector>

#include "core/data_error.h"
#include "core/validation_rules.h"

namespace pellam {

using namespace validation_rules;

void validate(const Archive& archive, Instant now) {
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
  checkEntries(archive.entries, jobs, now);
}

void validate(const Archive& archive) { validate(archive, Instant::now()); }

Archive validated(Archive archive, Instant now) {
  validate(archive, now);
  return archive;
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
