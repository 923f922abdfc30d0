#include "core/payroll/day_locator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <date/tz.h>

#include "support/python_oracle.h"
#include "support/zoneinfo_oracle.h"

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
    const date::sys_info info = calendar.zone().info(date::sys_seconds{std::chrono::seconds(unix)});
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
