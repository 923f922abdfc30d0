#include "mcp/tool_catalogue.h"

#include <algorithm>
#include <string>

#include "agent/wire/command_line_options.h"

namespace pellam::mcp {

using agent::ArgumentType;
using agent::CommandRow;

namespace {

Json typed(std::string_view type) {
  Json schema = Json::object();
  schema["type"] = type;
  return schema;
}

// Values travel as text, so every argument takes its text; where the type has a JSON form
// of its own (a number, a Boolean, an object), that form is taken too and becomes the same
// text an argument file gives.
Json textOr(std::initializer_list<std::string_view> types, Json text = typed("string")) {
  Json anyOf = Json::array();
  for (std::string_view type : types) anyOf.push_back(typed(type));
  anyOf.push_back(std::move(text));
  Json schema = Json::object();
  schema["anyOf"] = std::move(anyOf);
  return schema;
}

Json formatted(std::string_view format) {
  Json schema = typed("string");
  schema["format"] = format;
  return schema;
}

Json argumentSchema(const agent::CommandArgument& argument) {
  switch (argument.type) {
    case ArgumentType::integer: return textOr({"integer"});
    case ArgumentType::decimal: return textOr({"number"});
    case ArgumentType::boolean: {
      Json text = typed("string");
      text["enum"] = Json::Array{"true", "false"};
      return textOr({"boolean"}, std::move(text));
    }
    case ArgumentType::date: return formatted("date");
    case ArgumentType::instant: return formatted("date-time");
    case ArgumentType::dayOrInstant: {
      Json anyOf = Json::array();
      anyOf.push_back(formatted("date"));
      anyOf.push_back(formatted("date-time"));
      Json schema = Json::object();
      schema["anyOf"] = std::move(anyOf);
      return schema;
    }
    case ArgumentType::choice: {
      Json schema = typed("string");
      Json values = Json::array();
      for (std::string_view choice : argument.choices) values.push_back(choice);
      schema["enum"] = std::move(values);
      // Choices that are numbers (week days) are taken as JSON numbers too: either form
      // becomes the same text.
      if (!choicesAreWholeNumbers(argument)) return schema;
      Json numbers = Json::array();
      for (std::string_view choice : argument.choices) numbers.push_back(std::stoi(std::string(choice)));
      Json number = typed("integer");
      number["enum"] = std::move(numbers);
      Json anyOf = Json::array();
      anyOf.push_back(std::move(number));
      anyOf.push_back(std::move(schema));
      Json either = Json::object();
      either["anyOf"] = std::move(anyOf);
      return either;
    }
    case ArgumentType::json: return textOr({"object", "array"});
    case ArgumentType::base64: {
      Json schema = typed("string");
      schema["contentEncoding"] = "base64";
      return schema;
    }
    case ArgumentType::text:
    case ArgumentType::identifier: break;
  }
  return typed("string");
}

Json described(Json schema, const std::string& description) {
  schema["description"] = description;
  return schema;
}

Json optionSchema(ToolOption option) {
  switch (option) {
    case ToolOption::dryRun: return described(typed("boolean"), "Check the change and show it without saving anything");
    case ToolOption::requestId:
      return described(formatted("uuid"),
                       "The request's id; repeat the id of a call whose outcome is unknown (with the same arguments) "
                       "to get its answer instead of running it again");
    case ToolOption::out:
      return described(typed("string"),
                       "Absolute path of a new file to write the export to (an existing file is never replaced); "
                       "without it the file comes back as an embedded resource");
    case ToolOption::file:
      return described(typed("string"), "Absolute path of the file to import (at most " +
                                             std::to_string(agent::importFileOption.maximumBytes) +
                                             " bytes); its extension gives the format unless format is given");
  }
  return Json::object();
}

bool hasOperand(const CommandRow& row, std::string_view name) {
  return std::find(row.operands.begin(), row.operands.end(), name) != row.operands.end();
}

// The command line's import operand: a file the server reads and sends as its content.
bool takesImportFile(const CommandRow& row) { return hasOperand(row, agent::importFileOption.name); }

// What the request builder fills from an import file: its Base64 and, from its extension, the format.
constexpr std::string_view kFilledByImportFile[] = {agent::importFileOption.argument, "format"};

}  // namespace

bool choicesAreWholeNumbers(const agent::CommandArgument& argument) {
  return !argument.choices.empty() && std::all_of(argument.choices.begin(), argument.choices.end(), [](auto choice) {
    return !choice.empty() && choice.size() <= 9 &&
           std::all_of(choice.begin(), choice.end(), [](char c) { return c >= '0' && c <= '9'; });
  });
}

std::string toolName(std::string_view command) {
  std::string name(command);
  std::replace_if(name.begin(), name.end(), [](char c) { return c == '.' || c == '-'; }, '_');
  return name;
}

const CommandRow* commandOfTool(std::string_view tool) {
  for (const CommandRow& row : agent::commandTable()) {
    if (toolName(row.name) == tool) return &row;
  }
  return nullptr;
}

bool writesFile(const CommandRow& row) {
  const agent::GlobalOptionRow* out = agent::findGlobalOption("out");
  return out != nullptr && out->onlyFor == row.name;
}

std::vector<ToolArgument> toolArguments(const CommandRow& row) {
  std::vector<ToolArgument> arguments;
  for (const agent::CommandArgument& argument : row.arguments) arguments.push_back({argument.name, &argument, {}});
  // A dry run means something only where the call may change records or write a file.
  if (!row.readOnly || writesFile(row)) arguments.push_back({"dry-run", nullptr, ToolOption::dryRun});
  arguments.push_back({"request-id", nullptr, ToolOption::requestId});
  if (writesFile(row)) arguments.push_back({"out", nullptr, ToolOption::out});
  if (takesImportFile(row)) {
    arguments.push_back({agent::importFileOption.name, nullptr, ToolOption::file});
  }
  return arguments;
}

std::vector<std::string_view> requiredArguments(const CommandRow& row) {
  std::vector<std::string_view> required;
  for (std::string_view name : row.required) {
    bool filled = takesImportFile(row) && std::find(std::begin(kFilledByImportFile), std::end(kFilledByImportFile),
                                                    name) != std::end(kFilledByImportFile);
    if (!filled) required.push_back(name);
  }
  return required;
}

Json valueSchema(const ToolArgument& argument) {
  if (argument.option) return optionSchema(*argument.option);
  Json schema = argumentSchema(*argument.argument);
  if (!argument.argument->summary.empty()) schema["description"] = argument.argument->summary;
  return schema;
}

Json toolDefinition(const CommandRow& row) {
  Json properties = Json::object();
  for (const ToolArgument& argument : toolArguments(row)) properties[argument.name] = valueSchema(argument);
  Json input = Json::object();
  input["type"] = "object";
  input["properties"] = std::move(properties);
  input["additionalProperties"] = false;
  if (std::vector<std::string_view> names = requiredArguments(row); !names.empty()) {
    Json required = Json::array();
    for (std::string_view name : names) required.push_back(name);
    input["required"] = std::move(required);
  }

  // The hints' defaults assume the worst (a destructive, open-world tool), so each is said.
  const bool readOnly = row.readOnly && !writesFile(row);
  Json annotations = Json::object();
  annotations["readOnlyHint"] = readOnly;
  if (!readOnly) {
    // An export's file is always a new one: it only adds, like creating a record.
    annotations["destructiveHint"] = !(row.onlyAdds || writesFile(row));
  }
  // A second run with the same arguments changes nothing more, except where each run adds.
  annotations["idempotentHint"] = !row.onlyAdds;
  annotations["openWorldHint"] = false;

  Json tool = Json::object();
  tool["name"] = toolName(row.name);
  tool["description"] = row.summary.empty() ? std::string(row.name) : std::string(row.summary);
  tool["inputSchema"] = std::move(input);
  tool["annotations"] = std::move(annotations);
  return tool;
}

Json toolList() {
  Json tools = Json::array();
  for (const CommandRow& row : agent::commandTable()) tools.push_back(toolDefinition(row));
  return tools;
}

}  // namespace pellam::mcp
