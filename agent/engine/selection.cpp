#include "agent/engine/selection.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "agent/engine/arguments.h"
#include "agent/engine/lookup.h"
#include "core/payroll/payroll.h"
#include "core/records/record_json.h"
#include "core/text/text_case.h"
#include "core/text/text_search.h"

namespace pellam::agent::engine {

namespace {

bool hasDayShape(std::string_view text) {
  // ^[0-9]{4}-[0-9]{2}-[0-9]{2}$
  if (text.size() != 10) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? text[i] != '-' : (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

std::string_view text(const AgentRequest& request, std::string_view name) {
  const std::string* value = argument(request, name);
  return value ? std::string_view(*value) : std::string_view();
}

}  // namespace

Instant calendarDate(std::string_view text, const ReportingCalendar& calendar) {
  if (hasDayShape(text)) {
    const std::optional<Instant> day = calendar.parseDay(text);
    // Reading back catches days the zone skipped: their start lies on the next day.
    if (!day || calendar.formatDay(*day) != text) {
      throw AgentFailure::invalidArgument("Invalid calendar date: " + std::string(text) + ".");
    }
    return *day;
  }
  if (std::optional<Instant> instant = parseDateText(text)) return *instant;
  throw AgentFailure::invalidArgument("Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.");
}

namespace {

// The window of a request whose `job`, when given, is `job` (looked up already).
Window boundsWith(const AgentRequest& request, const Archive& archive, Instant now, const Job* job) {
  const Payroll payroll(archive.preferences);
  const ReportingCalendar& calendar = payroll.calendar();

  const std::string* rangeText = argument(request, "range");
  const std::string range = request.command == "reports.payperiod" ? std::string("pay-period")
                                                                    : lowercased(rangeText ? *rangeText : "all");
  Window window;
  auto span = [&](CalendarInterval interval) {
    window.lower = interval.start;
    window.upper = interval.end;
  };
  if (range == "all") {
  } else if (range == "today") {
    span(calendar.day(now));
  } else if (range == "week") {
    span(calendar.week(now));
  } else if (range == "month") {
    span(calendar.month(now));
  } else if (range == "year") {
    span(calendar.year(now));
  } else if (range == "pay-period") {
    if (!job) job = &archive.jobs[jobIndex(required("job", request), archive)];
    span(payroll.payPeriod(now, *job));
  } else {
    throw AgentFailure::invalidArgument("--range must be all, today, week, month, year, or pay-period.");
  }

  if (const std::string* from = argument(request, "from")) window.lower = calendarDate(*from, calendar);
  if (const std::string* through = argument(request, "through")) {
    const Instant end = calendarDate(*through, calendar);
    // A calendar day names the whole day; a timestamp is the exact, excluded end.
    window.upper = through->size() == 10 ? calendar.addDays(end, 1) : end;
  }
  if (window.lower && window.upper && !(*window.lower < *window.upper)) {
    throw AgentFailure::invalidArgument("The date range must end after it starts.");
  }
  return window;
}

// Whether `entry` lies in the selection's window: it ends (or runs until `now`) at or
// after the lower side and starts before the upper side.
bool overlaps(const Entry& entry, const Selection& selection) {
  const Window& window = selection.window;
  if (window.lower && (entry.end ? *entry.end : selection.now) < *window.lower) return false;
  return !window.upper || entry.start < *window.upper;
}

}  // namespace

Window bounds(const AgentRequest& request, const Archive& archive, Instant now) {
  return boundsWith(request, archive, now, nullptr);
}

Selection readSelection(const AgentRequest& request, const Archive& archive, Instant now) {
  Selection selection;
  selection.now = now;
  const Job* job = nullptr;
  if (const std::string* name = argument(request, "job")) {
    job = &archive.jobs[jobIndex(*name, archive)];
    selection.job = job->id;
  }
  selection.window = boundsWith(request, archive, now, job);
  selection.query = FoldedQuery(text(request, "query"));
  selection.tag = std::string(text(request, "tag"));
  return selection;
}

std::vector<const Entry*> selectedEntries(const AgentRequest& request, const Archive& archive, Instant now) {
  return selectedEntries(readSelection(request, archive, now), archive);
}

std::vector<const Entry*> selectedEntries(const Selection& selection, const Archive& archive, ArchiveIndexes* indexes) {
  const std::optional<Uuid>& jobID = selection.job;
  const FoldedQuery& query = selection.query;
  const std::string_view tag = selection.tag;

  // The query is looked for in the job's name, the comment and the tags joined by spaces,
  // so it may span them. Names are folded once per job.
  FoldedTexts folding;
  std::vector<std::pair<Uuid, std::string>> foldedNames;
  if (!query.empty()) {
    foldedNames.reserve(archive.jobs.size());
    for (const Job& job : archive.jobs) {
      std::string name;
      folding.append(name, job.name);
      foldedNames.emplace_back(job.id, std::move(name));
    }
    std::sort(foldedNames.begin(), foldedNames.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  auto foldedName = [&](const Uuid& id) -> std::string_view {
    auto at = std::lower_bound(foldedNames.begin(), foldedNames.end(), id,
                               [](const auto& item, const Uuid& key) { return item.first < key; });
    return at != foldedNames.end() && at->first == id ? std::string_view(at->second) : std::string_view();
  };

  std::vector<const Entry*> kept;
  std::string haystack;
  auto consider = [&](const Entry& entry) {
    if (jobID && entry.jobID != *jobID) return;
    if (!overlaps(entry, selection)) return;
    if (!tag.empty() && std::find(entry.tags.begin(), entry.tags.end(), tag) == entry.tags.end()) return;
    if (!query.empty()) {
      haystack.assign(foldedName(entry.jobID));
      haystack += ' ';
      folding.append(haystack, entry.comment);
      for (const std::string& entryTag : entry.tags) {
        haystack += ' ';
        folding.append(haystack, entryTag);
      }
      if (!query.foundInFolded(haystack)) return;
    }
    kept.push_back(&entry);
  };
  const Window& window = selection.window;
  if (indexes && (window.lower || window.upper)) {
    // Only entries that start in the window or up to 366 days before it, and running ones.
    for (std::size_t position : indexes->starts(archive).mayOverlap(archive.entries, window.lower, window.upper)) {
      consider(archive.entries[position]);
    }
  } else {
    for (const Entry& entry : archive.entries) consider(entry);
  }
  std::sort(kept.begin(), kept.end(), [](const Entry* a, const Entry* b) {
    if (a->start != b->start) return a->start > b->start;
    return a->id > b->id;  // byte order is the order of the upper-case text
  });
#ifndef NDEBUG
  // Builds for tests prove the index's answer against a look at every entry.
  if (indexes && selectedEntries(selection, archive, nullptr) != kept) {
    throw std::logic_error("The entries found by start differ from those of a full look.");
  }
#endif
  return kept;
}

}  // namespace pellam::agent::engine
