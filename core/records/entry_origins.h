#pragma once
// How the entries of a changed archive came from those it had before: for each entry, the
// position of the earlier entry it was left as (identical in every field), or kChanged for an
// entry added or changed. Earlier entries that no position names are gone. What is kept per
// entry between changes (its encoded bytes, what validation knows of it) follows a change
// through this map instead of being worked out again for every entry.
#include <cstddef>
#include <limits>
#include <vector>

#include "core/records/records.h"

namespace pellam {

class EntryOrigins {
 public:
  static constexpr std::size_t kChanged = std::numeric_limits<std::size_t>::max();

  // Nothing changed among `count` entries.
  static EntryOrigins unchanged(std::size_t count);
  // Every one of `after` entries is new; the `before` earlier ones are all gone.
  static EntryOrigins allChanged(std::size_t before, std::size_t after);
  // Worked out by comparing: the entries both lists begin with and end with, identical, keep
  // their origin; those between count as changed (a command that rewrites or inserts entries
  // in the middle changes a run of them, not a scattering).
  static EntryOrigins between(const std::vector<Entry>& before, const std::vector<Entry>& after);
  // From `from` as described above; `before` is how many entries there were.
  EntryOrigins(std::size_t before, std::vector<std::size_t> from);

  std::size_t before() const { return before_; }
  std::size_t after() const { return from_.size(); }
  // kChanged, or the earlier position of the entry now at `position`.
  std::size_t from(std::size_t position) const { return from_[position]; }
  // The earlier positions no entry came from, ascending.
  std::vector<std::size_t> gone() const;
  // The positions of the changed and added entries, ascending.
  std::vector<std::size_t> changed() const;

 private:
  std::size_t before_ = 0;
  std::vector<std::size_t> from_;
};

// Whether two entries are the same to the last bit: equal, and every binary number with the
// same bits too (0 and -0 compare equal but are written differently).
bool identicalEntries(const Entry& a, const Entry& b);

}  // namespace pellam
