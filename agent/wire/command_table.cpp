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
                                   ArgumentNameList operands = {}) {
  return {name, family, Performer::engine, entries == Entries::mayChange, false, effect == Effect::reads, operands,
          std::nullopt};
}

constexpr CommandRow appCommand(std::string_view name, F family, Effect effect, ArgumentNameList arguments = {},
                                ArgumentNameList operands = {}, WhenLocked locked = WhenLocked::refused,
                                Entries entries = Entries::untouched) {
  return {name, family, Performer::app, entries == Entries::mayChange, locked == WhenLocked::answered,
          effect == Effect::reads, operands, arguments};
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
constexpr auto reads = Effect::reads;
constexpr auto acts = Effect::acts;

constexpr std::array kCommands = {
    engineCommand("capabilities", F::capabilities, reads, untouched),
    engineCommand("jobs.list", F::jobs, reads, untouched),
    engineCommand("jobs.show", F::jobs, reads, untouched, kId),
    engineCommand("jobs.create", F::jobs, acts, untouched),
    engineCommand("jobs.update", F::jobs, acts, untouched, kId),
    engineCommand("jobs.archive", F::jobs, acts, untouched, kId),
    engineCommand("jobs.copy", F::jobs, acts, untouched, kId),
    engineCommand("timer.status", F::timer, reads, untouched),
    engineCommand("timer.clock-in", F::timer, acts, mayChange, kJob),
    engineCommand("timer.clock-out", F::timer, acts, mayChange, kEntry),
    engineCommand("timer.break", F::timer, acts, mayChange, kEntry),
    engineCommand("timer.resume", F::timer, acts, mayChange, kEntry),
    engineCommand("entries.list", F::entries, reads, untouched),
    engineCommand("entries.show", F::entries, reads, untouched, kId),
    engineCommand("entries.create", F::entries, acts, mayChange),
    engineCommand("entries.update", F::entries, acts, mayChange, kId),
    engineCommand("entries.copy", F::entries, acts, mayChange, kId),
    engineCommand("entries.delete", F::entries, acts, mayChange, kId),
    engineCommand("preferences.get", F::preferences, reads, untouched),
    engineCommand("preferences.set", F::preferences, acts, untouched),
    engineCommand("tags.list", F::tags, reads, untouched),
    engineCommand("tags.rename", F::tags, acts, mayChange, kTagTo),
    engineCommand("tags.merge", F::tags, acts, mayChange, kTagTo),
    engineCommand("tags.remove", F::tags, acts, mayChange, kTag),
    engineCommand("filters.list", F::filters, reads, untouched),
    engineCommand("filters.create", F::filters, acts, untouched),
    engineCommand("filters.update", F::filters, acts, untouched, kId),
    engineCommand("filters.delete", F::filters, acts, untouched, kId),
    engineCommand("reports.summary", F::reports, reads, untouched),
    engineCommand("reports.daily", F::reports, reads, untouched),
    engineCommand("reports.payperiod", F::reports, reads, untouched),
    engineCommand("export", F::exportRecords, reads, untouched),
    engineCommand("import.preview", F::importRecords, reads, untouched, kFile),
    engineCommand("import.apply", F::importRecords, acts, mayChange, kFile),

    appCommand("app.status", F::app, reads, {}, {}, WhenLocked::answered),
    appCommand("app.show", F::app, acts, {}, {}, WhenLocked::answered),
    appCommand("app.settings", F::app, acts),
    appCommand("app.help", F::app, acts),
    appCommand("app.data-folder", F::app, reads),
    appCommand("app.lock", F::app, acts),
    appCommand("app.unlock", F::app, acts, {}, {}, WhenLocked::answered),
    appCommand("ui.navigate", F::ui, acts, kScreenId, kScreen),
    appCommand("ui.edit-job", F::ui, acts, kId, kId),
    appCommand("ui.edit-entry", F::ui, acts, kId, kId),
    appCommand("ui.dismiss", F::ui, acts),
    appCommand("reports.print", F::reports, acts, kSelection),
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
    appCommand("backups.preview", F::backups, reads, kId, kId),
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

void checkFixedArguments(std::string_view command, const std::map<std::string, std::string>& arguments) {
  const CommandRow* row = findCommand(command);
  if (row == nullptr || !row->arguments) return;
  const ArgumentNameList allowed = *row->arguments;
  checkArgumentNames(command, arguments, [&](std::string_view name) {
    return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
  });
}

}  // namespace pellam::agent
