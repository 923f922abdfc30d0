#pragma once
// The entries of an archive by start, so that a window's entries are found without looking
// at every entry: a finished entry lasts at most 366 days (archive validation holds it so),
// so every finished entry that reaches into a window starts at most that long before it;
// running entries, which last until whatever `now` is asked about, are kept apart. Follows
// a change through its EntryOrigins instead of being built again.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/instant.h"
#include "core/records/entry_origins.h"
#include "core/records/records.h"

namespace pellam {

class EntryStartIndex {
 public:
  // The longest a finished entry of a valid archive lasts: 366 days.
  static constexpr double kLongestEntrySeconds = 31'622'400;

  explicit EntryStartIndex(const std::vector<Entry>& entries);

  // Makes the index stand for `after`, changed from the entries it stood for as `origins` say.
  void adopt(const std::vector<Entry>& after, const EntryOrigins& origins);

  // The positions of the entries that start in [from, to) (an absent side unbounded),
  // ascending by start.
  std::vector<std::size_t> startingIn(std::optional<Instant> from, std::optional<Instant> to) const;
  // The positions of every entry that may overlap [lower, upper): those starting in it or up
  // to 366 days before it, and the running ones, ascending by start but for running entries
  // that start earlier, which come last. A superset: the caller tests each. `entries` are
  // those the index stands for.
  std::vector<std::size_t> mayOverlap(const std::vector<Entry>& entries, std::optional<Instant> lower,
                                      std::optional<Instant> upper) const;
  // The positions of the running entries, ascending.
  const std::vector<std::size_t>& running() const { return running_; }

  std::size_t size() const { return byStart_.size(); }

 private:
  struct Item {
    double start;
    std::uint32_t position;
  };
  std::vector<Item> byStart_;          // by start, then position
  std::vector<std::size_t> running_;   // ascending
};

}  // namespace pellam
