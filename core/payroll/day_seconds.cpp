#include <algorithm>
#include <vector>

#include "core/payroll/payroll.h"
#include "core/payroll/rounding.h"

namespace pellam {

namespace {

// Adds `seconds` to the day starting at `day`, keeping the days ascending. Days arrive in
// order nearly always, so the last one is checked first.
void credit(std::vector<DayTime>& days, Instant day, double seconds) {
  if (days.empty() || days.back().day < day) {
    days.push_back({day, seconds});
    return;
  }
  auto at = std::lower_bound(days.begin(), days.end(), day,
                             [](const DayTime& item, Instant value) { return item.day < value; });
  if (at != days.end() && at->day == day) {
    at->seconds += seconds;
  } else {
    days.insert(at, {day, seconds});
  }
}

}  // namespace

std::vector<DayTime> Payroll::daySeconds(const Entry& entry, const Job& job, Instant now) const {
  DayLocator locator(calendar_);
  Scratch scratch;
  std::vector<DayTime> days;
  daySeconds(entry, job, now, locator, scratch, days);
  return days;
}

void Payroll::daySeconds(const Entry& entry, const Job& job, Instant now, DayLocator& locator, Scratch& scratch,
                         std::vector<DayTime>& perDay) const {
  perDay.clear();
  const double start = entry.start.seconds;
  const double end = entry.end ? entry.end->seconds : now.seconds;
  if (!(end > start) || end - start > kMaximumEntrySeconds) return;

  // Unpaid breaks in start order cut the entry into worked segments.
  double breakSeconds = entry.manualBreakMinutes * 60;
  std::vector<const TimePause*>& pauses = scratch.unpaidPauses;
  pauses.clear();
  for (const TimePause& pause : entry.pauses) {
    if (!pause.paid) pauses.push_back(&pause);
  }
  // Stable, and without the allocation of std::stable_sort: entries hold a few breaks.
  for (std::size_t i = 1; i < pauses.size(); ++i) {
    const TimePause* pause = pauses[i];
    std::size_t j = i;
    for (; j > 0 && pause->start < pauses[j - 1]->start; --j) pauses[j] = pauses[j - 1];
    pauses[j] = pause;
  }
  std::vector<std::pair<double, double>>& segments = scratch.segments;
  segments.clear();
  double cursor = start;
  for (const TimePause* pause : pauses) {
    const double low = std::max(start, std::min(pause->start.seconds, end));
    const double high = std::max(low, std::min(pause->end ? pause->end->seconds : now.seconds, end));
    if (low > cursor) segments.push_back({cursor, low});
    breakSeconds += high - low;
    cursor = std::max(cursor, high);
  }
  if (cursor < end) segments.push_back({cursor, end});

  // Each segment is split at the starts of calendar days, however long the zone makes them.
  for (const auto& [from, to] : segments) {
    double point = from;
    while (point < to) {
      const CalendarInterval day = locator.day(Instant{point});
      const double next = day.end.seconds;
      if (!(next > point)) break;  // the calendar has no next day here: leave the rest uncounted
      const double until = std::min(next, to);
      credit(perDay, day.start, until - point);
      point = until;
    }
  }

  // Breaks, adjustment and rounding apply once, to the entry's whole payable time.
  const double span = end - start;
  double autoExtra = 0;
  if (job.autoBreakAfterHours > 0 && span >= job.autoBreakAfterHours * 3600) {
    autoExtra = std::max(0.0, job.autoBreakMinutes * 60 - breakSeconds);
  }
  double total = 0;
  for (const DayTime& day : perDay) total += day.seconds;
  const double target =
      std::max(0.0, total - entry.manualBreakMinutes * 60 - autoExtra + entry.timeAdjustmentMinutes * 60);
  const double rounded = apply(job.rounding, target, job.roundingMinutes);
  const double delta = rounded - total;

  if (delta >= 0) {
    // Added time belongs to the day the entry ends on; an end at midnight ends the day before.
    credit(perDay, locator.startOfDay(Instant{end - 0.001}), delta);
  } else {
    double toRemove = -delta;
    for (auto day = perDay.rbegin(); day != perDay.rend() && toRemove > 0; ++day) {
      const double taken = std::min(day->seconds, toRemove);
      day->seconds -= taken;
      toRemove -= taken;
    }
  }
}

}  // namespace pellam
