#include "agent/wire/command_table.h"

#include <algorithm>
#include <array>

#include "agent/wire/argument_check.h"

namespace pellam::agent {

namespace {

using F = CommandFamily;

enum class Entries { untouched, mayChange };
enum class WhenLocked { refused, answered };
// `adds` only adds records; `acts` changes records or the app in any other way.
enum class Effect { reads, adds, acts };

constexpr CommandRow engineCommand(std::string_view name, std::string_view summary, F family, Effect effect,
                                   Entries entries, ArgumentList arguments = {}, ArgumentNameList operands = {}) {
  return {name, family, Performer::engine, entries == Entries::mayChange, false, effect == Effect::reads, operands,
          arguments, summary, {}, effect == Effect::adds};
}

constexpr CommandRow appCommand(std::string_view name, std::string_view summary, F family, Effect effect,
                                ArgumentList arguments = {}, ArgumentNameList operands = {},
                                WhenLocked locked = WhenLocked::refused, Entries entries = Entries::untouched) {
  return {name, family, Performer::app, entries == Entries::mayChange, locked == WhenLocked::answered,
          effect == Effect::reads, operands, arguments, summary, {}, effect == Effect::adds};
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
constexpr std::array<CommandArgument, 0> kNone{};
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
constexpr auto adds = Effect::adds;
constexpr auto acts = Effect::acts;

constexpr std::array kCommands = {
    engineCommand("capabilities", "List every engine and app command", F::capabilities, reads, untouched, kNone),
    engineCommand("jobs.list", "List jobs", F::jobs, reads, untouched, kJobsList),
    engineCommand("jobs.show", "Show one job", F::jobs, reads, untouched, kIdOnly, kId),
    engineCommand("jobs.create", "Create a job", F::jobs, adds, untouched, kJobsCreate),
    engineCommand("jobs.update", "Change a job", F::jobs, acts, untouched, kJobsUpdate, kId),
    engineCommand("jobs.archive", "Archive or unarchive a job", F::jobs, acts, untouched, kJobsArchive, kId),
    engineCommand("jobs.copy", "Copy a job", F::jobs, adds, untouched, kJobsCopy, kId),
    engineCommand("timer.status", "Show the running timers", F::timer, reads, untouched, kJobOnly),
    engineCommand("timer.clock-in", "Start a job timer", F::timer, adds, mayChange, kJobOnly, kJob),
    engineCommand("timer.clock-out", "Stop a timer", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("timer.break", "Start a break", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("timer.resume", "End a break and work on", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("entries.list", "List entries", F::entries, reads, untouched, kEntriesList),
    engineCommand("entries.show", "Show one entry", F::entries, reads, untouched, kIdOnly, kId),
    engineCommand("entries.create", "Add an entry", F::entries, adds, mayChange, kEntriesCreate),
    engineCommand("entries.update", "Change an entry", F::entries, acts, mayChange, kEntriesUpdate, kId),
    engineCommand("entries.copy", "Copy an entry", F::entries, adds, mayChange, kStored, kId),
    engineCommand("entries.delete", "Delete an entry", F::entries, acts, mayChange, kStored, kId),
    engineCommand("preferences.get", "Show the preferences", F::preferences, reads, untouched, kNone),
    engineCommand("preferences.set", "Change the preferences", F::preferences, acts, untouched, kPreferencesSet),
    engineCommand("tags.list", "List tags", F::tags, reads, untouched, kPage),
    engineCommand("tags.rename", "Rename a tag", F::tags, acts, mayChange, kTagTo, kTagThenTo),
    engineCommand("tags.merge", "Merge a tag into another", F::tags, acts, mayChange, kTagTo, kTagThenTo),
    engineCommand("tags.remove", "Remove a tag from every entry", F::tags, acts, mayChange, kTagOnly, kTag),
    engineCommand("filters.list", "List saved views", F::filters, reads, untouched, kPage),
    engineCommand("filters.create", "Save a view", F::filters, adds, untouched, kFiltersCreate),
    engineCommand("filters.update", "Change a saved view", F::filters, acts, untouched, kFiltersUpdate, kId),
    engineCommand("filters.delete", "Delete a saved view", F::filters, acts, untouched, kStored, kId),
    engineCommand("reports.summary", "Hours and pay per job", F::reports, reads, untouched, kReport),
    engineCommand("reports.daily", "Hours and pay per day", F::reports, reads, untouched, kReport),
    engineCommand("reports.payperiod", "Pay for one pay period", F::reports, reads, untouched, kReport),
    engineCommand("export", "Write records to a new file", F::exportRecords, reads, untouched, kExport),
    engineCommand("import.preview", "Check a file before importing it", F::importRecords, reads, untouched, kImport,
                  kFile),
    engineCommand("import.apply", "Import a previewed file", F::importRecords, acts, mayChange, kImport, kFile),

    appCommand("app.status", "Show the app state", F::app, reads, kNone, {}, WhenLocked::answered),
    appCommand("app.show", "Bring the app to the front", F::app, acts, kNone, {}, WhenLocked::answered),
    appCommand("app.settings", "Open the settings", F::app, acts),
    appCommand("app.help", "Open the app help", F::app, acts),
    appCommand("app.data-folder", "Show the data folder", F::app, reads),
    appCommand("app.lock", "Lock the app", F::app, acts),
    appCommand("app.unlock", "Unlock the app", F::app, acts, kNone, {}, WhenLocked::answered),
    appCommand("ui.navigate", "Open a screen", F::ui, acts, kScreenId, kScreen),
    appCommand("ui.edit-job", "Open a job in its editor", F::ui, acts, kIdOnly, kId),
    appCommand("ui.edit-entry", "Open an entry in its editor", F::ui, acts, kIdOnly, kId),
    appCommand("ui.dismiss", "Close the open sheet", F::ui, acts),
    appCommand("reports.print", "Open the print panel for a report", F::reports, acts, kReport),
    appCommand("cloud.status", "Show cloud sync", F::cloud, reads),
    appCommand("cloud.enable", "Turn cloud sync on", F::cloud, acts),
    appCommand("cloud.disable", "Turn cloud sync off", F::cloud, acts),
    appCommand("cloud.sync", "Sync now", F::cloud, acts),
    appCommand("notifications.status", "Show the notification permission", F::notifications, reads),
    appCommand("notifications.request", "Ask for the notification permission", F::notifications, acts),
    appCommand("location.status", "Show location tracking", F::location, reads),
    appCommand("location.start", "Start location tracking", F::location, acts),
    appCommand("location.stop", "Stop location tracking", F::location, acts),
    appCommand("backups.list", "List backups", F::backups, reads),
    appCommand("backups.preview", "Show what a restore would change", F::backups, reads, kIdOnly, kId),
    appCommand("backups.restore", "Restore a backup", F::backups, acts, kIdPreview, kId, WhenLocked::refused,
               mayChange),
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
