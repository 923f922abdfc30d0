#pragma once
// The worksheet part of the workbook: the row-1 freeze, one column width, and every row
// with its cells as inline strings, numbers (style 1) and dates (style 2).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/exchange/sheet_cell.h"

namespace pellam {

// "xl/worksheets/sheet1.xml" for `rows`; row N of the sheet is rows[N - 1], empty rows
// included.
std::string worksheetXml(const std::vector<SheetRow>& rows);
void appendWorksheetXml(std::string& out, const std::vector<SheetRow>& rows);

// About the size of that part, a little above for typical cells: room to reserve, so the
// megabytes of a large sheet are not copied while they grow.
std::size_t worksheetXmlSizeHint(const std::vector<SheetRow>& rows);

// The fewest bytes a row of `textCells` text cells and `otherCells` number or date cells can
// take in that part, whatever its values and position: what a sheet too large to send can be
// told by before it is built.
std::size_t worksheetRowLowerBound(std::size_t textCells, std::size_t otherCells);

// The column name of a zero-based index: 0 -> A, 25 -> Z, 26 -> AA, 701 -> ZZ, 702 -> AAA.
std::string columnName(std::size_t index);

// The most UTF-16 code units a spreadsheet program keeps in one cell.
inline constexpr std::size_t kMaximumCellUnits = 32767;

// Text for a `t` element: scalars below U+0020 other than tab, LF and CR are dropped, as are
// U+FFFE and U+FFFF (no XML document may hold them); invalid UTF-8 bytes become U+FFFD;
// & < > and " are written as entities, CR as the reference &#13; (XML readers turn a raw CR
// into LF); apostrophes stay. The text is cut after kMaximumCellUnits UTF-16 code units,
// between two characters (a character that would cross the limit is left out).
void appendEscapedText(std::string& out, std::string_view text);

// A date's serial day number: days since 1899-12-30 as a double, in shortest round-trip
// text, whole numbers with ".0" (2026-10-22T00:00:00Z gives "46317.0"). Throws DataError
// for an instant that is not finite.
std::string dateSerialText(Instant instant);

}  // namespace pellam
