#include "agent/engine/selection.h"

#include "agent/engine/arguments.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

using engine::bounds;
using engine::calendarDate;
using engine::selectedEntries;

// "code: message" of what a call threw, or what it returned as text.
template <typename Call>
std::string outcomeOf(Call call) {
  try {
    return call();
  } catch (const AgentFailure& failure) {
    return failure.code + ": " + failure.message;
  }
}

struct DateCase {
  const char* zone;
  const char* text;
  const char* expected;  // UTC, or "code: message"
};

TEST(SelectionTest, CalendarDateReadsDaysInTheReportingZoneAndTimestampsExactly) {
  const std::string badDay = "invalid_argument: Invalid calendar date: ";
  const std::string badStamp =
      "invalid_argument: Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.";
  const std::vector<DateCase> cases = {
      {"America/New_York", "2026-03-31", "2026-03-31T04:00:00Z"},
      {"Europe/Berlin", "2026-03-31", "2026-03-30T22:00:00Z"},
      {"America/Santiago", "2022-09-11", "2022-09-11T04:00:00Z"},  // midnight skipped: 01:00
      {"America/New_York", "2026-02-30", "invalid_argument: Invalid calendar date: 2026-02-30."},
      {"America/New_York", "2026-13-01", "invalid_argument: Invalid calendar date: 2026-13-01."},
      {"America/New_York", "0000-01-01", "invalid_argument: Invalid calendar date: 0000-01-01."},
      // Samoa skipped the day: its "start" reads back as the 31st.
      {"Pacific/Apia", "2011-12-30", "invalid_argument: Invalid calendar date: 2011-12-30."},
      {"Pacific/Apia", "2011-12-31", "2011-12-30T10:00:00Z"},
      {"America/New_York", "2026-03-31T09:00:00-04:00", "2026-03-31T13:00:00Z"},
      {"America/New_York", "2026-03-31T09:00:00.75Z", "2026-03-31T09:00:00Z"},
      {"America/New_York", "2026-3-31", badStamp.c_str()},
      {"America/New_York", "2026-03-31T09:00:00", badStamp.c_str()},
      {"America/New_York", " 2026-03-31", badStamp.c_str()},
      {"America/New_York", "", badStamp.c_str()},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.text);
    const ReportingCalendar calendar(c.zone, 2);
    EXPECT_EQ(outcomeOf([&] { return formatInternetDateTime(calendarDate(c.text, calendar)); }), c.expected);
  }
  const ReportingCalendar calendar("UTC", 2);
  EXPECT_EQ(calendarDate("2026-03-31T09:00:00.75Z", calendar).seconds,
            at("2026-03-31T09:00:00Z").seconds + 0.75);
}

struct BoundsCase {
  const char* name;
  Arguments arguments;
  const char* expected;  // "lower upper" in UTC, "-" for an open side; or "code: message"
  const char* now = "2026-03-04T15:00:00Z";  // Wednesday, 10:00 in New York
  std::int64_t weekStartsOn = 2;
  const char* command = "entries.list";
};

