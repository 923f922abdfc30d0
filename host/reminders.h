#pragma once
// The daily reminders of the preferences, shown as desktop notifications by the host.
#include <functional>

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

  Reminders(DesktopNotifications::Log log, Clock clock = Instant::now);

  // Asked by the request loop about once a second, with the lock state of the moment. Reads
  // the preferences as they are now (a command, a restore, an import or an edit of the data
  // file changes them at once) and shows a reminder that fell due, unless the host is
  // locked or a timer runs. A data file that cannot be read reminds of nothing.
  void check(ArchiveStore& store, bool locked);

 private:
  Clock clock_;
  ReminderSchedule schedule_;
  DesktopNotifications notifications_;
};

}  // namespace pellam::host
