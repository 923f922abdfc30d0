// Payroll over generated archives: thousands of random entries across zones and
// daylight-saving changes, checked against invariants that hold for any input, and priced
// again by Python's decimal module at 38 digits as an outside oracle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/payroll/payroll.h"
#include "core/payroll/rounding.h"
#include "support/python_oracle.h"

namespace pellam::testing {
namespace {

// mt19937_64's output is fixed by the standard; the draws below are written out so the
// archives are the same everywhere.
class Draw {
 public:
  explicit Draw(std::uint64_t seed) : engine_(seed) {}
  double unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  double between(double low, double high) { return low + (high - low) * unit(); }
  std::uint64_t below(std::uint64_t bound) { return engine_() % bound; }
  bool chance(double probability) { return unit() < probability; }
  Decimal cents(std::int64_t low, std::int64_t high) {
    return Decimal::scaled(low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low + 1))), -2);
  }
  Uuid uuid() {
    std::array<std::uint8_t, 16> bytes;
    for (std::size_t i = 0; i < 16; i += 8) {
      const std::uint64_t word = engine_();
      for (std::size_t j = 0; j < 8; ++j) bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
    }
    return Uuid(bytes);
  }

 private:
  std::mt19937_64 engine_;
};

struct Scenario {
  const char* zone;
  const char* from;  // entries start in [from, until)
  const char* until;
};

// Each span crosses the zone's clock changes (Samoa's: its skipped day).
const Scenario kScenarios[] = {
    {"America/New_York", "2026-02-20T00:00:00Z", "2026-11-20T00:00:00Z"},
    {"Europe/Berlin", "2026-03-01T00:00:00Z", "2026-11-10T00:00:00Z"},
    {"Australia/Lord_Howe", "2026-03-15T00:00:00Z", "2026-10-25T00:00:00Z"},
    {"America/Santiago", "2022-03-20T00:00:00Z", "2022-09-30T00:00:00Z"},
    {"Pacific/Apia", "2011-09-01T00:00:00Z", "2012-04-30T00:00:00Z"},
    {"UTC", "2026-01-01T00:00:00Z", "2026-04-01T00:00:00Z"},
};

Instant at(const char* text) { return *parseInternetDateTime(text, FractionalSeconds::Allowed); }

Job randomJob(Draw& draw) {
  Job job;
  job.id = draw.uuid();
  job.name = "Job";
  job.rate = draw.cents(1000, 9000);
  job.withholding = draw.cents(0, 4000);
  job.mileageRate = draw.chance(0.5) ? Decimal::scaled(655, -3) : Decimal(0);
  const double dailies[] = {0, 7.5, 8, 10};
  job.dailyOvertime = dailies[draw.below(4)];
  job.dailyDoubleTime = job.dailyOvertime == 0 ? (draw.chance(0.5) ? 12 : 0) : job.dailyOvertime + double(draw.below(5));
  const double weeklies[] = {0, 37.5, 40, 44};
  job.weeklyOvertime = weeklies[draw.below(4)];
  const char* multipliers[] = {"1.25", "1.5", "1.75"};
  job.overtimeMultiplier = *Decimal::parse(multipliers[draw.below(3)]);
  job.doubleTimeMultiplier = job.overtimeMultiplier + Decimal::scaled(5, -1);
  job.rounding = kAllRoundings[draw.below(4)];
  const std::int64_t minutes[] = {0, 1, 6, 15, 30};
  job.roundingMinutes = minutes[draw.below(5)];
  job.autoBreakAfterHours = draw.chance(0.4) ? 6 : 0;
  job.autoBreakMinutes = draw.chance(0.5) ? 30 : 45;
  return job;
}

