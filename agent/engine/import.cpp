// import.preview and import.apply: a JSON backup that replaces every record, or a CSV file of
// finished entries merged into them. Both compute the whole import on a copy; the preview
// token binds the input bytes, the format and the current records, so apply refuses to
// replace anything that changed since the preview.
#include <string>

#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "core/storage/archive_json.h"
#include "core/base64.h"
#include "core/exchange/csv_import.h"
#include "core/records/record_json.h"
#include "core/sha256.h"
#include "core/utf8.h"
#include "core/validation/validation.h"

namespace pellam::agent::engine {

namespace {

ImportPreview jsonImport(std::string_view bytes) {
  ImportPreview preview;
  preview.archive = decodeArchiveJson(bytes);
  validate(preview.archive);
  // Every date of the file enters the records here, so each must lie in the calendar; a
  // timer of the file keeps its original start, whatever its age.
  checkDatesWithinCalendar(preview.archive, kInvalidBackupDateMessage);
  std::size_t running = 0;
  for (const Entry& entry : preview.archive.entries) running += entry.isRunning() ? 1 : 0;
  preview.detail = "Replace all records with " + std::to_string(preview.archive.jobs.size()) + " jobs and " +
                   std::to_string(preview.archive.entries.size()) +
                   " entries. The app saves a local backup first. " + std::to_string(running) +
                   " running timers resume from their original starts.";
  return preview;
}

// The current archive's bytes are the data file's own encoding (the archive was validated
// before the command ran), so the same records always give the same token.
std::string previewToken(std::string_view format, const Archive& current, std::string_view bytes) {
  const std::string archiveJson = encodeArchiveJson(current);
  std::string input;
  input.reserve(archiveJson.size() + bytes.size() + format.size() + 20);
  input.append("pellam-import-v1").push_back('\0');
  input.append(format).push_back('\0');
  input.append(archiveJson).push_back('\0');
  input.append(bytes);
  return sha256Hex(input);
}

// Both compute the whole import; only apply, given the preview's token, keeps it.
Json importRecords(const AgentRequest& request, Archive& archive, bool apply) {
  const std::string& content = required("content", request);
  const std::string& format = required("format", request);

  const std::optional<std::string> bytes = base64Decode(content);
  if (!bytes || bytes->size() > AgentWire::maximumImportBytes) {
    throw AgentFailure::invalidArgument("The input must be base64 data of at most " +
                                        std::to_string(AgentWire::maximumImportBytes) + " bytes.");
  }
  ImportPreview preview;
  if (format == "json") {
    preview = jsonImport(*bytes);
  } else if (format == "csv") {
    if (!isValidUtf8(*bytes)) throw AgentFailure::invalidArgument("CSV must use UTF-8 encoding.");
    preview = CSV::importFile(*bytes, archive);
  } else {
    throw AgentFailure::invalidArgument("Imports support json and csv.");
  }

  const std::string token = previewToken(format, archive, *bytes);
  if (apply) {
    const std::string* given = argument(request, "preview");
    if (!given || *given != token) {
      throw AgentFailure::previewConflict(
          "The file or current records changed, or the preview token is missing. Run import preview "
          "again.");
    }
    validate(preview.archive);
  }

  Json result = Json::object();
  result["preview"] = token;
  result["detail"] = preview.detail;
  result["jobs"] = preview.archive.jobs.size();
  result["entries"] = preview.archive.entries.size();
  result["applied"] = apply && !request.dryRun;
  result["dryRun"] = request.dryRun;
  if (apply) archive = std::move(preview.archive);
  return result;
}

constexpr HandlerRow kImportHandlers[] = {
    {"import.preview", [](const CommandCall& c) { return importRecords(c.request, c.archive, false); }},
    {"import.apply", [](const CommandCall& c) { return importRecords(c.request, c.archive, true); }},
};

}  // namespace

const FamilyHandlers importFamily{kImportHandlers, std::nullopt};

}  // namespace pellam::agent::engine
