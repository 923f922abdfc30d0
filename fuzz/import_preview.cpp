// import.preview through the engine's execute, against a small fixed archive: the first byte
// picks the format (even: csv, odd: json), the rest is the file. Oracles: a preview that
// succeeds can be applied with its token; an applied JSON backup holds exactly the records
// the file decodes to; a CSV applied once adds nothing when imported again.
#include "agent/engine/execute.h"
#include "core/storage/archive_json.h"
#include "core/base64.h"
#include "core/data_error.h"
#include "core/uuid.h"
#include "core/validation/validation.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace pellam;
using agent::AgentExecution;
using agent::AgentRequest;
using fuzz::check;

Uuid uuid(const char* text) { return *Uuid::parse(text); }

// Two jobs, a finished entry with a break and tags, and a running entry.
const Archive& fixedArchive() {
  static const Archive archive = [] {
    Archive archive;
    archive.preferences.timeZone = "America/New_York";
    Job acme;
    acme.id = uuid("11111111-1111-4111-8111-111111111111");
    acme.name = "Acme";
    acme.rate = 20;
    acme.payAnchor = fuzz::kNow;
    Job beta = acme;
    beta.id = uuid("22222222-2222-4222-8222-222222222222");
    beta.name = "Beta";
    beta.currency = "EUR";
    Entry done;
    done.id = uuid("A1A1A1A1-0000-4000-8000-000000000001");
    done.jobID = acme.id;
    done.start = Instant{fuzz::kNow.seconds - 86400};
    done.end = Instant{done.start.seconds + 8 * 3600};
    done.rate = 20;
    done.comment = "Inventory";
    done.tags = {"store", "count"};
    TimePause lunch;
    lunch.id = uuid("B1B1B1B1-0000-4000-8000-000000000001");
    lunch.start = Instant{done.start.seconds + 4 * 3600};
    lunch.end = Instant{lunch.start.seconds + 1800};
    done.pauses = {lunch};
    Entry running = done;
    running.id = uuid("A1A1A1A1-0000-4000-8000-000000000002");
    running.jobID = beta.id;
    running.start = Instant{fuzz::kNow.seconds - 3600};
    running.end.reset();
    running.pauses.clear();
    archive.jobs = {acme, beta};
    archive.entries = {done, running};
    try {
      validate(archive);
    } catch (const DataError& error) {
      fuzz::fail(std::string("the fixed archive is invalid: ") + error.what());
    }
    return archive;
  }();
  return archive;
}

AgentRequest importRequest(const std::string& command, const std::string& content, const std::string& format) {
  AgentRequest request;
  request.id = uuid("0E0E0E0E-0000-4000-8000-00000000000E");
  request.createdAt = fuzz::kNow;
  request.command = command;
  request.arguments = {{"content", content}, {"format", format}};
  return request;
}

// The preview of `content` against `archive`; nothing when the engine refuses it.
std::optional<Json> preview(const std::string& content, const std::string& format, const Archive& archive) {
  try {
    return parseJson(agent::AgentCommands::execute(importRequest("import.preview", content, format), archive,
                                                   fuzz::kNow)
                         .result);
  } catch (const agent::AgentFailure&) {
  } catch (const DataError&) {
  } catch (const JsonParseError&) {
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string format = data[0] % 2 == 0 ? "csv" : "json";
  const std::string_view file = fuzz::text(data + 1, size - 1);
  const std::string content = base64Encode(file);

  const std::optional<Json> previewed = preview(content, format, fixedArchive());
  if (!previewed) return 0;

  AgentRequest apply = importRequest("import.apply", content, format);
  apply.arguments["preview"] = previewed->find("preview")->asString();
  AgentExecution applied;
  try {
    applied = agent::AgentCommands::execute(apply, fixedArchive(), fuzz::kNow);
  } catch (const std::exception& error) {
    fuzz::fail(std::string("a previewed import does not apply: ") + error.what());
  }
  const Json result = parseJson(applied.result);
  check(result.find("jobs")->asInt64() == static_cast<std::int64_t>(applied.archive.jobs.size()) &&
            result.find("entries")->asInt64() == static_cast<std::int64_t>(applied.archive.entries.size()),
        "the applied archive's counts differ from the result's");
  check(*previewed->find("jobs") == *result.find("jobs") && *previewed->find("entries") == *result.find("entries"),
        "apply counts differ from the preview's");

  if (format == "json") {
    check(applied.archive == decodeArchiveJson(file), "the applied backup differs from the file's records");
  } else {
    const std::optional<Json> again = preview(content, format, applied.archive);
    check(again.has_value(), "a CSV that was applied is refused the second time");
    check(again->find("detail")->asString().starts_with("Add 0 entries and 0 jobs."),
          "a CSV applied once adds records again: " + again->find("detail")->asString());
  }
  return 0;
}
