#pragma once
// The CSV text codec: comma between fields, a line break between records, the double quote
// for quoting. It knows nothing of columns or records. The double quote, the comma, CR and
// LF are recognised as code points, whatever precedes or follows them (a combining mark
// after a quote does not hide it), and the text between them is copied byte for byte: the
// rule of RFC 4180 and of every other CSV reader, so spreadsheets and Python's csv module
// read what `quote` writes exactly as `parse` does.
//
// Callers:
//  - the CSV export writes every field, header included, through `appendQuoted` (or
//    `quote`), joins fields with "," and ends every row, the last included, with "\r\n";
//  - the CSV import removes every U+FEFF first, then reads the whole text with `parse`;
//    the row numbers of its messages count the rows `parse` returns (dropped blank rows
//    are not counted). The text is expected to be valid UTF-8 (the import checks it).
#include <string>
#include <string_view>
#include <vector>

namespace pellam::CSV {

using Row = std::vector<std::string>;

// The value enclosed in double quotes, every double quote inside it doubled; nothing else
// changes (commas, line breaks and spaces stay inside the quotes). "" for an empty value.
std::string quote(std::string_view value);
void appendQuoted(std::string& out, std::string_view value);

// The rows of `text`. A line break is LF, CR or CR LF. Nothing is trimmed; rows whose
// fields are all empty (blank lines, lines of commas only) are dropped, so a final line
// break adds no row; rows may differ in length; a quote may open in the middle of a field
// (the text a"b," is the single field ab,). After a closing quote only a comma, a line
// break or the end may follow. Throws DataError, returning no rows, with
//  - "Unclosed quote in CSV." when the text ends inside a quoted section;
//  - "Unexpected text after a CSV quote." when anything else follows a closing quote.
// The first of the two met while reading decides.
std::vector<Row> parse(std::string_view text);

}  // namespace pellam::CSV
