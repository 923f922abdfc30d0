#pragma once
// Entry selection, shared by entries.list, the report commands and export: the six
// selection arguments become a window in the reporting calendar and a list of entries.
// Calendar days are read in the archive's reporting time zone, so "the 31st of March" and
// "this week" mean the same days as the pay lines of core/payroll/payroll.h.
//
// Every failure is an AgentFailure with code invalid_argument, except those of the job
// lookup (agent/engine/lookup.h) and of required arguments, which keep their own.
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "agent/engine/archive_indexes.h"
#include "agent/wire/command_arguments.h"
#include "agent/wire/wire.h"
#include "core/records/records.h"
#include "core/calendar/reporting_calendar.h"
#include "core/text/text_search.h"

namespace pellam::agent::engine {

// The argument names a command that selects entries adds to the names it allows.
inline constexpr std::array<std::string_view, 6> selectionKeys = argumentNames(selectionArguments);

// One date argument. A text of the shape yyyy-MM-dd is a calendar day, read strictly in the
// calendar's zone: its first instant (00:00, or the end of a gap that swallows midnight);
// a day that does not exist, or does not read back as the same text (a day a zone
// skipped), fails with "Invalid calendar date: <text>.". Any other text must be an ISO 8601
// timestamp with a zone designator, with or without fractional seconds.
Instant calendarDate(std::string_view text, const ReportingCalendar& calendar);

// A span of time: lower inclusive, upper exclusive, an absent side unbounded.
struct Window {
  std::optional<Instant> lower;
  std::optional<Instant> upper;
  bool operator==(const Window&) const = default;
};

// The window of a request. `range` (any letter case; reports.payperiod always uses
// pay-period) gives all, today, week, month, year, or the pay period of the `job` that
// contains `now`; `from` then replaces the lower side and `through` the upper side. A
// `through` that is a calendar day includes that whole day; a timestamp is excluded.
Window bounds(const AgentRequest& request, const Archive& archive, Instant now);

// A command's selection, read once: the job, the window, the query and the tag, and the
// moment it is taken at (`now`, or the reports' and export's `at`). Reading it checks its
// arguments in one order, so the first broken rule decides the message: the job (when
// given), then the range with its pay-period job, `from` and `through`.
struct Selection {
  std::optional<Uuid> job;
  Window window;
  FoldedQuery query{""};
  std::string tag;
  Instant now;
};
Selection readSelection(const AgentRequest& request, const Archive& archive, Instant now);

// The entries of the archive that the selection selects, newest first (equal starts by
// identifier text, descending): of its job if given, overlapping the window (a running
// entry lasts until `now`), carrying the exact tag if given, and whose job name, comment
// and tags, joined with single spaces, contain the query ignoring case if given. The
// pointers point into `archive`. With `indexes` (which stand for `archive`) the window's
// entries are found by start instead of looking at every entry.
std::vector<const Entry*> selectedEntries(const Selection& selection, const Archive& archive,
                                          ArchiveIndexes* indexes = nullptr);
std::vector<const Entry*> selectedEntries(const Selection& selection, Archive&& archive,
                                          ArchiveIndexes* indexes = nullptr) = delete;
// The same, reading the request's selection.
std::vector<const Entry*> selectedEntries(const AgentRequest& request, const Archive& archive, Instant now);
std::vector<const Entry*> selectedEntries(const AgentRequest& request, Archive&& archive, Instant now) = delete;

}  // namespace pellam::agent::engine
