#pragma once
// The options of the command line that are not a command's arguments: the global options,
// and the options that name a file whose content travels as an argument. Every other
// `--name value` is an argument of the command (its row in agent/wire/command_table.h lists
// them). The command line parses by these tables; the completions are generated from them.
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "agent/wire/wire.h"

namespace pellam::agent {

enum class GlobalOption { json, dryRun, help, version, dataDirectory, requestId, timeout, out };

struct GlobalOptionRow {
  std::string_view name;  // without the dashes
  GlobalOption option;
  bool takesValue;
  // Offered before a command's words (`vantry --json ...`).
  bool beforeCommand;
  // Offered with any command the app answers.
  bool withCommands;
  // The one command the option belongs to; empty for every command.
  std::string_view onlyFor{};
  // One line on what it does, for the shells' completion (no quotes or backslashes).
  std::string_view summary{};
};

inline constexpr std::array<GlobalOptionRow, 8> globalOptions = {{
    {"json", GlobalOption::json, false, true, true, {}, "Print the stable JSON envelope"},
    {"dry-run", GlobalOption::dryRun, false, false, true, {}, "Check and show the changes without saving"},
    {"help", GlobalOption::help, false, true, false, {}, "Show the help"},
    {"version", GlobalOption::version, false, true, false, {}, "Show the CLI and protocol version"},
    {"data-dir", GlobalOption::dataDirectory, true, true, true, {}, "Use another app data folder"},
    {"request-id", GlobalOption::requestId, true, false, true, {}, "Replay a request of unknown outcome"},
    {"timeout", GlobalOption::timeout, true, false, true, {}, "Seconds to wait for the app (1 to 120)"},
    {"out", GlobalOption::out, true, false, false, "export", "The new file to write"},
}};

// The global option of that name; null for a command's argument.
constexpr const GlobalOptionRow* findGlobalOption(std::string_view name) {
  for (const GlobalOptionRow& row : globalOptions) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

// An option naming a file the command line reads and sends as an argument instead.
struct FileOptionRow {
  std::string_view name;
  // The argument its content becomes; empty when every member of the file becomes one.
  std::string_view argument;
  std::size_t maximumBytes;
  // The file is the command's operand, not offered as an option.
  bool operand = false;
};

inline constexpr FileOptionRow argumentsFileOption{"args-file", "", AgentWire::maximumRequestBytes};
inline constexpr FileOptionRow patchFileOption{"patch-file", "patch", AgentWire::maximumImportBytes};
inline constexpr FileOptionRow importFileOption{"file", "content", AgentWire::maximumImportBytes, true};

inline constexpr std::array<FileOptionRow, 3> fileOptions = {argumentsFileOption, patchFileOption,
                                                             importFileOption};

// A second word the command line reads as another operation of its family.
struct OperationAlias {
  std::string_view word;
  std::string_view operation;
};

inline constexpr std::array<OperationAlias, 1> operationAliases = {{{"pay-period", "payperiod"}}};

}  // namespace pellam::agent
