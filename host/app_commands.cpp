#include "host/app_commands.h"

#include <vector>

namespace pellam::host {

using agent::AgentFailure;

namespace {

std::string resultText(const Json& result) { return writeJson(result); }

}  // namespace

std::span<const AppCommands::HandlerRow> AppCommands::handlers() {
  static constexpr HandlerRow kHandlers[] = {
      {"app.status", &AppCommands::status},
      {"app.show", &AppCommands::appRequired},
      {"app.settings", &AppCommands::appRequired},
      {"app.help", &AppCommands::appRequired},
      {"app.data-folder", &AppCommands::dataFolder},
      {"app.lock", &AppCommands::lock},
      {"app.unlock", &AppCommands::unlock},
      {"ui.navigate", &AppCommands::appRequired},
      {"ui.edit-job", &AppCommands::appRequired},
      {"ui.edit-entry", &AppCommands::appRequired},
      {"ui.dismiss", &AppCommands::appRequired},
      {"reports.print", &AppCommands::appRequired},
      {"cloud.status", &AppCommands::appRequired},
      {"cloud.enable", &AppCommands::appRequired},
      {"cloud.disable", &AppCommands::appRequired},
      {"cloud.sync", &AppCommands::appRequired},
      {"notifications.status", &AppCommands::appRequired},
      {"notifications.request", &AppCommands::appRequired},
      {"location.status", &AppCommands::appRequired},
      {"location.start", &AppCommands::appRequired},
      {"location.stop", &AppCommands::appRequired},
      {"backups.list", &AppCommands::backupList},
      {"backups.preview", &AppCommands::backupPreview},
      {"backups.restore", &AppCommands::backupRestore},
  };
  return kHandlers;
}

CommandOutcome AppCommands::run(const agent::AgentRequest& request, const agent::CommandRow& row) {
  // The handler of each row, by the row's position in the table; built once.
  static const std::vector<Handler> byRow = [] {
    std::vector<Handler> all(agent::commandTable().size(), nullptr);
    for (const HandlerRow& handler : handlers()) {
      if (const agent::CommandRow* found = agent::findCommand(handler.command)) {
        all[agent::rowIndex(*found)] = handler.handler;
      }
    }
    return all;
  }();
  agent::checkArguments(row, request.arguments);
  Handler handler = byRow[agent::rowIndex(row)];
  // A row without a handler (a test holds them together) needs the app.
  return handler != nullptr ? (this->*handler)(request) : appRequired(request);
}

CommandOutcome AppCommands::appRequired(const agent::AgentRequest&) {
  throw AgentFailure::appRequired(kAppRequiredMessage);
}

CommandOutcome AppCommands::lock(const agent::AgentRequest& request) { return setLocked(true, request.dryRun); }

CommandOutcome AppCommands::unlock(const agent::AgentRequest& request) { return setLocked(false, request.dryRun); }

CommandOutcome AppCommands::dataFolder(const agent::AgentRequest&) {
  Json result = Json::object();
  result["path"] = folders_.data;
  return {resultText(result), false, std::nullopt, std::nullopt};
}

CommandOutcome AppCommands::backupList(const agent::AgentRequest&) { return listBackups(store_); }

CommandOutcome AppCommands::backupPreview(const agent::AgentRequest& request) { return previewBackup(store_, request); }

CommandOutcome AppCommands::backupRestore(const agent::AgentRequest& request) { return restoreBackup(store_, request); }

CommandOutcome AppCommands::status(const agent::AgentRequest&) {
  Json result = Json::object();
  result["appVersion"] = kHostAppVersion;
  result["dataDirectory"] = folders_.data;
  result["enabled"] = true;
  result["locked"] = heartbeat_.locked();
  std::string dataFile = "readable";
  try {
    store_.current();
    if (!store_.dataFileExists()) dataFile = "absent";
  } catch (const AgentFailure&) {
    dataFile = "unreadable";
  }
  result["dataFile"] = dataFile;
  return {resultText(result), false, std::nullopt, std::nullopt};
}

bool locksOnLaunch(ArchiveStore& store) {
  try {
    return store.current().preferences.lockOnLaunch;
  } catch (const std::exception&) {
    return false;
  }
}

CommandOutcome AppCommands::setLocked(bool locked, bool dryRun) {
  if (!dryRun) heartbeat_.setLocked(locked);
  Json result = Json::object();
  result["locked"] = locked;
  result["dryRun"] = dryRun;
  return {resultText(result), false, std::nullopt, std::nullopt};
}

}  // namespace pellam::host
