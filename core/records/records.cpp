#include "core/records/records.h"

#include "core/calendar/current_time_zone.h"
#include "core/calendar/reporting_calendar.h"

namespace pellam {

std::string_view rawValue(Rounding rounding) { return kRoundingTexts[static_cast<std::size_t>(rounding)]; }

std::string_view rawValue(PaySchedule schedule) {
  return kPayScheduleTexts[static_cast<std::size_t>(schedule)];
}

std::optional<Rounding> roundingFromRawValue(std::string_view text) {
  for (Rounding rounding : kAllRoundings) {
    if (rawValue(rounding) == text) return rounding;
  }
  return std::nullopt;
}

std::optional<PaySchedule> payScheduleFromRawValue(std::string_view text) {
  for (PaySchedule schedule : kAllPaySchedules) {
    if (rawValue(schedule) == text) return schedule;
  }
  return std::nullopt;
}

Job::Job(const Job&) = default;
Job::Job(Job&&) noexcept = default;
Job& Job::operator=(const Job&) = default;
Job& Job::operator=(Job&&) noexcept = default;
Job::~Job() = default;

Job::Job(std::string name) : id(Uuid::random()), name(std::move(name)) {
  payAnchor = ReportingCalendar(currentTimeZoneIdentifier(), 2).startOfDay(Instant::now());
}

TimePause::TimePause(Instant start, std::optional<Instant> end, bool paid, std::string kind)
    : id(Uuid::random()), start(start), end(end), paid(paid), kind(std::move(kind)) {}

Entry::Entry(const Entry&) = default;
Entry::Entry(Entry&&) noexcept = default;
Entry& Entry::operator=(const Entry&) = default;
Entry& Entry::operator=(Entry&&) noexcept = default;
Entry::~Entry() = default;

Entry::Entry(Uuid jobID, Instant start, std::optional<Instant> end, Decimal rate)
    : id(Uuid::random()), jobID(jobID), start(start), end(end), rate(rate) {}

std::optional<std::size_t> Entry::openPauseIndex() const {
  for (std::size_t i = pauses.size(); i-- > 0;) {
    if (!pauses[i].end) return i;
  }
  return std::nullopt;
}

const TimePause* Entry::openPause() const {
  auto index = openPauseIndex();
  return index ? &pauses[*index] : nullptr;
}

TimePause* Entry::openPause() {
  auto index = openPauseIndex();
  return index ? &pauses[*index] : nullptr;
}

Preferences::Preferences() : timeZone(currentTimeZoneIdentifier()) {}

ReportingCalendar reportingCalendar(const Preferences& preferences) {
  return ReportingCalendar(preferences.timeZone, preferences.weekStartsOn);
}

SavedFilter::SavedFilter(std::string name) : id(Uuid::random()), name(std::move(name)) {
  from = through = Instant::now();
}

Archive::Archive(const Archive&) = default;
Archive::Archive(Archive&&) noexcept = default;
Archive& Archive::operator=(const Archive&) = default;
Archive& Archive::operator=(Archive&&) noexcept = default;
Archive::~Archive() = default;

}  // namespace pellam
