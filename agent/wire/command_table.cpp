#include "agent/wire/command_table.h"

#include <algorithm>
#include <array>

#include "agent/wire/argument_check.h"

namespace pellam::agent {

namespace {

using F = CommandFamily;

enum class Entries { untouched, mayChange };
enum class WhenLocked { refused, answered };
enum class Effect { reads, acts };

constexpr CommandRow engineCommand(std::string_view name, F family, Effect effect, Entries entries,
                                   ArgumentList arguments = {}, ArgumentNameList operands = {}) {
  return {name, family, Performer::engine, entries == Entries::mayChange, false, effect == Effect::reads, operands,
          arguments};
}

constexpr CommandRow appCommand(std::string_view name, F family, Effect effect, ArgumentList arguments = {},
                                ArgumentNameList operands = {}, WhenLocked locked = WhenLocked::refused,
                                Entries entries = Entries::untouched) {
  return {name, family, Performer::app, entries == Entries::mayChange, locked == WhenLocked::answered,
          effect == Effect::reads, operands, arguments};
}

// The keys the command line's operands fill.
constexpr std::string_view kId[] = {"id"};
constexpr std::string_view kJob[] = {"job"};
constexpr std::string_view kEntry[] = {"entry"};
constexpr std::string_view kTag[] = {"tag"};
constexpr std::string_view kTagThenTo[] = {"tag", "to"};
constexpr std::string_view kScreen[] = {"screen"};
constexpr std::string_view kFile[] = {"file"};

// The arguments each command accepts.
constexpr std::array<ArgumentSpec, 0> kNone{};
constexpr auto kIdOnly = plainArguments("id");
constexpr auto kJobOnly = plainArguments("job");
constexpr auto kPage = plainArguments("limit", "offset");
constexpr auto kStored = plainArguments("id", "if-match");  // copy or delete a stored record
constexpr auto kJobsList = plainArguments("archived", "query", "limit", "offset");
constexpr auto kJobsCreate = joinedArguments(jobFields, plainArguments("patch"));
constexpr auto kJobsUpdate = joinedArguments(jobFields, plainArguments("id", "patch", "if-match"));
constexpr auto kJobsArchive = plainArguments("id", "archived", "if-match");
constexpr auto kJobsCopy = plainArguments("id", "name", "if-match");
// `paid` and `kind` are read by timer.break alone, but all three accept them.
constexpr auto kTimerEntry = plainArguments("entry", "paid", "kind", "if-match");
constexpr auto kEntriesList = joinedArguments(selectionArguments, plainArguments("limit", "offset", "running"));
constexpr auto kEntriesCreate = joinedArguments(entryFields, plainArguments("job", "running", "patch"));
constexpr auto kEntriesUpdate = joinedArguments(entryFields, plainArguments("id", "job", "running", "patch", "if-match"));
constexpr auto kPreferencesSet = joinedArguments(preferenceFields, plainArguments("patch", "if-match"));
constexpr auto kTagTo = plainArguments("tag", "to");
constexpr auto kTagOnly = plainArguments("tag");
constexpr auto kFiltersCreate = joinedArguments(filterFields, plainArguments("patch"));
constexpr auto kFiltersUpdate = joinedArguments(filterFields, plainArguments("id", "patch", "if-match"));
constexpr auto kReport = joinedArguments(selectionArguments, plainArguments("at"));
constexpr auto kExport = joinedArguments(selectionArguments, plainArguments("format", "at"));
constexpr auto kImport = plainArguments("content", "format", "preview");
constexpr auto kScreenId = plainArguments("screen", "id");
constexpr auto kIdPreview = plainArguments("id", "preview");

constexpr auto untouched = Entries::untouched;
constexpr auto mayChange = Entries::mayChange;
constexpr auto reads = Effect::reads;
constexpr auto acts = Effect::acts;

constexpr std::array kCommands = {
    engineCommand("capabilities", F::capabilities, reads, untouched, kNone),
    engineCommand("jobs.list", F::jobs, reads, untouched, kJobsList),
    engineCommand("jobs.show", F::jobs, reads, untouched, kIdOnly, kId),
    engineCommand("jobs.create", F::jobs, acts, untouched, kJobsCreate),
    engineCommand("jobs.update", F::jobs, acts, untouched, kJobsUpdate, kId),
    engineCommand("jobs.archive", F::jobs, acts, untouched, kJobsArchive, kId),
    engineCommand("jobs.copy", F::jobs, acts, untouched, kJobsCopy, kId),
    engineCommand("timer.status", F::timer, reads, untouched, kJobOnly),
    engineCommand("timer.clock-in", F::timer, acts, mayChange, kJobOnly, kJob),
    engineCommand("timer.clock-out", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("timer.break", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("timer.resume", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("entries.list", F::entries, reads, untouched, kEntriesList),
    engineCommand("entries.show", F::entries, reads, untouched, kIdOnly, kId),
    engineCommand("entries.create", F::entries, acts, mayChange, kEntriesCreate),
    engineCommand("entries.update", F::entries, acts, mayChange, kEntriesUpdate, kId),
    engineCommand("entries.copy", F::entries, acts, mayChange, kStored, kId),
    engineCommand("entries.delete", F::entries, acts, mayChange, kStored, kId),
    engineCommand("preferences.get", F::preferences, reads, untouched, kNone),
    engineCommand("preferences.set", F::preferences, acts, untouched, kPreferencesSet),
    engineCommand("tags.list", F::tags, reads, untouched, kPage),
    engineCommand("tags.rename", F::tags, acts, mayChange, kTagTo, kTagThenTo),
    engineCommand("tags.merge", F::tags, acts, mayChange, kTagTo, kTagThenTo),
    engineCommand("tags.remove", F::tags, acts, mayChange, kTagOnly, kTag),
    engineCommand("filters.list", F::filters, reads, untouched, kPage),
    engineCommand("filters.create", F::filters, acts, untouched, kFiltersCreate),
    engineCommand("filters.update", F::filters, acts, untouched, kFiltersUpdate, kId),
    engineCommand("filters.delete", F::filters, acts, untouched, kStored, kId),
    engineCommand("reports.summary", F::reports, reads, untouched, kReport),
    engineCommand("reports.daily", F::reports, reads, untouched, kReport),
    engineCommand("reports.payperiod", F::reports, reads, untouched, kReport),
    engineCommand("export", F::exportRecords, reads, untouched, kExport),
    engineCommand("import.preview", F::importRecords, reads, untouched, kImport, kFile),
    engineCommand("import.apply", F::importRecords, acts, mayChange, kImport, kFile),

    appCommand("app.status", F::app, reads, kNone, {}, WhenLocked::answered),
    appCommand("app.show", F::app, acts, kNone, {}, WhenLocked::answered),
    appCommand("app.settings", F::app, acts),
    appCommand("app.help", F::app, acts),
    appCommand("app.data-folder", F::app, reads),
    appCommand("app.lock", F::app, acts),
    appCommand("app.unlock", F::app, acts, kNone, {}, WhenLocked::answered),
    appCommand("ui.navigate", F::ui, acts, kScreenId, kScreen),
    appCommand("ui.edit-job", F::ui, acts, kIdOnly, kId),
    appCommand("ui.edit-entry", F::ui, acts, kIdOnly, kId),
    appCommand("ui.dismiss", F::ui, acts),
    appCommand("reports.print", F::reports, acts, kReport),
    appCommand("cloud.status", F::cloud, reads),
    appCommand("cloud.enable", F::cloud, acts),
    appCommand("cloud.disable", F::cloud, acts),
    appCommand("cloud.sync", F::cloud, acts),
    appCommand("notifications.status", F::notifications, reads),
    appCommand("notifications.request", F::notifications, acts),
    appCommand("location.status", F::location, reads),
    appCommand("location.start", F::location, acts),
    appCommand("location.stop", F::location, acts),
    appCommand("backups.list", F::backups, reads),
    appCommand("backups.preview", F::backups, reads, kIdOnly, kId),
    appCommand("backups.restore", F::backups, acts, kIdPreview, kId, WhenLocked::refused, mayChange),
};

// Families that take every name under their prefix and refuse the ones they do not know
// with their own message. A name the table does not hold under any other prefix
// (`import.`, `app.`, ...) is an unknown command.
constexpr std::pair<std::string_view, F> kPrefixOwners[] = {
    {"jobs.", F::jobs},       {"entries.", F::entries}, {"timer.", F::timer},     {"preferences.", F::preferences},
    {"tags.", F::tags},       {"filters.", F::filters}, {"reports.", F::reports},
};

}  // namespace

std::span<const CommandRow> commandTable() { return kCommands; }

const CommandRow* findCommand(std::string_view name) {
  auto found = std::find_if(kCommands.begin(), kCommands.end(), [&](const CommandRow& row) { return row.name == name; });
  return found == kCommands.end() ? nullptr : &*found;
}

std::size_t rowIndex(const CommandRow& row) { return static_cast<std::size_t>(&row - kCommands.data()); }

bool answeredWhileLocked(std::string_view command) {
  const CommandRow* row = findCommand(command);
  return row != nullptr && row->answeredWhileLocked;
}

bool isReadOnly(std::string_view command) {
  const CommandRow* row = findCommand(command);
  return row != nullptr && row->readOnly;
}

std::optional<CommandFamily> engineFamily(std::string_view name) {
  const CommandRow* row = findCommand(name);
  if (row != nullptr && row->performer == Performer::engine) return row->family;
  for (const auto& [prefix, family] : kPrefixOwners) {
    if (name.starts_with(prefix)) return family;
  }
  return std::nullopt;
}

void checkArguments(const CommandRow& row, const std::map<std::string, std::string>& arguments) {
  checkArgumentNames(row.name, arguments, [&](std::string_view name) { return accepts(row.arguments, name); });
}

void checkFixedArguments(std::string_view command, const std::map<std::string, std::string>& arguments) {
  const CommandRow* row = findCommand(command);
  if (row != nullptr && row->performer == Performer::app) checkArguments(*row, arguments);
}

}  // namespace pellam::agent
