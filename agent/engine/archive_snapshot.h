#pragma once
// What a command may change, saved before it runs, so that a failure or a dry run can put
// the archive back and `changed` can be decided without copying the whole archive. The
// entries are the only large part (100,000 of them are tens of megabytes), so they are
// saved only for commands that may write them and keep no journal of what they change
// (agent/engine/entry_journal.h); the small parts are always saved.
#include <optional>
#include <string_view>
#include <vector>

#include "agent/wire/command_table.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// False only for engine commands the command table marks as leaving `entries` alone; any
// other row, or none, is assumed to write them (safe, only slower). A family that starts
// writing entries in a command marked so must change its row.
bool mayChangeEntries(const CommandRow* row);

class ArchiveSnapshot {
 public:
  ArchiveSnapshot(const Archive& archive, bool withEntries);

  // True when every saved part equals the archive's (the unsaved entries are taken as
  // untouched).
  bool matches(const Archive& archive) const;
  // The entries as saved, when they were.
  const std::vector<Entry>* entries() const { return entries_ ? &*entries_ : nullptr; }
  const std::vector<Job>& jobs() const { return jobs_; }
  const std::vector<SavedFilter>& filters() const { return filters_; }
  // Moves the saved parts back into the archive; the snapshot is spent.
  void restoreInto(Archive& archive) noexcept;

 private:
  std::string format_;
  std::int64_t version_;
  std::vector<Job> jobs_;
  std::optional<std::vector<Entry>> entries_;
  Preferences preferences_;
  std::vector<SavedFilter> filters_;
};

}  // namespace pellam::agent::engine
