#include "agent/engine/text_report.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "agent/engine/report_lines.h"
#include "agent/engine/report_totals.h"
#include "agent/engine/selection.h"
#include "core/payroll/payroll.h"

namespace pellam::agent::engine {

namespace {

// Seconds as hours with two decimals, always a point and never grouping, whatever the
// process locale.
void appendHours(std::string& out, double seconds) {
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, seconds / 3600, std::chars_format::fixed, 2);
  if (error != std::errc()) return;  // only beyond 10^60 hours
  out.append(text, end);
}

void appendMoney(std::string& out, std::string_view currency, const Decimal& amount) {
  out += currency;
  out += ' ';
  out += amount.text();
}

// A job's name on one row: line feeds, then carriage returns, become spaces.
void appendOneLine(std::string& out, std::string_view name) {
  for (char c : name) out += (c == '\n' || c == '\r') ? ' ' : c;
}

void appendBound(std::string& out, std::string_view label, const std::optional<Instant>& bound,
                 std::string_view unbounded) {
  out += label;
  out += bound ? formatInternetDateTime(*bound) : std::string(unbounded);
  out += '\n';
}

void appendTotals(std::string& out, std::string_view currency, const ReportTotals& totals) {
  out += "TOTAL ";
  out += currency;
  const std::pair<const char*, double> hours[] = {{"\nWorked hours: ", totals.worked},
                                                  {"\nRegular hours: ", totals.regular},
                                                  {"\nOvertime hours: ", totals.overtime},
                                                  {"\nDouble-time hours: ", totals.doubleTime}};
  for (const auto& [label, seconds] : hours) {
    out += label;
    appendHours(out, seconds);
  }
  const Decimal net = totals.net();
  const std::pair<const char*, const Decimal*> money[] = {{"\nGross: ", &totals.gross},
                                                          {"\nWithholding: ", &totals.withholding},
                                                          {"\nMileage reimbursement: ", &totals.reimbursement},
                                                          {"\nEstimated net including mileage: ", &net}};
  for (const auto& [label, amount] : money) {
    out += label;
    appendMoney(out, currency, *amount);
  }
  out += '\n';
}

}  // namespace

std::string formattedReport(const AgentRequest& request, const Archive& archive, Instant now) {
  return formattedReport(readSelection(request, archive, now), archive);
}

std::string formattedReport(const Selection& selection, const Archive& archive, ArchiveIndexes* indexes) {
  std::vector<PayLine> lines = reportLines(selection, archive, indexes);
  const Window& window = selection.window;
  const Instant now = selection.now;
  const ReportingCalendar calendar = reportingCalendar(archive.preferences);
  const JobsByID jobs(archive);

  // Each block ends with its line feed: blocks joined by one, and one more at the end.
  std::string out = "VANTRY \u2014 REPORT\nGenerated " + formatInternetDateTime(now) + "\nReporting timezone: " +
                    archive.preferences.timeZone + "\n";
  appendBound(out, "From: ", window.lower, "All history");
  appendBound(out, "Before: ", window.upper, "No upper bound");
  if (lines.empty()) {
    out += "\nNo payroll entries match this selection.\n";
    return out;
  }

  std::sort(lines.begin(), lines.end(), [](const PayLine& a, const PayLine& b) {
    if (a.day != b.day) return a.day < b.day;
    if (a.jobID != b.jobID) return a.jobID < b.jobID;  // byte order is upper-case text order
    return a.entryID < b.entryID;
  });
  std::map<std::string_view, std::vector<const PayLine*>> byCurrency;
  for (const PayLine& line : lines) byCurrency[jobs[line.jobID].currency].push_back(&line);

  for (const auto& [currency, group] : byCurrency) {
    out += '\n';
    out += currency;
    out += "\nDate | Job | Worked hours | Regular | Overtime | Double time | Gross | Estimated net including mileage\n";
    ReportTotals totals;
    for (const PayLine* line : group) {
      totals.add(*line);
      out += calendar.formatDay(line->day);
      out += " | ";
      appendOneLine(out, jobs[line->jobID].name);
      for (double seconds : {line->seconds(), line->regular, line->overtime, line->doubleTime}) {
        out += " | ";
        appendHours(out, seconds);
      }
      out += " | ";
      appendMoney(out, currency, line->gross());
      out += " | ";
      appendMoney(out, currency, line->net());
      out += '\n';
    }
    appendTotals(out, currency, totals);
  }
  return out;
}

}  // namespace pellam::agent::engine
