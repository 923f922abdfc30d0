#include "agent/engine/archive_snapshot.h"

namespace pellam::agent::engine {

bool mayChangeEntries(const CommandRow* row) {
  return row == nullptr || row->performer != Performer::engine || row->mayChangeEntries;
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
