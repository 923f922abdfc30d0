#include "agent/engine/report_lines.h"

#include <algorithm>
#include <stdexcept>

#include "agent/engine/arguments.h"
#include "agent/engine/selection.h"
#include "core/payroll/payroll.h"
#include "core/record_json.h"

namespace pellam::agent::engine {

Instant reportTime(const AgentRequest& request, Instant now) {
  const std::string* at = argument(request, "at");
  if (!at) return now;
  if (std::optional<Instant> instant = parseDateText(*at)) return *instant;
  throw AgentFailure::invalidArgument("Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.");
}

std::vector<PayLine> reportLines(const AgentRequest& request, const Archive& archive, Instant now) {
  const std::vector<const Entry*> selected = selectedEntries(request, archive, now);
  const Window window = bounds(request, archive, now);
  // When every entry is selected (the usual whole-history report) no line needs a look-up.
  std::vector<Uuid> ids;
  if (selected.size() != archive.entries.size()) {
    ids.reserve(selected.size());
    for (const Entry* entry : selected) ids.push_back(entry->id);
    std::sort(ids.begin(), ids.end());
  }
  const bool everyEntry = selected.size() == archive.entries.size();

  std::vector<PayLine> lines = Payroll(archive.preferences).calculate(archive, now);
  std::erase_if(lines, [&](const PayLine& line) {
    if (window.lower && line.day < *window.lower) return true;
    if (window.upper && !(line.day < *window.upper)) return true;
    return !everyEntry && !std::binary_search(ids.begin(), ids.end(), line.entryID);
  });
  return lines;
}

JobsByID::JobsByID(const Archive& archive) {
  jobs_.reserve(archive.jobs.size());
  for (const Job& job : archive.jobs) jobs_.emplace_back(job.id, &job);
  std::sort(jobs_.begin(), jobs_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

const Job& JobsByID::operator[](const Uuid& id) const {
  auto at = std::lower_bound(jobs_.begin(), jobs_.end(), id,
                             [](const auto& item, const Uuid& key) { return item.first < key; });
  if (at == jobs_.end() || at->first != id) throw std::logic_error("A pay line names a job the archive lacks.");
  return *at->second;
}

}  // namespace pellam::agent::engine
