#include "agent/engine/archive_indexes.h"

namespace pellam::agent {

const EntryStartIndex& ArchiveIndexes::starts(const Archive& archive) {
  // A count that differs is an archive this index never followed: start again.
  if (!starts_ || starts_->size() != archive.entries.size()) starts_.emplace(archive.entries);
  return *starts_;
}

std::vector<PayLine> ArchiveIndexes::payLines(const Archive& archive, Instant now, std::optional<Instant> lower,
                                              std::optional<Instant> upper) {
  const EntryStartIndex& index = starts(archive);
  return payLines_.lines(archive, index, now, lower, upper);
}

void ArchiveIndexes::adopt(const Archive& after, const EntryOrigins& origins) {
  if (starts_) {
    if (starts_->size() == origins.before()) {
      starts_->adopt(after.entries, origins);
    } else {
      starts_.reset();
    }
  }
  payLines_.adopt(after, origins);
}

void ArchiveIndexes::clear() {
  starts_.reset();
  payLines_.clear();
}

}  // namespace pellam::agent
