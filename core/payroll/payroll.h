#pragma once
// Payroll: pay lines per entry and calendar day, with breaks, rounding, daily and weekly
// overtime, double time, wages, extras, withholding and mileage, and the pay periods of a
// job. A pure computation over values: nothing is stored and nothing fails. Money is
// Decimal throughout; times are double seconds.
//
// Callers:
//  - reports and exports take the lines of `calculate` over the whole archive and filter
//    them afterwards, so overtime earned earlier in a week is the same whatever is shown;
//    the host keeps them per job and week (core/payroll/pay_line_cache.h), built from the
//    pieces below, with the same result;
//  - timers and entries use `daySeconds` for the worked time of one entry;
//  - the pay-period range of entry selection uses `payPeriod`.
#include <span>
#include <utility>
#include <vector>

#include "core/payroll/day_locator.h"
#include "core/payroll/pay_line.h"
#include "core/records/records.h"
#include "core/calendar/reporting_calendar.h"

namespace pellam {

// The payable seconds of one entry on one calendar day.
struct DayTime {
  Instant day;  // the start of the day
  double seconds = 0;
  bool operator==(const DayTime&) const = default;
};

// One entry's time on one calendar day, waiting to be classified: what calculate orders
// and then splits into regular time, overtime and double time.
struct DayWork {
  Instant day;  // the start of the day
  double seconds = 0;
  const Entry* entry = nullptr;
  bool isLast = false;  // the entry's latest day, which carries its extras and mileage
};

class HourFractions;

class Payroll {
 public:
  // The longest entry that is measured: 366 days, exactly 366 included.
  static constexpr double kMaximumEntrySeconds = 31'622'400;

  // The reporting calendar of the preferences: their zone (the machine's zone when the
  // identifier is unknown), their first weekday, a first week of at least one day.
  explicit Payroll(const Preferences& preferences) : calendar_(reportingCalendar(preferences)) {}
  explicit Payroll(ReportingCalendar calendar) : calendar_(calendar) {}

  const ReportingCalendar& calendar() const { return calendar_; }

  // The payable seconds of `entry` per calendar day, days ascending; `now` stands in for a
  // missing entry end and a missing break end. Unpaid breaks split the time and count as
  // break; paid breaks are ignored. The manual break, the automatic break (topping up the
  // breaks already taken) and the time adjustment are applied once to the whole entry,
  // which is then rounded once by the job's rounding: time added goes to the day on which
  // the entry ends, time removed comes off the latest days first. Empty when the entry
  // cannot be measured: its end (or `now`) not after its start, or longer than 366 days.
  std::vector<DayTime> daySeconds(const Entry& entry, const Job& job, Instant now) const;

  // Every pay line of the archive, ordered by day, then entry start, then entry id text.
  // Entries of a missing job give no line; entries that cannot be measured give one line
  // of zero time on their start day that still carries their extras, mileage and
  // withholding. Time is regular until the job's daily overtime, weekly overtime or daily
  // double-time threshold (0 disables one) is reached, each job counting on its own.
  std::vector<PayLine> calculate(const Archive& archive, Instant now) const;

  // The pay period of `job` that contains `date`: start inclusive, end exclusive. Weekly and
  // biweekly periods are aligned to the job's pay anchor (before it too); twice a month
  // splits before the 16th; monthly is the calendar month.
  CalendarInterval payPeriod(Instant date, const Job& job) const;

  // Buffers reused from one entry to the next.
  struct Scratch {
    std::vector<const TimePause*> unpaidPauses;
    std::vector<std::pair<double, double>> segments;  // worked stretches [from, to)
    std::vector<DayTime> days;
  };

  // The pieces of calculate, for callers that keep lines by job and calendar week. Every
  // line of a job depends only on that job and on its entries' time in the line's own week
  // (daily totals are per day, the weekly total per week), so the lines of one (job, week)
  // computed from those entries alone are the lines calculate gives for it.
  //
  // Appends what calculate makes of `entry` of `job`: one item per day of daySeconds, or
  // one item of no time on its start day when it cannot be measured.
  void appendWork(const Entry& entry, const Job& job, Instant now, DayLocator& locator, Scratch& scratch,
                  std::vector<DayWork>& items) const;
  // Orders items as calculate does: by day, then entry start, then entry id text.
  static void orderWork(std::span<DayWork> items);
  // Appends the lines of `items`, ordered, all of `job` and all in one calendar week.
  void classifyWeek(std::span<const DayWork> items, const Job& job, HourFractions& fractions,
                    std::vector<PayLine>& lines) const;

 private:
  // daySeconds into `days` (cleared first), with the caller's locator and buffers.
  void daySeconds(const Entry& entry, const Job& job, Instant now, DayLocator& locator, Scratch& scratch,
                  std::vector<DayTime>& days) const;

  // One entry's time on one day, waiting to be classified.
  struct WorkItem;
  // calculate's first step: each entry's time per day, in the order days fill up.
  std::vector<WorkItem> workItems(const Archive& archive, Instant now, DayLocator& locator) const;

  ReportingCalendar calendar_;
};

}  // namespace pellam
