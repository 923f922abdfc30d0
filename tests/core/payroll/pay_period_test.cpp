#include <gtest/gtest.h>

#include <string>

#include "core/payroll/payroll.h"
#include "core/payroll/payroll_fixtures.h"

namespace pellam::testing {
namespace {

struct PeriodCase {
  PaySchedule schedule;
  const char* date;
  const char* start;  // UTC
  const char* end;
};

TEST(PayPeriodTest, FindsThePeriodContainingADate) {
  // New York; the anchor is Monday 2026-01-05 00:00 local. Clocks go forward on 2026-03-08.
  const PeriodCase cases[] = {
      {PaySchedule::weekly, "2026-03-04T15:00:00Z", "2026-03-02T05:00:00Z", "2026-03-09T04:00:00Z"},
      {PaySchedule::weekly, "2026-01-05T05:00:00Z", "2026-01-05T05:00:00Z", "2026-01-12T05:00:00Z"},
      {PaySchedule::weekly, "2026-01-05T04:59:59Z", "2025-12-29T05:00:00Z", "2026-01-05T05:00:00Z"},
      {PaySchedule::biweekly, "2026-03-04T15:00:00Z", "2026-03-02T05:00:00Z", "2026-03-16T04:00:00Z"},
      {PaySchedule::biweekly, "2026-03-16T03:59:00Z", "2026-03-02T05:00:00Z", "2026-03-16T04:00:00Z"},
      // Before the anchor the periods still line up with it.
      {PaySchedule::biweekly, "2025-12-30T12:00:00Z", "2025-12-22T05:00:00Z", "2026-01-05T05:00:00Z"},
      {PaySchedule::biweekly, "2025-12-22T05:00:00Z", "2025-12-22T05:00:00Z", "2026-01-05T05:00:00Z"},
      {PaySchedule::biweekly, "2025-12-22T04:59:59Z", "2025-12-08T05:00:00Z", "2025-12-22T05:00:00Z"},
      // The 15th belongs to the first half, the 16th to the second.
      {PaySchedule::semimonthly, "2026-03-16T03:59:59Z", "2026-03-01T05:00:00Z", "2026-03-16T04:00:00Z"},
      {PaySchedule::semimonthly, "2026-03-16T04:00:00Z", "2026-03-16T04:00:00Z", "2026-04-01T04:00:00Z"},
      {PaySchedule::semimonthly, "2026-02-28T12:00:00Z", "2026-02-16T05:00:00Z", "2026-03-01T05:00:00Z"},
      {PaySchedule::monthly, "2026-04-01T03:59:59Z", "2026-03-01T05:00:00Z", "2026-04-01T04:00:00Z"},
      {PaySchedule::monthly, "2026-12-31T12:00:00Z", "2026-12-01T05:00:00Z", "2027-01-01T05:00:00Z"},
  };
  const Payroll payroll = payrollIn("America/New_York");
  for (const PeriodCase& c : cases) {
    SCOPED_TRACE(std::string(rawValue(c.schedule)) + " " + c.date);
    Job job = payJob();
    job.schedule = c.schedule;
    const CalendarInterval period = payroll.payPeriod(at(c.date), job);
    EXPECT_EQ(formatInternetDateTime(period.start), c.start);
    EXPECT_EQ(formatInternetDateTime(period.end), c.end);
  }
}

TEST(PayPeriodTest, AnAnchorInsideADayCountsFromThatDaysStart) {
  Job job = payJob();
  job.schedule = PaySchedule::weekly;
  job.payAnchor = at("2026-01-05T20:30:00Z");  // 15:30 on Monday in New York
  const CalendarInterval period = payrollIn("America/New_York").payPeriod(at("2026-01-12T06:00:00Z"), job);
  EXPECT_EQ(formatInternetDateTime(period.start), "2026-01-12T05:00:00Z");
}

// Samoa skipped Friday 2011-12-30. Weekly pay periods, weekly overtime and the calendar's
// weeks, all starting on Friday, share their bounds around it.
TEST(PayPeriodTest, WeeksAgreeWhereTheirFirstDayWasSkipped) {
  const Payroll payroll = payrollIn("Pacific/Apia", 6);
  Job job = payJob();
  job.schedule = PaySchedule::weekly;
  job.payAnchor = at("2011-12-16T10:00:00Z");  // Friday 00:00 at -10:00
  job.weeklyOvertime = 2;
  job.dailyOvertime = 0;
  job.dailyDoubleTime = 0;
  for (const char* date : {"2011-12-29T12:00:00Z", "2011-12-30T12:00:00Z", "2012-01-05T09:00:00Z",
                           "2012-01-06T12:00:00Z"}) {
    SCOPED_TRACE(date);
    EXPECT_EQ(payroll.payPeriod(at(date), job), payroll.calendar().week(at(date)));
  }
  EXPECT_EQ(formatInternetDateTime(payroll.payPeriod(at("2011-12-30T12:00:00Z"), job).end), "2012-01-05T10:00:00Z");

  // Two hours on Thursday 5 January fill the short week; the hour on Friday 6 January
  // starts the next one and is regular time.
  Archive archive;
  archive.jobs = {job};
  archive.entries = {payEntry("E0000000-0000-4000-8000-000000000001", kPayJob, "2012-01-05T06:00:00Z",
                              "2012-01-05T08:00:00Z"),
                     payEntry("E0000000-0000-4000-8000-000000000002", kPayJob, "2012-01-05T22:00:00Z",
                              "2012-01-05T23:00:00Z")};
  const std::vector<PayLine> lines = payroll.calculate(archive, at("2012-02-01T00:00:00Z"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].regular, 7200);
  EXPECT_EQ(lines[1].regular, 3600);
  EXPECT_EQ(lines[1].overtime, 0);
  EXPECT_EQ(payroll.calendar().week(lines[1].day).start, lines[1].day);
}

}  // namespace
}  // namespace pellam::testing
