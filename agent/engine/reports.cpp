// reports.summary, reports.daily and reports.payperiod: hours and money of the selected
// pay lines per currency; the daily report adds one group per day and job. The pay-period
// report always covers the pay period of its `job` around `now` (or `at`).
#include <map>
#include <string>
#include <tuple>

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

Json report(const AgentRequest& request, const Archive& archive, Instant now, bool daily) {
  const std::vector<PayLine> lines = reportLines(request, archive, now);
  const Window window = bounds(request, archive, now);
  const JobsByID jobs(archive);

  std::map<std::string_view, ReportTotals> byCurrency;  // plain text order of the codes
  // (day, job): days ascending, then identifiers in the order of their upper-case text.
  std::map<std::tuple<Instant, Uuid>, ReportTotals> byDayAndJob;
  double worked = 0;
  for (const PayLine& line : lines) {
    byCurrency[jobs[line.jobID].currency].add(line);
    if (daily) byDayAndJob[{line.day, line.jobID}].add(line);
    worked += line.seconds();
  }

  Json result = Json::object();
  Json::Array currencies;
  for (const auto& [currency, totals] : byCurrency) currencies.push_back(totals.toJson(currency));
  result["currencies"] = std::move(currencies);
  result["workedSeconds"] = worked;
  result["timeZone"] = archive.preferences.timeZone;
  result["weekStartsOn"] = archive.preferences.weekStartsOn;
  result["from"] = instantOrNull(window.lower);
  result["before"] = instantOrNull(window.upper);
  if (daily) {
    Json::Array days;
    for (const auto& [key, totals] : byDayAndJob) {
      const auto& [day, jobID] = key;
      const Job& job = jobs[jobID];
      Json group = totals.toJson(job.currency);
      group["day"] = formatInternetDateTime(day);
      group["jobID"] = job.id.text();
      group["job"] = job.name;
      days.push_back(std::move(group));
    }
    result["days"] = std::move(days);
  }
  return result;
}

}  // namespace

Json reports(const AgentRequest& request, Archive& archive, Instant now) {
  const std::string& command = request.command;
  const bool daily = command == "reports.daily";
  if (!daily && command != "reports.summary" && command != "reports.payperiod") {
    throw AgentFailure::invalidArgument("Unknown reports operation.");
  }
  static const ArgumentNames allowed{selectionKeys, {"at"}};
  checkArguments(request, allowed);
  return report(request, archive, reportTime(request, now), daily);
}

}  // namespace pellam::agent::engine
