#include "core/records/entry_start_index.h"

#include <algorithm>
#include <stdexcept>

namespace pellam {

namespace {

bool startOrder(double aStart, std::uint32_t aPosition, double bStart, std::uint32_t bPosition) {
  return aStart != bStart ? aStart < bStart : aPosition < bPosition;
}

}  // namespace

EntryStartIndex::EntryStartIndex(const std::vector<Entry>& entries) {
  if (entries.size() > UINT32_MAX) throw std::length_error("Too many entries to index.");
  byStart_.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    byStart_.push_back({entries[i].start.seconds, static_cast<std::uint32_t>(i)});
    if (!entries[i].end) running_.push_back(i);
  }
  std::sort(byStart_.begin(), byStart_.end(),
            [](const Item& a, const Item& b) { return startOrder(a.start, a.position, b.start, b.position); });
}

void EntryStartIndex::adopt(const std::vector<Entry>& after, const EntryOrigins& origins) {
  if (after.size() > UINT32_MAX) throw std::length_error("Too many entries to index.");
  // Where each earlier position went, if its entry stayed as it was.
  constexpr std::uint32_t kGone = UINT32_MAX;
  std::vector<std::uint32_t> movedTo(origins.before(), kGone);
  std::vector<std::size_t> changed;
  for (std::size_t i = 0; i < origins.after(); ++i) {
    const std::size_t from = origins.from(i);
    if (from == EntryOrigins::kChanged) {
      changed.push_back(i);
    } else {
      movedTo[from] = static_cast<std::uint32_t>(i);
    }
  }
  // Kept entries keep their order by start; positions only shift, which keeps the order of
  // equal starts too (positions never cross).
  std::size_t kept = 0;
  for (const Item& item : byStart_) {
    const std::uint32_t to = movedTo[item.position];
    if (to != kGone) byStart_[kept++] = {item.start, to};
  }
  byStart_.resize(kept);
  std::vector<Item> added;
  added.reserve(changed.size());
  for (std::size_t position : changed) added.push_back({after[position].start.seconds, static_cast<std::uint32_t>(position)});
  auto order = [](const Item& a, const Item& b) { return startOrder(a.start, a.position, b.start, b.position); };
  std::sort(added.begin(), added.end(), order);
  const std::size_t middle = byStart_.size();
  byStart_.insert(byStart_.end(), added.begin(), added.end());
  std::inplace_merge(byStart_.begin(), byStart_.begin() + static_cast<std::ptrdiff_t>(middle), byStart_.end(), order);

  std::vector<std::size_t> running;
  for (std::size_t position : running_) {
    const std::uint32_t to = movedTo[position];
    if (to != kGone) running.push_back(to);
  }
  for (std::size_t position : changed) {
    if (!after[position].end) running.push_back(position);
  }
  std::sort(running.begin(), running.end());
  running_ = std::move(running);
}

std::vector<std::size_t> EntryStartIndex::startingIn(std::optional<Instant> from, std::optional<Instant> to) const {
  auto first = byStart_.begin();
  auto last = byStart_.end();
  if (from) {
    first = std::lower_bound(byStart_.begin(), byStart_.end(), from->seconds,
                             [](const Item& item, double value) { return item.start < value; });
  }
  if (to) {
    last = std::lower_bound(first, byStart_.end(), to->seconds,
                            [](const Item& item, double value) { return item.start < value; });
  }
  std::vector<std::size_t> positions;
  positions.reserve(static_cast<std::size_t>(last - first));
  for (auto item = first; item != last; ++item) positions.push_back(item->position);
  return positions;
}

std::vector<std::size_t> EntryStartIndex::mayOverlap(const std::vector<Entry>& entries, std::optional<Instant> lower,
                                                     std::optional<Instant> upper) const {
  // A second more than the longest entry: the length is checked on rounded differences.
  std::optional<Instant> from;
  if (lower) from = Instant{lower->seconds - kLongestEntrySeconds - 1};
  std::vector<std::size_t> positions = startingIn(from, upper);
  if (from) {
    for (std::size_t position : running_) {
      // Running entries that start inside the span are there already.
      if (entries[position].start.seconds < from->seconds) positions.push_back(position);
    }
  }
  return positions;
}

}  // namespace pellam
