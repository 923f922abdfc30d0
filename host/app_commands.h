#pragma once
#include <span>
#include <string>
#include <string_view>

#include "agent/wire/command_table.h"
#include "agent/wire/wire.h"
#include "host/agent_folders.h"
#include "host/archive_store.h"
#include "host/command_outcome.h"
#include "host/heartbeat.h"

namespace pellam::host {

// The message of app_required, the failure of every app command that needs a screen, the
// cloud, notifications or location, which only the desktop app has.
inline constexpr const char* kAppRequiredMessage =
    "This command needs the Vantry desktop app; vantry-host has no screen, cloud, notifications or location.";

// The app commands the host carries out itself: app.status, app.lock, app.unlock,
// app.data-folder and the three backups commands. Every other app command fails with
// app_required. Throws AgentFailure.
class AppCommands {
 public:
  AppCommands(const AgentFolders& folders, ArchiveStore& store, Heartbeat& heartbeat)
      : folders_(folders), store_(store), heartbeat_(heartbeat) {}

  // Runs the app command of `row` (the request's row in the command table), refusing
  // arguments the row does not list first.
  CommandOutcome run(const agent::AgentRequest& request, const agent::CommandRow& row);

  using Handler = CommandOutcome (AppCommands::*)(const agent::AgentRequest& request);
  struct HandlerRow {
    std::string_view command;
    Handler handler;
  };
  // One handler for each app command of the command table (app_required where the host
  // cannot do what the desktop app does).
  static std::span<const HandlerRow> handlers();

 private:
  CommandOutcome status(const agent::AgentRequest& request);
  CommandOutcome lock(const agent::AgentRequest& request);
  CommandOutcome unlock(const agent::AgentRequest& request);
  CommandOutcome dataFolder(const agent::AgentRequest& request);
  CommandOutcome backupList(const agent::AgentRequest& request);
  CommandOutcome backupPreview(const agent::AgentRequest& request);
  CommandOutcome backupRestore(const agent::AgentRequest& request);
  CommandOutcome appRequired(const agent::AgentRequest& request);
  CommandOutcome setLocked(bool locked, bool dryRun);

  const AgentFolders& folders_;
  ArchiveStore& store_;
  Heartbeat& heartbeat_;
};

// Whether the host starts locked by the preferences, as the app locks when launched: true when
// pellam.json is readable and its lockOnLaunch is on; an absent or unreadable file does not
// lock (the user must be able to restore a backup).
bool locksOnLaunch(ArchiveStore& store);

// backups.list, backups.preview, backups.restore (host/backup_commands.cpp).
CommandOutcome listBackups(ArchiveStore& store);
CommandOutcome previewBackup(ArchiveStore& store, const agent::AgentRequest& request);
CommandOutcome restoreBackup(ArchiveStore& store, const agent::AgentRequest& request);

}  // namespace pellam::host
