#pragma once
// The pay lines the report commands and the export show, and the moment they are taken
// at. They are the lines of payroll over the whole archive, filtered afterwards, so overtime
// earned earlier in a week is the same whatever window is shown.
#include <string_view>
#include <utility>
#include <vector>

#include "agent/engine/archive_indexes.h"
#include "agent/engine/selection.h"
#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/payroll/pay_line.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// `now`, or the `at` argument when given: an ISO 8601 timestamp with a zone designator,
// with or without fractional seconds (a plain calendar day is refused). Running entries
// and open breaks then run until that moment, and today, week, month, year and the pay
// period are taken around it.
Instant reportTime(const AgentRequest& request, Instant now);

// The lines, in payroll order, of the selected entries (agent/engine/selection.h) whose
// day lies inside the window: at or after its lower bound and before its upper bound. The
// test is on the line's day, the start of its calendar day, so a lower bound in the middle
// of a day leaves that day's line out.
// With `indexes` (which stand for `archive`) the lines come from those kept per (job, week).
std::vector<PayLine> reportLines(const Selection& selection, const Archive& archive,
                                 ArchiveIndexes* indexes = nullptr);
// The same, reading the request's selection.
std::vector<PayLine> reportLines(const AgentRequest& request, const Archive& archive, Instant now);

// The jobs of an archive by identifier. Every pay line's job is in the archive.
class JobsByID {
 public:
  explicit JobsByID(const Archive& archive);
  const Job& operator[](const Uuid& id) const;

 private:
  std::vector<std::pair<Uuid, const Job*>> jobs_;  // sorted by identifier
};

}  // namespace pellam::agent::engine
