// Fills the completion engine's template (completions/vantry-complete.sh.in) with the lists
// the command table and the command line's option tables hold: the command words, the
// operations of each family, each command's options with their summaries and the values of
// those that take one of a few, and the keys its operands fill.
//   completion_lists TEMPLATE OUTPUT
#include <algorithm>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "agent/wire/command_line_options.h"
#include "agent/wire/command_table.h"

namespace {

using namespace pellam::agent;

std::string_view firstWord(std::string_view name) { return name.substr(0, name.find('.')); }

std::string_view operation(std::string_view name) {
  std::size_t dot = name.find('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// The case pattern that matches the first two words of a command line for `row`, followed
// by `then` (a space and an option, for the patterns of one option of the command).
std::string pattern(const CommandRow& row, std::string_view then = {}) {
  std::string_view op = operation(row.name);
  // A second word is its own (export's format).
  if (op.empty()) return "\"" + std::string(row.name) + " \"*" + (then.empty() ? "" : "\"" + std::string(then) + "\"");
  std::string text = "\"" + std::string(firstWord(row.name)) + " " + std::string(op) + std::string(then) + "\"";
  for (const OperationAlias& alias : operationAliases) {
    if (alias.operation == op) {
      text += " | \"" + std::string(firstWord(row.name)) + " " + std::string(alias.word) + std::string(then) + "\"";
    }
  }
  return text;
}

bool isOperand(const CommandRow& row, std::string_view name) {
  for (std::string_view operand : row.operands) {
    if (operand == name) return true;
  }
  return false;
}

// The options a command is offered: its arguments except those its operands fill, each
// followed by the file option that may stand for it, and the global options of its own.
std::vector<std::string> offeredOptions(const CommandRow& row) {
  std::vector<std::string> options;
  for (const CommandArgument& argument : row.arguments) {
    if (isOperand(row, argument.name)) continue;
    options.push_back("--" + std::string(argument.name));
    for (const FileOptionRow& file : fileOptions) {
      if (!file.operand && file.argument == argument.name) options.push_back("--" + std::string(file.name));
    }
  }
  for (const GlobalOptionRow& global : globalOptions) {
    if (global.onlyFor == row.name) options.push_back("--" + std::string(global.name));
  }
  return options;
}

std::string commandWords() {
  std::vector<std::string> words;
  std::set<std::string_view> seen;
  for (const CommandRow& row : commandTable()) {
    if (seen.insert(firstWord(row.name)).second) words.emplace_back(firstWord(row.name));
  }
  return joined(words);
}

std::string operationCases() {
  std::ostringstream cases;
  std::set<std::string_view> done;
  for (const CommandRow& family : commandTable()) {
    std::string_view word = firstWord(family.name);
    if (operation(family.name).empty() || !done.insert(word).second) continue;
    std::vector<std::string> operations;
    for (const CommandRow& row : commandTable()) {
      if (firstWord(row.name) != word) continue;
      operations.emplace_back(operation(row.name));
      for (const OperationAlias& alias : operationAliases) {
        if (alias.operation == operation(row.name)) operations.emplace_back(alias.word);
      }
    }
    cases << "    " << word << ") echo \"" << joined(operations) << "\" ;;\n";
  }
  std::vector<std::string> all;
  for (const CommandRow& row : commandTable()) all.emplace_back(row.name);
  cases << "    command) echo \"" << joined(all) << "\" ;;";
  return cases.str();
}

std::string optionCases() {
  std::ostringstream cases;
  bool first = true;
  for (const CommandRow& row : commandTable()) {
    std::vector<std::string> options = offeredOptions(row);
    if (options.empty()) continue;
    cases << (first ? "" : "\n") << "    " << pattern(row) << ") echo \"" << joined(options) << "\" ;;";
    first = false;
  }
  return cases.str();
}

std::string operandCases() {
  std::ostringstream cases;
  bool first = true;
  for (const CommandRow& row : commandTable()) {
    if (row.operands.empty()) continue;
    std::vector<std::string> keys(row.operands.begin(), row.operands.end());
    cases << (first ? "" : "\n") << "    " << pattern(row) << ") keys=\"" << joined(keys) << "\" ;;";
    first = false;
  }
  return cases.str();
}

std::string globalOptionWords(bool GlobalOptionRow::*offered, bool withArgumentsFile) {
  std::vector<std::string> words;
  for (const GlobalOptionRow& global : globalOptions) {
    if (global.*offered) words.push_back("--" + std::string(global.name));
  }
  if (withArgumentsFile) words.push_back("--" + std::string(argumentsFileOption.name));
  return joined(words);
}

std::string flagPattern() {
  std::string text;
  for (const GlobalOptionRow& global : globalOptions) {
    if (!global.takesValue) text += (text.empty() ? "--" : " | --") + std::string(global.name);
  }
  return text;
}

// A summary goes into a double-quoted shell word inside a single-quoted script.
bool shellSafe(std::string_view text) { return text.find_first_of("'\"\\$`") == std::string_view::npos; }

// The cases of the engine's describe(): the line shown beside a command word, an
// operation (after its family, or after `command` by its full name) and a global option.
std::string descriptionCases() {
  std::ostringstream cases;
  std::set<std::string_view> done;
  for (const CommandRow& family : commandTable()) {
    std::string_view word = firstWord(family.name);
    if (!done.insert(word).second) continue;
    if (operation(family.name).empty()) {
      cases << "    \"" << word << "\") echo \"" << family.summary << "\" ;;\n";
      continue;
    }
    std::string operations;
    for (const CommandRow& row : commandTable()) {
      if (firstWord(row.name) == word) operations += (operations.empty() ? "" : ", ") + std::string(operation(row.name));
    }
    cases << "    \"" << word << "\") echo \"" << operations << "\" ;;\n";
  }
  for (const CommandRow& row : commandTable()) {
    cases << "    \"command " << row.name << "\"";
    if (!operation(row.name).empty()) cases << " | " << pattern(row);
    cases << ") echo \"" << row.summary << "\" ;;\n";
  }
  for (const GlobalOptionRow& global : globalOptions) {
    cases << "    \"--" << global.name << "\") echo \"" << global.summary << "\" ;;\n";
  }
  std::string text = cases.str();
  text.pop_back();
  return text;
}

// The arguments a command offers as options (not those its operands fill), each with the
// patterns that match it after that command's first two words.
template <typename Line>
std::string perOptionCases(Line line) {
  // One case per line of text, so that options shared by several commands are listed once.
  std::vector<std::pair<std::string, std::string>> cases;  // line, patterns
  for (const CommandRow& row : commandTable()) {
    for (const CommandArgument& argument : row.arguments) {
      if (isOperand(row, argument.name)) continue;
      std::string text = line(argument);
      if (text.empty()) continue;
      std::string patterns = pattern(row, " --" + std::string(argument.name));
      auto same = std::find_if(cases.begin(), cases.end(), [&](const auto& c) { return c.first == text; });
      if (same == cases.end()) {
        cases.emplace_back(text, patterns);
      } else {
        same->second += " | " + patterns;
      }
    }
  }
  std::ostringstream out;
  for (const auto& [text, patterns] : cases) out << "    " << patterns << ") " << text << " ;;\n";
  std::string all = out.str();
  if (!all.empty()) all.pop_back();
  return all;
}

// The values of a choice or a boolean, one per line (a choice may hold spaces).
std::string choiceCases() {
  return perOptionCases([](const CommandArgument& argument) {
    std::string line;
    if (argument.type == ArgumentType::boolean) return std::string("printf \"%s\\n\" true false");
    if (argument.type != ArgumentType::choice) return line;
    line = "printf \"%s\\n\"";
    for (std::string_view choice : argument.choices) line += " \"" + std::string(choice) + "\"";
    return line;
  });
}

// The line shown beside each option of a command.
std::string optionDescriptionCases() {
  return perOptionCases(
      [](const CommandArgument& argument) { return "echo \"" + std::string(argument.summary) + "\""; });
}

// Rows whose summary is missing or cannot be put into the scripts; empty when all can.
std::string badSummaries() {
  std::string names;
  for (const CommandRow& row : commandTable()) {
    if (row.summary.empty() || !shellSafe(row.summary)) names += " " + std::string(row.name);
  }
  for (const GlobalOptionRow& global : globalOptions) {
    if (global.summary.empty() || !shellSafe(global.summary)) names += " --" + std::string(global.name);
  }
  for (const CommandRow& row : commandTable()) {
    for (const CommandArgument& argument : row.arguments) {
      const bool safe =
          shellSafe(argument.summary) && std::all_of(argument.choices.begin(), argument.choices.end(), shellSafe);
      if (argument.summary.empty() || !safe) names += " " + std::string(row.name) + "/" + std::string(argument.name);
    }
  }
  return names;
}

bool replace(std::string& text, std::string_view placeholder, const std::string& value) {
  std::size_t at = text.find(placeholder);
  if (at == std::string::npos) return false;
  text.replace(at, placeholder.size(), value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: completion_lists TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  if (std::string bad = badSummaries(); !bad.empty()) {
    std::cerr << "summaries or choices missing or holding a quote, backslash, $ or backquote:" << bad << "\n";
    return 1;
  }
  const std::pair<std::string_view, std::string> fills[] = {
      {"@COMMAND_WORDS@", commandWords()},
      {"@OPERATIONS@", operationCases()},
      {"@OPTIONS@", optionCases()},
      {"@OPERANDS@", operandCases()},
      {"@GLOBALS@", globalOptionWords(&GlobalOptionRow::withCommands, true)},
      {"@BEFORE_COMMAND@", globalOptionWords(&GlobalOptionRow::beforeCommand, false)},
      {"@FLAGS@", flagPattern()},
      {"@DESCRIPTIONS@", descriptionCases()},
      {"@OPTION_DESCRIPTIONS@", optionDescriptionCases()},
      {"@CHOICES@", choiceCases()},
  };
  for (const auto& [placeholder, value] : fills) {
    if (!replace(text, placeholder, value)) {
      std::cerr << argv[1] << " has no " << placeholder << "\n";
      return 1;
    }
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
