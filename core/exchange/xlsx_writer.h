#pragma once
// The XLSX file of a table: a minimal Office Open XML workbook with one worksheet named
// "Vantry Report", inline strings, row 1 frozen, columns 22 characters wide, numbers shown
// with two decimals and thousands separators (built-in format 4) and dates in the short
// date format (built-in format 14). Nothing is compressed and nothing carries a time
// stamp, so the same rows always give the same bytes.
//
// The package holds, in this order: "[Content_Types].xml", "_rels/.rels",
// "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/styles.xml" and
// "xl/worksheets/sheet1.xml", each a UTF-8 text without byte order mark or line breaks.
//
// Caller: the XLSX export puts its column titles in row 1 as text cells, then one row per
// pay line, for example
//   const auto ymd = calendar.localDate(line.day);  // the day as the user sees it
//   row = {SheetCell::date(Instant::fromUnix(date::sys_days(ymd).time_since_epoch().count() * 86400.0)),
//          SheetCell::text(job.name), SheetCell::text(job.currency),
//          SheetCell::number(Decimal::fromDouble(seconds).value() / Decimal(3600)), ...};
// so the sheet shows the local calendar day (a date cell shows the UTC day of its instant).
// Rows may differ in length; an empty table is a valid workbook. Text keeps tabs, line
// feeds and carriage returns (XML readers turn a carriage return into a line feed).
#include <string>
#include <vector>

#include "core/exchange/sheet_cell.h"

namespace pellam::Spreadsheet {

// The bytes of the .xlsx file. Fails (DataError) only beyond the ZIP container's 4 GiB
// limits or for a date that is not a finite time.
std::string xlsx(const std::vector<SheetRow>& rows);

}  // namespace pellam::Spreadsheet
