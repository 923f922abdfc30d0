#include "host/app_commands.h"

#include "agent/wire/command_table.h"

namespace pellam::host {

using agent::AgentFailure;

namespace {

std::string resultText(const Json& result) { return writeJson(result); }

}  // namespace

CommandOutcome AppCommands::run(const agent::AgentRequest& request) {
  agent::checkFixedArguments(request.command, request.arguments);
  const std::string& command = request.command;
  if (command == "app.status") return status();
  if (command == "app.lock") return setLocked(true, request.dryRun);
  if (command == "app.unlock") return setLocked(false, request.dryRun);
  if (command == "app.data-folder") {
    Json result = Json::object();
    result["path"] = folders_.data;
    return {resultText(result), false, std::nullopt, std::nullopt};
  }
  if (command == "backups.list") return listBackups(store_);
  if (command == "backups.preview") return previewBackup(store_, request);
  if (command == "backups.restore") return restoreBackup(store_, request);
  throw AgentFailure::appRequired(kAppRequiredMessage);
}

CommandOutcome AppCommands::status() {
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
