#pragma once
// The field tables behind the records' JSON form, shared by the Json-tree reader and
// writer (record_json.cpp) and the archive file's direct reader and writer
// (core/storage/archive_json.cpp), so the two forms cannot drift apart. Each table lists a
// record's JSON keys in byte order (the order every writer emits) and reaches the field
// behind each key. Internal to the core library.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/records/records.h"

namespace pellam::detail {

template <std::size_t N>
constexpr bool keysSorted(const std::array<std::string_view, N>& keys) {
  for (std::size_t i = 1; i < N; ++i) {
    if (!(keys[i - 1] < keys[i])) return false;
  }
  return true;
}

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

// `field(record, index, f)` calls f with the field behind kKeys[index]; `record` may be
// const. kLenient marks the keys that read as their empty value when missing or null.
struct JobFields {
  using Record = Job;
  static constexpr std::array<std::string_view, 25> kKeys = {
      "archived",    "autoBreakAfterHours", "autoBreakMinutes", "color",          "currency",
      "dailyDoubleTime", "dailyOvertime", "doubleTimeMultiplier", "id",           "latitude",
      "locationMode", "locationRadius",     "longitude",        "mileageRate",    "name",
      "notes",       "overtimeMultiplier",  "payAnchor",        "rate",           "rounding",
      "roundingMinutes", "schedule",        "targetHours",      "weeklyOvertime", "withholding"};
  static constexpr std::uint32_t kLenient = 0;

  template <typename R, typename F>
  static void field(R& r, std::size_t index, F&& f) {
    switch (index) {
      case 0: return f(r.archived);
      case 1: return f(r.autoBreakAfterHours);
      case 2: return f(r.autoBreakMinutes);
      case 3: return f(r.color);
      case 4: return f(r.currency);
      case 5: return f(r.dailyDoubleTime);
      case 6: return f(r.dailyOvertime);
      case 7: return f(r.doubleTimeMultiplier);
      case 8: return f(r.id);
      case 9: return f(r.latitude);
      case 10: return f(r.locationMode);
      case 11: return f(r.locationRadius);
      case 12: return f(r.longitude);
      case 13: return f(r.mileageRate);
      case 14: return f(r.name);
      case 15: return f(r.notes);
      case 16: return f(r.overtimeMultiplier);
      case 17: return f(r.payAnchor);
      case 18: return f(r.rate);
      case 19: return f(r.rounding);
      case 20: return f(r.roundingMinutes);
      case 21: return f(r.schedule);
      case 22: return f(r.targetHours);
      case 23: return f(r.weeklyOvertime);
      case 24: return f(r.withholding);
    }
  }
};

struct TimePauseFields {
  using Record = TimePause;
  static constexpr std::array<std::string_view, 5> kKeys = {"end", "id", "kind", "paid", "start"};
  static constexpr std::uint32_t kLenient = 0;

  template <typename R, typename F>
  static void field(R& r, std::size_t index, F&& f) {
    switch (index) {
      case 0: return f(r.end);
      case 1: return f(r.id);
      case 2: return f(r.kind);
      case 3: return f(r.paid);
      case 4: return f(r.start);
    }
  }
};

struct EntryFields {
  using Record = Entry;
  static constexpr std::array<std::string_view, 15> kKeys = {
      "adjustment", "adjustmentTaxable", "comment", "end",    "id",   "jobID", "manualBreakMinutes", "miles",
      "pauses",     "rate",              "source",  "start",  "tags", "timeAdjustmentMinutes", "tips"};
  static constexpr std::uint32_t kLenient = 0;

  template <typename R, typename F>
  static void field(R& r, std::size_t index, F&& f) {
    switch (index) {
      case 0: return f(r.adjustment);
      case 1: return f(r.adjustmentTaxable);
      case 2: return f(r.comment);
      case 3: return f(r.end);
      case 4: return f(r.id);
      case 5: return f(r.jobID);
      case 6: return f(r.manualBreakMinutes);
      case 7: return f(r.miles);
      case 8: return f(r.pauses);
      case 9: return f(r.rate);
      case 10: return f(r.source);
      case 11: return f(r.start);
      case 12: return f(r.tags);
      case 13: return f(r.timeAdjustmentMinutes);
      case 14: return f(r.tips);
    }
  }
};

struct PreferencesFields {
  using Record = Preferences;
  static constexpr std::array<std::string_view, 9> kKeys = {
      "decimalHours",     "lockOnLaunch", "multipleTimers", "reminderHour", "reminderMinute",
      "reminderWeekdays", "remindersEnabled", "timeZone",   "weekStartsOn"};
  static constexpr std::uint32_t kLenient = 0;

  template <typename R, typename F>
  static void field(R& r, std::size_t index, F&& f) {
    switch (index) {
      case 0: return f(r.decimalHours);
      case 1: return f(r.lockOnLaunch);
      case 2: return f(r.multipleTimers);
      case 3: return f(r.reminderHour);
      case 4: return f(r.reminderMinute);
      case 5: return f(r.reminderWeekdays);
      case 6: return f(r.remindersEnabled);
      case 7: return f(r.timeZone);
      case 8: return f(r.weekStartsOn);
    }
  }
};

struct SavedFilterFields {
  using Record = SavedFilter;
  static constexpr std::array<std::string_view, 8> kKeys = {"from",  "id",  "jobID", "name",
                                                            "query", "range", "tag", "through"};
  static constexpr std::uint32_t kLenient = 0;

