#include "agent/engine/report_lines.h"

#include <algorithm>
#include <stdexcept>

#include "agent/engine/arguments.h"
#include "agent/engine/selection.h"
#include "core/payroll/payroll.h"
#include "core/records/record_json.h"

namespace pellam::agent::engine {

Instant reportTime(const AgentRequest& request, Instant now) {
  const std::string* at = argument(request, "at");
  if (!at) return now;
  if (std::optional<Instant> instant = parseDateText(*at)) return *instant;
  throw AgentFailure::invalidArgument("Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.");
}

std::vector<PayLine> reportLines(const Selection& selection, const Archive& archive, ArchiveIndexes* indexes) {
  const Window& window = selection.window;
  // Without a job, a query, a tag or a window (the usual whole-history report) every entry is
  // selected and no line needs a look-up (an empty query or tag matches everything).
  const bool everyEntry = !selection.job && selection.query.empty() && selection.tag.empty() && !window.lower &&
                          !window.upper;
  std::vector<Uuid> ids;
  if (!everyEntry) {
    const std::vector<const Entry*> selected = selectedEntries(selection, archive, indexes);
    ids.reserve(selected.size());
    for (const Entry* entry : selected) ids.push_back(entry->id);
    std::sort(ids.begin(), ids.end());
  }
  std::vector<PayLine> lines;
  if (indexes) {
    lines = indexes->payLines(archive, selection.now, window.lower, window.upper);
  } else {
    lines = Payroll(archive.preferences).calculate(archive, selection.now);
    std::erase_if(lines, [&](const PayLine& line) {
      return (window.lower && line.day < *window.lower) || (window.upper && !(line.day < *window.upper));
    });
  }
  if (!everyEntry) {
    std::erase_if(lines, [&](const PayLine& line) { return !std::binary_search(ids.begin(), ids.end(), line.entryID); });
  }
  return lines;
}

std::vector<PayLine> reportLines(const AgentRequest& request, const Archive& archive, Instant now) {
  return reportLines(readSelection(request, archive, now), archive);
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
