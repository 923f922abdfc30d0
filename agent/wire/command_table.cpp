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
                                   Entries entries, ArgumentList arguments = {}, ArgumentNameList operands = {},
                                   ArgumentNameList required = {}) {
  return {name,      family,    Performer::engine, entries == Entries::mayChange, false, effect == Effect::reads,
          operands,  arguments, summary,           required, effect == Effect::adds};
}

constexpr CommandRow appCommand(std::string_view name, std::string_view summary, F family, Effect effect,
                                ArgumentList arguments = {}, ArgumentNameList operands = {},
                                ArgumentNameList required = {}, WhenLocked locked = WhenLocked::refused,
                                Entries entries = Entries::untouched) {
  return {name,     family,    Performer::app, entries == Entries::mayChange, locked == WhenLocked::answered,
          effect == Effect::reads, operands, arguments, summary, required, effect == Effect::adds};
}

// Lists of argument names: the keys the command line's operands fill, and the arguments a
// request must carry.
constexpr std::string_view kId[] = {"id"};
constexpr std::string_view kJob[] = {"job"};
constexpr std::string_view kEntry[] = {"entry"};
constexpr std::string_view kTag[] = {"tag"};
constexpr std::string_view kTagThenTo[] = {"tag", "to"};
constexpr std::string_view kScreen[] = {"screen"};
constexpr std::string_view kFile[] = {"file"};
constexpr std::string_view kIdThenPreview[] = {"id", "preview"};
constexpr std::string_view kContentFormat[] = {"content", "format"};
constexpr std::string_view kContentFormatPreview[] = {"content", "format", "preview"};

// The arguments that set no record field, each written once. A name that means different
// things in different commands has one entry per meaning.
namespace plain {
using T = ArgumentType;
constexpr CommandArgument jobKey{"id", {}, T::identifier, {}, "Job ID or exact name"};
constexpr CommandArgument entryId{"id", {}, T::identifier, {}, "Entry ID"};
constexpr CommandArgument filterId{"id", {}, T::identifier, {}, "Saved view ID"};
constexpr CommandArgument backupId{"id", {}, T::identifier, {}, "Backup ID from backups list"};
constexpr CommandArgument editedJob{"id", {}, T::identifier, {}, "ID of the job to open"};
constexpr CommandArgument editedEntry{"id", {}, T::identifier, {}, "ID of the entry to open"};
constexpr CommandArgument screenJob{"id", {}, T::identifier, {}, "ID of the job the screen shows"};
constexpr CommandArgument ifMatch{"if-match", {}, T::text, {}, "Revision the record must still have"};
constexpr CommandArgument patch{"patch", {}, T::json, {}, "Fields to set, as a JSON object"};
constexpr CommandArgument limit{"limit", {}, T::integer, {}, "Items per page, 1 to 1000"};
constexpr CommandArgument offset{"offset", {}, T::integer, {}, "Items to skip before the page"};
constexpr CommandArgument archivedJobs{"archived", {}, T::boolean, {},
    "Only archived jobs, or with false only active ones"};
constexpr CommandArgument jobNameQuery{"query", {}, T::text, {}, "Text the job name contains"};
constexpr CommandArgument archiving{"archived", {}, T::boolean, {}, "Archive the job, or with false unarchive it"};
constexpr CommandArgument copyName{"name", {}, T::text, {}, "Name of the copy"};
constexpr CommandArgument timerEntry{"entry", {}, T::identifier, {},
    "Entry ID of the timer, when not exactly one runs"};
constexpr CommandArgument paid{"paid", {}, T::boolean, {}, "Whether the break is paid (break only)"};
constexpr CommandArgument kind{"kind", {}, T::text, {}, "Label of the break (break only)"};
constexpr CommandArgument runningEntries{"running", {}, T::boolean, {},
    "Only running entries, or with false only ended ones"};
constexpr CommandArgument running{"running", {}, T::boolean, {}, "Whether the entry runs"};
constexpr CommandArgument tag{"tag", {}, T::text, {}, "Tag name"};
constexpr CommandArgument to{"to", {}, T::text, {}, "New tag name, or the tag to merge into"};
constexpr CommandArgument at{"at", {}, T::instant, {}, "Moment to report at instead of now"};
constexpr CommandArgument payPeriodRange{"range", {}, T::text, {}, "Ignored, the range is always the pay period"};
constexpr CommandArgument exportFormat{"format", {}, T::choice, kExportFormats, "File format"};
constexpr CommandArgument importFormat{"format", {}, T::choice, kImportFormats, "Format of the file"};
constexpr CommandArgument content{"content", {}, T::base64, {}, "File content in Base64"};
constexpr CommandArgument importPreview{"preview", {}, T::text, {}, "Token from import preview (apply only)"};
constexpr CommandArgument backupPreview{"preview", {}, T::text, {}, "Token from backups preview"};
constexpr CommandArgument screen{"screen", {}, T::text, {}, "Screen to open"};
}  // namespace plain