  template <typename R, typename F>
  static void field(R& r, std::size_t index, F&& f) {
    switch (index) {
      case 0: return f(r.from);
      case 1: return f(r.id);
      case 2: return f(r.jobID);
      case 3: return f(r.name);
      case 4: return f(r.query);
      case 5: return f(r.range);
      case 6: return f(r.tag);
      case 7: return f(r.through);
    }
  }
};

struct ArchiveFields {
  using Record = Archive;
  static constexpr std::array<std::string_view, 6> kKeys = {"entries",     "filters", "format",
                                                            "jobs",        "preferences", "version"};
  // A missing or null `filters` reads as no saved filters.
  static constexpr std::uint32_t kLenient = 1u << 1;

  template <typename R, typename F>
  static void field(R& r, std::size_t index, F&& f) {
    switch (index) {
      case 0: return f(r.entries);
      case 1: return f(r.filters);
      case 2: return f(r.format);
      case 3: return f(r.jobs);
      case 4: return f(r.preferences);
      case 5: return f(r.version);
    }
  }
};

static_assert(keysSorted(JobFields::kKeys) && keysSorted(TimePauseFields::kKeys) &&
              keysSorted(EntryFields::kKeys) && keysSorted(PreferencesFields::kKeys) &&
              keysSorted(SavedFilterFields::kKeys) && keysSorted(ArchiveFields::kKeys));

template <typename Record>
struct FieldsOf;
template <>
struct FieldsOf<Job> { using Type = JobFields; };
template <>
struct FieldsOf<TimePause> { using Type = TimePauseFields; };
template <>
struct FieldsOf<Entry> { using Type = EntryFields; };
template <>
struct FieldsOf<Preferences> { using Type = PreferencesFields; };
template <>
struct FieldsOf<SavedFilter> { using Type = SavedFilterFields; };
template <>
struct FieldsOf<Archive> { using Type = ArchiveFields; };

template <typename T>
concept IsRecord = requires { typename FieldsOf<T>::Type; };

// Finds a key's index while reading one object. Files written by us list keys in table
// order, so the key after the previous one is tried first.
template <typename Fields>
class MemberLookup {
 public:
  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

  std::size_t find(std::string_view key) {
    const auto& keys = Fields::kKeys;
    std::size_t index;
    if (next_ < keys.size() && sameKey(keys[next_], key)) {
      index = next_;
    } else {
      auto it = std::lower_bound(keys.begin(), keys.end(), key);
      if (it == keys.end() || *it != key) return kUnknown;
      index = static_cast<std::size_t>(it - keys.begin());
    }
    next_ = index + 1;
    return index;
  }

  // Marks the key as read; false when it was read before.
  bool markSeen(std::size_t index) {
    const std::uint32_t bit = 1u << index;
    if (seen_ & bit) return false;
    seen_ |= bit;
    return true;
  }

  std::uint32_t seen() const { return seen_; }

 private:
  // Keys are a few bytes long: a plain loop beats a call to memcmp here.
  static bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }

  std::size_t next_ = 0;
  std::uint32_t seen_ = 0;
};

// Conversions shared by both readers. Each throws DecodingError with an empty path; the
// readers add the field's path as the error travels out.
double realFromLexeme(std::string_view lexeme);
std::int64_t integerFromLexeme(std::string_view lexeme);
Decimal decimalFromLexeme(std::string_view lexeme);
Instant dateFromLexeme(std::string_view lexeme);
Instant dateFromText(std::string_view text);
Uuid uuidFromText(std::string_view text);
Rounding roundingFromText(std::string_view text);
PaySchedule payScheduleFromText(std::string_view text);

// What a field's JSON value must be, for messages ("a number", "an array").
template <typename T>
constexpr std::string_view expectedKind() {
  if constexpr (IsOptional<T>::value) {
    return expectedKind<typename T::value_type>();
  } else if constexpr (std::is_same_v<T, bool>) {
    return "true or false";
  } else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, Decimal>) {
    return "a number";
  } else if constexpr (std::is_same_v<T, std::int64_t>) {
    return "a whole number";
  } else if constexpr (std::is_same_v<T, Instant>) {
    return "a date";
  } else if constexpr (std::is_same_v<T, Uuid>) {
    return "a UUID";
  } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, Rounding> ||
                       std::is_same_v<T, PaySchedule>) {
    return "a string";
  } else if constexpr (IsRecord<T>) {
    return "an object";
  } else {
    return "an array";
  }
}

[[noreturn]] void throwWrongType(std::string_view expected);
[[noreturn]] void throwNull();
[[noreturn]] void throwMissing(std::string_view key);

// After the last member of an object: every required key must have been present.
template <typename Fields>
void requirePresent(typename Fields::Record& record, std::uint32_t seen) {
  for (std::size_t i = 0; i < Fields::kKeys.size(); ++i) {
    const std::uint32_t bit = 1u << i;
    if ((seen & bit) || (Fields::kLenient & bit)) continue;
    Fields::field(record, i, [&](auto& value) {
      if constexpr (!IsOptional<std::decay_t<decltype(value)>>::value) throwMissing(Fields::kKeys[i]);
    });
  }
}

}  // namespace pellam::detail