Entry randomEntry(Draw& draw, const Archive& archive, Instant from, Instant until, Instant now) {
  Entry entry;
  entry.id = draw.uuid();
  entry.jobID = draw.chance(0.01) ? draw.uuid() : archive.jobs[draw.below(archive.jobs.size())].id;
  double start = draw.between(from.seconds, until.seconds);
  if (draw.chance(0.5)) start = std::floor(start / 60) * 60;  // typed entries are whole minutes
  entry.start = Instant{start};
  const double kind = draw.unit();
  double length = draw.between(0, 14 * 3600);
  if (kind < 0.05) length = draw.between(14 * 3600, 40 * 3600);
  else if (kind < 0.07) length = -draw.between(0, 3600);
  else if (kind < 0.08) length = 0;
  else if (kind < 0.09) length = Payroll::kMaximumEntrySeconds + draw.between(-2, 2);
  if (draw.chance(0.04)) {
    entry.start = Instant{now.seconds - draw.between(-3600, 30 * 3600)};  // running, sometimes not yet started
  } else {
    entry.end = Instant{start + length};
  }
  const double end = entry.end ? entry.end->seconds : now.seconds;
  bool open = false;
  for (std::uint64_t n = draw.below(4); n > 0; --n) {
    TimePause pause;
    pause.id = draw.uuid();
    pause.start = Instant{draw.between(entry.start.seconds - 3600, end + 600)};
    pause.paid = draw.chance(0.3);
    if (!open && draw.chance(0.1)) {
      open = true;  // an open break runs until now
    } else {
      pause.end = Instant{pause.start.seconds + draw.between(0, 2 * 3600)};
    }
    entry.pauses.push_back(pause);
  }
  if (draw.chance(0.2)) entry.manualBreakMinutes = static_cast<double>(draw.below(61));
  if (draw.chance(0.2)) entry.timeAdjustmentMinutes = draw.between(-90, 90);
  entry.rate = draw.cents(1000, 9000);
  if (draw.chance(0.3)) entry.tips = draw.cents(0, 10000);
  if (draw.chance(0.3)) entry.miles = std::round(draw.between(0, 500) * 10) / 10;
  if (draw.chance(0.1)) entry.adjustment = draw.cents(-20000, 20000);
  entry.adjustmentTaxable = draw.chance(0.7);
  return entry;
}

struct Generated {
  Archive archive;
  Instant now;
};

Generated generate(const Scenario& scenario, std::uint64_t seed, std::size_t entries) {
  Draw draw(seed);
  Generated out;
  out.archive.preferences.timeZone = scenario.zone;
  out.archive.preferences.weekStartsOn = static_cast<std::int64_t>(1 + draw.below(7));
  for (int i = 0; i < 4; ++i) out.archive.jobs.push_back(randomJob(draw));
  const Instant from = at(scenario.from), until = at(scenario.until);
  out.now = Instant{until.seconds + 86'400};
  for (std::size_t i = 0; i < entries; ++i) {
    out.archive.entries.push_back(randomEntry(draw, out.archive, from, until, out.now));
  }
  return out;
}

// The payable time of an entry worked out directly: the span less the union of its unpaid
// breaks, less the manual and automatic breaks, plus the adjustment, rounded.
double roundedPayable(const Entry& entry, const Job& job, Instant now) {
  const double start = entry.start.seconds, end = entry.end ? entry.end->seconds : now.seconds;
  std::vector<std::pair<double, double>> breaks;
  double breakSeconds = entry.manualBreakMinutes * 60;
  for (const TimePause& pause : entry.pauses) {
    if (pause.paid) continue;
    const double low = std::clamp(pause.start.seconds, start, end);
    const double high = std::max(low, std::min(pause.end ? pause.end->seconds : now.seconds, end));
    breaks.emplace_back(low, high);
    breakSeconds += high - low;
  }
  std::sort(breaks.begin(), breaks.end());
  double covered = 0, reach = start;
  for (const auto& [low, high] : breaks) {
    if (high > reach) {
      covered += high - std::max(low, reach);
      reach = high;
    }
  }
  const double worked = end - start - covered;
  double autoExtra = 0;
  if (job.autoBreakAfterHours > 0 && end - start >= job.autoBreakAfterHours * 3600) {
    autoExtra = std::max(0.0, job.autoBreakMinutes * 60 - breakSeconds);
  }
  return apply(job.rounding,
               std::max(0.0, worked - entry.manualBreakMinutes * 60 - autoExtra + entry.timeAdjustmentMinutes * 60),
               job.roundingMinutes);
}

bool measurable(const Entry& entry, Instant now) {
  const double end = entry.end ? entry.end->seconds : now.seconds;
  return end > entry.start.seconds && end - entry.start.seconds <= Payroll::kMaximumEntrySeconds;
}

std::string bits(double value) {
  std::uint64_t raw;
  std::memcpy(&raw, &value, sizeof raw);
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(raw));
  return text;
}

// Prices the lines again from their day's seconds, in the order given: the same tiers,
// with Python's floats (IEEE doubles, like ours) for time and its decimal module for money.
constexpr const char* kPricingOracle = R"PY(
import struct, sys
from decimal import Decimal as D
from decimal_oracle import CONTEXT as C, plain

def real(hexbits):
    return struct.unpack(">d", bytes.fromhex(hexbits))[0]

