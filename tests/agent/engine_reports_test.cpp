// reports.summary, reports.daily and reports.payperiod, and the text report, through the
// engine with a fixed "now".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/engine/report_lines.h"
#include "agent/engine/text_report.h"
#include "report_fixtures.h"

namespace pellam::agent::testing {
namespace {

Outcome report(const Archive& archive, std::string command, Arguments arguments, Instant now = kReportNow) {
  return run(archive, request(std::move(command), std::move(arguments)), now);
}

std::string resultText(const Outcome& outcome) {
  return outcome.execution ? outcome.execution->result : summary(outcome);
}

const std::string kUsdExampleTotals =
    "{\"currency\":\"USD\",\"doubleTimeSeconds\":0,\"gross\":\"200\",\"net\":\"180\",\"overtimeSeconds\":0,"
    "\"regularSeconds\":28800,\"reimbursement\":\"0\",\"withholding\":\"20\",\"workedSeconds\":28800}";

TEST(ReportsTest, SummaryOfTheExample) {
  const Outcome outcome = report(exampleArchive(), "reports.summary", {{"range", "week"}});
  EXPECT_EQ(resultText(outcome),
            "{\"before\":\"2026-10-26T04:00:00Z\",\"currencies\":[" + kUsdExampleTotals +
                "],\"from\":\"2026-10-19T04:00:00Z\",\"timeZone\":\"America/New_York\",\"weekStartsOn\":2,"
                "\"workedSeconds\":28800}");
  ASSERT_TRUE(outcome.execution);
  EXPECT_FALSE(outcome.execution->changed);
}

TEST(ReportsTest, TwoCurrenciesEurFirstAndWorkedSecondsAcrossBoth) {
  const Json result = report(twoCurrencies(), "reports.summary", {{"range", "all"}}).result();
  EXPECT_EQ(writeJson(*result.find("currencies")),
            "[{\"currency\":\"EUR\",\"doubleTimeSeconds\":0,\"gross\":\"82\",\"net\":\"76.75\",\"overtimeSeconds\":0,"
            "\"regularSeconds\":14400,\"reimbursement\":\"5\",\"withholding\":\"10.25\",\"workedSeconds\":14400},"
            "{\"currency\":\"USD\",\"doubleTimeSeconds\":0,\"gross\":\"237.5\",\"net\":\"213.75\","
            "\"overtimeSeconds\":3600,\"regularSeconds\":28800,\"reimbursement\":\"0\",\"withholding\":\"23.75\","
            "\"workedSeconds\":32400}]");
  EXPECT_EQ(result.find("workedSeconds")->numberLexeme(), "46800");
  EXPECT_TRUE(result.find("from")->isNull());
  EXPECT_TRUE(result.find("before")->isNull());
  EXPECT_EQ(result.find("days"), nullptr);
}

TEST(ReportsTest, DailyGroupsByDayThenJobIdentifier) {
  const Json result = report(twoCurrencies(), "reports.daily", {{"range", "week"}}).result();
  std::vector<std::string> days;
  for (const Json& day : result.find("days")->asArray()) {
    days.push_back(day.find("day")->asString() + " " + day.find("jobID")->asString().substr(0, 4) + " " +
                   day.find("job")->asString() + " " + day.find("currency")->asString() + " " +
                   day.find("workedSeconds")->numberLexeme() + " " + day.find("gross")->asString() + " " +
                   day.find("net")->asString());
  }
  EXPECT_EQ(days, (std::vector<std::string>{
                      "2026-10-20T04:00:00Z 1111 Zulu Works USD 32400 237.5 213.75",
                      "2026-10-20T04:00:00Z 2222 Beta\r\nSouth\nside EUR 7200 40 35",
                      // Tips, adjustment and mileage only on the entry's last day.
                      "2026-10-21T04:00:00Z 2222 Beta\r\nSouth\nside EUR 7200 42 41.75",
                  }));
  EXPECT_EQ(result.find("days")->asArray()[0].find("jobID")->asString(), "11111111-1111-4111-8111-111111111111");
  EXPECT_EQ(result.find("currencies")->asArray().size(), 2u);
}

TEST(ReportsTest, NothingMatches) {
  const Arguments arguments = {{"range", "today"}, {"at", "2026-11-02T12:00:00Z"}};
  const Json daily = report(twoCurrencies(), "reports.daily", arguments).result();
  EXPECT_EQ(writeJson(daily),
            "{\"before\":\"2026-11-03T05:00:00Z\",\"currencies\":[],\"days\":[],\"from\":\"2026-11-02T05:00:00Z\","
            "\"timeZone\":\"America/New_York\",\"weekStartsOn\":2,\"workedSeconds\":0}");
}

TEST(ReportsTest, LinesAreTestedOnTheirDay) {
  struct Case {
    const char* name;
    Arguments arguments;
    const char* workedSeconds;
  };
  const std::vector<Case> cases = {
      // The night entry overlaps the window, but its first line's day starts before it.
      {"lower bound inside a day drops that day", {{"from", "2026-10-20T12:00:00Z"}}, "7200"},
      {"a calendar day as lower bound keeps it", {{"from", "2026-10-20"}}, "46800"},
      {"through a calendar day includes it whole", {{"through", "2026-10-20"}}, "39600"},
      {"a timestamp upper bound excludes lines from its day on", {{"through", "2026-10-21T04:00:00Z"}}, "39600"},
      {"a timestamp upper bound inside a day keeps that day", {{"through", "2026-10-21T05:00:00Z"}}, "46800"},
      {"query and tag select entries", {{"query", "south"}}, "14400"},
      {"job selects entries", {{"job", "Zulu Works"}}, "32400"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Json result = report(twoCurrencies(), "reports.summary", c.arguments).result();
    EXPECT_EQ(result.find("workedSeconds")->numberLexeme(), c.workedSeconds);
  }
}

TEST(ReportsTest, AtReplacesNowForRunningEntriesAndRanges) {
  Archive archive = exampleArchive();
  Entry running = plainEntry(kEntryRunning, kAcme, at("2026-10-22T12:00:00Z"), std::nullopt);
  running.rate = 25;
  archive.entries.push_back(running);
  // The host's clock is an hour into the running entry; `at` is two and a half.
  const Arguments arguments = {{"range", "today"}, {"at", "2026-10-22T10:30:00.250-04:00"}};
  const Json result = report(archive, "reports.summary", arguments, at("2026-10-22T13:00:00Z")).result();
  EXPECT_EQ(result.find("workedSeconds")->numberLexeme(), "9000.25");
  EXPECT_EQ(result.find("from")->asString(), "2026-10-22T04:00:00Z");
  // Without `at`, the host's own clock.
  EXPECT_EQ(report(archive, "reports.summary", {{"range", "today"}}).result().find("workedSeconds")->numberLexeme(),
            "3600");
}

TEST(ReportsTest, RangesKeepDaylightSavingPastTheListedYearsAndSkippedWeekdays) {
  const struct {
    const char* zone;
    std::int64_t weekStartsOn;
    const char* range;
    const char* at;
    const char* from;
    const char* before;
  } cases[] = {
      {"America/New_York", 2, "today", "2037-07-01T12:00:00Z", "2037-07-01T04:00:00Z", "2037-07-02T04:00:00Z"},
      {"America/New_York", 2, "today", "2038-07-01T12:00:00Z", "2038-07-01T04:00:00Z", "2038-07-02T04:00:00Z"},
      {"America/New_York", 2, "week", "2038-03-14T12:00:00Z", "2038-03-08T05:00:00Z", "2038-03-15T04:00:00Z"},
      {"America/New_York", 2, "month", "2040-08-15T12:00:00Z", "2040-08-01T04:00:00Z", "2040-09-01T04:00:00Z"},
      // Samoa skipped Friday 2011-12-30; weeks start on Friday.
      {"Pacific/Apia", 6, "week", "2011-12-30T12:00:00Z", "2011-12-30T10:00:00Z", "2012-01-05T10:00:00Z"},
      {"Pacific/Apia", 6, "week", "2012-01-06T12:00:00Z", "2012-01-05T10:00:00Z", "2012-01-12T10:00:00Z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.range + " " + c.at);
    Archive archive = exampleArchive();
    archive.preferences.timeZone = c.zone;
    archive.preferences.weekStartsOn = c.weekStartsOn;
    const Json result = report(archive, "reports.summary", {{"range", c.range}, {"at", c.at}}).result();
    EXPECT_EQ(result.find("from")->asString(), c.from);
    EXPECT_EQ(result.find("before")->asString(), c.before);
  }
}

TEST(ReportsTest, PayPeriodAlwaysUsesTheJobsPayPeriod) {
  Archive archive = twoCurrencies();
  archive.jobs[0].schedule = PaySchedule::weekly;
  archive.jobs[0].payAnchor = at("2026-10-21T04:00:00Z");  // periods run Wednesday to Tuesday
  const Json result =
      report(archive, "reports.payperiod", {{"job", "Zulu Works"}, {"range", "all"}}).result();
  EXPECT_EQ(result.find("from")->asString(), "2026-10-21T04:00:00Z");
  EXPECT_EQ(result.find("before")->asString(), "2026-10-28T04:00:00Z");
  EXPECT_EQ(result.find("workedSeconds")->numberLexeme(), "0");  // Zulu worked on the 20th only
  EXPECT_EQ(result.find("days"), nullptr);
}

TEST(ReportsTest, RefusalsComeBeforeAnyResult) {
  const std::string stamp =
      "invalid_argument: Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.";
  struct Case {
    const char* command;
    Arguments arguments;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"reports.weekly", {}, "invalid_argument: Unknown reports operation."},
      {"reports.weekly", {{"bogus", "1"}}, "invalid_argument: Unknown reports operation."},
      {"reports.summary", {{"format", "csv"}, {"at", "2026-10-22"}},
       "invalid_argument: Unknown arguments for reports.summary: format."},
      {"reports.daily", {{"at", "2026-10-22"}}, stamp},
      {"reports.daily", {{"at", "yesterday"}, {"range", "weekly"}}, stamp},
      {"reports.daily", {{"range", "weekly"}}, "invalid_argument: --range must be all, today, week, month, year, or pay-period."},
      {"reports.summary", {{"from", "2026-02-30"}}, "invalid_argument: Invalid calendar date: 2026-02-30."},
      {"reports.summary", {{"from", "2026-10-22"}, {"through", "2026-10-21"}},
       "invalid_argument: The date range must end after it starts."},
      {"reports.summary", {{"job", "Nobody"}}, "not_found: Choose a unique job UUID from pellam jobs list."},
      {"reports.payperiod", {{"range", "all"}}, "invalid_argument: Supply --job."},
      // A given job is looked up before the window is made.
      {"reports.payperiod", {{"range", "all"}, {"job", ""}}, "not_found: Choose a unique job UUID from pellam jobs list."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.expected);
    EXPECT_EQ(summary(report(twoCurrencies(), c.command, c.arguments)), c.expected);
  }
}

// The text report.

std::string textReport(const Archive& archive, Arguments arguments, Instant now = kReportNow) {
  try {
    const AgentRequest r = request("export", std::move(arguments));
    return engine::formattedReport(r, archive, engine::reportTime(r, now));
  } catch (const AgentFailure& failure) {
    return failure.code + ": " + failure.message;
  }
}

const char* const kColumns =
    "Date | Job | Worked hours | Regular | Overtime | Double time | Gross | Estimated net including mileage\n";

TEST(TextReportTest, TheExampleByteForByte) {
  // `at` stands for the moment the report is made, in any zone.
  EXPECT_EQ(textReport(exampleArchive(), {{"range", "week"}, {"at", "2026-10-22T09:00:00-04:00"}},
                       at("2027-01-01T00:00:00Z")),
            std::string("VANTRY \xE2\x80\x94 REPORT\n"
                        "Generated 2026-10-22T13:00:00Z\n"
                        "Reporting timezone: America/New_York\n"
                        "From: 2026-10-19T04:00:00Z\n"
                        "Before: 2026-10-26T04:00:00Z\n"
                        "\n"
                        "USD\n") +
                kColumns +
                "2026-10-20 | Acme | 8.00 | 8.00 | 0.00 | 0.00 | USD 200 | USD 180\n"
                "TOTAL USD\n"
                "Worked hours: 8.00\n"
                "Regular hours: 8.00\n"
                "Overtime hours: 0.00\n"
                "Double-time hours: 0.00\n"
                "Gross: USD 200\n"
                "Withholding: USD 20\n"
                "Mileage reimbursement: USD 0\n"
                "Estimated net including mileage: USD 180\n");
}

TEST(TextReportTest, CurrencyBlocksRowsByDayJobAndEntryOneLineNames) {
  EXPECT_EQ(textReport(twoCurrencies(), {{"range", "all"}}),
            std::string("VANTRY \xE2\x80\x94 REPORT\n"
                        "Generated 2026-10-22T13:00:00Z\n"
                        "Reporting timezone: America/New_York\n"
                        "From: All history\n"
                        "Before: No upper bound\n"
                        "\n"
                        "EUR\n") +
                kColumns +
                "2026-10-20 | Beta  South side | 2.00 | 2.00 | 0.00 | 0.00 | EUR 40 | EUR 35\n"
                "2026-10-21 | Beta  South side | 2.00 | 2.00 | 0.00 | 0.00 | EUR 42 | EUR 41.75\n"
                "TOTAL EUR\n"
                "Worked hours: 4.00\n"
                "Regular hours: 4.00\n"
                "Overtime hours: 0.00\n"
                "Double-time hours: 0.00\n"
                "Gross: EUR 82\n"
                "Withholding: EUR 10.25\n"
                "Mileage reimbursement: EUR 5\n"
                "Estimated net including mileage: EUR 76.75\n"
                "\n"
                "USD\n" +
                kColumns +
                // Same day and job: the lower entry id first, though it started later.
                "2026-10-20 | Zulu Works | 1.00 | 0.00 | 1.00 | 0.00 | USD 37.5 | USD 33.75\n"
                "2026-10-20 | Zulu Works | 8.00 | 8.00 | 0.00 | 0.00 | USD 200 | USD 180\n"
                "TOTAL USD\n"
                "Worked hours: 9.00\n"
                "Regular hours: 8.00\n"
                "Overtime hours: 1.00\n"
                "Double-time hours: 0.00\n"
                "Gross: USD 237.5\n"
                "Withholding: USD 23.75\n"
                "Mileage reimbursement: USD 0\n"
                "Estimated net including mileage: USD 213.75\n");
}

TEST(TextReportTest, NoLinesAndHoursRounding) {
  EXPECT_EQ(textReport(twoCurrencies(), {{"job", "Zulu Works"}, {"from", "2026-10-21"}}),
            "VANTRY \xE2\x80\x94 REPORT\n"
            "Generated 2026-10-22T13:00:00Z\n"
            "Reporting timezone: America/New_York\n"
            "From: 2026-10-21T04:00:00Z\n"
            "Before: No upper bound\n"
            "\n"
            "No payroll entries match this selection.\n");

  // Hours to two decimals; money exact to 38 digits (20 minutes is 1/3 h, its wages and
  // their withholding each rounded once there).
  Archive archive = exampleArchive();
  archive.entries[0].end = at("2026-10-20T13:20:00Z");
  Entry longer = reportEntry(kSecond, kAcme, "2026-10-20T14:00:00Z", "2026-10-20T21:27:18Z", "0");
  archive.entries.push_back(longer);
  const std::string text = textReport(archive, {});
  EXPECT_NE(text.find("\n2026-10-20 | Acme | 0.33 | 0.33 | 0.00 | 0.00 | USD 8.3333333333333333333333333333333333332"
                      " | USD 7.4999999999999999999999999999999999999\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n2026-10-20 | Acme | 7.46 | 7.46 | 0.00 | 0.00 | USD 0 | USD 0\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace pellam::agent::testing
