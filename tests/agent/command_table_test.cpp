#include "agent/wire/command_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "agent/wire/failure.h"

namespace pellam::agent {
namespace {

// A row filed under the wrong family would send its command to another family's handler.
TEST(CommandTableTest, EveryCommandSitsUnderItsFamilysWordOnce) {
  const std::map<CommandFamily, std::string> words = {
      {CommandFamily::capabilities, "capabilities"}, {CommandFamily::jobs, "jobs"},
      {CommandFamily::timer, "timer"},               {CommandFamily::entries, "entries"},
      {CommandFamily::preferences, "preferences"},   {CommandFamily::tags, "tags"},
      {CommandFamily::filters, "filters"},           {CommandFamily::reports, "reports"},
      {CommandFamily::exportRecords, "export"},      {CommandFamily::importRecords, "import"},
      {CommandFamily::app, "app"},                   {CommandFamily::ui, "ui"},
      {CommandFamily::cloud, "cloud"},               {CommandFamily::notifications, "notifications"},
      {CommandFamily::location, "location"},         {CommandFamily::backups, "backups"},
  };
  std::set<std::string_view> seen;
  for (const CommandRow& row : commandTable()) {
    SCOPED_TRACE(std::string(row.name));
    EXPECT_TRUE(seen.insert(row.name).second) << "listed twice";
    std::string_view word = row.name.substr(0, row.name.find('.'));
    EXPECT_EQ(word, words.at(row.family));
    EXPECT_EQ(findCommand(row.name), &row);
    if (row.performer == Performer::engine) {
      EXPECT_EQ(engineFamily(row.name), row.family);
    }
  }
}

TEST(CommandTableTest, ALockedAppAnswersOnlyWhatItTakesToSeeAndUnlockIt) {
  std::set<std::string_view> answered;
  for (const CommandRow& row : commandTable()) {
    if (answeredWhileLocked(row.name)) answered.insert(row.name);
  }
  EXPECT_EQ(answered, (std::set<std::string_view>{"app.status", "app.show", "app.unlock"}));
  for (const char* name : {"App.status", "app.status ", "app", "", "app.unlock.now"}) {
    EXPECT_FALSE(answeredWhileLocked(name)) << name;
  }
}

// A read-only command's answer may be dropped and the command run again on a replay; a
// command that acts must never be, even where one run happened to change nothing.
TEST(CommandTableTest, OnlyCommandsThatMerelyLookAreReadOnly) {
  std::set<std::string_view> readOnly;
  for (const CommandRow& row : commandTable()) {
    if (isReadOnly(row.name)) readOnly.insert(row.name);
    if (row.mayChangeEntries) {
      EXPECT_FALSE(row.readOnly) << row.name;
    }
  }
  EXPECT_EQ(readOnly, (std::set<std::string_view>{
                          "capabilities",     "jobs.list",       "jobs.show",         "timer.status",
                          "entries.list",     "entries.show",    "preferences.get",   "tags.list",
                          "filters.list",     "reports.summary", "reports.daily",     "reports.payperiod",
                          "export",           "import.preview",  "app.status",        "app.data-folder",
                          "cloud.status",     "notifications.status", "location.status", "backups.list",
                          "backups.preview",
                      }));
  for (const char* name : {"timer.clock-in", "jobs.update", "preferences.set", "app.lock", "reports.print",
                           "jobs.lists", "", "Export"}) {
    EXPECT_FALSE(isReadOnly(name)) << name;
  }
}

// Agents are told which changes only add: those are never destructive and each run adds
// one more. Any other change may replace or remove what is stored.
TEST(CommandTableTest, OnlyCommandsThatCreateCopyOrStartATimerOnlyAdd) {
  std::set<std::string_view> adding;
  for (const CommandRow& row : commandTable()) {
    if (!row.onlyAdds) continue;
    adding.insert(row.name);
    EXPECT_FALSE(row.readOnly) << row.name;
  }
  EXPECT_EQ(adding, (std::set<std::string_view>{"jobs.create", "jobs.copy", "timer.clock-in", "entries.create",
                                                "entries.copy", "filters.create"}));
}

TEST(CommandTableTest, FixedArgumentNamesAreCheckedOnlyWhereTheTableFixesThem) {
  EXPECT_NO_THROW(checkFixedArguments("backups.restore", {{"id", "x"}, {"preview", "y"}}));
  EXPECT_NO_THROW(checkFixedArguments("jobs.list", {{"anything", "x"}}));  // the jobs family decides
  EXPECT_NO_THROW(checkFixedArguments("no.such", {{"anything", "x"}}));
  try {
    checkFixedArguments("app.help", {{"zeta", "1"}, {"Alpha", "2"}, {"id", "3"}});
    FAIL() << "app.help takes no arguments";
  } catch (const AgentFailure& failure) {
    EXPECT_EQ(failure, AgentFailure::invalidArgument("Unknown arguments for app.help: Alpha, id, zeta."));
  }
}

// A name listed twice, or an operand whose key the command does not accept, would be a row
// that says one thing to the command line and another to the engine.
TEST(CommandTableTest, EveryRowListsEachArgumentOnceAndAcceptsWhatItsOperandsFill) {
  for (const CommandRow& row : commandTable()) {
    SCOPED_TRACE(std::string(row.name));
    std::set<std::string_view> names;
    for (const CommandArgument& argument : row.arguments) {
      EXPECT_TRUE(names.insert(argument.name).second) << argument.name << " listed twice";
    }
    for (std::string_view operand : row.operands) {
      // The import file is read by the command line and sent as `content`.
      if (operand == "file") continue;
      EXPECT_TRUE(accepts(row.arguments, operand)) << operand;
    }
  }
}

TEST(CommandTableTest, EveryRowChecksItsOwnArguments) {
  EXPECT_NO_THROW(checkArguments(*findCommand("jobs.list"), {{"archived", "x"}, {"limit", "1"}}));
  EXPECT_NO_THROW(checkArguments(*findCommand("jobs.update"), {{"daily-overtime", "8"}, {"if-match", "r"}}));
  try {
    checkArguments(*findCommand("jobs.show"), {{"name", "x"}, {"id", "y"}, {"Id", "z"}});
    FAIL() << "jobs.show takes only an id";
  } catch (const AgentFailure& failure) {
    EXPECT_EQ(failure, AgentFailure::invalidArgument("Unknown arguments for jobs.show: Id, name."));
  }
}

}  // namespace
}  // namespace pellam::agent
