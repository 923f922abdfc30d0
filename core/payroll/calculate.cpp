#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

#include "core/huge_pages.h"
#include "core/payroll/hour_fractions.h"
#include "core/payroll/payroll.h"

namespace pellam {

struct Payroll::WorkItem {
  double day;    // start of the day, seconds since 2001
  double start;  // the entry's start
  Uuid entryID;  // byte order is the order of the upper-case text
  double seconds;
  std::uint32_t entry;
  std::uint32_t job;
  bool isLast;
};

namespace {

// A job's running totals: time on the current day, regular time in the current week.
// Items arrive in day order and weeks follow days, so one day and one week per job suffice.
struct JobTotals {
  double day = std::numeric_limits<double>::quiet_NaN();
  double dayUsed = 0;
  double week = std::numeric_limits<double>::quiet_NaN();
  double weekRegular = 0;
};

struct UuidHash {
  std::size_t operator()(const Uuid& id) const {
    std::uint64_t a = 0, b = 0;
    for (int i = 0; i < 8; ++i) a = (a << 8) | id.bytes()[i];
    for (int i = 8; i < 16; ++i) b = (b << 8) | id.bytes()[i];
    return static_cast<std::size_t>(a ^ (b * 0x9E3779B97F4A7C15ULL));
  }
};

constexpr double kInfinity = std::numeric_limits<double>::infinity();

double threshold(double hours) { return hours > 0 ? hours * 3600 : kInfinity; }

Decimal decimalOf(double value) {
  // Every time here is finite and far inside the decimal's range.
  return Decimal::fromDouble(value).value_or(Decimal());
}

// The second step, for one item: `seconds`, the entry's time on `day` (in the week that
// starts at `week`), split into regular time, overtime and double time against the job's
// running totals, each part paid at the entry's rate and its multiplier.
void classifyTime(double day, double week, double seconds, const Entry& entry, const Job& job, JobTotals& total,
                  HourFractions& hourFractions, PayLine& line) {
  if (total.day != day) {
    total.day = day;
    total.dayUsed = 0;
  }
  if (total.week != week) {
    total.week = week;
    total.weekRegular = 0;
  }

  const double dt = threshold(job.dailyDoubleTime);
  const double ot = threshold(job.dailyOvertime);
  const double wk = threshold(job.weeklyOvertime);
  double remaining = seconds;
  while (remaining > 0.00001) {
    double chunk;
    double* kind;
    const Decimal* multiplier;
    if (total.dayUsed >= dt) {
      chunk = remaining;
      kind = &line.doubleTime;
      multiplier = &job.doubleTimeMultiplier;
    } else if (total.dayUsed >= ot) {
      chunk = std::min(dt - total.dayUsed, remaining);
      kind = &line.overtime;
      multiplier = &job.overtimeMultiplier;
    } else if (total.weekRegular >= wk) {
      chunk = std::min(std::min(dt, ot) - total.dayUsed, remaining);
      kind = &line.overtime;
      multiplier = &job.overtimeMultiplier;
    } else {
      chunk = std::min(std::min(wk - total.weekRegular, std::min(dt, ot) - total.dayUsed), remaining);
      kind = &line.regular;
      multiplier = nullptr;  // 1: multiplying by one changes no digit
      total.weekRegular += chunk;
    }
    if (!(chunk > 0)) break;
    *kind += chunk;
    total.dayUsed += chunk;
    Decimal pay = hourFractions.of(chunk) * entry.rate;  // decimal(chunk) / 3600 x rate
    if (multiplier) pay = pay * *multiplier;
    line.wages += pay;
    remaining -= chunk;
  }
}

// The third step, for one item: the entry's extras and mileage on its last day
// (`isLastDay`), and the withholding on what is taxable.
void settleMoney(bool isLastDay, const Entry& entry, const Job& job, PayLine& line) {
  static const Decimal hundred = 100;
  Decimal taxable = line.wages;
  if (isLastDay) {
    line.extras = entry.tips + entry.adjustment;
    // A zero factor makes the product exactly zero; skipping it changes no digit.
    if (entry.miles != 0 && !job.mileageRate.isZero()) {
      line.reimbursement = decimalOf(entry.miles) * job.mileageRate;
    }
    taxable = line.wages + entry.tips + (entry.adjustmentTaxable ? entry.adjustment : Decimal());
  }
  if (taxable.sign() > 0 && !job.withholding.isZero()) {
    line.withholding = taxable * job.withholding / hundred;  // max(taxable, 0) x percentage / 100
  }
}

}  // namespace

std::vector<Payroll::WorkItem> Payroll::workItems(const Archive& archive, Instant now, DayLocator& locator) const {
  std::unordered_map<Uuid, std::uint32_t, UuidHash> jobByID;
  jobByID.reserve(archive.jobs.size());
  for (std::size_t i = 0; i < archive.jobs.size(); ++i) {
    jobByID.emplace(archive.jobs[i].id, static_cast<std::uint32_t>(i));
  }

  Scratch scratch;
  std::vector<DayTime> days;
  std::vector<WorkItem> items;
  items.reserve(archive.entries.size() + archive.entries.size() / 8);
  adviseHugePages(items.data(), items.capacity() * sizeof(WorkItem));
  for (std::size_t e = 0; e < archive.entries.size(); ++e) {
    const Entry& entry = archive.entries[e];
    auto job = jobByID.find(entry.jobID);
    if (job == jobByID.end()) continue;
    const auto entryIndex = static_cast<std::uint32_t>(e);
    daySeconds(entry, archive.jobs[job->second], now, locator, scratch, days);
    if (days.empty()) {
      // Unmeasurable: no time, but the entry's money still has a line to go on.
      items.push_back({locator.startOfDay(entry.start).seconds, entry.start.seconds, entry.id, 0, entryIndex,
                       job->second, true});
      continue;
    }
    for (std::size_t d = 0; d < days.size(); ++d) {
      items.push_back({days[d].day.seconds, entry.start.seconds, entry.id, days[d].seconds, entryIndex, job->second,
                       d + 1 == days.size()});
    }
  }
  // Earlier entries of a day fill its regular hours first.
  std::sort(items.begin(), items.end(), [](const WorkItem& a, const WorkItem& b) {
    if (a.day != b.day) return a.day < b.day;
    if (a.start != b.start) return a.start < b.start;
    return a.entryID < b.entryID;
  });
  return items;
}

void Payroll::appendWork(const Entry& entry, const Job& job, Instant now, DayLocator& locator, Scratch& scratch,
                         std::vector<DayWork>& items) const {
  daySeconds(entry, job, now, locator, scratch, scratch.days);
  if (scratch.days.empty()) {
    items.push_back({locator.startOfDay(entry.start), 0, &entry, true});
    return;
  }
  for (std::size_t d = 0; d < scratch.days.size(); ++d) {
    items.push_back({scratch.days[d].day, scratch.days[d].seconds, &entry, d + 1 == scratch.days.size()});
  }
}

void Payroll::orderWork(std::span<DayWork> items) {
  std::sort(items.begin(), items.end(), [](const DayWork& a, const DayWork& b) {
    if (a.day != b.day) return a.day < b.day;
    if (a.entry->start != b.entry->start) return a.entry->start < b.entry->start;
    return a.entry->id < b.entry->id;
  });
}

void Payroll::classifyWeek(std::span<const DayWork> items, const Job& job, HourFractions& fractions,
                           std::vector<PayLine>& lines) const {
  JobTotals totals;
  // One week: its start is only compared with itself.
  const double week = 0;
  for (const DayWork& item : items) {
    PayLine line;
    line.entryID = item.entry->id;
    line.jobID = job.id;
    line.day = item.day;
    classifyTime(item.day.seconds, week, item.seconds, *item.entry, job, totals, fractions, line);
    settleMoney(item.isLast, *item.entry, job, line);
    lines.push_back(line);
  }
}

// Three steps: each entry's time per day in day order, then per item its time classes and
// wages, then its extras and withholding.
std::vector<PayLine> Payroll::calculate(const Archive& archive, Instant now) const {
  DayLocator locator(calendar_);
  const std::vector<WorkItem> items = workItems(archive, now, locator);

  std::vector<JobTotals> totals(archive.jobs.size());
  HourFractions hourFractions;
  std::vector<PayLine> lines;
  lines.reserve(items.size());
  adviseHugePages(lines.data(), lines.capacity() * sizeof(PayLine));
  for (const WorkItem& item : items) {
    const Entry& entry = archive.entries[item.entry];
    const Job& job = archive.jobs[item.job];
    PayLine line;
    line.entryID = entry.id;
    line.jobID = job.id;
    line.day = Instant{item.day};
    const double week = locator.startOfWeek(line.day).seconds;
    classifyTime(item.day, week, item.seconds, entry, job, totals[item.job], hourFractions, line);
    settleMoney(item.isLast, entry, job, line);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace pellam
