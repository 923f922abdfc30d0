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

std::vector<PayLine> reportLines(const AgentRequest& request, const Archive& archive, Instant now) {
  const auto given = [&](std::string_view name) {
    const std::string* value = argument(request, name);
    return value && (name == "job" || !value->empty());  // an empty query or tag matches everything
  };
  // Without a job, a query, a tag or a window (the usual whole-history report) every entry is
  // selected and no line needs a look-up; the window is still read for its refusals.
  std::optional<Window> window;
  if (!given("job")) window = bounds(request, archive, now);
  const bool everyEntry = window && !window->lower && !window->upper && !given("query") && !given("tag");
  std::vector<Uuid> ids;
  if (!everyEntry) {
    const std::vector<const Entry*> selected = selectedEntries(request, archive, now);
    if (!window) window = bounds(request, archive, now);
    ids.reserve(selected.size());
    for (const Entry* entry : selected) ids.push_back(entry->id);
    std::sort(ids.begin(), ids.end());
  }

  std::vector<PayLine> lines = Payroll(archive.preferences).calculate(archive, now);
  std::erase_if(lines, [&](const PayLine& line) {
    if (window->lower && line.day < *window->lower) return true;
    if (window->upper && !(line.day < *window->upper)) return true;
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
