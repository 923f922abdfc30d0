#pragma once
// The tools: one per command of the command table, with its input schema and annotations
// generated from the command's row, so a new row is a new tool.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agent/wire/command_table.h"
#include "core/json.h"

namespace pellam::mcp {

// What a tool takes besides its command's arguments: what the command line gives as its own
// options (--dry-run, --request-id, --out) and the file an import reads.
enum class ToolOption { dryRun, requestId, out, file };

struct ToolArgument {
  std::string_view name;
  // The command's argument; null for a tool option.
  const agent::CommandArgument* argument = nullptr;
  std::optional<ToolOption> option;
};

// Whether every choice of a `choice` argument is a whole number (the week days), so that a
// JSON number is taken for it as well as its text.
bool choicesAreWholeNumbers(const agent::CommandArgument& argument);

// The command's words joined by underscores: `timer.clock-in` is `timer_clock_in`.
std::string toolName(std::string_view command);

// The row whose tool has that name; null for none.
const agent::CommandRow* commandOfTool(std::string_view tool);

// Every argument the command's tool takes: the row's, then the tool options it offers.
std::vector<ToolArgument> toolArguments(const agent::CommandRow& row);

// The arguments a call must carry: the row's required ones, less those an import file fills
// when the tool takes one (its content and format), which the app then checks.
std::vector<std::string_view> requiredArguments(const agent::CommandRow& row);

// Whether the tool may write a file through `out`, which makes it more than a read.
bool writesFile(const agent::CommandRow& row);

// The JSON Schema of one argument's value.
Json valueSchema(const ToolArgument& argument);

// The tool's definition as tools/list shows it: name, description, inputSchema, annotations.
Json toolDefinition(const agent::CommandRow& row);

// Every tool, in the table's order.
Json toolList();

}  // namespace pellam::mcp
