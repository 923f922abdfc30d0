#include "agent/wire/catalogue.h"

#include "agent/wire/command_table.h"

namespace pellam::agent::AgentCommands {

namespace {

std::vector<std::string> namesOf(Performer performer) {
  std::vector<std::string> names;
  for (const CommandRow& row : commandTable()) {
    if (row.performer == performer) names.emplace_back(row.name);
  }
  return names;
}

bool performedBy(std::string_view name, Performer performer) {
  const CommandRow* row = findCommand(name);
  return row != nullptr && row->performer == performer;
}

}  // namespace

const std::vector<std::string>& supportedCommands() {
  static const std::vector<std::string> names = namesOf(Performer::engine);
  return names;
}

const std::vector<std::string>& appCommands() {
  static const std::vector<std::string> names = namesOf(Performer::app);
  return names;
}

bool isSupportedCommand(std::string_view name) { return performedBy(name, Performer::engine); }

bool isAppCommand(std::string_view name) { return performedBy(name, Performer::app); }

}  // namespace pellam::agent::AgentCommands
