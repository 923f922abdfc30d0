#pragma once
// The plain-text report of a selection: a header, then per currency (codes in ascending
// order) a table of its pay lines and their totals, or one sentence when nothing matches.
// Hours always have two decimals and a point; money is the exact decimal text after the
// currency code.
#include <string>

#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// `now` is the moment the report is taken at (reportTime, agent/engine/report_lines.h).
std::string formattedReport(const AgentRequest& request, const Archive& archive, Instant now);

}  // namespace pellam::agent::engine
