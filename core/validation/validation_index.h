#pragma once
// What the whole validation of an archive established, kept so that the archive's next
// states are checked only where they differ. Validation rules all look at one record at a
// time, except for a few that span records: unique ids, one running timer per job, the jobs
// that entries and saved views point to. So once an archive is known to be valid:
//  - the same archive, later, is still valid (the rules that depend on the time bind only
//    what a change makes);
//  - a changed archive needs its small parts (jobs, preferences, saved views) checked whole,
//    its changed entries checked, and the rules that span records checked with what is
//    kept here (every entry's id, the running entries) instead of every entry.
// The check throws exactly the DataError validateChange (core/validation/validation.h) throws for the
// same change and time: the first broken rule decides.
#include <cstddef>
#include <vector>

#include "core/records/entry_origins.h"
#include "core/instant.h"
#include "core/records/records.h"
#include "core/validation/validation.h"
#include "core/validation/validation_rules.h"

namespace pellam {

class ValidationIndex {
 public:
  // `archive` must have passed validate().
  explicit ValidationIndex(const Archive& archive);
  // Stands for no archive: for a command that only looks, which never checks a change.
  // checkChange and adopt refuse it (std::logic_error) rather than accept a change unchecked.
  ValidationIndex() = default;

  // Throws what validateChange(after, ..., now, age) throws, where `after` is the archive
  // this index stands for, changed as `origins` say (its entries, which must be as many as
  // origins.after(); its small parts in any way).
  void checkChange(const Archive& after, const EntryOrigins& origins, Instant now,
                   RunningAge age = RunningAge::Checked) const;
  // Makes this index stand for `after`, once checkChange has accepted it.
  void adopt(const Archive& after, const EntryOrigins& origins);

  std::size_t entryCount() const { return positionIds_.size(); }

 private:
  using UuidKey = validation_rules::UuidKey;
  struct Running {
    UuidKey id;
    UuidKey job;
  };
  void checkChangeHere(const Archive& after, const EntryOrigins& origins, Instant now, RunningAge age) const;
  void requireArchive() const;
  std::vector<UuidKey> goneIds(const EntryOrigins& origins) const;

  std::vector<UuidKey> positionIds_;  // each entry's id, in entry order
  std::vector<UuidKey> sortedIds_;    // the same, sorted
  std::vector<Running> running_;      // the running entries
  std::vector<UuidKey> jobIds_;       // sorted
  std::vector<Job> jobs_;             // as they are, for what a change left alone
  std::vector<SavedFilter> filters_;
  std::vector<Entry> keptEntries_;    // untouchedEntriesToKeep() of the entries
  bool standsForArchive_ = false;
};

}  // namespace pellam
