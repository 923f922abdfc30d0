#include "core/payroll/pay_line_cache.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "core/payroll/hour_fractions.h"

namespace pellam {

namespace {

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Whether two versions of a job give the same lines: the fields payroll reads.
bool sameLineSettings(const Job& a, const Job& b) {
  return a.id == b.id && a.withholding == b.withholding && a.mileageRate == b.mileageRate &&
         sameBits(a.dailyOvertime, b.dailyOvertime) && sameBits(a.dailyDoubleTime, b.dailyDoubleTime) &&
         sameBits(a.weeklyOvertime, b.weeklyOvertime) && a.overtimeMultiplier == b.overtimeMultiplier &&
         a.doubleTimeMultiplier == b.doubleTimeMultiplier && a.rounding == b.rounding &&
         a.roundingMinutes == b.roundingMinutes && sameBits(a.autoBreakAfterHours, b.autoBreakAfterHours) &&
         sameBits(a.autoBreakMinutes, b.autoBreakMinutes);
}

const Job* findJob(const Archive& archive, const Uuid& id) {
  for (const Job& job : archive.jobs) {
    if (job.id == id) return &job;
  }
  return nullptr;
}

// A week holds at most 7 days and a day at most 25 hours: a second margin past that.
constexpr double kWeekReach = 8 * 86400.0;

// Whether `a` comes before `b` in calculate's order of lines.
bool lineBefore(const PayLine& a, double aStart, const PayLine& b, double bStart) {
  if (a.day != b.day) return a.day < b.day;
  if (aStart != bStart) return aStart < bStart;
  return a.entryID < b.entryID;
}

#ifndef NDEBUG
// Builds for tests prove every answer against the whole calculation.
void proveAgainstWhole(const Archive& archive, Instant now, std::optional<Instant> lower, std::optional<Instant> upper,
                       const std::vector<PayLine>& lines) {
  std::vector<PayLine> whole = Payroll(archive.preferences).calculate(archive, now);
  std::erase_if(whole, [&](const PayLine& line) {
    return (lower && line.day < *lower) || (upper && !(line.day < *upper));
  });
  if (whole != lines) throw std::logic_error("The kept pay lines differ from the whole calculation.");
}
#endif

}  // namespace

void PayLineCache::clear() {
  built_ = false;
  reach_.clear();
  jobs_.clear();
}

bool PayLineCache::calendarMatches(const Preferences& preferences) const {
  return zone_ == preferences.timeZone && weekStartsOn_ == preferences.weekStartsOn;
}

PayLineCache::Reach PayLineCache::reachOf(const Payroll& payroll, DayLocator& locator, const Entry& entry,
                                          const Job& job, std::vector<DayWork>& items) {
  const std::size_t first = items.size();
  // A finished entry has no open break: `now` plays no part.
  payroll.appendWork(entry, job, Instant{0}, locator, scratch_, items);
  Reach reach;
  reach.job = job.id;
  reach.firstWeek = locator.startOfWeek(items[first].day).seconds;
  reach.lastWeek = locator.startOfWeek(items.back().day).seconds;
  reach.hasLines = true;
  return reach;
}

void PayLineCache::build(const Archive& archive, const std::vector<const Job*>& jobs) {
  const Payroll payroll(archive.preferences);
  DayLocator locator(payroll.calendar());
  std::map<Uuid, std::vector<DayWork>> work;
  for (const Job* job : jobs) work[job->id];
  for (std::size_t p = 0; p < archive.entries.size(); ++p) {
    const Entry& entry = archive.entries[p];
    auto items = work.find(entry.jobID);
    if (items == work.end()) continue;
    reach_[p] = Reach{};
    if (!entry.end) continue;  // running: never kept
    const Job* job = *std::find_if(jobs.begin(), jobs.end(), [&](const Job* j) { return j->id == entry.jobID; });
    reach_[p] = reachOf(payroll, locator, entry, *job, items->second);
  }
  HourFractions fractions;
  for (const Job* job : jobs) {
    JobWeeks& kept = jobs_[job->id];
    kept.job = *job;
    kept.weeks.clear();
    std::vector<DayWork>& items = work[job->id];
    Payroll::orderWork(items);
    for (std::size_t i = 0; i < items.size();) {
      const double week = locator.startOfWeek(items[i].day).seconds;
      std::size_t end = i;
      while (end < items.size() && locator.startOfWeek(items[end].day).seconds == week) ++end;
      Week& into = kept.weeks[week];
      payroll.classifyWeek(std::span<const DayWork>(items.data() + i, end - i), *job, fractions, into.lines);
      for (std::size_t k = i; k < end; ++k) into.starts.push_back(items[k].entry->start.seconds);
      i = end;
    }
  }
}

void PayLineCache::syncJobs(const Archive& archive) {
  if (!built_ || !calendarMatches(archive.preferences) || reach_.size() != archive.entries.size()) {
    reach_.assign(archive.entries.size(), Reach{});
    jobs_.clear();
    zone_ = archive.preferences.timeZone;
    weekStartsOn_ = archive.preferences.weekStartsOn;
    std::vector<const Job*> all;
    for (const Job& job : archive.jobs) all.push_back(&job);
    build(archive, all);
    built_ = true;
    return;
  }
  // A job whose pay settings changed, or a new one: all of its weeks again.
  std::vector<const Job*> changed;
  for (const Job& job : archive.jobs) {
    auto kept = jobs_.find(job.id);
    if (kept == jobs_.end() || !sameLineSettings(kept->second.job, job)) changed.push_back(&job);
  }
  // A job that is gone takes its lines along (entries of a missing job have none).
  for (auto kept = jobs_.begin(); kept != jobs_.end();) {
    kept = findJob(archive, kept->first) ? std::next(kept) : jobs_.erase(kept);
  }
  if (!changed.empty()) build(archive, changed);
}

void PayLineCache::refresh(const Archive& archive, const EntryStartIndex& starts, const Job& job, double week,
                           Instant now, const std::vector<DayWork>& running, Week& into) {
  const Payroll payroll(archive.preferences);
  DayLocator locator(payroll.calendar());
  std::vector<DayWork> items;
  std::vector<DayWork> entryItems;
  // A finished entry with time in the week starts at most 366 days before it.
  for (std::size_t p : starts.startingIn(Instant{week - EntryStartIndex::kLongestEntrySeconds - kWeekReach},
                                         Instant{week + kWeekReach})) {
    const Reach& reach = reach_[p];
    if (!reach.hasLines || reach.job != job.id || week < reach.firstWeek || week > reach.lastWeek) continue;
    entryItems.clear();
    payroll.appendWork(archive.entries[p], job, now, locator, scratch_, entryItems);
    for (const DayWork& item : entryItems) {
      if (locator.startOfWeek(item.day).seconds == week) items.push_back(item);
    }
  }
  for (const DayWork& item : running) {
    if (item.entry->jobID == job.id && locator.startOfWeek(item.day).seconds == week) items.push_back(item);
  }
  Payroll::orderWork(items);
  into.lines.clear();
  into.starts.clear();
  HourFractions fractions;
  payroll.classifyWeek(items, job, fractions, into.lines);
  for (const DayWork& item : items) into.starts.push_back(item.entry->start.seconds);
  into.stale = false;
}

void PayLineCache::adopt(const Archive& after, const EntryOrigins& origins) {
  if (!built_) return;
  if (!calendarMatches(after.preferences) || origins.before() != reach_.size()) {
    clear();
    return;
  }
  // The weeks the entries that changed or went had lines in.
  for (std::size_t p : origins.gone()) {
    const Reach& reach = reach_[p];
    if (!reach.hasLines) continue;
    auto kept = jobs_.find(reach.job);
    if (kept == jobs_.end()) continue;
    auto& weeks = kept->second.weeks;
    for (auto week = weeks.lower_bound(reach.firstWeek); week != weeks.end() && week->first <= reach.lastWeek; ++week) {
      week->second.stale = true;
    }
  }
  std::vector<Reach> reach(origins.after());
  const Payroll payroll(after.preferences);
  DayLocator locator(payroll.calendar());
  std::vector<DayWork> items;
  for (std::size_t p = 0; p < origins.after(); ++p) {
    const std::size_t from = origins.from(p);
    if (from != EntryOrigins::kChanged) {
      reach[p] = reach_[from];
      continue;
    }
    // The weeks the changed and added entries have lines in now.
    const Entry& entry = after.entries[p];
    const Job* job = findJob(after, entry.jobID);
    if (!entry.end || !job) continue;
    items.clear();
    reach[p] = reachOf(payroll, locator, entry, *job, items);
    auto kept = jobs_.find(job->id);
    if (kept == jobs_.end()) continue;  // a new job: built whole when next asked
    for (const DayWork& item : items) kept->second.weeks[locator.startOfWeek(item.day).seconds].stale = true;
  }
  reach_ = std::move(reach);
}

std::vector<PayLine> PayLineCache::lines(const Archive& archive, const EntryStartIndex& starts, Instant now,
                                         std::optional<Instant> lower, std::optional<Instant> upper) {
  syncJobs(archive);
  const Payroll payroll(archive.preferences);
  DayLocator locator(payroll.calendar());
  const double firstWeek = lower ? locator.startOfWeek(locator.startOfDay(*lower)).seconds : -INFINITY;
  const double endBefore = upper ? upper->seconds : INFINITY;

  // Running entries at this moment: their weeks are computed afresh and not kept.
  std::vector<DayWork> running;
  for (std::size_t p : starts.running()) {
    const Entry& entry = archive.entries[p];
    if (const Job* job = findJob(archive, entry.jobID)) payroll.appendWork(entry, *job, now, locator, scratch_, running);
  }
  std::map<std::pair<double, Uuid>, Week> fresh;
  for (const DayWork& item : running) {
    const double week = locator.startOfWeek(item.day).seconds;
    if (week >= firstWeek && week < endBefore) fresh.try_emplace({week, item.entry->jobID});
  }
  for (auto& [key, week] : fresh) {
    refresh(archive, starts, *findJob(archive, key.second), key.first, now, running, week);
  }

  // Every week of the window, kept (computed again where stale) or fresh, by week.
  struct Part {
    double week;
    const Week* lines;
  };
  std::vector<Part> parts;
  for (auto& [id, kept] : jobs_) {
    for (auto week = kept.weeks.lower_bound(firstWeek); week != kept.weeks.end() && week->first < endBefore; ++week) {
      if (fresh.count({week->first, id})) continue;
      if (week->second.stale) refresh(archive, starts, kept.job, week->first, now, {}, week->second);
      if (!week->second.lines.empty()) parts.push_back({week->first, &week->second});
    }
  }
  for (const auto& [key, week] : fresh) {
    if (!week.lines.empty()) parts.push_back({key.first, &week});
  }
  std::stable_sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) { return a.week < b.week; });

  std::vector<PayLine> out;
  std::vector<std::pair<const PayLine*, double>> merged;
  auto inWindow = [&](const PayLine& line) { return !(lower && line.day < *lower) && !(upper && !(line.day < *upper)); };
  for (std::size_t i = 0; i < parts.size();) {
    std::size_t end = i + 1;
    while (end < parts.size() && parts[end].week == parts[i].week) ++end;
    if (end == i + 1) {  // one job that week: its lines are in order already
      for (const PayLine& line : parts[i].lines->lines) {
        if (inWindow(line)) out.push_back(line);
      }
    } else {
      merged.clear();
      for (std::size_t k = i; k < end; ++k) {
        const Week& week = *parts[k].lines;
        for (std::size_t l = 0; l < week.lines.size(); ++l) merged.emplace_back(&week.lines[l], week.starts[l]);
      }
      std::sort(merged.begin(), merged.end(), [](const auto& a, const auto& b) {
        return lineBefore(*a.first, a.second, *b.first, b.second);
      });
      for (const auto& [line, start] : merged) {
        if (inWindow(*line)) out.push_back(*line);
      }
    }
    i = end;
  }
#ifndef NDEBUG
  proveAgainstWhole(archive, now, lower, upper, out);
#endif
  return out;
}

}  // namespace pellam
