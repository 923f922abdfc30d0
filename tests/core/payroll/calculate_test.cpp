#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/payroll/payroll.h"
#include "core/payroll/payroll_fixtures.h"

namespace pellam::testing {
namespace {

const Instant kLater = at("2030-01-01T00:00:00Z");

// One line as text: "day regular/overtime/doubleTime(hours) wages".
std::string summary(const PayLine& line) {
  auto hours = [](double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds / 3600);
    return std::string(text);
  };
  return formatInternetDateTime(line.day).substr(0, 10) + " " + hours(line.regular) + "/" + hours(line.overtime) +
         "/" + hours(line.doubleTime) + " " + line.wages.text();
}

std::vector<std::string> summaries(const std::vector<PayLine>& lines) {
  std::vector<std::string> out;
  for (const PayLine& line : lines) out.push_back(summary(line));
  return out;
}

// Entries of the week of Monday 2026-03-02 in UTC, given as (day of month, start hour,
// hours), one job, rate 20.
Archive week(const Job& job, const std::vector<std::array<int, 3>>& shifts) {
  Archive archive;
  archive.preferences.timeZone = "UTC";
  archive.preferences.weekStartsOn = 2;
  archive.jobs = {job};
  int n = 0;
  for (const auto& [day, hour, hours] : shifts) {
    char id[40], start[32], end[32];
    std::snprintf(id, sizeof id, "E0000000-0000-4000-8000-%012d", ++n);
    std::snprintf(start, sizeof start, "2026-03-%02dT%02d:00:00Z", day, hour);
    std::snprintf(end, sizeof end, "2026-03-%02dT%02d:00:00Z", day + (hour + hours) / 24, (hour + hours) % 24);
    archive.entries.push_back(payEntry(id, job.id, start, end));
  }
  return archive;
}

struct TierCase {
  const char* name;
  double daily;
  double dailyDouble;
  double weekly;
  std::vector<std::array<int, 3>> shifts;
  std::vector<std::string> expected;
  std::int64_t weekStartsOn = 2;
};

TEST(CalculateTest, ClassifiesTimeByDailyWeeklyAndDoubleTimeThresholds) {
  const std::vector<TierCase> cases = {
      {"five 9-hour days, then a sixth day in the same week",
       8, 12, 40,
       {{2, 9, 9}, {3, 9, 9}, {4, 9, 9}, {5, 9, 9}, {6, 9, 9}, {7, 8, 14}},
       {"2026-03-02 8/1/0 190", "2026-03-03 8/1/0 190", "2026-03-04 8/1/0 190", "2026-03-05 8/1/0 190",
        "2026-03-06 8/1/0 190", "2026-03-07 0/12/2 440"}},
      {"a Sunday after five 9-hour days, weeks starting on Monday",
       8, 12, 40,
       {{2, 9, 9}, {3, 9, 9}, {4, 9, 9}, {5, 9, 9}, {6, 9, 9}, {8, 9, 9}},
       {"2026-03-02 8/1/0 190", "2026-03-03 8/1/0 190", "2026-03-04 8/1/0 190", "2026-03-05 8/1/0 190",
        "2026-03-06 8/1/0 190", "2026-03-08 0/9/0 270"}},
      {"the same Sunday starts a new week when weeks start on Sunday",
       8, 12, 40,
       {{2, 9, 9}, {3, 9, 9}, {4, 9, 9}, {5, 9, 9}, {6, 9, 9}, {8, 9, 9}},
       {"2026-03-02 8/1/0 190", "2026-03-03 8/1/0 190", "2026-03-04 8/1/0 190", "2026-03-05 8/1/0 190",
        "2026-03-06 8/1/0 190", "2026-03-08 8/1/0 190"},
       1},
      {"weekly overtime only",
       0, 0, 40,
       {{2, 9, 9}, {3, 9, 9}, {4, 9, 9}, {5, 9, 9}, {6, 9, 9}},
       {"2026-03-02 9/0/0 180", "2026-03-03 9/0/0 180", "2026-03-04 9/0/0 180", "2026-03-05 9/0/0 180",
        "2026-03-06 4/5/0 230"}},
      {"every tier disabled: all regular",
       0, 0, 0,
       {{2, 0, 20}},
       {"2026-03-02 20/0/0 400"}},
      {"double time without a daily overtime threshold",
       0, 12, 0,
       {{2, 0, 14}},
       {"2026-03-02 12/0/2 320"}},
      {"two entries of one day: the earlier is regular first",
       8, 12, 40,
       {{2, 14, 5}, {2, 8, 5}},
       {"2026-03-02 5/0/0 100", "2026-03-02 3/2/0 120"}},
      {"a night shift counts on each of its days",
       8, 12, 40,
       {{2, 20, 10}},
       {"2026-03-02 4/0/0 80", "2026-03-03 6/0/0 120"}},
  };
  for (const TierCase& c : cases) {
    SCOPED_TRACE(c.name);
    Job job = payJob();
    job.dailyOvertime = c.daily;
    job.dailyDoubleTime = c.dailyDouble;
    job.weeklyOvertime = c.weekly;
    Archive archive = week(job, c.shifts);
    archive.preferences.weekStartsOn = c.weekStartsOn;
    EXPECT_EQ(summaries(Payroll(archive.preferences).calculate(archive, kLater)), c.expected);
  }
}

TEST(CalculateTest, EachJobKeepsItsOwnTotals) {
  Archive archive;
  archive.preferences.timeZone = "UTC";
  archive.jobs = {payJob(kPayJob), payJob(kPayJob2)};
  archive.entries = {payEntry("E0000000-0000-4000-8000-000000000001", kPayJob, "2026-03-02T06:00:00Z", "2026-03-02T12:00:00Z"),
                     payEntry("E0000000-0000-4000-8000-000000000002", kPayJob2, "2026-03-02T12:00:00Z", "2026-03-02T18:00:00Z")};
  const std::vector<PayLine> lines = Payroll(archive.preferences).calculate(archive, kLater);
  EXPECT_EQ(summaries(lines), (std::vector<std::string>{"2026-03-02 6/0/0 120", "2026-03-02 6/0/0 120"}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].jobID, kPayJob);
  EXPECT_EQ(lines[1].jobID, kPayJob2);
}

TEST(CalculateTest, EqualStartsAreOrderedByIdentifierText) {
  Archive archive;
  archive.preferences.timeZone = "UTC";
  archive.jobs = {payJob()};
  // Stored in the opposite order; "A..." sorts before "B..." whatever the bytes' signs.
  archive.entries = {payEntry("B0000000-0000-4000-8000-000000000000", kPayJob, "2026-03-02T09:00:00Z", "2026-03-02T15:00:00Z"),
                     payEntry("A0000000-0000-4000-8000-000000000000", kPayJob, "2026-03-02T09:00:00Z", "2026-03-02T15:00:00Z")};
  const std::vector<PayLine> lines = Payroll(archive.preferences).calculate(archive, kLater);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].entryID.text(), "A0000000-0000-4000-8000-000000000000");
  EXPECT_EQ(summary(lines[0]), "2026-03-02 6/0/0 120");
  EXPECT_EQ(summary(lines[1]), "2026-03-02 2/4/0 160");
}

