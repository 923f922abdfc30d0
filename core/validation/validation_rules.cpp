#include "core/validation/validation_rules.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <limits>

#include "core/calendar/current_time_zone.h"
#include "core/records/entry_origins.h"
#include "core/data_error.h"
#include "core/text/text_trim.h"
#include "core/validation/running_age.h"
#include "core/validation/validation_messages.h"

namespace pellam::validation_rules {

namespace {

bool finite(double value) { return std::isfinite(value); }
bool finite(Instant instant) { return std::isfinite(instant.seconds); }

bool within(double value, double low, double high) { return finite(value) && value >= low && value <= high; }
bool within(const Decimal& value, const Decimal& low, const Decimal& high) { return value >= low && value <= high; }
bool within(std::int64_t value, std::int64_t low, std::int64_t high) { return value >= low && value <= high; }

bool blank(std::string_view text) { return trimmedWhitespaceAndNewlines(text).empty(); }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Three characters, each a single ASCII letter; in UTF-8 that is exactly three bytes.
bool isCurrencyCode(std::string_view code) {
  return code.size() == 3 && std::all_of(code.begin(), code.end(), isAsciiLetter);
}

bool isValidJob(const Job& job) {
  static const Decimal zero = 0, one = 1, ten = 10, hundred = 100, million = 1'000'000;
  const bool doubleTimeOrder =
      job.dailyOvertime == 0 || job.dailyDoubleTime == 0 || job.dailyDoubleTime >= job.dailyOvertime;
  return !blank(job.name) && within(job.rate, zero, million) && within(job.withholding, zero, hundred) &&
         within(job.mileageRate, zero, million) && within(job.dailyOvertime, 0, 168) &&
         within(job.dailyDoubleTime, 0, 168) && within(job.weeklyOvertime, 0, 168) &&
         within(job.overtimeMultiplier, one, ten) && within(job.doubleTimeMultiplier, job.overtimeMultiplier, ten) &&
         doubleTimeOrder && within(job.roundingMinutes, 1, 120) && within(job.autoBreakAfterHours, 0, 168) &&
         within(job.autoBreakMinutes, 0, 1440) && within(job.targetHours, 0, 24) && within(job.latitude, -90, 90) &&
         within(job.longitude, -180, 180) && within(job.locationRadius, 50, 100'000) &&
         std::find(kLocationModes.begin(), kLocationModes.end(), job.locationMode) != kLocationModes.end() &&
         isCurrencyCode(job.currency);
}

}  // namespace

void fail(std::string_view message) { throw DataError(std::string(message)); }

namespace {

bool hasDuplicateSorting(std::vector<UuidKey>& ids) {
  std::sort(ids.begin(), ids.end());
  return std::adjacent_find(ids.begin(), ids.end()) != ids.end();
}

// Every bit of the id moves the slot: ids made by hand may differ in a few bits anywhere.
std::size_t slotOf(UuidKey id, int shift) {
  const auto low = static_cast<std::uint64_t>(id), high = static_cast<std::uint64_t>(id >> 64);
  return static_cast<std::size_t>((low * 0x9E3779B97F4A7C15ull ^ high * 0xC2B2AE3D27D4EB4Full) * 0xFF51AFD7ED558CCDull >>
                                  shift);
}

}  // namespace

bool hasDuplicate(std::vector<UuidKey> ids) {
  // Sorting the ids of a large archive took about 8 ms at 100k entries, on the way to the host's
  // first answer; a table of them takes about a tenth of that. Small sets are sorted.
  constexpr std::size_t kTableFrom = 1024;
  constexpr std::size_t kLongestRun = 64;  // a longer run of taken slots: ids made to collide
  if (ids.size() < kTableFrom) return hasDuplicateSorting(ids);
  const std::size_t slots = std::bit_ceil(ids.size() * 2);
  const int shift = 64 - std::countr_zero(slots);
  std::vector<std::uint32_t> table(slots);  // 1 + the position of the id in a slot; 0: free
  for (std::size_t i = 0; i < ids.size(); ++i) {
    std::size_t slot = slotOf(ids[i], shift);
    for (std::size_t run = 0;; ++run) {
      if (run == kLongestRun) return hasDuplicateSorting(ids);
      const std::uint32_t taken = table[slot];
      if (taken == 0) {
        table[slot] = static_cast<std::uint32_t>(i + 1);
        break;
      }
      if (ids[taken - 1] == ids[i]) return true;
      slot = (slot + 1) & (slots - 1);
    }
  }
  return false;
}

JobIndex::JobIndex(const std::vector<Job>& jobs) : ids_(idsOf(jobs)) { std::sort(ids_.begin(), ids_.end()); }

bool JobIndex::contains(const Uuid& id) const { return std::binary_search(ids_.begin(), ids_.end(), keyOf(id)); }

bool JobIndex::containsAll(const std::vector<UuidKey>& sortedIds) const {
  return std::includes(ids_.begin(), ids_.end(), sortedIds.begin(), sortedIds.end());
}

bool isSupportedFormat(const Archive& archive) {
  return archive.format == Archive::kFormat && (archive.version == 1 || archive.version == 2);
}

void checkFilters(const Archive& archive, const JobIndex& jobs) {
  if (hasDuplicate(idsOf(archive.filters))) fail(kSavedViewMessage);
  for (const SavedFilter& filter : archive.filters) {
    bool valid = !blank(filter.name) && (!filter.jobID || jobs.contains(*filter.jobID)) &&
                 std::find(kSavedFilterRanges.begin(), kSavedFilterRanges.end(), filter.range) !=
                     kSavedFilterRanges.end() &&
                 finite(filter.from) && finite(filter.through);
    if (!valid) fail(kSavedViewMessage);
  }
}

void checkRunningJobs(std::vector<UuidKey> runningJobs, const Preferences& preferences) {
  const std::size_t running = runningJobs.size();
  if (hasDuplicate(std::move(runningJobs))) fail(kRunningTimersMessage);
  if (running >= 2 && !preferences.multipleTimers) fail(kRunningTimersMessage);
}

void checkPreferences(const Preferences& preferences) {
  bool valid = within(preferences.weekStartsOn, 1, 7) && isKnownZone(preferences.timeZone) &&
               within(preferences.reminderHour, 0, 23) && within(preferences.reminderMinute, 0, 59) &&
               std::all_of(preferences.reminderWeekdays.begin(), preferences.reminderWeekdays.end(),
                           [](std::int64_t day) { return within(day, 1, 7); });
  if (!valid) fail(kPreferencesMessage);
}

void checkJobs(const std::vector<Job>& jobs) {
  for (const Job& job : jobs) {
    if (!isValidJob(job)) throw DataError(std::string(kJobSettingsMessagePrefix) + job.name + ".");
  }
}

bool isValidEntry(const Entry& entry, const JobIndex& jobs) {
  static const Decimal zero = 0, million = 1'000'000;
  if (!jobs.contains(entry.jobID) || !finite(entry.start)) return false;
  if (entry.end && (*entry.end < entry.start || !finite(*entry.end))) return false;
  // A finished entry's length never changes; a running one's grows, and is judged only when
  // a change touches it (checkChangedRecords).
  if (entry.end && !withinAgeLimit(entry.start, entry.end, Instant{})) return false;
  const auto openBreaks = std::count_if(entry.pauses.begin(), entry.pauses.end(),
                                        [](const TimePause& pause) { return pause.isOpen(); });
  return within(entry.rate, zero, million) && finite(entry.manualBreakMinutes) && entry.manualBreakMinutes >= 0 &&
         within(entry.timeAdjustmentMinutes, -10'080, 10'080) && within(entry.miles, 0, 1'000'000) &&
         within(entry.tips, zero, million) && within(entry.adjustment, -million, million) && openBreaks <= 1;
}

namespace {

// Whether the breaks in [first, last), in order of their starts, lie within the entry one
// after another.
template <typename Iterator, typename Pause>
bool breaksFollowInOrder(const Entry& entry, Iterator first, Iterator last, Pause pauseAt) {
  // After an open break the cursor moves past every instant, so nothing may follow it.
  double cursor = entry.start.seconds;
  for (; first != last; ++first) {
    const TimePause* pause = pauseAt(*first);
    if (pause->start.seconds < cursor || pause->start < entry.start) return false;
    if (pause->end && (*pause->end < pause->start || !finite(*pause->end))) return false;
    if (entry.end && (!pause->end || *pause->end > *entry.end)) return false;
    cursor = pause->end ? pause->end->seconds : std::numeric_limits<double>::infinity();
  }
  return true;
}

}  // namespace

bool hasValidBreaks(const Entry& entry) {
  // A break without a real start fails wherever it sorts; refusing it first also keeps
  // NaN out of the sort's comparisons.
  for (const TimePause& pause : entry.pauses) {
    if (!finite(pause.start)) return false;
  }
  // Breaks are nearly always kept in order already: then they are walked where they are, with
  // no copy to sort for each of a large archive's entries.
  const auto earlier = [](const TimePause& a, const TimePause& b) { return a.start < b.start; };
  if (std::is_sorted(entry.pauses.begin(), entry.pauses.end(), earlier)) {
    return breaksFollowInOrder(entry, entry.pauses.begin(), entry.pauses.end(), [](const TimePause& p) { return &p; });
  }
  std::vector<const TimePause*> ordered;
  ordered.reserve(entry.pauses.size());
  for (const TimePause& pause : entry.pauses) ordered.push_back(&pause);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [&](const TimePause* a, const TimePause* b) { return earlier(*a, *b); });
  return breaksFollowInOrder(entry, ordered.begin(), ordered.end(), [](const TimePause* p) { return p; });
}

void checkEntries(const std::vector<Entry>& entries, const JobIndex& jobs) {
  for (const Entry& entry : entries) {
    if (!isValidEntry(entry, jobs)) fail(kEntryMessage);
    if (!hasValidBreaks(entry)) fail(kBreaksMessage);
  }
}

bool datesWithinCalendar(const Entry& entry) {
  if (!isWithinCalendar(entry.start) || (entry.end && !isWithinCalendar(*entry.end))) return false;
  return std::all_of(entry.pauses.begin(), entry.pauses.end(), [](const TimePause& pause) {
    return isWithinCalendar(pause.start) && (!pause.end || isWithinCalendar(*pause.end));
  });
}

bool datesWithinCalendar(const Job& job) { return isWithinCalendar(job.payAnchor); }

bool datesWithinCalendar(const SavedFilter& filter) {
  return isWithinCalendar(filter.from) && isWithinCalendar(filter.through);
}

namespace {

// Whether `record` is one of `before` as it was, so that a change left it alone.
template <typename Record>
bool isUnchanged(const Record& record, const std::vector<Record>& before) {
  return std::find(before.begin(), before.end(), record) != before.end();
}

}  // namespace

void checkChangedRecords(const Archive& after, const std::vector<Job>& jobsBefore,
                         const std::vector<SavedFilter>& filtersBefore, const std::vector<Entry>& entriesBefore,
                         const std::vector<std::size_t>& changedEntries, Instant now, RunningAge age) {
  for (const SavedFilter& filter : after.filters) {
    if (!datesWithinCalendar(filter) && !isUnchanged(filter, filtersBefore)) fail(kSavedViewMessage);
  }
  for (const Job& job : after.jobs) {
    if (!datesWithinCalendar(job) && !isUnchanged(job, jobsBefore)) {
      throw DataError(std::string(kJobSettingsMessagePrefix) + job.name + ".");
    }
  }
  for (std::size_t position : changedEntries) {
    const Entry& entry = after.entries[position];
    const bool outside = !datesWithinCalendar(entry);
    const bool outrun = age == RunningAge::Checked && hasOutrunLengthLimit(entry, now);
    if (!outside && !outrun) continue;
    // Origins may count an entry as changed that a command only moved past; it is left alone.
    const bool untouched = std::any_of(entriesBefore.begin(), entriesBefore.end(), [&](const Entry& before) {
      return before.id == entry.id && identicalEntries(before, entry);
    });
    if (untouched) continue;
    if (outside) throw DataError(entryOutsideCalendarMessage(entry.id));
    fail(kEntryMessage);
  }
}

}  // namespace pellam::validation_rules