def bits(x):
    return struct.pack(">d", x).hex()

INF = float("inf")
day_used, week_regular = {}, {}
for line in sys.stdin.read().splitlines():
    (job, day, week, seconds, ot_h, dt_h, wk_h, ot_m, dt_m, rate, tips, adjustment, taxable_adj,
     miles, mileage_rate, withholding, last) = line.split()
    seconds = real(seconds)
    dt = real(dt_h) * 3600 if real(dt_h) > 0 else INF
    ot = real(ot_h) * 3600 if real(ot_h) > 0 else INF
    wk = real(wk_h) * 3600 if real(wk_h) > 0 else INF
    dkey, wkey = (job, day), (job, week)
    times = [0.0, 0.0, 0.0]
    wages = D(0)
    remaining = seconds
    while remaining > 0.00001:
        used, regular = day_used.get(dkey, 0.0), week_regular.get(wkey, 0.0)
        if used >= dt:
            chunk, kind, multiplier = remaining, 2, D(dt_m)
        elif used >= ot:
            chunk, kind, multiplier = min(dt - used, remaining), 1, D(ot_m)
        elif regular >= wk:
            chunk, kind, multiplier = min(min(dt, ot) - used, remaining), 1, D(ot_m)
        else:
            chunk, kind, multiplier = min(wk - regular, min(dt, ot) - used, remaining), 0, D(1)
            week_regular[wkey] = regular + chunk
        if not chunk > 0:
            break
        times[kind] += chunk
        day_used[dkey] = used + chunk
        pay = C.multiply(C.multiply(C.divide(D(repr(chunk)), D(3600)), D(rate)), multiplier)
        wages = C.add(wages, pay)
        remaining -= chunk
    extras = reimbursement = D(0)
    taxable = wages
    if last == "1":
        extras = C.add(D(tips), D(adjustment))
        reimbursement = C.multiply(D(repr(real(miles))), D(mileage_rate))
        taxable = C.add(C.add(wages, D(tips)), D(adjustment) if taxable_adj == "1" else D(0))
    withheld = C.divide(C.multiply(max(taxable, D(0)), D(withholding)), D(100))
    print(" ".join([bits(t) for t in times] + [plain(v) for v in (wages, extras, withheld, reimbursement)]))
)PY";

