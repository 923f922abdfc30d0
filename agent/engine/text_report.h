#pragma once
// The plain-text report of a selection: a header, then per currency (codes in ascending
// order) a table of its pay lines and their totals, or one sentence when nothing matches.
// Hours always have two decimals and a point; money is the exact decimal text after the
// currency code.
#include <string>

#include "agent/engine/archive_indexes.h"
#include "agent/engine/selection.h"
#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// `now` is the moment the report is taken at (reportTime, agent/engine/report_lines.h).
std::string formattedReport(const AgentRequest& request, const Archive& archive, Instant now);
// The same for a selection read already (its `now` is the moment the report is taken at),
// its lines kept in `indexes` when given (agent/engine/report_lines.h).
std::string formattedReport(const Selection& selection, const Archive& archive, ArchiveIndexes* indexes = nullptr);

}  // namespace pellam::agent::engine
