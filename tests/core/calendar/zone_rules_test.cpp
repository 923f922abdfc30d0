#include "core/calendar/zone_rules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <date/tz.h>

#include "core/calendar/current_time_zone.h"
#include "core/payroll/day_locator.h"
#include "core/calendar/reporting_calendar.h"
#include "support/python_oracle.h"
#include "support/zoneinfo_oracle.h"

namespace pellam::testing {
namespace {

Instant at(const std::string& text) {
  auto instant = parseInternetDateTime(text, FractionalSeconds::Allowed);
  if (!instant) throw std::invalid_argument("bad test instant " + text);
  return *instant;
}

std::string dayText(date::local_days day) {
  const date::year_month_day ymd{day};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return text;
}

std::string fileBytes(const std::string& zone) {
  std::ifstream file("/usr/share/zoneinfo/" + zone, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::int64_t unixOf(Instant instant) { return static_cast<std::int64_t>(instant.unixSeconds()); }

// Every zone of the system database, as Python lists it.
std::vector<std::string> systemZones() {
  std::istringstream lines(runPython("import zoneinfo\nprint('\\n'.join(sorted(zoneinfo.available_timezones())))\n", ""));
  std::vector<std::string> zones;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) zones.push_back(line);
  }
  return zones;
}

// Days worth asking about in a zone: a spread over 1900-2100, winter and summer days long
// after the transitions the file lists, the days where the list ends, and the days around
// every offset change in a few late years.
std::vector<date::local_days> sampleDays(const ZoneRules& zone, std::size_t seed) {
  std::vector<date::local_days> days;
  const date::local_days first{date::year{1900} / 1 / 1};
  const date::local_days last{date::year{2100} / 12 / 31};
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> pick(0, (last - first).count());
  for (int i = 0; i < 16; ++i) days.push_back(first + date::days{pick(random)});
  for (int year : {2038, 2050, 2075, 2099}) {
    days.push_back(date::local_days{date::year{year} / 1 / 15});
    days.push_back(date::local_days{date::year{year} / 7 / 1});
  }
  // Where the list ends and the rule takes over.
  if (zone.endOfList() > date::sys_seconds{date::sys_days{date::year{1900} / 1 / 1}.time_since_epoch()}) {
    const date::local_days end = date::floor<date::days>(zone.toLocal(zone.endOfList()));
    for (int d = -2; d <= 2; ++d) days.push_back(end + date::days{d});
  }
  for (int year : {2038, 2039, 2099}) {
    auto t = date::sys_seconds{date::sys_days{date::year{year} / 1 / 1}.time_since_epoch()};
    const auto end = date::sys_seconds{date::sys_days{date::year{year + 1} / 1 / 1}.time_since_epoch()};
    for (int changes = 0; changes < 4; ++changes) {
      const date::sys_info info = zone.info(t);
      if (info.end >= end) break;
      const date::local_days day = date::floor<date::days>(zone.toLocal(info.end));
      for (int d = -1; d <= 1; ++d) days.push_back(day + date::days{d});
      t = info.end;
    }
  }
  return days;
}

TEST(ZoneRulesTest, DayStartsAndLengthsAgreeWithZoneinfoInEveryZoneFrom1900To2100) {
  std::ostringstream request, ours;
  std::vector<std::string> withoutRule, refused;
  std::size_t seed = 0;
  for (const std::string& name : systemZones()) {
    SCOPED_TRACE(name);
    // Only the names the preferences accept reach a calendar.
    if (!isKnownZone(name)) {
      refused.push_back(name);
      continue;
    }
    const ReportingCalendar calendar(name, 2);
    ASSERT_EQ(calendar.zone().name(), name);
    const ZoneRules& zone = calendar.zone();
    // The date library reads no negative transition time ("M3.5.0/-1"); such zones are
    // compared only while their files list the transitions.
    const std::optional<std::string> rule = closingRuleText(fileBytes(name));
    const bool unreadable = rule && rule->find("/-") != std::string::npos;
    if (unreadable) withoutRule.push_back(name);
    DayLocator locator(calendar);
    for (const date::local_days day : sampleDays(zone, ++seed)) {
      const std::string text = dayText(day);
      const Instant start = calendar.startOfDay(date::year_month_day{day});
      if (calendar.formatDay(start) != text) continue;  // a day the zone skipped
      const Instant next = calendar.startOfDay(date::year_month_day{day + date::days{1}});
      if (calendar.formatDay(next) != dayText(day + date::days{1})) continue;  // so was the next
      if (unreadable &&
          date::sys_seconds{std::chrono::seconds(unixOf(next))} + date::days{2} >= zone.endOfList()) {
        continue;
      }
      // The calendar's other ways to the same day agree with it.
      const Instant inside{(start.seconds + next.seconds) / 2};
      ASSERT_EQ(calendar.day(inside), (CalendarInterval{start, next})) << text;
      ASSERT_EQ(locator.day(inside), (CalendarInterval{start, next})) << text;
      request << name << " " << text << "\n" << name << " " << dayText(day + date::days{1}) << "\n";
      ours << name << " " << text << " " << unixOf(start) << "\n";
      ours << name << " " << dayText(day + date::days{1}) << " " << unixOf(next) << "\n";
    }
  }
  if (!refused.empty()) {
    std::cout << "Names the preferences refuse:";
    for (const std::string& name : refused) std::cout << " " << name;
    std::cout << "\n";
  }
  if (!withoutRule.empty()) {
    std::cout << "Closing rules the date library cannot read (compared until their lists end):";
    for (const std::string& name : withoutRule) std::cout << " " << name;
    std::cout << "\n";
  }
  const std::string python = runPython(kZoneinfoOracle, request.str());
  std::istringstream a(ours.str()), b(python);
  std::string mine, theirs;
  std::size_t lines = 0, differences = 0;
  while (std::getline(a, mine)) {
    ASSERT_TRUE(std::getline(b, theirs)) << "python stopped before " << mine;
    if (mine != theirs && ++differences <= 40) ADD_FAILURE() << "ours " << mine << "\nzoneinfo " << theirs;
    ++lines;
  }
  EXPECT_EQ(differences, 0u);
  EXPECT_GT(lines, 20'000u);
}

struct DayLengthCase {
  const char* zone;
  const char* inside;
  const char* start;
  double hours;
};

// Days of the closing rules, past the transitions the files list.
TEST(ZoneRulesTest, DaylightSavingGoesOnAfterTheListedTransitions) {
  const DayLengthCase cases[] = {
      {"America/New_York", "2038-07-01T12:00:00Z", "2038-07-01T04:00:00Z", 24},
      {"America/New_York", "2038-03-14T12:00:00Z", "2038-03-14T05:00:00Z", 23},
      {"America/New_York", "2099-11-01T12:00:00Z", "2099-11-01T04:00:00Z", 25},
      {"Europe/Berlin", "2040-07-01T12:00:00Z", "2040-06-30T22:00:00Z", 24},
      {"Europe/Berlin", "2040-03-25T12:00:00Z", "2040-03-24T23:00:00Z", 23},
      // Half an hour forward in October, back in April; the zone is on summer time in January.
      {"Australia/Lord_Howe", "2038-10-03T12:00:00Z", "2038-10-02T13:30:00Z", 23.5},
      {"Australia/Lord_Howe", "2039-04-03T12:00:00Z", "2039-04-02T13:00:00Z", 24.5},
      {"Australia/Lord_Howe", "2040-07-01T12:00:00Z", "2040-06-30T13:30:00Z", 24},
      {"Australia/Lord_Howe", "2040-01-10T12:00:00Z", "2040-01-09T13:00:00Z", 24},
      // Summer time below the standard offset, and transitions at 24:00.
      {"Europe/Dublin", "2045-01-10T12:00:00Z", "2045-01-10T00:00:00Z", 24},
      {"America/Santiago", "2045-09-03T12:00:00Z", "2045-09-03T04:00:00Z", 23},
  };
  for (const DayLengthCase& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.inside);
    const ReportingCalendar calendar(c.zone, 2);
    const CalendarInterval day = calendar.day(at(c.inside));
    EXPECT_EQ(formatInternetDateTime(day.start), c.start);
    EXPECT_DOUBLE_EQ(day.end.seconds - day.start.seconds, c.hours * 3600);
    DayLocator locator(calendar);
    EXPECT_EQ(locator.day(at(c.inside)), day);
  }
}

TEST(ZoneRulesTest, ClosingRuleTextIsTheLastLineOfALaterVersionFile) {
  const struct {
    std::string bytes;
    const char* expected;  // nullptr: none
  } cases[] = {
      {std::string("TZif2") + std::string(40, '\0') + "\n\x01\n" + "EST5EDT,M3.2.0,M11.1.0\n", "EST5EDT,M3.2.0,M11.1.0"},
      {std::string("TZif3") + std::string(40, '\0') + "\n<+0330>-3:30\n", "<+0330>-3:30"},
      {std::string("TZif2") + std::string(40, '\0') + "\n\n", nullptr},  // an empty rule
      {std::string("TZif") + std::string(41, '\0') + "\nEST5\n", nullptr},  // version 1 has none
      {std::string("TZif2") + std::string(40, '\0') + "\nEST5", nullptr},   // cut short
      {"TZ", nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> text = closingRuleText(c.bytes);
    if (c.expected) {
      ASSERT_TRUE(text);
      EXPECT_EQ(*text, c.expected);
    } else {
      EXPECT_FALSE(text) << *text;
    }
  }
}

}  // namespace
}  // namespace pellam::testing
