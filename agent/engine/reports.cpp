// reports.summary, reports.daily and reports.payperiod: hours and money of the selected
// pay lines per currency; the daily report adds one group per day and job. The pay-period
// report always covers the pay period of its `job` around `now` (or `at`).
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "agent/engine/report_lines.h"
#include "agent/engine/report_totals.h"
#include "agent/engine/selection.h"

namespace pellam::agent::engine {

namespace {

Json instantOrNull(const std::optional<Instant>& instant) {
  return instant ? Json(formatInternetDateTime(*instant)) : Json();
}

// One group of the daily report: the totals of one job on one day.
struct DayGroup {
  Uuid jobID;
  ReportTotals totals;
};

Json dayGroup(const std::string& day, const Job& job, const ReportTotals& totals) {
  Json group = totals.toJson(job.currency);
  Json::Object& members = group.asObject();
  members.emplace("day", day);
  members.emplace("job", job.name);
  members.emplace("jobID", job.id.text());
  return group;
}

// Groups by (day, job), days ascending, then job identifiers in the order of their
// upper-case text. Payroll orders its lines by day, so each day's lines come together.
Json::Array days(const std::vector<PayLine>& lines, const JobsByID& jobs) {
  Json::Array days;
  std::vector<DayGroup> groups;
  for (std::size_t i = 0; i < lines.size();) {
    const Instant day = lines[i].day;
    groups.clear();
    for (; i < lines.size() && lines[i].day == day; ++i) {
      const PayLine& line = lines[i];
      auto group = std::find_if(groups.begin(), groups.end(), [&](const DayGroup& g) { return g.jobID == line.jobID; });
      if (group == groups.end()) group = groups.insert(groups.end(), DayGroup{line.jobID, {}});
      group->totals.add(line);
    }
    std::sort(groups.begin(), groups.end(), [](const DayGroup& a, const DayGroup& b) { return a.jobID < b.jobID; });
    const std::string dayText = formatInternetDateTime(day);
    for (const DayGroup& group : groups) days.push_back(dayGroup(dayText, jobs[group.jobID], group.totals));
  }
  return days;
}

Json report(const CommandCall& call, bool daily) {
  const Archive& archive = call.archive;
  const Selection selection = readSelection(call.request, archive, reportTime(call.request, call.now));
  const std::vector<PayLine> lines = reportLines(selection, archive, call.indexes);
  const Window& window = selection.window;
  const JobsByID jobs(archive);

  std::map<std::string_view, ReportTotals> byCurrency;  // plain text order of the codes
  double worked = 0;
  const Uuid* lastJob = nullptr;
  ReportTotals* totals = nullptr;
  for (const PayLine& line : lines) {
    if (!lastJob || *lastJob != line.jobID) {  // lines of one job often follow each other
      lastJob = &line.jobID;
      totals = &byCurrency[jobs[line.jobID].currency];
    }
    totals->add(line);
    worked += line.seconds();
  }

  Json result = Json::object();
  Json::Array currencies;
  for (const auto& [currency, sums] : byCurrency) currencies.push_back(sums.toJson(currency));
  result["currencies"] = std::move(currencies);
  result["workedSeconds"] = worked;
  result["timeZone"] = archive.preferences.timeZone;
  result["weekStartsOn"] = archive.preferences.weekStartsOn;
  result["from"] = instantOrNull(window.lower);
  result["before"] = instantOrNull(window.upper);
  if (daily) result["days"] = days(lines, jobs);
  return result;
}

// The summary and the pay-period report differ only in the range they select.
Json totalsReport(const CommandCall& c) { return report(c, false); }
Json dailyReport(const CommandCall& c) { return report(c, true); }

constexpr HandlerRow kReportsHandlers[] = {
    {"reports.summary", totalsReport},
    {"reports.daily", dailyReport},
    {"reports.payperiod", totalsReport},
};

}  // namespace

const FamilyHandlers reportsFamily{kReportsHandlers, "Unknown reports operation."};

}  // namespace pellam::agent::engine