// The arguments each command accepts.
constexpr std::array<CommandArgument, 0> kNone{};
constexpr auto kJobKeyOnly = argumentList(plain::jobKey);
constexpr auto kEntryIdOnly = argumentList(plain::entryId);
constexpr auto kJobOnly = argumentList(kJobKey);
constexpr auto kPage = argumentList(plain::limit, plain::offset);
constexpr auto kStoredEntry = argumentList(plain::entryId, plain::ifMatch);  // copy or delete
constexpr auto kStoredFilter = argumentList(plain::filterId, plain::ifMatch);
constexpr auto kJobsList = argumentList(plain::archivedJobs, plain::jobNameQuery, plain::limit, plain::offset);
constexpr auto kJobsCreate = joinedArguments(jobFields, argumentList(plain::patch));
constexpr auto kJobsUpdate = joinedArguments(jobFields, argumentList(plain::jobKey, plain::patch, plain::ifMatch));
constexpr auto kJobsArchive = argumentList(plain::jobKey, plain::archiving, plain::ifMatch);
constexpr auto kJobsCopy = argumentList(plain::jobKey, plain::copyName, plain::ifMatch);
// `paid` and `kind` are read by timer.break alone, but all three accept them.
constexpr auto kTimerEntry = argumentList(plain::timerEntry, plain::paid, plain::kind, plain::ifMatch);
constexpr auto kEntriesList =
    joinedArguments(selectionArguments, argumentList(plain::limit, plain::offset, plain::runningEntries));
constexpr auto kEntriesCreate = joinedArguments(entryFields, argumentList(kJobKey, plain::running, plain::patch));
constexpr auto kEntriesUpdate = joinedArguments(
    entryFields, argumentList(plain::entryId, kJobKey, plain::running, plain::patch, plain::ifMatch));
constexpr auto kPreferencesSet = joinedArguments(preferenceFields, argumentList(plain::patch, plain::ifMatch));
constexpr auto kTagTo = argumentList(plain::tag, plain::to);
constexpr auto kTagOnly = argumentList(plain::tag);
constexpr auto kFiltersCreate = joinedArguments(filterFields, argumentList(plain::patch));
constexpr auto kFiltersUpdate =
    joinedArguments(filterFields, argumentList(plain::filterId, plain::patch, plain::ifMatch));
constexpr auto kReport = joinedArguments(selectionArguments, argumentList(plain::at));
// reports.payperiod accepts a range but always takes the pay period.
static_assert(selectionArguments[5].name == "range");
constexpr auto kPayPeriodReport =
    argumentList(selectionArguments[0], selectionArguments[1], selectionArguments[2], selectionArguments[3],
                 selectionArguments[4], plain::payPeriodRange, plain::at);
constexpr auto kExport = joinedArguments(selectionArguments, argumentList(plain::exportFormat, plain::at));
constexpr auto kImport = argumentList(plain::content, plain::importFormat, plain::importPreview);
constexpr auto kScreenId = argumentList(plain::screen, plain::screenJob);
constexpr auto kEditJob = argumentList(plain::editedJob);
constexpr auto kEditEntry = argumentList(plain::editedEntry);
constexpr auto kBackupId = argumentList(plain::backupId);
constexpr auto kBackupRestore = argumentList(plain::backupId, plain::backupPreview);

constexpr auto untouched = Entries::untouched;
constexpr auto mayChange = Entries::mayChange;
constexpr auto reads = Effect::reads;
constexpr auto adds = Effect::adds;
constexpr auto acts = Effect::acts;

