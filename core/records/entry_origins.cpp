#include "core/records/entry_origins.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "core/records/record_fields.h"

namespace pellam {

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <typename T>
bool identicalValues(const T& a, const T& b);

template <typename Record>
bool identicalRecords(const Record& a, const Record& b) {
  using Fields = typename detail::FieldsOf<Record>::Type;
  bool same = true;
  for (std::size_t i = 0; same && i < Fields::kKeys.size(); ++i) {
    Fields::field(a, i, [&](const auto& left) {
      using T = std::decay_t<decltype(left)>;
      Fields::field(b, i, [&](const auto& right) {
        if constexpr (std::is_same_v<T, std::decay_t<decltype(right)>>) same = identicalValues(left, right);
      });
    });
  }
  return same;
}

template <typename T>
bool identicalValues(const T& a, const T& b) {
  if constexpr (std::is_same_v<T, double>) {
    return sameBits(a, b);
  } else if constexpr (std::is_same_v<T, Instant>) {
    return sameBits(a.seconds, b.seconds);
  } else if constexpr (detail::IsOptional<T>::value) {
    return a.has_value() == b.has_value() && (!a || identicalValues(*a, *b));
  } else if constexpr (detail::IsRecord<T>) {
    return identicalRecords(a, b);
  } else if constexpr (std::is_same_v<T, std::vector<TimePause>>) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), identicalValues<TimePause>);
  } else {
    return a == b;
  }
}

}  // namespace

bool identicalEntries(const Entry& a, const Entry& b) { return identicalRecords(a, b); }

EntryOrigins::EntryOrigins(std::size_t before, std::vector<std::size_t> from) : before_(before), from_(std::move(from)) {
  std::vector<bool> named(before_, false);
  for (std::size_t origin : from_) {
    if (origin == kChanged) continue;
    if (origin >= before_ || named[origin]) throw std::logic_error("An entry's origin is out of range or taken twice.");
    named[origin] = true;
  }
}

EntryOrigins EntryOrigins::unchanged(std::size_t count) {
  std::vector<std::size_t> from(count);
  for (std::size_t i = 0; i < count; ++i) from[i] = i;
  return EntryOrigins(count, std::move(from));
}

EntryOrigins EntryOrigins::allChanged(std::size_t before, std::size_t after) {
  return EntryOrigins(before, std::vector<std::size_t>(after, kChanged));
}

EntryOrigins EntryOrigins::between(const std::vector<Entry>& before, const std::vector<Entry>& after) {
  std::vector<std::size_t> from(after.size(), kChanged);
  if (before.size() == after.size()) {
    for (std::size_t i = 0; i < after.size(); ++i) {
      if (identicalEntries(before[i], after[i])) from[i] = i;
    }
    return EntryOrigins(before.size(), std::move(from));
  }
  const std::size_t shorter = std::min(before.size(), after.size());
  std::size_t head = 0;
  while (head < shorter && identicalEntries(before[head], after[head])) {
    from[head] = head;
    ++head;
  }
  std::size_t tail = 0;
  while (tail < shorter - head &&
         identicalEntries(before[before.size() - 1 - tail], after[after.size() - 1 - tail])) {
    from[after.size() - 1 - tail] = before.size() - 1 - tail;
    ++tail;
  }
  return EntryOrigins(before.size(), std::move(from));
}

std::vector<std::size_t> EntryOrigins::gone() const {
  std::vector<bool> named(before_, false);
  for (std::size_t origin : from_) {
    if (origin != kChanged) named[origin] = true;
  }
  std::vector<std::size_t> result;
  for (std::size_t i = 0; i < before_; ++i) {
    if (!named[i]) result.push_back(i);
  }
  return result;
}

std::vector<std::size_t> EntryOrigins::changed() const {
  std::vector<std::size_t> result;
  for (std::size_t i = 0; i < from_.size(); ++i) {
    if (from_[i] == kChanged) result.push_back(i);
  }
  return result;
}

}  // namespace pellam
