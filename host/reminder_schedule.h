#pragma once
// When the daily reminders of the preferences fall: on each chosen weekday, at the chosen hour
// and minute in the reporting time zone. Pure functions of the preferences and the moment
// asked about, plus the one piece of memory a host needs so that each reminder is shown once.
#include <functional>
#include <optional>

#include "core/instant.h"
#include "core/records/records.h"

namespace pellam::host {

// A reminder older than this when the host first sees it (after a suspend, a clock jump, a
// host that was not running) is skipped: a burst of stale reminders helps nobody.
inline constexpr double kReminderFreshSeconds = 3600;

// The first reminder instant strictly after `after`; none when reminders are off or no
// weekday is chosen. Weekdays count 1 = Sunday to 7 = Saturday whatever the first day of the
// week is. A time the zone skips (a daylight-saving gap) falls at the first instant after the
// gap; a time the zone reads twice (an overlap) falls at its first reading only.
std::optional<Instant> nextReminder(const Preferences& preferences, Instant after);

// The last reminder instant at or before `atOrBefore`, by the same rules.
std::optional<Instant> latestReminder(const Preferences& preferences, Instant atOrBefore);

// Which reminder, if any, to show now. Ask it often (about once a second) with the
// preferences as they are now: a change of them counts from the next question on. A reminder
// falls due when its instant passed since the previous question (for the first question, at
// any earlier time) less than kReminderFreshSeconds ago and it was not shown already; a clock
// set back (by less than that span) does not show one twice. `mayRemind` (no timer runs, the host is not locked) is
// asked only for a reminder that is due; a reminder it refuses is not shown later either.
class ReminderSchedule {
 public:
  // `lastDue`: the last reminder an earlier run found due, so that a restart does not show
  // it again.
  explicit ReminderSchedule(std::optional<Instant> lastDue = std::nullopt) : lastDue_(lastDue) {}

  std::optional<Instant> due(const Preferences& preferences, Instant now, const std::function<bool()>& mayRemind);

  // The last reminder found due, shown or refused.
  std::optional<Instant> lastDue() const { return lastDue_; }

 private:
  std::optional<Instant> askedAt_;
  std::optional<Instant> lastDue_;
};

}  // namespace pellam::host