TEST(SelectionTest, BoundsFromRangesAndExplicitDates) {
  const std::string rangeMessage = "invalid_argument: --range must be all, today, week, month, year, or pay-period.";
  const std::string orderMessage = "invalid_argument: The date range must end after it starts.";
  const std::vector<BoundsCase> cases = {
      {"no range is all", {}, "- -"},
      {"all", {{"range", "ALL"}}, "- -"},
      {"today", {{"range", "today"}}, "2026-03-04T05:00:00Z 2026-03-05T05:00:00Z"},
      // The week of Monday 2 March ends on a Monday that starts an hour earlier (clocks change on the 8th).
      {"week, any letter case", {{"range", "Week"}}, "2026-03-02T05:00:00Z 2026-03-09T04:00:00Z"},
      {"week with a Kelvin sign", {{"range", "WEE\u212A"}}, "2026-03-02T05:00:00Z 2026-03-09T04:00:00Z"},
      {"a Sunday starts the week when weeks start on Sunday", {{"range", "week"}},
       "2026-03-08T05:00:00Z 2026-03-15T04:00:00Z", "2026-03-08T17:00:00Z", 1},
      {"a Sunday ends the week when weeks start on Monday", {{"range", "week"}},
       "2026-03-02T05:00:00Z 2026-03-09T04:00:00Z", "2026-03-08T17:00:00Z", 2},
      {"weeks starting on Saturday", {{"range", "week"}}, "2026-02-28T05:00:00Z 2026-03-07T05:00:00Z",
       "2026-03-04T15:00:00Z", 7},
      {"month", {{"range", "month"}}, "2026-03-01T05:00:00Z 2026-04-01T04:00:00Z"},
      {"year", {{"range", "year"}}, "2026-01-01T05:00:00Z 2027-01-01T05:00:00Z"},
      {"pay period of the job (every two weeks from 5 January)", {{"range", "pay-period"}, {"job", "Acme"}},
       "2026-03-02T05:00:00Z 2026-03-16T04:00:00Z"},
      {"reports.payperiod ignores range; names match exactly", {{"range", "nonsense"}, {"job", "acme"}},
       "not_found: Choose a unique job UUID from pellam jobs list.", "2026-03-04T15:00:00Z", 2, "reports.payperiod"},
      {"reports.payperiod without a job", {{"range", "all"}}, "invalid_argument: Supply --job.",
       "2026-03-04T15:00:00Z", 2, "reports.payperiod"},
      {"reports.payperiod with its job", {{"job", "11111111-1111-4111-8111-111111111111"}},
       "2026-03-02T05:00:00Z 2026-03-16T04:00:00Z", "2026-03-04T15:00:00Z", 2, "reports.payperiod"},
      {"an unknown range", {{"range", "weekly"}}, rangeMessage.c_str()},
      {"the range is read before the dates", {{"range", "weekly"}, {"from", "bad"}}, rangeMessage.c_str()},
      {"pay-period without a job, dates or not",
       {{"range", "pay-period"}, {"from", "2026-03-01"}, {"through", "2026-03-31"}},
       "invalid_argument: Supply --job."},
      {"pay-period with an unknown job", {{"range", "pay-period"}, {"job", "Nobody"}},
       "not_found: Choose a unique job UUID from pellam jobs list."},
      {"one calendar day", {{"from", "2026-03-31"}, {"through", "2026-03-31"}},
       "2026-03-31T04:00:00Z 2026-04-01T04:00:00Z"},
      {"a timestamp through is excluded", {{"through", "2026-03-31T00:00:00Z"}}, "- 2026-03-31T00:00:00Z"},
      {"from replaces only its side", {{"range", "week"}, {"from", "2026-03-03"}},
       "2026-03-03T05:00:00Z 2026-03-09T04:00:00Z"},
      {"through replaces only its side", {{"range", "month"}, {"through", "2026-03-08"}},
       "2026-03-01T05:00:00Z 2026-03-09T04:00:00Z"},
      {"from equal to a timestamp through", {{"from", "2026-03-31T00:00:00Z"}, {"through", "2026-03-31T00:00:00Z"}},
       orderMessage.c_str()},
      {"from later than through", {{"from", "2026-04-01"}, {"through", "2026-03-31"}}, orderMessage.c_str()},
      {"from after the range's end", {{"range", "today"}, {"from", "2026-03-06"}}, orderMessage.c_str()},
      {"a bad from before a bad through", {{"from", "2026-02-30"}, {"through", "x"}},
       "invalid_argument: Invalid calendar date: 2026-02-30."},
      {"a bad through",
       {{"through", "yesterday"}},
       "invalid_argument: Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00."},
  };
  for (const BoundsCase& c : cases) {
    SCOPED_TRACE(c.name);
    Archive archive = sampleArchive();
    archive.preferences.weekStartsOn = c.weekStartsOn;
    const AgentRequest req = request(c.command, c.arguments);
    const std::string actual = outcomeOf([&] {
      const engine::Window window = bounds(req, archive, at(c.now));
      return (window.lower ? formatInternetDateTime(*window.lower) : "-") + " " +
             (window.upper ? formatInternetDateTime(*window.upper) : "-");
    });
    EXPECT_EQ(actual, c.expected);
  }
}

// New York. Names stand for the entries in the expectations.
struct Named {
  const char* name;
  const char* id;
  Uuid job;
  const char* start;
  const char* end;  // nullptr: running
  const char* comment;
  std::vector<std::string> tags;
};

const Named kEntries[] = {
    {"shift", "E0000000-0000-4000-8000-000000000001", kAcme, "2026-03-02T14:00:00Z", "2026-03-02T22:00:00Z",
     "Inventory count", {"Client"}},
    {"running", "E0000000-0000-4000-8000-000000000002", kBeta, "2025-06-01T13:00:00Z", nullptr, "", {"client"}},
    {"night", "E0000000-0000-4000-8000-000000000003", kAcme, "2026-03-31T03:00:00Z", "2026-03-31T05:00:00Z",
     "Über Nacht", {}},  // 23:00 on the 30th to 01:00 on the 31st
    {"at-midnight-utc", "E0000000-0000-4000-8000-000000000004", kAcme, "2026-03-31T00:00:00Z",
     "2026-03-31T01:00:00Z", "", {}},
    {"evening", "E0000000-0000-4000-8000-000000000005", kAcme, "2026-03-31T20:00:00Z", "2026-03-31T22:00:00Z", "",
     {"onsite", "Client"}},
    {"april", "E0000000-0000-4000-8000-000000000006", kAcme, "2026-04-01T04:00:00Z", "2026-04-01T06:00:00Z", "", {}},
    {"twin-a", "E0000000-0000-4000-8000-00000000000A", kBeta, "2026-02-10T15:00:00Z", "2026-02-10T16:00:00Z", "",
     {}},
    {"twin-b", "E0000000-0000-4000-8000-00000000000B", kBeta, "2026-02-10T15:00:00Z", "2026-02-10T16:00:00Z", "",
     {}},
};

