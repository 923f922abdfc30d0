#include "agent/wire/catalogue.h"

#include <algorithm>
#include <map>

namespace pellam::agent::AgentCommands {

const std::vector<std::string>& supportedCommands() {
  static const std::vector<std::string> names = {
      "capabilities",    "jobs.list",       "jobs.show",       "jobs.create",     "jobs.update",
      "jobs.archive",    "jobs.copy",       "timer.status",    "timer.clock-in",  "timer.clock-out",
      "timer.break",     "timer.resume",    "entries.list",    "entries.show",    "entries.create",
      "entries.update",  "entries.copy",    "entries.delete",  "preferences.get", "preferences.set",
      "tags.list",       "tags.rename",     "tags.merge",      "tags.remove",     "filters.list",
      "filters.create",  "filters.update",  "filters.delete",  "reports.summary", "reports.daily",
      "reports.payperiod", "export",        "import.preview",  "import.apply"};
  return names;
}

const std::vector<std::string>& appCommands() {
  static const std::vector<std::string> names = {
      "app.status",     "app.show",         "app.settings",          "app.help",        "app.data-folder",
      "app.lock",       "app.unlock",       "ui.navigate",           "ui.edit-job",     "ui.edit-entry",
      "ui.dismiss",     "reports.print",    "cloud.status",          "cloud.enable",    "cloud.disable",
      "cloud.sync",     "notifications.status", "notifications.request", "location.status", "location.start",
      "location.stop",  "backups.list",     "backups.preview",       "backups.restore"};
  return names;
}

bool isSupportedCommand(std::string_view name) {
  const auto& names = supportedCommands();
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool isAppCommand(std::string_view name) {
  const auto& names = appCommands();
  return std::find(names.begin(), names.end(), name) != names.end();
}

const std::set<std::string>& appCommandArguments(std::string_view name) {
  static const std::map<std::string, std::set<std::string>, std::less<>> keys = {
      {"ui.navigate", {"screen", "id"}},
      {"ui.edit-job", {"id"}},
      {"ui.edit-entry", {"id"}},
      {"backups.preview", {"id"}},
      {"backups.restore", {"id", "preview"}},
      {"reports.print", {"job", "from", "through", "query", "tag", "range", "at"}},
  };
  static const std::set<std::string> none;
  auto found = keys.find(name);
  return found == keys.end() ? none : found->second;
}

}  // namespace pellam::agent::AgentCommands