TEST(CalculateTest, MoneyGoesOnTheLastLineAndWithholdingIsNeverNegative) {
  struct MoneyCase {
    const char* name;
    const char* adjustment;
    bool adjustmentTaxable;
    // first line: wages, withholding; last line: wages, extras, withholding, reimbursement, net
    std::vector<std::string> expected;
  };
  const MoneyCase cases[] = {
      {"taxable adjustment", "5", true, {"40 0 4 0 36", "40 15 5.5 8.1875 57.6875"}},
      {"adjustment not taxed", "5", false, {"40 0 4 0 36", "40 15 5 8.1875 58.1875"}},
      {"negative taxable amount", "-100", true, {"40 0 4 0 36", "40 -90 0 8.1875 -41.8125"}},
  };
  for (const MoneyCase& c : cases) {
    SCOPED_TRACE(c.name);
    Archive archive;
    archive.preferences.timeZone = "UTC";
    Job job = payJob();
    job.withholding = dec("10");
    job.mileageRate = dec("0.655");
    archive.jobs = {job};
    Entry entry = payEntry("E0000000-0000-4000-8000-000000000001", kPayJob, "2026-03-02T22:00:00Z", "2026-03-03T02:00:00Z");
    entry.tips = dec("10");
    entry.adjustment = dec(c.adjustment);
    entry.adjustmentTaxable = c.adjustmentTaxable;
    entry.miles = 12.5;
    archive.entries = {entry};
    std::vector<std::string> actual;
    for (const PayLine& line : Payroll(archive.preferences).calculate(archive, kLater)) {
      actual.push_back(line.wages.text() + " " + line.extras.text() + " " + line.withholding.text() + " " +
                       line.reimbursement.text() + " " + line.net().text());
    }
    EXPECT_EQ(actual, c.expected);
  }
}

