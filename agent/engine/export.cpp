// export: the archive or a selection of it as the bytes of a file, carried in the result
// as Base64 with their length and SHA-256. Formats: json (the whole archive as the archive
// file holds it; the default), csv (the selected finished entries), xlsx (the selected pay
// lines) and txt, or text (the text report). The engine never writes a file; the front
// end does.
#include <algorithm>
#include <string>
#include <vector>

#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "agent/engine/report_lines.h"
#include "agent/engine/selection.h"
#include "agent/engine/text_report.h"
#include "agent/wire/failure_messages.h"
#include "agent/wire/wire.h"
#include "core/storage/archive_json.h"
#include "core/base64.h"
#include "core/exchange/csv_entry_export.h"
#include "core/exchange/worksheet_xml.h"
#include "core/exchange/xlsx_writer.h"
#include "core/calendar/reporting_calendar.h"
#include "core/sha256.h"

namespace pellam::agent::engine {

namespace {

struct ExportFile {
  std::string_view filename;
  std::string_view mimeType;
  std::string bytes;
};

// An answer carries its file in Base64 inside the result, which it carries in Base64 again:
// the least it can weigh with a file of `fileBytes` bytes or more. When even that is past
// what an answer may be, nothing more is built (a 100k workbook would be hundreds of MB).
void refuseUnsendableFile(std::size_t fileBytes) {
  if (base64Length(base64Length(fileBytes)) > AgentWire::maximumResponseBytes) {
    throw AgentFailure::responseTooLarge(kResponseTooLargeMessage);
  }
}

Decimal hoursOf(double seconds) { return Decimal::fromDouble(seconds).value_or(Decimal()) / Decimal(3600); }

// One row per pay line, by day and then job; the date cell shows the line's calendar day
// in the reporting zone.
std::string payLineWorkbook(const Selection& selection, const Archive& archive, ArchiveIndexes* indexes) {
  std::vector<PayLine> lines = reportLines(selection, archive, indexes);
  // Before the sort and the rows take memory: a row a line (a date, two
  // texts, eight numbers), and the titles, which weigh more.
  refuseUnsendableFile(worksheetRowLowerBound(2, 9) * (lines.size() + 1));
  std::stable_sort(lines.begin(), lines.end(), [](const PayLine& a, const PayLine& b) {
    if (a.day != b.day) return a.day < b.day;
    return a.jobID < b.jobID;  // byte order is upper-case text order
  });
  const ReportingCalendar calendar = reportingCalendar(archive.preferences);
  const JobsByID jobs(archive);

  std::vector<SheetRow> rows;
  rows.reserve(lines.size() + 1);
  SheetRow& titles = rows.emplace_back();
  for (const char* title : {"Date", "Job", "Currency", "Hours", "Regular hours", "Overtime hours", "Double-time hours",
                            "Gross", "Withholding", "Mileage", "Net"}) {
    titles.push_back(SheetCell::text(title));
  }
  for (const PayLine& line : lines) {
    const Job& job = jobs[line.jobID];
    // A date cell shows the UTC day of its instant: 00:00 UTC of the local day.
    const date::sys_days day{calendar.localDate(line.day)};
    const Decimal gross = line.gross();
    rows.push_back({SheetCell::date(Instant::fromUnix(double(day.time_since_epoch().count()) * 86400)),
                    SheetCell::text(job.name), SheetCell::text(job.currency),
                    SheetCell::number(hoursOf(line.seconds())), SheetCell::number(hoursOf(line.regular)),
                    SheetCell::number(hoursOf(line.overtime)), SheetCell::number(hoursOf(line.doubleTime)),
                    SheetCell::number(gross), SheetCell::number(line.withholding),
                    SheetCell::number(line.reimbursement),
                    SheetCell::number(gross - line.withholding + line.reimbursement)});
  }
  return Spreadsheet::xlsx(rows);
}

ExportFile build(const AgentRequest& request, const Archive& archive, Instant now, ArchiveIndexes* indexes) {
  const std::string* formatText = argument(request, "format");
  const std::string_view format = formatText ? std::string_view(*formatText) : std::string_view("json");
  if (format == "json") {
    for (std::string_view key : selectionKeys) {
      if (argument(request, key)) {
        throw AgentFailure::invalidArgument("JSON exports are complete backups. Use CSV or XLSX for a filtered export.");
      }
    }
    return {"Vantry Backup.json", "application/json", encodeArchiveJson(archive)};
  }
  if (format == "csv") {
    const Selection selection = readSelection(request, archive, now);
    return {"Vantry Entries.csv", "text/csv", CSV::exportEntries(archive, selectedEntries(selection, archive, indexes))};
  }
  if (format == "xlsx") {
    return {"Vantry Report.xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
            payLineWorkbook(readSelection(request, archive, now), archive, indexes)};
  }
  if (format == "txt" || format == "text") {
    return {"Vantry Report.txt", "text/plain; charset=utf-8", formattedReport(readSelection(request, archive, now), archive, indexes)};
  }
  throw AgentFailure::invalidArgument("--format must be json, csv, xlsx, or txt (text is an alias).");
}

Json exportRecords(const CommandCall& call) {
  const AgentRequest& request = call.request;
  const Archive& archive = call.archive;
  const ExportFile file = build(request, archive, reportTime(request, call.now), call.indexes);
  refuseUnsendableFile(file.bytes.size());

  Json result = Json::object();
  result["filename"] = file.filename;
  result["mimeType"] = file.mimeType;
  result["bytes"] = file.bytes.size();
  result["base64"] = base64Encode(file.bytes);
  result["sha256"] = sha256Hex(file.bytes);
  return result;
}

constexpr HandlerRow kExportHandlers[] = {{"export", exportRecords}};

}  // namespace

const FamilyHandlers exportFamily{kExportHandlers, std::nullopt};

}  // namespace pellam::agent::engine
