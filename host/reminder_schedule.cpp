#include "host/reminder_schedule.h"

#include <algorithm>
#include <cmath>

#include "core/calendar/reporting_calendar.h"

namespace pellam::host {

namespace {

// A week and a day either side covers every weekday plus a reminder that a gap moved past
// midnight.
constexpr int kDaysSearched = 9;

bool chosen(const Preferences& preferences, date::local_days day) {
  const auto number = static_cast<std::int64_t>(date::weekday{day}.c_encoding()) + 1;  // 1 = Sunday
  const auto& days = preferences.reminderWeekdays;
  return std::find(days.begin(), days.end(), number) != days.end();
}

bool remindsAtAll(const Preferences& preferences) {
  return preferences.remindersEnabled && !preferences.reminderWeekdays.empty() && preferences.reminderHour >= 0 &&
         preferences.reminderHour <= 23 && preferences.reminderMinute >= 0 && preferences.reminderMinute <= 59;
}

Instant reminderOn(const ReportingCalendar& calendar, const Preferences& preferences, date::local_days day) {
  const date::local_seconds local =
      day + std::chrono::hours{preferences.reminderHour} + std::chrono::minutes{preferences.reminderMinute};
  // The first reading of that local time, or the end of the gap that skipped it.
  const date::sys_seconds instant = calendar.zone().earliest(local);
  return Instant::fromUnix(static_cast<double>(instant.time_since_epoch().count()));
}

date::local_days dayOf(const ReportingCalendar& calendar, Instant instant) {
  return date::local_days{calendar.localDate(instant)};
}

}  // namespace

std::optional<Instant> nextReminder(const Preferences& preferences, Instant after) {
  if (!remindsAtAll(preferences) || !std::isfinite(after.seconds)) return std::nullopt;
  const ReportingCalendar calendar = reportingCalendar(preferences);
  const date::local_days first = dayOf(calendar, after) - date::days{1};
  for (int i = 0; i < kDaysSearched; ++i) {
    const date::local_days day = first + date::days{i};
    if (!chosen(preferences, day)) continue;
    if (Instant at = reminderOn(calendar, preferences, day); at > after) return at;
  }
  return std::nullopt;
}

std::optional<Instant> latestReminder(const Preferences& preferences, Instant atOrBefore) {
  if (!remindsAtAll(preferences) || !std::isfinite(atOrBefore.seconds)) return std::nullopt;
  const ReportingCalendar calendar = reportingCalendar(preferences);
  const date::local_days last = dayOf(calendar, atOrBefore) + date::days{1};
  for (int i = 0; i < kDaysSearched; ++i) {
    const date::local_days day = last - date::days{i};
    if (!chosen(preferences, day)) continue;
    if (Instant at = reminderOn(calendar, preferences, day); at <= atOrBefore) return at;
  }
  return std::nullopt;
}

std::optional<Instant> ReminderSchedule::due(const Preferences& preferences, Instant now,
                                             const std::function<bool()>& mayRemind) {
  const std::optional<Instant> since = askedAt_;
  askedAt_ = now;
  // A reminder more than the fresh span ahead was found due while the clock was far ahead
  // (wrong, or set back a day since): holding on to it would silence every reminder until then.
  if (lastDue_ && lastDue_->seconds > now.seconds + kReminderFreshSeconds) lastDue_.reset();
  const std::optional<Instant> latest = latestReminder(preferences, now);
  if (!latest) return std::nullopt;
  if (since && *latest <= *since) return std::nullopt;                // seen at an earlier question
  if (now.seconds - latest->seconds >= kReminderFreshSeconds) return std::nullopt;  // stale
  if (lastDue_ && *latest <= *lastDue_) return std::nullopt;          // the clock was set back
  lastDue_ = latest;
  if (!mayRemind()) return std::nullopt;
  return latest;
}

}  // namespace pellam::host