TEST(CalculateTest, UnmeasurableEntriesGiveOneZeroLineAndMissingJobsNone) {
  Archive archive;
  archive.preferences.timeZone = "America/New_York";
  Job job = payJob();
  job.withholding = dec("20");
  job.mileageRate = dec("0.5");
  archive.jobs = {job};
  Entry future = payEntry("E0000000-0000-4000-8000-000000000001", kPayJob, "2026-03-04T15:00:00Z", std::nullopt);
  future.tips = dec("12.5");
  future.miles = 10;
  Entry orphan = payEntry("E0000000-0000-4000-8000-000000000002", kPayJob2, "2026-03-02T15:00:00Z", "2026-03-02T16:00:00Z");
  Entry backwards = payEntry("E0000000-0000-4000-8000-000000000003", kPayJob, "2026-03-02T15:00:00Z", "2026-03-02T14:00:00Z");
  archive.entries = {future, orphan, backwards};

  const std::vector<PayLine> lines = Payroll(archive.preferences).calculate(archive, at("2026-03-04T12:00:00Z"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].entryID, backwards.id);
  EXPECT_EQ(formatInternetDateTime(lines[0].day), "2026-03-02T05:00:00Z");
  EXPECT_EQ(lines[1].entryID, future.id);
  EXPECT_EQ(formatInternetDateTime(lines[1].day), "2026-03-04T05:00:00Z");
  EXPECT_EQ(lines[1].seconds(), 0);
  EXPECT_EQ(lines[1].wages, Decimal());
  EXPECT_EQ(lines[1].extras.text(), "12.5");
  EXPECT_EQ(lines[1].withholding.text(), "2.5");
  EXPECT_EQ(lines[1].reimbursement.text(), "5");
  EXPECT_EQ(lines[1].gross().text(), "12.5");
  EXPECT_EQ(lines[1].net().text(), "15");
}

TEST(CalculateTest, WagesKeepEveryDigitOfTheDivision) {
  Archive archive;
  archive.preferences.timeZone = "UTC";
  Job job = payJob();
  job.overtimeMultiplier = dec("1.5");
  job.dailyOvertime = 8;
  archive.jobs = {job};
  // 8 h regular, then 10 s of overtime: 10 / 3600 x 17.33 x 1.5.
  archive.entries = {payEntry("E0000000-0000-4000-8000-000000000001", kPayJob, "2026-03-02T08:00:00Z",
                              "2026-03-02T16:00:10Z", "17.33")};
  const std::vector<PayLine> lines = Payroll(archive.preferences).calculate(archive, kLater);
  ASSERT_EQ(lines.size(), 1u);
  // 8 x 17.33 + 10 / 3600 x 17.33 x 1.5, each step to 38 digits (Python's decimal agrees).
  EXPECT_EQ(lines[0].wages.text(), "138.71220833333333333333333333333333333");
}

TEST(PayLineTest, IdentifierIsTheEntryAndTheDayStartInShortestForm) {
  PayLine line;
  line.entryID = uuid("a1a1a1a1-0000-4000-8000-00000000000f");
  line.day = at("2026-03-02T05:00:00Z");
  EXPECT_EQ(line.id(), "A1A1A1A1-0000-4000-8000-00000000000F-1772427600.0");
  line.day = Instant::fromUnix(-86400);
  EXPECT_EQ(line.id(), "A1A1A1A1-0000-4000-8000-00000000000F--86400.0");
  line.day = Instant::fromUnix(1'000'000'000);  // a whole number printf's %g would shorten
  EXPECT_EQ(line.id(), "A1A1A1A1-0000-4000-8000-00000000000F-1000000000.0");
  EXPECT_EQ(shortestRoundTrip(0.1 + 0.2), "0.30000000000000004");
}

}  // namespace
}  // namespace pellam::testing
