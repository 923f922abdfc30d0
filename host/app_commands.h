#pragma once
#include <string>

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

  CommandOutcome run(const agent::AgentRequest& request);

 private:
  CommandOutcome status();
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
