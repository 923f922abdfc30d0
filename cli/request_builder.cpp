// Turns the parsed command line into one request: the dotted command name from the words,
// argument, patch and import files folded into the string arguments, operands given their
// keys, and the few checks the front end makes itself. The engine and the app check the rest.
#include "cli/request_builder.h"

#include <cerrno>
#include <deque>

#include "agent/wire/command_line_options.h"
#include "agent/wire/command_table.h"
#include "core/base64.h"
#include "core/file_system.h"
#include "core/paths.h"
#include "core/utf8.h"

namespace pellam::cli {

using agent::AgentFailure;

namespace {

std::string joined(const std::vector<std::string>& items, const std::string& separator) {
  std::string text;
  for (const auto& item : items) {
    if (!text.empty()) text += separator;
    text += item;
  }
  return text;
}

// The command name, with `arguments` given the export format word; fills `operands`.
std::string commandName(const std::vector<std::string>& words, std::map<std::string, std::string>& arguments,
                        std::deque<std::string>& operands) {
  std::string command;
  if (words[0] == "command") {
    if (words.size() != 2) throw AgentFailure::invalidArgument("Use vantry command <command.name> --args-file <json>.");
    command = words[1];
  } else if (words[0] == "export") {
    if (words.size() > 2) throw AgentFailure::invalidArgument("Use vantry export [json|csv|xlsx|txt] --out <path>.");
    if (words.size() == 2) {
      if (arguments.count("format")) throw AgentFailure::invalidArgument("Specify the export format once.");
      arguments["format"] = words[1];
    }
    command = "export";
  } else if (words.size() == 1 && words[0] == "capabilities") {
    command = "capabilities";
  } else {
    if (words.size() < 2) throw AgentFailure::invalidArgument("Supply an operation. Run vantry help.");
    std::string operation = words[1];
    for (const agent::OperationAlias& alias : agent::operationAliases) {
      if (operation == alias.word) operation = alias.operation;
    }
    command = words[0] + "." + operation;
    operands.assign(words.begin() + 2, words.end());
  }
  if (agent::findCommand(command) == nullptr) {
    throw AgentFailure::unknownCommand("Unknown command: " + command + ". Run vantry help.");
  }
  return command;
}

// Members of the argument file join the arguments: strings as they are, anything else as
// its JSON text (sorted keys, "/" escaped).
void foldArgumentFile(std::map<std::string, std::string>& arguments) {
  auto file = arguments.find(std::string(agent::argumentsFileOption.name));
  if (file == arguments.end()) return;
  std::string path = file->second;
  arguments.erase(file);
  Json content = parseJson(readInputFile(path, agent::argumentsFileOption.maximumBytes));
  if (!content.isObject() && !content.isArray()) {
    throw JsonParseError("The argument file must hold a JSON object, not a bare value.", 0);
  }
  if (!content.isObject()) throw AgentFailure::invalidArgument("--args-file must contain a JSON object.");
  for (const auto& [key, value] : content.asObject()) {
    if (arguments.count(key)) throw AgentFailure::invalidArgument("Duplicate argument: " + key + ".");
    arguments[key] = argumentText(value);
  }
}

void foldPatchFile(std::map<std::string, std::string>& arguments) {
  const agent::FileOptionRow& option = agent::patchFileOption;
  auto file = arguments.find(std::string(option.name));
  if (file == arguments.end()) return;
  std::string path = file->second;
  arguments.erase(file);
  const std::string patch(option.argument);
  if (arguments.count(patch)) throw AgentFailure::invalidArgument("Specify --patch or --patch-file once.");
  std::string text = readInputFile(path, option.maximumBytes);
  if (!isValidUtf8(text)) throw AgentFailure::invalidArgument("A patch file must be UTF-8 JSON.");
  arguments[patch] = std::move(text);
}

// The file name's extension in lower case; a leading dot starts a hidden name, not an extension.
std::string lowerCaseExtension(const std::string& path) {
  std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return "";
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

// The import file travels inside the request as Base64; the app never reads the caller's path.
void foldImportFile(std::map<std::string, std::string>& arguments) {
  const agent::FileOptionRow& option = agent::importFileOption;
  auto file = arguments.find(std::string(option.name));
  if (file == arguments.end()) return;
  std::string path = expandTilde(file->second);
  arguments.erase(file);
  const std::string content(option.argument);
  if (arguments.count(content)) throw AgentFailure::invalidArgument("Specify a file or base64 content once.");
  arguments[content] = base64Encode(readInputFile(path, option.maximumBytes));
  if (!arguments.count("format")) arguments["format"] = lowerCaseExtension(path);
}

}  // namespace

std::string argumentText(const Json& value) {
  return value.isString() ? value.asString() : writeJson(value, JsonFormat{.escapeSlash = true});
}

std::string readInputFile(const std::string& given, std::size_t maximum) {
  std::string path = expandTilde(given);
  FileSystem& fs = *RealFileSystem::shared();
  FileStatus item = fs.status(path);
  if (!item.exists) throw FileSystemError(ENOENT, "Could not read the attributes of " + path);
  if (!item.isRegularFile || item.size > maximum) {
    throw AgentFailure::invalidArgument("Choose a regular file no larger than " + std::to_string(maximum) +
                                        " bytes.");
  }
  std::optional<std::string> bytes = fs.readFileAtMost(path, maximum);
  if (!bytes) throw AgentFailure::invalidArgument("The file grew beyond the size limit while reading.");
  return *bytes;
}

agent::AgentRequest buildRequest(const CLIOptions& options, Instant now) {
  std::map<std::string, std::string> built = options.arguments;
  std::deque<std::string> operands;
  std::string command = commandName(options.words, built, operands);

  foldArgumentFile(built);
  foldPatchFile(built);

  const agent::CommandRow& row = *agent::findCommand(command);
  for (std::string_view name : row.operands) {
    if (operands.empty()) break;
    std::string key(name);
    if (built.count(key)) throw AgentFailure::invalidArgument("Specify " + key + " once.");
    built[key] = operands.front();
    operands.pop_front();
  }
  if (row.family == agent::CommandFamily::importRecords) foldImportFile(built);
  if (!operands.empty()) {
    throw AgentFailure::invalidArgument("Unexpected positional arguments: " +
                                        joined({operands.begin(), operands.end()}, " ") + ".");
  }
  // The engine's commands are checked where they run.
  if (row.performer == agent::Performer::app) agent::checkArguments(row, built);
  if (options.outputPath && command != agent::findGlobalOption("out")->onlyFor) {
    throw AgentFailure::invalidArgument("--out is only available for export.");
  }

  agent::AgentRequest request;
  request.version = agent::kProtocolVersion;
  request.id = options.requestID;
  request.createdAt = now;
  request.command = std::move(command);
  request.arguments = std::move(built);
  request.dryRun = options.dryRun;
  return request;
}

}  // namespace pellam::cli
