#pragma once
// Spreadsheet programs opening a CSV evaluate a cell that begins with =, +, -, @, a tab or a
// carriage return as a formula. The export writes such Job and Comment values with one
// leading single quote, the usual neutralising prefix, and the import takes exactly one away
// again, so every value round-trips:
//  - export: a value matching ^'*[=+\-@\t\r] gets one "'" in front;
//  - import: a cell matching ^'+[=+\-@\t\r] loses its first "'".
// Only a third-party cell of that exact shape changes on import.
#include <string>
#include <string_view>

namespace pellam::CSV {

// The value as the export writes it into a Job or Comment cell.
std::string withFormulaPrefix(std::string_view value);

// The Job or Comment cell as the import reads it (before the job name is trimmed).
std::string_view withoutFormulaPrefix(std::string_view cell);

}  // namespace pellam::CSV
