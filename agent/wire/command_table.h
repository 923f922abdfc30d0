#pragma once
// Every command the system sends, each in one row, with what the places that handle
// commands need to know about it: the catalogue lists, the arguments it accepts and the
// command line's operand keys, the engine's dispatch and its snapshot before a run, whether
// it only reads, and the rule of what a locked app still answers. A new command is a new row
// here and one handler in its family's table: the engine's in agent/engine/<family>.cpp, the
// app's in host/app_commands.cpp.
#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "agent/wire/command_arguments.h"

namespace pellam::agent {

// Who carries a command out: the engine, or the app (or its headless stand-in) itself.
enum class Performer { engine, app };

// The first word of a command on the command line; for the engine, the handler it reaches.
enum class CommandFamily {
  capabilities,
  jobs,
  timer,
  entries,
  preferences,
  tags,
  filters,
  reports,
  exportRecords,  // `export`
  importRecords,  // `import.preview`, `import.apply`
  app,
  ui,
  cloud,
  notifications,
  location,
  backups,
};

using ArgumentNameList = std::span<const std::string_view>;

struct CommandRow {
  std::string_view name;
  CommandFamily family;
  Performer performer;
  // False only for a command that never writes an entry: the engine then does not save
  // the entries, the archive's large part, before running it.
  bool mayChangeEntries;
  bool answeredWhileLocked;
  // Only looks: neither the records nor the app's state change, whatever the arguments, so
  // running it twice is harmless. Not whether one run happened to change nothing.
  bool readOnly;
  // The argument keys the command line's positional operands fill, in order.
  ArgumentNameList operands;
  // Every argument the command accepts; the engine and the host refuse any other before the
  // command runs, and the command line checks the app's commands against it too.
  ArgumentList arguments;
  // One line on what the command does, shown beside it where commands are listed (the
  // shells' completion). No quotes or backslashes: it is put into shell scripts.
  std::string_view summary{};
  // The arguments a request must carry for this command (a subset of `arguments`).
  ArgumentNameList required{};
  // Only adds (a new job, entry, saved view, or a timer started): nothing stored changes or
  // goes, and each run adds one more. Every other change may replace or remove what is there.
  bool onlyAdds = false;
};

// The engine's commands in catalogue order, then the app's commands in theirs.
std::span<const CommandRow> commandTable();

// The command's row; null for a name outside the catalogue.
const CommandRow* findCommand(std::string_view name);

// The row's position in commandTable().
std::size_t rowIndex(const CommandRow& row);

// Whether a locked app still answers the command (only what it takes to see the app and
// unlock it); false for names outside the catalogue.
bool answeredWhileLocked(std::string_view command);

// Whether the command only looks (CommandRow::readOnly); false for names outside the catalogue.
bool isReadOnly(std::string_view command);

// The engine family that gets `name`: the family of an engine command, or, for any other
// name under `jobs.`, `entries.`, `timer.`, `preferences.`, `tags.`, `filters.` or
// `reports.`, that family, which refuses the name with its own message. None for every
// other name (an unknown command to the engine), app commands included.
std::optional<CommandFamily> engineFamily(std::string_view name);

// Fails with "Unknown arguments for <command>: <names>." when any argument is not one the
// row lists.
void checkArguments(const CommandRow& row, const std::map<std::string, std::string>& arguments);

// checkArguments for an app command, which the command line checks before sending it;
// nothing for the engine's commands (the engine checks them) or names outside the catalogue.
void checkFixedArguments(std::string_view command, const std::map<std::string, std::string>& arguments);

}  // namespace pellam::agent