Archive selectionArchive() {
  Archive archive = sampleArchive();
  archive.jobs[0].name = "ACME Corp";
  archive.jobs[1].name = "Beta Straße";
  archive.entries.clear();
  for (const Named& named : kEntries) {
    Entry made = plainEntry(uuid(named.id), named.job, at(named.start),
                       named.end ? std::optional<Instant>(at(named.end)) : std::nullopt);
    made.comment = named.comment;
    made.tags = named.tags;
    archive.entries.push_back(made);
  }
  return archive;
}

struct SelectCase {
  Arguments arguments;
  const char* expected;  // names newest first, or "code: message"
};

TEST(SelectionTest, SelectedEntriesOverlapTheWindowMatchTheFiltersNewestFirst) {
  const std::vector<SelectCase> cases = {
      {{}, "april,evening,night,at-midnight-utc,shift,twin-b,twin-a,running"},
      {{{"range", "today"}}, "running"},  // running since last year, until now
      {{{"from", "2026-03-31"}}, "april,evening,night"},  // night began the evening before
      {{{"from", "2026-03-31T01:00:00Z"}}, "april,evening,night,at-midnight-utc"},  // an end equal to lower
      {{{"from", "2026-03-04T14:59:59Z"}}, "april,evening,night,at-midnight-utc,running"},  // running until now
      {{{"through", "2026-03-31"}, {"job", "ACME Corp"}}, "evening,night,at-midnight-utc,shift"},
      {{{"through", "2026-03-31T00:00:00Z"}, {"job", "ACME Corp"}}, "shift"},
      {{{"job", "22222222-2222-4222-8222-222222222222"}}, "twin-b,twin-a,running"},
      {{{"tag", "Client"}}, "evening,shift"},
      {{{"tag", "client"}}, "running"},
      {{{"query", "acme"}}, "april,evening,night,at-midnight-utc,shift"},
      {{{"query", "STRASSE"}, {"range", "month"}}, "running"},
      {{{"query", "STRASSE"}}, "twin-b,twin-a,running"},
      {{{"query", "corp inventory"}}, "shift"},       // job name into comment
      {{{"query", "count client"}}, "shift"},         // comment into tag
      {{{"query", "corp  inventory"}}, ""},           // joined by single spaces
      {{{"query", "über"}}, "night"},
      {{{"query", "onsite client"}, {"tag", "Client"}}, "evening"},
      {{{"job", "Nobody"}, {"range", "weekly"}}, "not_found: Choose a unique job UUID from pellam jobs list."},
      {{{"range", "weekly"}, {"query", "x"}},
       "invalid_argument: --range must be all, today, week, month, year, or pay-period."},
  };
  const Archive archive = selectionArchive();
  std::map<Uuid, std::string> names;
  for (const Named& named : kEntries) names[uuid(named.id)] = named.name;
  auto namesOf = [&](const std::vector<const Entry*>& selected) {
    std::string out;
    for (const Entry* entry : selected) {
      if (!out.empty()) out += ",";
      out += names[entry->id];
    }
    return out;
  };
  ArchiveIndexes indexes;  // the entries by start, as the host keeps them
  for (const SelectCase& c : cases) {
    std::string label;
    for (const auto& [key, value] : c.arguments) label += key + "=" + value + " ";
    SCOPED_TRACE(label);
    const AgentRequest req = request("entries.list", c.arguments);
    EXPECT_EQ(outcomeOf([&] { return namesOf(selectedEntries(req, archive, kNow)); }), c.expected);
    EXPECT_EQ(outcomeOf([&] {
                return namesOf(selectedEntries(engine::readSelection(req, archive, kNow), archive, &indexes));
              }),
              c.expected)
        << "found by start";
  }
}

TEST(SelectionTest, SelectionKeysJoinACommandsArgumentNames) {
  const engine::ArgumentNames allowed(engine::selectionKeys, {"limit", "offset"});
  for (const char* name : {"job", "from", "through", "query", "tag", "range", "limit", "offset"}) {
    EXPECT_TRUE(allowed.contains(name)) << name;
  }
  EXPECT_FALSE(allowed.contains("id"));
}

}  // namespace
}  // namespace pellam::agent::testing
