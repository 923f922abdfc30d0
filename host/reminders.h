#pragma once
// The daily reminders of the preferences, shown as desktop notifications by the host.
#include <functional>
#include <memory>
#include <string>

#include "core/file_system.h"
#include "core/instant.h"
#include "host/archive_store.h"
#include "host/desktop_notifications.h"
#include "host/reminder_schedule.h"

namespace pellam::host {

// What a reminder says.
inline constexpr const char* kReminderSummary = "Time to clock in";
inline constexpr const char* kReminderBody = "No Vantry timer is running. Start one with: vantry timer clock-in JOB";

class Reminders {
 public:
  using Clock = std::function<Instant()>;

  // `memoryPath` keeps the last reminder found due across restarts (AgentAPI/reminders.json).
  Reminders(DesktopNotifications::Log log, std::shared_ptr<FileSystem> fs, std::string memoryPath,
            Clock clock = Instant::now);

  // Asked by the request loop about once a second, with the lock state of the moment. Reads
  // the preferences as they are now (a command, a restore, an import or an edit of the data
  // file changes them at once) and shows a reminder that fell due, unless the host is
  // locked or a timer runs. A data file that cannot be read reminds of nothing.
  void check(ArchiveStore& store, bool locked);

 private:
  void remember(Instant due);

  DesktopNotifications::Log log_;
  std::shared_ptr<FileSystem> fs_;
  std::string memoryPath_;
  Clock clock_;
  ReminderSchedule schedule_;
  DesktopNotifications notifications_;
};

// The last reminder kept in `path`; nothing when there is none or it cannot be read.
std::optional<Instant> rememberedReminder(FileSystem& fs, const std::string& path);

}  // namespace pellam::host
