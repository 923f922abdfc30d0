// The command table's argument facts against the engine that acts on them: a request that
// lacks an argument the table calls required is refused, every choice the table lists is
// accepted, and a near miss of one is refused.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>

#include "agent/wire/command_table.h"
#include "core/base64.h"
#include "core/storage/archive_json.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

const Uuid kView = uuid("F1F1F1F1-0000-4000-8000-000000000001");

// The sample archive with a tag to rename and a saved view to change.
Archive argumentsArchive() {
  Archive archive = sampleArchive();
  archive.entries[0].tags = {"late"};
  SavedFilter view;
  view.id = kView;
  view.name = "Mine";
  view.from = kNow;
  view.through = kNow;
  archive.filters.push_back(view);
  return archive;
}

const std::string kCsv = "Job,Start,End\r\nAcme,2026-03-03T14:00:00Z,2026-03-03T15:00:00Z\r\n";

std::string contentFor(std::string_view format) {
  return base64Encode(format == "json" ? encodeArchiveJson(argumentsArchive()) : kCsv);
}

// For each engine command, arguments with which it succeeds on argumentsArchive(): its
// required arguments and, where it needs one of several, one of them.
const std::map<std::string, Arguments, std::less<>> kWorking = {
    {"capabilities", {}},
    {"jobs.list", {}},
    {"jobs.show", {{"id", "Acme"}}},
    {"jobs.create", {{"name", "New"}}},
    {"jobs.update", {{"id", "Acme"}}},
    {"jobs.archive", {{"id", "Acme"}}},
    {"jobs.copy", {{"id", "Acme"}}},
    {"timer.status", {}},
    {"timer.clock-in", {{"job", "Acme"}}},
    {"timer.clock-out", {}},
    {"timer.break", {}},
    {"timer.resume", {}},
    {"entries.list", {{"job", "Acme"}}},
    {"entries.show", {{"id", kEntryDone.text()}}},
    {"entries.create", {{"job", "Acme"}, {"start", "2026-03-03T09:00:00Z"}}},
    {"entries.update", {{"id", kEntryDone.text()}}},
    {"entries.copy", {{"id", kEntryDone.text()}}},
    {"entries.delete", {{"id", kEntryDone.text()}}},
    {"preferences.get", {}},
    {"preferences.set", {}},
    {"tags.list", {}},
    {"tags.rename", {{"tag", "late"}, {"to", "night"}}},
    {"tags.merge", {{"tag", "late"}, {"to", "night"}}},
    {"tags.remove", {{"tag", "late"}}},
    {"filters.list", {}},
    {"filters.create", {{"name", "View"}}},
    {"filters.update", {{"id", kView.text()}}},
    {"filters.delete", {{"id", kView.text()}}},
    {"reports.summary", {{"job", "Acme"}}},
    {"reports.daily", {{"job", "Acme"}}},
    {"reports.payperiod", {{"job", "Acme"}}},
    {"export", {}},
    {"import.preview", {{"format", "csv"}, {"content", contentFor("csv")}}},
    {"import.apply", {{"format", "csv"}, {"content", contentFor("csv")}}},
};

// import.apply also wants the token its preview gives for the same file.
Arguments completed(std::string_view command, Arguments arguments) {
  if (command == "import.apply") {
    const Outcome preview = run(argumentsArchive(), "import.preview", arguments);
    if (preview.execution) arguments["preview"] = preview.result().find("preview")->asString();
  }
  return arguments;
}

Outcome runWith(std::string_view command, const Arguments& arguments) {
  return run(argumentsArchive(), std::string(command), completed(command, arguments));
}

const std::vector<const CommandRow*> engineRows() {
  std::vector<const CommandRow*> rows;
  for (const CommandRow& row : commandTable()) {
    if (row.performer == Performer::engine) rows.push_back(&row);
  }
  return rows;
}

TEST(CommandArgumentsTest, ARequestLackingARequiredArgumentIsRefusedAndOneWithThemAllRuns) {
  for (const CommandRow* row : engineRows()) {
    SCOPED_TRACE(std::string(row->name));
    auto working = kWorking.find(row->name);
    ASSERT_NE(working, kWorking.end()) << "no working arguments for this command";
    EXPECT_EQ(summary(runWith(row->name, working->second)), "ok");
    for (std::string_view name : row->required) {
      SCOPED_TRACE(std::string(name));
      Arguments lacking = completed(row->name, working->second);
      ASSERT_EQ(lacking.erase(std::string(name)), 1u) << "the working arguments lack it already";
      const Outcome outcome = run(argumentsArchive(), std::string(row->name), lacking);
      ASSERT_TRUE(outcome.failure) << "ran without it";
      EXPECT_NE(outcome.failure->message.find(name), std::string::npos) << outcome.failure->message;
    }
  }
}

// Near misses: another letter case where the engine compares exactly, a similar word where it
// does not.
const std::map<const std::string_view*, std::string> kOutside = {
    {kRoundingTexts.data(), "nearest"},     {kPayScheduleTexts.data(), "Biweekly"},
    {kLocationModes.data(), "off"},         {kSavedFilterRanges.data(), "this week"},
    {kWeekDays.data(), "8"},                {kReportRanges.data(), "weekly"},
    {kExportFormats.data(), "JSON"},        {kImportFormats.data(), "xlsx"},
};

// The arguments a choice is tried with: the command's working ones, a job for the pay-period
// range, a file in the format named, and a filtered export in CSV (a JSON export is whole).
Arguments withChoice(const CommandRow& row, const CommandArgument& argument, const std::string& value) {
  Arguments arguments = kWorking.at(std::string(row.name));
  arguments[std::string(argument.name)] = value;
  if (argument.choices.data() == kImportFormats.data()) arguments["content"] = contentFor(value);
  if (argument.choices.data() == kReportRanges.data()) {
    arguments["job"] = "Acme";
    if (row.name == "export") arguments["format"] = "csv";
  }
  return arguments;
}

TEST(CommandArgumentsTest, EveryListedChoiceIsAcceptedAndANearMissRefused) {
  for (const CommandRow* row : engineRows()) {
    for (const CommandArgument& argument : row->arguments) {
      if (argument.type != ArgumentType::choice) continue;
      SCOPED_TRACE(std::string(row->name) + " --" + std::string(argument.name));
      for (std::string_view choice : argument.choices) {
        EXPECT_EQ(summary(runWith(row->name, withChoice(*row, argument, std::string(choice)))), "ok") << choice;
      }
      auto outside = kOutside.find(argument.choices.data());
      ASSERT_NE(outside, kOutside.end()) << "no near miss for this list";
      EXPECT_TRUE(runWith(row->name, withChoice(*row, argument, outside->second)).failure) << outside->second;
    }
  }
}

// The summaries are put into shell scripts and tool descriptions; a choice without its list,
// or a list on another type, would tell a client the wrong values.
TEST(CommandArgumentsTest, EveryArgumentHasASummaryAndChoicesExactlyWhenItIsAChoice) {
  for (const CommandRow& row : commandTable()) {
    for (const CommandArgument& argument : row.arguments) {
      SCOPED_TRACE(std::string(row.name) + " --" + std::string(argument.name));
      EXPECT_FALSE(argument.summary.empty());
      EXPECT_EQ(argument.summary.find_first_of("'\"\\$`"), std::string_view::npos) << argument.summary;
      EXPECT_EQ(argument.type == ArgumentType::choice, !argument.choices.empty());
    }
    for (std::string_view name : row.required) {
      EXPECT_TRUE(accepts(row.arguments, name)) << row.name << " requires " << name;
    }
  }
}

}  // namespace
}  // namespace pellam::agent::testing