TEST(PayrollInvariantsTest, HoldOnGeneratedArchivesAndMatchPythonDecimal) {
  std::ostringstream request, ours;
  std::size_t lineCount = 0;
  std::uint64_t seed = 20261210;
  for (const Scenario& scenario : kScenarios) {
    SCOPED_TRACE(scenario.zone);
    const Generated generated = generate(scenario, seed++, 700);
    const Archive& archive = generated.archive;
    const Payroll payroll(archive.preferences);
    const ReportingCalendar& calendar = payroll.calendar();
    const std::vector<PayLine> lines = payroll.calculate(archive, generated.now);

    std::map<Uuid, const Job*> jobs;
    for (const Job& job : archive.jobs) jobs[job.id] = &job;
    std::map<Uuid, const Entry*> entries;
    for (const Entry& entry : archive.entries) entries[entry.id] = &entry;
    std::map<Uuid, std::vector<const PayLine*>> linesOf;
    for (const PayLine& line : lines) linesOf[line.entryID].push_back(&line);

    // Per entry: its days, and its lines summing to its rounded payable time.
    std::map<Uuid, std::vector<DayTime>> daysOf;
    for (const Entry& entry : archive.entries) {
      auto job = jobs.find(entry.jobID);
      if (job == jobs.end()) {
        EXPECT_EQ(linesOf.count(entry.id), 0u);
        continue;
      }
      const std::vector<DayTime> days = payroll.daySeconds(entry, *job->second, generated.now);
      daysOf[entry.id] = days;
      const std::vector<const PayLine*>& mine = linesOf[entry.id];
      if (!measurable(entry, generated.now)) {
        EXPECT_TRUE(days.empty());
        ASSERT_EQ(mine.size(), 1u);
        EXPECT_EQ(mine[0]->seconds(), 0);
        EXPECT_EQ(mine[0]->day, calendar.startOfDay(entry.start));
        continue;
      }
      ASSERT_EQ(mine.size(), days.size());
      const double expected = roundedPayable(entry, *job->second, generated.now);
      double fromDays = 0, fromLines = 0;
      for (std::size_t i = 0; i < days.size(); ++i) {
        EXPECT_GE(days[i].seconds, 0);
        EXPECT_EQ(calendar.startOfDay(days[i].day), days[i].day);
        if (i > 0) {
          EXPECT_LT(days[i - 1].day, days[i].day);
        }
        fromDays += days[i].seconds;
        fromLines += mine[i]->seconds();
      }
      EXPECT_NEAR(fromDays, expected, 1e-6 * std::max(1.0, expected)) << entry.id.text();
      EXPECT_NEAR(fromLines, expected, 1e-4 * static_cast<double>(days.size()) + 1e-6 * expected) << entry.id.text();
    }

    // Per job and day, per job and week: the tiers' ceilings.
    std::map<std::pair<Uuid, double>, std::pair<double, double>> perDay;  // regular, regular + overtime
    std::map<std::pair<Uuid, double>, double> perWeek;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const PayLine& line = lines[i];
      EXPECT_GE(line.regular, 0);
      EXPECT_GE(line.overtime, 0);
      EXPECT_GE(line.doubleTime, 0);
      EXPECT_GE(line.wages, Decimal());
      EXPECT_GE(line.withholding, Decimal());
      EXPECT_GE(line.reimbursement, Decimal());
      auto& day = perDay[{line.jobID, line.day.seconds}];
      day.first += line.regular;
      day.second += line.regular + line.overtime;
      perWeek[{line.jobID, calendar.startOfWeek(line.day).seconds}] += line.regular;
      if (i > 0) {
        const PayLine& before = lines[i - 1];
        const Entry &a = *entries[before.entryID], &b = *entries[line.entryID];
        EXPECT_TRUE(std::tie(before.day, a.start, a.id) < std::tie(line.day, b.start, b.id));
      }
    }
    // A threshold of 0 is none; sums of doubles may pass a ceiling by rounding only.
    auto ceiling = [](double hours) { return hours > 0 ? hours * 3600 + 1e-6 : INFINITY; };
    for (const auto& [key, day] : perDay) {
      const Job& job = *jobs[key.first];
      EXPECT_LE(day.first, std::min(ceiling(job.dailyOvertime), ceiling(job.dailyDoubleTime)));
      EXPECT_LE(day.second, ceiling(job.dailyDoubleTime));
    }
    for (const auto& [key, regular] : perWeek) EXPECT_LE(regular, ceiling(jobs[key.first]->weeklyOvertime));

    // The oracle's input: each line's item, in line order.
    for (const PayLine& line : lines) {
      const Entry& entry = *entries[line.entryID];
      const Job& job = *jobs[line.jobID];
      const std::vector<DayTime>& days = daysOf[entry.id];
      double seconds = 0;
      for (const DayTime& day : days) {
        if (day.day == line.day) seconds = day.seconds;
      }
      const bool last = days.empty() || days.back().day == line.day;
      request << scenario.zone << ":" << job.id.text() << " " << bits(line.day.seconds) << " "
              << bits(calendar.startOfWeek(line.day).seconds) << " " << bits(seconds) << " " << bits(job.dailyOvertime)
              << " " << bits(job.dailyDoubleTime) << " " << bits(job.weeklyOvertime) << " "
              << job.overtimeMultiplier.text() << " " << job.doubleTimeMultiplier.text() << " " << entry.rate.text()
              << " " << entry.tips.text() << " " << entry.adjustment.text() << " " << (entry.adjustmentTaxable ? 1 : 0)
              << " " << bits(entry.miles) << " " << job.mileageRate.text() << " " << job.withholding.text() << " "
              << (last ? 1 : 0) << "\n";
      ours << bits(line.regular) << " " << bits(line.overtime) << " " << bits(line.doubleTime) << " "
           << line.wages.text() << " " << line.extras.text() << " " << line.withholding.text() << " "
           << line.reimbursement.text() << "\n";
      ++lineCount;
    }
  }
  EXPECT_GT(lineCount, 4000u);

  const std::string script = std::string("import sys\nsys.path.insert(0, \"") + PELLAM_SOURCE_DIR + "/tests/core\")\n" +
                             kPricingOracle;
  const std::string python = runPython(script, request.str());
  std::istringstream a(ours.str()), b(python), input(request.str());
  std::string mine, theirs, item;
  while (std::getline(a, mine)) {
    std::getline(input, item);
    ASSERT_TRUE(std::getline(b, theirs)) << "python stopped before " << item;
    EXPECT_EQ(mine, theirs) << item;
  }
}

}  // namespace
}  // namespace pellam::testing
