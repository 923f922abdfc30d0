#include "agent/engine/dispatch.h"

#include "agent/engine/families.h"
#include "agent/wire/command_table.h"

namespace pellam::agent::engine {

Json run(const AgentRequest& request, Archive& archive, Instant now) {
  EntryJournal journal;
  return run(request, archive, now, journal);
}

bool journalsEntries(std::string_view command) {
  std::optional<CommandFamily> family = engineFamily(command);
  return family == CommandFamily::timer || family == CommandFamily::entries;
}

Json run(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal) {
  const std::string& name = request.command;
  std::optional<CommandFamily> family = engineFamily(name);
  if (!family) throw unknownCommand(name);
  switch (*family) {
    case CommandFamily::capabilities: return capabilities(request);
    case CommandFamily::jobs: return jobs(request, archive, now);
    case CommandFamily::entries: return entries(request, archive, now, journal);
    case CommandFamily::timer: return timer(request, archive, now, journal);
    case CommandFamily::preferences: return preferences(request, archive, now);
    case CommandFamily::tags: return tags(request, archive, now);
    case CommandFamily::filters: return filters(request, archive, now);
    case CommandFamily::reports: return reports(request, archive, now);
    case CommandFamily::exportRecords: return exportRecords(request, archive, now);
    case CommandFamily::importRecords: return importRecords(request, archive, now);
    case CommandFamily::app:
    case CommandFamily::ui:
    case CommandFamily::cloud:
    case CommandFamily::notifications:
    case CommandFamily::location:
    case CommandFamily::backups:
      break;  // the app's own; engineFamily never names them
  }
  throw unknownCommand(name);
}

AgentFailure unknownCommand(std::string_view name) {
  return AgentFailure::unknownCommand("Unknown command: " + std::string(name) +
                                      ". Run pellam capabilities or pellam help.");
}

}  // namespace pellam::agent::engine
