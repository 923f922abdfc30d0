#include "agent/wire/command_table.h"

#include <algorithm>
#include <array>

#include "agent/wire/argument_check.h"

namespace pellam::agent {

namespace {

using F = CommandFamily;

enum class Entries { untouched, mayChange };
enum class WhenLocked { refused, answered };

constexpr CommandRow engineCommand(std::string_view name, F family, Entries entries, ArgumentNameList operands = {}) {
  return {name, family, Performer::engine, entries == Entries::mayChange, false, operands, std::nullopt};
}

constexpr CommandRow appCommand(std::string_view name, F family, ArgumentNameList arguments = {},
                                ArgumentNameList operands = {}, WhenLocked locked = WhenLocked::refused,
                                Entries entries = Entries::untouched) {
  return {name, family, Performer::app, entries == Entries::mayChange, locked == WhenLocked::answered,
          operands, arguments};
}

constexpr std::string_view kId[] = {"id"};
constexpr std::string_view kJob[] = {"job"};
constexpr std::string_view kEntry[] = {"entry"};
constexpr std::string_view kTag[] = {"tag"};
constexpr std::string_view kTagTo[] = {"tag", "to"};
constexpr std::string_view kScreen[] = {"screen"};
constexpr std::string_view kFile[] = {"file"};
constexpr std::string_view kScreenId[] = {"screen", "id"};
constexpr std::string_view kIdPreview[] = {"id", "preview"};
constexpr std::string_view kSelection[] = {"job", "from", "through", "query", "tag", "range", "at"};

constexpr auto untouched = Entries::untouched;
constexpr auto mayChange = Entries::mayChange;

constexpr std::array kCommands = {
    engineCommand("capabilities", F::capabilities, untouched),
    engineCommand("jobs.list", F::jobs, untouched),
    engineCommand("jobs.show", F::jobs, untouched, kId),
    engineCommand("jobs.create", F::jobs, untouched),
    engineCommand("jobs.update", F::jobs, untouched, kId),
    engineCommand("jobs.archive", F::jobs, untouched, kId),
    engineCommand("jobs.copy", F::jobs, untouched, kId),
    engineCommand("timer.status", F::timer, untouched),
    engineCommand("timer.clock-in", F::timer, mayChange, kJob),
    engineCommand("timer.clock-out", F::timer, mayChange, kEntry),
    engineCommand("timer.break", F::timer, mayChange, kEntry),
    engineCommand("timer.resume", F::timer, mayChange, kEntry),
    engineCommand("entries.list", F::entries, untouched),
    engineCommand("entries.show", F::entries, untouched, kId),
    engineCommand("entries.create", F::entries, mayChange),
    engineCommand("entries.update", F::entries, mayChange, kId),
    engineCommand("entries.copy", F::entries, mayChange, kId),
    engineCommand("entries.delete", F::entries, mayChange, kId),
    engineCommand("preferences.get", F::preferences, untouched),
    engineCommand("preferences.set", F::preferences, untouched),
    engineCommand("tags.list", F::tags, untouched),
    engineCommand("tags.rename", F::tags, mayChange, kTagTo),
    engineCommand("tags.merge", F::tags, mayChange, kTagTo),
    engineCommand("tags.remove", F::tags, mayChange, kTag),
    engineCommand("filters.list", F::filters, untouched),
    engineCommand("filters.create", F::filters, untouched),
    engineCommand("filters.update", F::filters, untouched, kId),
    engineCommand("filters.delete", F::filters, untouched, kId),
    engineCommand("reports.summary", F::reports, untouched),
    engineCommand("reports.daily", F::reports, untouched),
    engineCommand("reports.payperiod", F::reports, untouched),
    engineCommand("export", F::exportRecords, untouched),
    engineCommand("import.preview", F::importRecords, untouched, kFile),
    engineCommand("import.apply", F::importRecords, mayChange, kFile),

    appCommand("app.status", F::app, {}, {}, WhenLocked::answered),
    appCommand("app.show", F::app, {}, {}, WhenLocked::answered),
    appCommand("app.settings", F::app),
    appCommand("app.help", F::app),
    appCommand("app.data-folder", F::app),
    appCommand("app.lock", F::app),
    appCommand("app.unlock", F::app, {}, {}, WhenLocked::answered),
    appCommand("ui.navigate", F::ui, kScreenId, kScreen),
    appCommand("ui.edit-job", F::ui, kId, kId),
    appCommand("ui.edit-entry", F::ui, kId, kId),
    appCommand("ui.dismiss", F::ui),
    appCommand("reports.print", F::reports, kSelection),
    appCommand("cloud.status", F::cloud),
    appCommand("cloud.enable", F::cloud),
    appCommand("cloud.disable", F::cloud),
    appCommand("cloud.sync", F::cloud),
    appCommand("notifications.status", F::notifications),
    appCommand("notifications.request", F::notifications),
    appCommand("location.status", F::location),
    appCommand("location.start", F::location),
    appCommand("location.stop", F::location),
    appCommand("backups.list", F::backups),
    appCommand("backups.preview", F::backups, kId, kId),
    appCommand("backups.restore", F::backups, kIdPreview, kId, WhenLocked::refused, mayChange),
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

bool answeredWhileLocked(std::string_view command) {
  const CommandRow* row = findCommand(command);
  return row != nullptr && row->answeredWhileLocked;
}

std::optional<CommandFamily> engineFamily(std::string_view name) {
  const CommandRow* row = findCommand(name);
  if (row != nullptr && row->performer == Performer::engine) return row->family;
  for (const auto& [prefix, family] : kPrefixOwners) {
    if (name.starts_with(prefix)) return family;
  }
  return std::nullopt;
}

void checkFixedArguments(std::string_view command, const std::map<std::string, std::string>& arguments) {
  const CommandRow* row = findCommand(command);
  if (row == nullptr || !row->arguments) return;
  const ArgumentNameList allowed = *row->arguments;
  checkArgumentNames(command, arguments, [&](std::string_view name) {
    return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
  });
}

}  // namespace pellam::agent
