// Writes the command table as the manual pages need it (docs/make_man_pages.py reads it), so
// the page's list of commands and options comes from the table the programs run on:
//   man_command_table OUTPUT.json
// One member per command: the words typed, the operands, the options (record fields and the
// selection arguments as named groups) with the values of those that take one of a few,
// whether the app carries it out, only reads, or is answered while locked; and the global
// options.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <string_view>

#include "agent/wire/command_arguments.h"
#include "agent/wire/command_line_options.h"
#include "agent/wire/command_table.h"
#include "core/json.h"

namespace {

using namespace pellam;
using namespace pellam::agent;

struct ArgumentGroup {
  std::string_view name;
  ArgumentList members;
};

// Record fields first: a saved view's fields hold most of the selection's names.
constexpr ArgumentGroup kGroups[] = {
    {"job", jobFields},
    {"entry", entryFields},
    {"filter", filterFields},
    {"preferences", preferenceFields},
    {"selection", selectionArguments},
};

std::string upper(std::string_view word) {
  std::string text(word);
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

Json commandEntry(const CommandRow& row) {
  std::string words(row.name);
  for (char& c : words) {
    if (c == '.') c = ' ';
  }
  std::set<std::string_view> taken;
  Json operands = Json::array();
  // export's second word is its format.
  if (row.family == CommandFamily::exportRecords) {
    operands.push_back("FORMAT");
    taken.insert("format");
  }
  for (std::string_view operand : row.operands) {
    operands.push_back(upper(operand));
    taken.insert(operand);
    for (const FileOptionRow& file : fileOptions) {
      if (file.operand && file.name == operand) taken.insert(file.argument);
    }
  }
  Json groups = Json::array();
  for (const ArgumentGroup& group : kGroups) {
    bool all = std::all_of(group.members.begin(), group.members.end(), [&](const CommandArgument& member) {
      return !taken.count(member.name) && accepts(row.arguments, member.name);
    });
    if (!all) continue;
    groups.push_back(group.name);
    for (const CommandArgument& member : group.members) taken.insert(member.name);
  }
  Json options = Json::array();
  Json choices = Json::object();
  for (const CommandArgument& argument : row.arguments) {
    if (taken.count(argument.name)) continue;
    options.push_back(argument.name);
    if (!argument.choices.empty()) {
      Json values = Json::array();
      for (std::string_view choice : argument.choices) values.push_back(choice);
      choices[std::string(argument.name)] = values;
    }
    for (const FileOptionRow& file : fileOptions) {
      if (!file.operand && file.argument == argument.name) options.push_back(file.name);
    }
  }
  for (const GlobalOptionRow& global : globalOptions) {
    if (global.onlyFor == row.name) options.push_back(global.name);
  }
  Json entry = Json::object();
  entry["name"] = row.name;
  entry["words"] = words;
  entry["operands"] = operands;
  entry["groups"] = groups;
  entry["options"] = options;
  entry["choices"] = choices;
  entry["app"] = row.performer == Performer::app;
  entry["readOnly"] = row.readOnly;
  entry["answeredWhileLocked"] = row.answeredWhileLocked;
  return entry;
}

Json table() {
  Json commands = Json::array();
  for (const CommandRow& row : commandTable()) commands.push_back(commandEntry(row));
  Json globals = Json::array();
  for (const GlobalOptionRow& global : globalOptions) {
    Json option = Json::object();
    option["name"] = global.name;
    option["takesValue"] = global.takesValue;
    globals.push_back(option);
  }
  Json all = Json::object();
  all["commands"] = commands;
  all["globalOptions"] = globals;
  all["argumentsFileOption"] = argumentsFileOption.name;
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: man_command_table OUTPUT.json\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << writeJson(table(), JsonFormat{.pretty = true}) << "\n";
  out.close();
  if (!out) {
    std::cerr << "cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
