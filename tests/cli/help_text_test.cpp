#include "cli/help_text.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "agent/wire/command_table.h"

namespace pellam::cli {
namespace {

bool isOperationWord(const std::string& word) {
  return !word.empty() && word[0] >= 'a' && word[0] <= 'z' &&
         word.find_first_not_of("abcdefghijklmnopqrstuvwxyz-|") == std::string::npos;
}

// The command forms the help text's command sections show, as dotted names: "jobs list"
// gives jobs.list, "cloud status|enable" gives cloud.status and cloud.enable, and a form
// without an operation word ("export [json|csv]", "doctor", "--version") its first word.
std::set<std::string> formsInHelp() {
  std::set<std::string> forms;
  std::istringstream lines(helpText());
  std::string line;
  bool inCommands = false;
  while (std::getline(lines, line)) {
    if (line == "Local commands") inCommands = true;
    if (line == "Common options") break;
    if (!inCommands || !line.starts_with("  ") || line[2] == ' ') continue;
    std::string form = line.substr(2, line.find("  ", 2) - 2);  // the description follows two spaces
    std::size_t start = 0;
    while (start != std::string::npos) {
      std::size_t slash = form.find(" / ", start);
      std::istringstream segment(form.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
      start = slash == std::string::npos ? slash : slash + 3;
      std::string family, operations;
      segment >> family >> operations;
      if (!isOperationWord(operations)) {
        forms.insert(family);
        continue;
      }
      std::istringstream alternatives(operations);
      for (std::string operation; std::getline(alternatives, operation, '|');) forms.insert(family + "." + operation);
    }
  }
  return forms;
}

TEST(HelpTextTest, ShowsEveryCommandOfTheTableAndNothingElse) {
  const std::set<std::string> forms = formsInHelp();
  for (const agent::CommandRow& row : agent::commandTable()) {
    EXPECT_EQ(forms.count(std::string(row.name)), 1u) << row.name << " is missing from the help text";
  }
  const std::set<std::string> local = {"help", "--help", "--version", "doctor", "docs", "command"};
  for (const std::string& form : forms) {
    EXPECT_TRUE(local.count(form) || agent::findCommand(form)) << form << " is shown but is not a command";
  }
}

}  // namespace
}  // namespace pellam::cli
