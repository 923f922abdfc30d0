#include "core/validation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "core/current_time_zone.h"
#include "core/data_error.h"
#include "core/text_trim.h"

namespace pellam {

namespace {

constexpr double kMaximumEntrySeconds = 31'622'400;  // 366 days

[[noreturn]] void fail(std::string_view message) { throw DataError(std::string(message)); }

bool finite(double value) { return std::isfinite(value); }
bool finite(Instant instant) { return std::isfinite(instant.seconds); }

bool within(double value, double low, double high) { return finite(value) && value >= low && value <= high; }
bool within(const Decimal& value, const Decimal& low, const Decimal& high) { return value >= low && value <= high; }
bool within(std::int64_t value, std::int64_t low, std::int64_t high) { return value >= low && value <= high; }

bool blank(std::string_view text) { return trimmedWhitespaceAndNewlines(text).empty(); }

// A UUID as one 128-bit number: sorting 100,000 of them this way takes a fraction of
// the time that comparing their byte arrays does.
__extension__ using UuidKey = unsigned __int128;

UuidKey keyOf(const Uuid& id) {
  UuidKey key;
  std::memcpy(&key, id.bytes().data(), sizeof key);
  return key;
}

bool hasDuplicate(std::vector<UuidKey> ids) {
  std::sort(ids.begin(), ids.end());
  return std::adjacent_find(ids.begin(), ids.end()) != ids.end();
}

template <typename Record>
std::vector<UuidKey> idsOf(const std::vector<Record>& records) {
  std::vector<UuidKey> ids;
  ids.reserve(records.size());
  for (const Record& record : records) ids.push_back(keyOf(record.id));
  return ids;
}

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Three characters, each a single ASCII letter; in UTF-8 that is exactly three bytes.
bool isCurrencyCode(std::string_view code) {
  return code.size() == 3 && std::all_of(code.begin(), code.end(), isAsciiLetter);
}

class JobIndex {
 public:
  explicit JobIndex(const std::vector<Job>& jobs) : ids_(idsOf(jobs)) { std::sort(ids_.begin(), ids_.end()); }
  bool contains(const Uuid& id) const { return std::binary_search(ids_.begin(), ids_.end(), keyOf(id)); }

 private:
  std::vector<UuidKey> ids_;
};

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

void checkRunningTimers(const Archive& archive) {
  std::vector<UuidKey> runningJobs;
  for (const Entry& entry : archive.entries) {
    if (entry.isRunning()) runningJobs.push_back(keyOf(entry.jobID));
  }
  if (hasDuplicate(runningJobs)) fail(kRunningTimersMessage);
  if (runningJobs.size() >= 2 && !archive.preferences.multipleTimers) fail(kRunningTimersMessage);
}

void checkPreferences(const Preferences& preferences) {
  bool valid = within(preferences.weekStartsOn, 1, 7) && isKnownZone(preferences.timeZone) &&
               within(preferences.reminderHour, 0, 23) && within(preferences.reminderMinute, 0, 59) &&
               std::all_of(preferences.reminderWeekdays.begin(), preferences.reminderWeekdays.end(),
                           [](std::int64_t day) { return within(day, 1, 7); });
  if (!valid) fail(kPreferencesMessage);
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
         (job.locationMode == "Off" || job.locationMode == "Remind" || job.locationMode == "Automatic") &&
         isCurrencyCode(job.currency);
}

bool isValidEntry(const Entry& entry, const JobIndex& jobs, Instant now) {
  static const Decimal zero = 0, million = 1'000'000;
  if (!jobs.contains(entry.jobID) || !finite(entry.start)) return false;
  if (entry.end && (*entry.end < entry.start || !finite(*entry.end))) return false;
  const double length = (entry.end ? entry.end->seconds : now.seconds) - entry.start.seconds;
  if (!(length <= kMaximumEntrySeconds)) return false;
  const auto openBreaks = std::count_if(entry.pauses.begin(), entry.pauses.end(),
                                        [](const TimePause& pause) { return pause.isOpen(); });
  return within(entry.rate, zero, million) && finite(entry.manualBreakMinutes) && entry.manualBreakMinutes >= 0 &&
         within(entry.timeAdjustmentMinutes, -10'080, 10'080) && within(entry.miles, 0, 1'000'000) &&
         within(entry.tips, zero, million) && within(entry.adjustment, -million, million) && openBreaks <= 1;
}

bool hasValidBreaks(const Entry& entry) {
  // A break without a real start fails wherever it sorts; refusing it first also keeps
  // NaN out of the sort's comparisons.
  for (const TimePause& pause : entry.pauses) {
    if (!finite(pause.start)) return false;
  }
  std::vector<const TimePause*> ordered;
  ordered.reserve(entry.pauses.size());
  for (const TimePause& pause : entry.pauses) ordered.push_back(&pause);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const TimePause* a, const TimePause* b) { return a->start < b->start; });

  // After an open break the cursor moves past every instant, so nothing may follow it.
  double cursor = entry.start.seconds;
  for (const TimePause* pause : ordered) {
    if (pause->start.seconds < cursor || pause->start < entry.start) return false;
    if (pause->end && (*pause->end < pause->start || !finite(*pause->end))) return false;
    if (entry.end && (!pause->end || *pause->end > *entry.end)) return false;
    cursor = pause->end ? pause->end->seconds : std::numeric_limits<double>::infinity();
  }
  return true;
}

}  // namespace

void validate(const Archive& archive, Instant now) {
  if (archive.format != Archive::kFormat || (archive.version != 1 && archive.version != 2)) {
    fail(kUnsupportedFormatMessage);
  }
  if (hasDuplicate(idsOf(archive.jobs)) || hasDuplicate(idsOf(archive.entries))) {
    fail(kDuplicateIdentifiersMessage);
  }
  const JobIndex jobs(archive.jobs);
  checkFilters(archive, jobs);
  checkRunningTimers(archive);
  checkPreferences(archive.preferences);
  for (const Job& job : archive.jobs) {
    if (!isValidJob(job)) throw DataError(std::string(kJobSettingsMessagePrefix) + job.name + ".");
  }
  for (const Entry& entry : archive.entries) {
    if (!isValidEntry(entry, jobs, now)) fail(kEntryMessage);
    if (!hasValidBreaks(entry)) fail(kBreaksMessage);
  }
}

void validate(const Archive& archive) { validate(archive, Instant::now()); }

Archive validated(Archive archive, Instant now) {
  validate(archive, now);
  return archive;
}

Archive validated(Archive archive) {
  validate(archive);
  return archive;
}

Archive Archive::validated() const {
  validate(*this);
  return *this;
}

}  // namespace pellam
