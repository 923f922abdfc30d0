#include "core/payroll/day_locator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/python_oracle.h"

namespace pellam::testing {
namespace {

// Zones with 23- and 25-hour days, a 30-minute shift, midnight in a gap, midnight twice, a
// skipped day, and none of these.
const char* const kZones[] = {"UTC",           "America/New_York", "Europe/Berlin", "Australia/Lord_Howe",
                              "America/Santiago", "Pacific/Apia",  "America/Havana", "Asia/Beirut"};

const Instant kFrom = Instant::fromUnix(631'152'000);    // 1990-01-01
const Instant kUntil = Instant::fromUnix(2'082'758'400); // 2036-01-01

// Instants worth asking about in a zone: a coarse walk, and every half hour for two days
// either side of each offset change, with fractions just around the day starts.
std::vector<Instant> probes(const ReportingCalendar& calendar, double walkDays) {
  std::vector<Instant> out;
  for (double t = kFrom.seconds; t < kUntil.seconds; t += walkDays * 86'400 + 7 * 3600 + 13 * 60 + 17.25) {
    out.push_back({t});
  }
  auto unix = static_cast<std::int64_t>(kFrom.unixSeconds());
  while (unix < static_cast<std::int64_t>(kUntil.unixSeconds())) {
    const date::sys_info info = calendar.zone().get_info(date::sys_seconds{std::chrono::seconds(unix)});
    const std::int64_t change = info.end.time_since_epoch().count();
    if (change >= static_cast<std::int64_t>(kUntil.unixSeconds())) break;
    for (std::int64_t k = -96; k <= 96; ++k) out.push_back(Instant::fromUnix(static_cast<double>(change + k * 1800)));
    for (int d = -3; d <= 3; ++d) {
      const Instant start = calendar.addDays(Instant::fromUnix(static_cast<double>(change)), d);
      for (double e : {-0.25, 0.0, 0.25}) out.push_back({start.seconds + e});
    }
    unix = change;
  }
  return out;
}

TEST(DayLocatorTest, AgreesWithTheCalendarInOrderAndOutOfOrder) {
  for (const char* zone : kZones) {
    SCOPED_TRACE(zone);
    const ReportingCalendar calendar(zone, 2);
    std::vector<Instant> instants = probes(calendar, 3);
    DayLocator inOrder(calendar);
    for (const Instant& instant : instants) {
      ASSERT_EQ(inOrder.day(instant), calendar.day(instant)) << formatInternetDateTime(instant);
    }
    std::shuffle(instants.begin(), instants.end(), std::mt19937_64(7));
    DayLocator shuffled(calendar);
    for (const Instant& instant : instants) {
      ASSERT_EQ(shuffled.day(instant), calendar.day(instant)) << formatInternetDateTime(instant);
      const Instant start = shuffled.startOfDay(instant);
      ASSERT_EQ(shuffled.startOfWeek(start), calendar.startOfWeek(instant));
    }
  }
}

// Python's zoneinfo, on the same operating-system data, finds each day's first instant its
// own way: the earliest instant whose local date is that day, piece by piece between the
// zone's offset changes.
constexpr const char* kZoneinfoOracle = R"PY(
import sys
from datetime import date, datetime, timezone
from zoneinfo import ZoneInfo

EPOCH = datetime(1970, 1, 1)

def offset(zone, t):
    return int(datetime.fromtimestamp(t, zone).utcoffset().total_seconds())

def first_instant(zone, day):
    midnight = int((datetime(day.year, day.month, day.day) - EPOCH).total_seconds())
    lo, hi = midnight - 30 * 3600, midnight + 30 * 3600
    points, t, before = [lo], lo, offset(zone, lo)
    while t < hi:
        n = min(t + 7200, hi)
        after = offset(zone, n)
        if after != before:
            a, b = t, n
            while b - a > 1:
                m = (a + b) // 2
                if offset(zone, m) == before:
                    a = m
                else:
                    b = m
            points.append(b)
        t, before = n, after
    points.append(hi)
    best = None
    for a, b in zip(points, points[1:]):
        o = offset(zone, a)
        s, e = max(a, midnight - o), min(b, midnight + 86400 - o)
        if s < e and (best is None or s < best):
            best = s
    return best

zones = {}
for line in sys.stdin.read().splitlines():
    name, day = line.split()
    zone = zones.setdefault(name, ZoneInfo(name))
    print(name, day, first_instant(zone, date.fromisoformat(day)))
)PY";

TEST(DayLocatorTest, DayStartsAgreeWithPythonZoneinfo) {
  std::ostringstream request, ours;
  for (const char* zone : kZones) {
    const ReportingCalendar calendar(zone, 2);
    DayLocator locator(calendar);
    std::string last;
    for (const Instant& instant : probes(calendar, 40)) {
      const std::string day = calendar.formatDay(instant);
      if (day == last) continue;
      last = day;
      request << zone << " " << day << "\n";
      ours << zone << " " << day << " " << static_cast<std::int64_t>(locator.startOfDay(instant).unixSeconds()) << "\n";
    }
  }
  const std::string python = runPython(kZoneinfoOracle, request.str());
  // Compared line by line so a difference names its zone and day.
  std::istringstream a(ours.str()), b(python);
  std::string mine, theirs;
  std::size_t lines = 0;
  while (std::getline(a, mine)) {
    ASSERT_TRUE(std::getline(b, theirs)) << "python stopped before " << mine;
    EXPECT_EQ(mine, theirs);
    ++lines;
  }
  EXPECT_GT(lines, 3'000u);
}

}  // namespace
}  // namespace pellam::testing
