#include "agent/engine/dispatch.h"

#include <string_view>

#include "agent/engine/families.h"

namespace pellam::agent::engine {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

Json run(const AgentRequest& request, Archive& archive, Instant now) {
  const std::string& name = request.command;
  if (name == "capabilities") return capabilities(request);
  if (startsWith(name, "jobs.")) return jobs(request, archive, now);
  if (startsWith(name, "entries.")) return entries(request, archive, now);
  if (startsWith(name, "timer.")) return timer(request, archive, now);
  if (startsWith(name, "preferences.")) return preferences(request, archive, now);
  if (startsWith(name, "tags.")) return tags(request, archive, now);
  if (startsWith(name, "filters.")) return filters(request, archive, now);
  if (startsWith(name, "reports.")) return reports(request, archive, now);
  if (name == "export") return exportRecords(request, archive, now);
  if (name == "import.preview" || name == "import.apply") return importRecords(request, archive, now);
  throw unknownCommand(name);
}

AgentFailure unknownCommand(std::string_view name) {
  return AgentFailure("unknown_command",
                      "Unknown command: " + std::string(name) + ". Run pellam capabilities or pellam help.", false);
}

}  // namespace pellam::agent::engine
