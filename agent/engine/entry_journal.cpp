#include "agent/engine/entry_journal.h"

#include <algorithm>

namespace pellam::agent::engine {

Entry& EntryJournal::edit(std::vector<Entry>& entries, std::size_t index) {
  changes_.push_back({Kind::edit, index, entries[index]});
  return entries[index];
}

Entry& EntryJournal::append(std::vector<Entry>& entries, Entry entry) {
  changes_.push_back({Kind::append, entries.size(), std::nullopt});
  return entries.emplace_back(std::move(entry));
}

Entry EntryJournal::erase(std::vector<Entry>& entries, std::size_t index) {
  Entry removed = std::move(entries[index]);
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
  changes_.push_back({Kind::erase, index, removed});
  return removed;
}

bool EntryJournal::changed(const std::vector<Entry>& entries) const {
  const bool resized = std::any_of(changes_.begin(), changes_.end(), [](const Change& c) { return c.kind != Kind::edit; });
  if (resized) return true;
  // Only edits: positions are stable, and the first edit of a position holds its value before.
  for (std::size_t i = 0; i < changes_.size(); ++i) {
    const Change& change = changes_[i];
    const bool first = std::none_of(changes_.begin(), changes_.begin() + static_cast<std::ptrdiff_t>(i),
                                    [&](const Change& earlier) { return earlier.index == change.index; });
    if (first && *change.before != entries[change.index]) return true;
  }
  return false;
}

EntryOrigins EntryJournal::origins(const std::vector<Entry>& entries) const {
  std::size_t before = entries.size();
  for (const Change& change : changes_) {
    if (change.kind == Kind::append) --before;
    if (change.kind == Kind::erase) ++before;
  }
  // The changes replayed on the positions themselves.
  std::vector<std::size_t> from(before);
  for (std::size_t i = 0; i < before; ++i) from[i] = i;
  for (const Change& change : changes_) {
    switch (change.kind) {
      case Kind::edit: from[change.index] = EntryOrigins::kChanged; break;
      case Kind::append: from.push_back(EntryOrigins::kChanged); break;
      case Kind::erase: from.erase(from.begin() + static_cast<std::ptrdiff_t>(change.index)); break;
    }
  }
  return EntryOrigins(before, std::move(from));
}

void EntryJournal::undo(std::vector<Entry>& entries) noexcept {
  // Latest first, so every position means what it meant when the change was made. An
  // erased entry goes back where it was without a reallocation: the vector kept its room.
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
    switch (change->kind) {
      case Kind::edit: entries[change->index] = std::move(*change->before); break;
      case Kind::append: entries.pop_back(); break;
      case Kind::erase:
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(change->index), std::move(*change->before));
        break;
    }
  }
  changes_.clear();
}

}  // namespace pellam::agent::engine
