#include "core/payroll/day_locator.h"

#include <chrono>
#include <cmath>
#include <limits>

#include <date/tz.h>

namespace pellam {

namespace {

constexpr std::int64_t kDay = 86'400;
// A local midnight can repeat when clocks go back, by at most the largest offset change
// (about 26 hours, Samoa's skipped day). Three days after a transition and two before the
// next one, midnight at the span's offset is the first instant of its day, and the next
// midnight falls in the same span.
constexpr std::int64_t kAfterTransition = 3 * kDay;
constexpr std::int64_t kBeforeTransition = 2 * kDay;
// Beyond this the calendar pins instants; leave those to it.
constexpr double kLimit = 400'000'000'000.0;

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  if (b > 0 && a > std::numeric_limits<std::int64_t>::max() - b) return std::numeric_limits<std::int64_t>::max();
  if (b < 0 && a < std::numeric_limits<std::int64_t>::min() - b) return std::numeric_limits<std::int64_t>::min();
  return a + b;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

bool DayLocator::locate(std::int64_t unix) {
  if (!haveSpan_ || unix < spanBegin_ || unix >= spanEnd_) {
    const date::sys_info info = calendar_.zone().info(date::sys_seconds{std::chrono::seconds(unix)});
    spanBegin_ = info.begin.time_since_epoch().count();
    spanEnd_ = info.end.time_since_epoch().count();
    offset_ = info.offset.count();
    safeBegin_ = saturatingAdd(spanBegin_, kAfterTransition);
    safeEnd_ = saturatingAdd(spanEnd_, -kBeforeTransition);
    haveSpan_ = true;
  }
  return unix >= safeBegin_ && unix < safeEnd_;
}

CalendarInterval DayLocator::day(Instant instant) {
  const double unix = instant.unixSeconds();
  if (!(unix > -kLimit && unix < kLimit)) return calendar_.day(instant);
  const auto whole = static_cast<std::int64_t>(std::floor(unix));
  if (!locate(whole)) return calendar_.day(instant);
  const std::int64_t start = floorDiv(whole + offset_, kDay) * kDay - offset_;
  return {Instant::fromUnix(static_cast<double>(start)), Instant::fromUnix(static_cast<double>(start + kDay))};
}

Instant DayLocator::startOfWeek(Instant dayStart) {
  if (!haveWeek_ || weekOfDay_ != dayStart) {
    weekOfDay_ = dayStart;
    weekStart_ = calendar_.startOfWeek(dayStart);
    haveWeek_ = true;
  }
  return weekStart_;
}

}  // namespace pellam
