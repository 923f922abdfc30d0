#pragma once
// The CSV import: finished time entries merged into a copy of an archive. Rows are matched
// to jobs by exact name and currency (a missing job is created), rows already present (by
// entry id, or by job, start, end and comment) are skipped, and nothing existing changes.
#include <string>
#include <string_view>

#include "core/instant.h"
#include "core/records/records.h"

namespace pellam {

// What an import would produce: the whole archive, validated, and a one-sentence summary.
struct ImportPreview {
  Archive archive;
  std::string detail;
};

namespace CSV {

// `text` is valid UTF-8 (the caller checks). Throws DataError with the message of the
// first failing row (rows counted from the header as row 1, blank rows not counted), a
// JsonParseError or DecodingError for a bad tag list or break list, or the validation
// error of the merged archive. `archive` is never changed.
ImportPreview importFile(std::string_view text, const Archive& archive);

}  // namespace CSV
}  // namespace pellam
