#include <cmath>

#include "core/payroll/payroll.h"

namespace pellam {

CalendarInterval Payroll::payPeriod(Instant date, const Job& job) const {
  const Instant day = calendar_.startOfDay(date);
  switch (job.schedule) {
    case PaySchedule::weekly:
    case PaySchedule::biweekly: {
      const std::int64_t length = job.schedule == PaySchedule::weekly ? 7 : 14;
      const Instant anchor = calendar_.startOfDay(job.payAnchor);
      const std::int64_t days = calendar_.daysBetween(anchor, day);
      // Floor division: days before the anchor fall into periods aligned to it too.
      std::int64_t periods = days / length;
      if (days % length != 0 && days < 0) --periods;
      return {calendar_.addDays(anchor, periods * length), calendar_.addDays(anchor, (periods + 1) * length)};
    }
    case PaySchedule::semimonthly: {
      const CalendarInterval month = calendar_.month(day);
      const Instant middle = calendar_.addDays(month.start, 15);  // the 16th
      if (day < middle) return {month.start, middle};
      return {middle, month.end};
    }
    case PaySchedule::monthly:
      return calendar_.month(day);
  }
  return calendar_.month(day);
}

}  // namespace pellam
