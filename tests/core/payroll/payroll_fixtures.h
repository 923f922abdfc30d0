#pragma once
// Small fixed jobs and entries for the payroll tests.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/payroll/payroll.h"
#include "core/records/records.h"
#include "support/fixture_values.h"
#include "support/record_builders.h"

namespace pellam::testing {

inline const Uuid kPayJob = uuid("11111111-1111-4111-8111-111111111111");
inline const Uuid kPayJob2 = uuid("22222222-2222-4222-8222-222222222222");

inline Payroll payrollIn(std::string_view zone, std::int64_t weekStartsOn = 2) {
  return Payroll(ReportingCalendar(zone, weekStartsOn));
}

// A job that neither rounds nor takes automatic breaks, with the default thresholds.
inline Job payJob(Uuid id = kPayJob) {
  Job job = plainJob(id, "Acme");
  job.rounding = Rounding::none;
  job.autoBreakAfterHours = 0;
  return job;
}

inline Entry payEntry(std::string_view id, Uuid jobID, std::string_view start, std::optional<std::string_view> end,
                      std::string_view rate = "20") {
  Entry entry = plainEntry(uuid(id), jobID, at(start), end ? std::optional(at(*end)) : std::nullopt);
  entry.rate = dec(rate);
  return entry;
}

inline TimePause pause(std::string_view start, std::optional<std::string_view> end, bool paid = false) {
  TimePause pause;
  pause.start = at(start);
  if (end) pause.end = at(*end);
  pause.paid = paid;
  return pause;
}

}  // namespace pellam::testing
