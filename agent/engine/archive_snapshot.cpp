#include "agent/engine/archive_snapshot.h"

#include <algorithm>
#include <array>

namespace pellam::agent::engine {

bool mayChangeEntries(std::string_view command) {
  // Readers, and writers of jobs, preferences and saved views only.
  static constexpr std::array<std::string_view, 22> untouched = {
      "capabilities",    "jobs.list",       "jobs.show",       "jobs.create",     "jobs.update",
      "jobs.archive",    "jobs.copy",       "timer.status",    "entries.list",    "entries.show",
      "preferences.get", "preferences.set", "tags.list",       "filters.list",    "filters.create",
      "filters.update",  "filters.delete",  "reports.summary", "reports.daily",   "reports.payperiod",
      "export",          "import.preview"};
  return std::find(untouched.begin(), untouched.end(), command) == untouched.end();
}

ArchiveSnapshot::ArchiveSnapshot(const Archive& archive, bool withEntries)
    : format_(archive.format),
      version_(archive.version),
      jobs_(archive.jobs),
      preferences_(archive.preferences),
      filters_(archive.filters) {
  if (withEntries) entries_ = archive.entries;
}

bool ArchiveSnapshot::matches(const Archive& archive) const {
  return format_ == archive.format && version_ == archive.version && jobs_ == archive.jobs &&
         preferences_ == archive.preferences && filters_ == archive.filters &&
         (!entries_ || *entries_ == archive.entries);
}

void ArchiveSnapshot::restoreInto(Archive& archive) noexcept {
  archive.format = std::move(format_);
  archive.version = version_;
  archive.jobs = std::move(jobs_);
  if (entries_) archive.entries = std::move(*entries_);
  archive.preferences = std::move(preferences_);
  archive.filters = std::move(filters_);
}

}  // namespace pellam::agent::engine
