#include "core/validation/running_age.h"

namespace pellam {

namespace {

constexpr double kMaximumEntrySeconds = 31'622'400;  // 366 days

}  // namespace

bool withinAgeLimit(Instant start, const std::optional<Instant>& end, Instant now) {
  const double length = (end ? end->seconds : now.seconds) - start.seconds;
  return length <= kMaximumEntrySeconds;
}

bool hasOutrunLengthLimit(const Entry& entry, Instant now) {
  return entry.isRunning() && !withinAgeLimit(entry.start, std::nullopt, now);
}

}  // namespace pellam
