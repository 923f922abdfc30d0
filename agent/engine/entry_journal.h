#pragma once
// The entries a command changed and what they held before, so that a failed run or a dry
// run can be put back, and `changed` decided, without a copy of every entry: a timer or
// entries command touches a few of possibly 100,000 entries. Those two families change
// `archive.entries` only through a journal; builds without NDEBUG check that they do.
#include <cstddef>
#include <optional>
#include <vector>

#include "core/records/entry_origins.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

class EntryJournal {
 public:
  // The entry at `index`, to be changed in place; what it holds now is kept.
  Entry& edit(std::vector<Entry>& entries, std::size_t index);
  // Appends `entry`; returns it as stored.
  Entry& append(std::vector<Entry>& entries, Entry entry);
  // Removes the entry at `index` and returns it.
  Entry erase(std::vector<Entry>& entries, std::size_t index);

  // Whether `entries` differ from what they held before the first change. An entry added
  // or removed always counts as a change; edits count when the entry's value differs.
  bool changed(const std::vector<Entry>& entries) const;
  // Where each of `entries` (as they are now) came from before the first change: an edited
  // or appended entry counts as changed, whatever it holds.
  EntryOrigins origins(const std::vector<Entry>& entries) const;
  // Puts `entries` back as they were before the first change; the journal is spent.
  void undo(std::vector<Entry>& entries) noexcept;

 private:
  enum class Kind { edit, append, erase };
  struct Change {
    Kind kind;
    std::size_t index;
    std::optional<Entry> before;  // for edit and erase
  };
  std::vector<Change> changes_;
};

}  // namespace pellam::agent::engine
