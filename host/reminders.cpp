#include "host/reminders.h"

#include <algorithm>

namespace pellam::host {

Reminders::Reminders(DesktopNotifications::Log log, Clock clock)
    : clock_(std::move(clock)), notifications_(std::move(log)) {}

void Reminders::check(ArchiveStore& store, bool locked) {
  const Archive* archive = nullptr;
  try {
    archive = &store.current();
  } catch (const std::exception&) {
    return;  // the requests report it
  }
  auto mayRemind = [&] {
    // Someone clocked in needs no reminder to clock in.
    return !locked && std::none_of(archive->entries.begin(), archive->entries.end(),
                                   [](const Entry& entry) { return entry.isRunning(); });
  };
  if (schedule_.due(archive->preferences, clock_(), mayRemind)) {
    notifications_.show({kReminderSummary, kReminderBody});
  }
}

}  // namespace pellam::host