constexpr std::array kCommands = {
    engineCommand("capabilities", "List every engine and app command", F::capabilities, reads, untouched, kNone),
    engineCommand("jobs.list", "List jobs", F::jobs, reads, untouched, kJobsList),
    engineCommand("jobs.show", "Show one job", F::jobs, reads, untouched, kJobKeyOnly, kId, kId),
    engineCommand("jobs.create", "Create a job", F::jobs, adds, untouched, kJobsCreate),
    engineCommand("jobs.update", "Change a job", F::jobs, acts, untouched, kJobsUpdate, kId, kId),
    engineCommand("jobs.archive", "Archive or unarchive a job", F::jobs, acts, untouched, kJobsArchive, kId, kId),
    engineCommand("jobs.copy", "Copy a job", F::jobs, adds, untouched, kJobsCopy, kId, kId),
    engineCommand("timer.status", "Show the running timers", F::timer, reads, untouched, kJobOnly),
    engineCommand("timer.clock-in", "Start a job timer", F::timer, adds, mayChange, kJobOnly, kJob, kJob),
    engineCommand("timer.clock-out", "Stop a timer", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("timer.break", "Start a break", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("timer.resume", "End a break and work on", F::timer, acts, mayChange, kTimerEntry, kEntry),
    engineCommand("entries.list", "List entries", F::entries, reads, untouched, kEntriesList),
    engineCommand("entries.show", "Show one entry", F::entries, reads, untouched, kEntryIdOnly, kId, kId),
    // A new entry also needs `start` or `patch`: either does, so neither is required alone.
    engineCommand("entries.create", "Add an entry", F::entries, adds, mayChange, kEntriesCreate, {}, kJob),
    engineCommand("entries.update", "Change an entry", F::entries, acts, mayChange, kEntriesUpdate, kId, kId),
    engineCommand("entries.copy", "Copy an entry", F::entries, adds, mayChange, kStoredEntry, kId, kId),
    engineCommand("entries.delete", "Delete an entry", F::entries, acts, mayChange, kStoredEntry, kId, kId),
    engineCommand("preferences.get", "Show the preferences", F::preferences, reads, untouched, kNone),
    engineCommand("preferences.set", "Change the preferences", F::preferences, acts, untouched, kPreferencesSet),
    engineCommand("tags.list", "List tags", F::tags, reads, untouched, kPage),
    engineCommand("tags.rename", "Rename a tag", F::tags, acts, mayChange, kTagTo, kTagThenTo, kTagThenTo),
    engineCommand("tags.merge", "Merge a tag into another", F::tags, acts, mayChange, kTagTo, kTagThenTo, kTagThenTo),
    engineCommand("tags.remove", "Remove a tag from every entry", F::tags, acts, mayChange, kTagOnly, kTag, kTag),
    engineCommand("filters.list", "List saved views", F::filters, reads, untouched, kPage),
    engineCommand("filters.create", "Save a view", F::filters, adds, untouched, kFiltersCreate),
    engineCommand("filters.update", "Change a saved view", F::filters, acts, untouched, kFiltersUpdate, kId, kId),
    engineCommand("filters.delete", "Delete a saved view", F::filters, acts, untouched, kStoredFilter, kId, kId),
    // The other reports need `job` only for the range pay-period.
    engineCommand("reports.summary", "Hours and pay per job", F::reports, reads, untouched, kReport),
    engineCommand("reports.daily", "Hours and pay per day", F::reports, reads, untouched, kReport),
    engineCommand("reports.payperiod", "Pay for one pay period", F::reports, reads, untouched, kPayPeriodReport, {},
                  kJob),
    engineCommand("export", "Write records to a new file", F::exportRecords, reads, untouched, kExport),
    engineCommand("import.preview", "Check a file before importing it", F::importRecords, reads, untouched, kImport,
                  kFile, kContentFormat),
    engineCommand("import.apply", "Import a previewed file", F::importRecords, acts, mayChange, kImport, kFile,
                  kContentFormatPreview),

    appCommand("app.status", "Show the app state", F::app, reads, kNone, {}, {}, WhenLocked::answered),
    appCommand("app.show", "Bring the app to the front", F::app, acts, kNone, {}, {}, WhenLocked::answered),
    appCommand("app.settings", "Open the settings", F::app, acts),
    appCommand("app.help", "Open the app help", F::app, acts),
    appCommand("app.data-folder", "Show the data folder", F::app, reads),
    appCommand("app.lock", "Lock the app", F::app, acts),
    appCommand("app.unlock", "Unlock the app", F::app, acts, kNone, {}, {}, WhenLocked::answered),
    // The screen commands need the desktop app, which needs to know what to open.
    appCommand("ui.navigate", "Open a screen", F::ui, acts, kScreenId, kScreen, kScreen),
    appCommand("ui.edit-job", "Open a job in its editor", F::ui, acts, kEditJob, kId, kId),
    appCommand("ui.edit-entry", "Open an entry in its editor", F::ui, acts, kEditEntry, kId, kId),
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
    appCommand("backups.preview", "Show what a restore would change", F::backups, reads, kBackupId, kId, kId),
    appCommand("backups.restore", "Restore a backup", F::backups, acts, kBackupRestore, kId, kIdThenPreview,
               WhenLocked::refused, mayChange),
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
