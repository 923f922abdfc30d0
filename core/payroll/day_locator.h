#pragma once
// The calendar day an instant falls on, found many times in a row without a full zone
// lookup each time. It remembers the zone's offset span around the last instant it was
// asked about; inside that span, well clear of its transitions, a day starts at local
// midnight at that offset. Near a transition, and for instants the span does not cover,
// it asks the ReportingCalendar, so every answer equals the calendar's.
//
// One locator serves one thread for one computation (it caches as it goes); make a new one
// per call.
#include <cstdint>

#include "core/calendar/reporting_calendar.h"

namespace pellam {

class DayLocator {
 public:
  explicit DayLocator(const ReportingCalendar& calendar) : calendar_(calendar) {}

  // The calendar day containing `instant`: its start and the start of the next day.
  CalendarInterval day(Instant instant);
  Instant startOfDay(Instant instant) { return day(instant).start; }
  // The start of the week containing the day that starts at `dayStart`.
  Instant startOfWeek(Instant dayStart);

  const ReportingCalendar& calendar() const { return calendar_; }

 private:
  // Looks up the offset span around `unix`; false when the instant lies too close to a
  // transition for midnight arithmetic.
  bool locate(std::int64_t unix);

  const ReportingCalendar& calendar_;
  bool haveSpan_ = false;
  std::int64_t spanBegin_ = 0;  // the zone's span of one offset: [begin, end), Unix seconds
  std::int64_t spanEnd_ = 0;
  std::int64_t safeBegin_ = 0;  // where midnight arithmetic holds: [safeBegin, safeEnd)
  std::int64_t safeEnd_ = 0;
  std::int64_t offset_ = 0;
  bool haveWeek_ = false;
  Instant weekOfDay_;
  Instant weekStart_;
};

}  // namespace pellam
