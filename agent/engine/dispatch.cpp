#include "agent/engine/dispatch.h"

#include <utility>
#include <vector>

#include "agent/engine/families.h"

namespace pellam::agent::engine {

namespace {

constexpr std::pair<CommandFamily, const FamilyHandlers*> kFamilies[] = {
    {CommandFamily::capabilities, &capabilitiesFamily}, {CommandFamily::jobs, &jobsFamily},
    {CommandFamily::entries, &entriesFamily},           {CommandFamily::timer, &timerFamily},
    {CommandFamily::preferences, &preferencesFamily},   {CommandFamily::tags, &tagsFamily},
    {CommandFamily::filters, &filtersFamily},           {CommandFamily::reports, &reportsFamily},
    {CommandFamily::exportRecords, &exportFamily},      {CommandFamily::importRecords, &importFamily},
};

const FamilyHandlers* familyOf(CommandFamily family) {
  for (const auto& [owner, handlers] : kFamilies) {
    if (owner == family) return handlers;
  }
  return nullptr;
}

// The handler of each row, by the row's position in the table; built once.
const std::vector<CommandHandler>& handlersByRow() {
  static const std::vector<CommandHandler> byRow = [] {
    std::vector<CommandHandler> handlers(commandTable().size(), nullptr);
    for (const auto& [family, table] : kFamilies) {
      for (const HandlerRow& handler : table->handlers) {
        const CommandRow* row = findCommand(handler.command);
        // A handler without an engine row is never reached (a test holds the two together).
        if (row != nullptr && row->performer == Performer::engine) handlers[rowIndex(*row)] = handler.handler;
      }
    }
    return handlers;
  }();
  return byRow;
}

}  // namespace

CommandHandler handlerFor(const CommandRow& row) { return handlersByRow()[rowIndex(row)]; }

std::span<const FamilyHandlers* const> familyHandlers() {
  static const std::vector<const FamilyHandlers*> all = [] {
    std::vector<const FamilyHandlers*> tables;
    for (const auto& [family, table] : kFamilies) tables.push_back(table);
    return tables;
  }();
  return all;
}

bool journalsEntries(const CommandRow* row) {
  return row != nullptr && row->performer == Performer::engine &&
         (row->family == CommandFamily::timer || row->family == CommandFamily::entries);
}

Json run(const AgentRequest& request, Archive& archive, Instant now) {
  EntryJournal journal;
  return run(request, findCommand(request.command), archive, now, journal);
}

Json run(const AgentRequest& request, const CommandRow* row, Archive& archive, Instant now, EntryJournal& journal,
         ArchiveIndexes* indexes) {
  if (row != nullptr) {
    if (CommandHandler handler = handlerFor(*row)) {
      checkArguments(*row, request.arguments);
      // What is kept stands for the archive as it was; a command that changes it reads none.
      return handler(CommandCall{request, archive, now, journal, row->readOnly ? indexes : nullptr});
    }
  }
  // Not an engine command: a family that owns the name's prefix refuses it in its own words.
  if (std::optional<CommandFamily> family = engineFamily(request.command)) {
    const FamilyHandlers* handlers = familyOf(*family);
    if (handlers != nullptr && handlers->unknownOperation) {
      throw AgentFailure::invalidArgument(std::string(*handlers->unknownOperation));
    }
  }
  throw unknownCommand(request.command);
}

AgentFailure unknownCommand(std::string_view name) {
  return AgentFailure::unknownCommand("Unknown command: " + std::string(name) +
                                      ". Run pellam capabilities or pellam help.");
}

}  // namespace pellam::agent::engine
