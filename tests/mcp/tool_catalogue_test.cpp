#include "mcp/tool_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "agent/wire/command_line_options.h"
#include "mcp/tool_call.h"

namespace pellam::mcp {
namespace {

using agent::ArgumentType;
using agent::CommandArgument;
using agent::CommandRow;

std::set<std::string> propertiesOf(const Json& tool) {
  std::set<std::string> names;
  for (const auto& [name, schema] : tool.find("inputSchema")->find("properties")->asObject()) names.insert(name);
  return names;
}

// A command added to the table is a tool at once, under its own name, and no tool lacks a row.
TEST(ToolCatalogueTest, EveryCommandOfTheTableIsOneToolAndNoOtherToolExists) {
  const Json tools = toolList();
  ASSERT_EQ(tools.asArray().size(), agent::commandTable().size());
  std::set<std::string> names;
  std::size_t at = 0;
  for (const CommandRow& row : agent::commandTable()) {
    const Json& tool = tools.asArray()[at++];
    SCOPED_TRACE(std::string(row.name));
    const std::string& name = tool.find("name")->asString();
    EXPECT_TRUE(names.insert(name).second) << "two commands share the tool name " << name;
    EXPECT_EQ(commandOfTool(name), &row);
    EXPECT_EQ(name.find_first_of(".-"), std::string::npos);
    EXPECT_FALSE(tool.find("description")->asString().empty());
    if (!row.summary.empty()) {
      EXPECT_EQ(tool.find("description")->asString(), row.summary);
    }
  }
  for (const char* stranger : {"jobs.list", "jobs_lists", "", "timer_clock-in", "import"}) {
    EXPECT_EQ(commandOfTool(stranger), nullptr) << stranger;
  }
}

TEST(ToolCatalogueTest, ToolNamesJoinTheCommandsWordsWithUnderscores) {
  const std::pair<const char*, const char*> cases[] = {
      {"jobs.list", "jobs_list"},
      {"timer.clock-in", "timer_clock_in"},
      {"app.data-folder", "app_data_folder"},
      {"export", "export"},
      {"reports.payperiod", "reports_payperiod"},
  };
  for (const auto& [command, tool] : cases) EXPECT_EQ(toolName(command), tool) << command;
}

// Every property of a schema is an argument of the row or one of the tool's own options, and
// every argument of the row is a property: nothing a command takes is out of an agent's reach.
TEST(ToolCatalogueTest, EverySchemaPropertyIsAnArgumentOfTheRowAndTheReverse) {
  const std::string fileOption(agent::importFileOption.name);
  for (const CommandRow& row : agent::commandTable()) {
    SCOPED_TRACE(std::string(row.name));
    const Json tool = toolDefinition(row);
    std::set<std::string> expected;
    for (const CommandArgument& argument : row.arguments) expected.insert(std::string(argument.name));
    expected.insert("request-id");
    if (!row.readOnly || row.name == "export") expected.insert("dry-run");
    if (row.name == "export") expected.insert("out");
    if (row.family == agent::CommandFamily::importRecords) expected.insert(fileOption);
    EXPECT_EQ(propertiesOf(tool), expected);

    const Json& input = *tool.find("inputSchema");
    EXPECT_EQ(input.find("type")->asString(), "object");
    EXPECT_EQ(*input.find("additionalProperties"), Json(false));
    std::set<std::string> required;
    if (const Json* listed = input.find("required")) {
      for (const Json& name : listed->asArray()) required.insert(name.asString());
    }
    std::set<std::string> rowRequired;
    for (std::string_view name : row.required) rowRequired.insert(std::string(name));
    // An import's file fills its content and format.
    if (row.family == agent::CommandFamily::importRecords) {
      rowRequired.erase("content");
      rowRequired.erase("format");
    }
    EXPECT_EQ(required, rowRequired);
  }
}

// An import may name its file instead of carrying its content: the file fills the content and
// the format, so neither is required of the call, while what the file cannot give still is.
TEST(ToolCatalogueTest, AnImportFileStandsInForTheContentAndFormatItFills) {
  static constexpr auto kArguments = agent::plainArguments("content", "format", "preview");
  static constexpr std::string_view kRequired[] = {"content", "format", "preview"};
  static constexpr std::string_view kFileOperand[] = {"file"};
  CommandRow row = *agent::findCommand("import.apply");
  row.arguments = kArguments;
  row.required = kRequired;
  row.operands = kFileOperand;
  EXPECT_EQ(writeJson(*toolDefinition(row).find("inputSchema")->find("required")), R"(["preview"])");
  EXPECT_THROW(checkToolArguments(row, parseJson(R"({"file":"/tmp/a.csv"})")), ToolInputError);
  EXPECT_NO_THROW(checkToolArguments(row, parseJson(R"({"file":"/tmp/a.csv","preview":"p"})")));
  // Without a file operand, the row's required arguments stand as they are.
  row.operands = {};
  EXPECT_EQ(writeJson(*toolDefinition(row).find("inputSchema")->find("required")),
            R"(["content","format","preview"])");
}

struct HintCase {
  const char* command;
  bool readOnly;
  std::optional<bool> destructive;  // absent for a read
  bool idempotent;
};

// The protocol's defaults assume a destructive open-world tool, so every hint is spelled out.
TEST(ToolCatalogueTest, AnnotationsSayWhatReadsWhatOnlyAddsAndWhatMayDestroy) {
  const HintCase cases[] = {
      {"jobs.list", true, std::nullopt, true},
      {"reports.summary", true, std::nullopt, true},
      {"import.preview", true, std::nullopt, true},
      {"jobs.create", false, false, false},
      {"jobs.copy", false, false, false},
      {"timer.clock-in", false, false, false},
      {"entries.create", false, false, false},
      {"jobs.update", false, true, true},
      {"jobs.archive", false, true, true},
      {"timer.clock-out", false, true, true},
      {"timer.break", false, true, true},
      {"entries.delete", false, true, true},
      {"tags.merge", false, true, true},
      {"preferences.set", false, true, true},
      {"import.apply", false, true, true},
      {"backups.restore", false, true, true},
      // It writes a file through `out`, always a new one.
      {"export", false, false, true},
  };
  for (const HintCase& hint : cases) {
    SCOPED_TRACE(hint.command);
    const Json tool = toolDefinition(*agent::findCommand(hint.command));
    const Json& annotations = *tool.find("annotations");
    EXPECT_EQ(*annotations.find("readOnlyHint"), Json(hint.readOnly));
    const Json* destructive = annotations.find("destructiveHint");
    if (hint.destructive) {
      ASSERT_NE(destructive, nullptr);
      EXPECT_EQ(*destructive, Json(*hint.destructive));
    } else {
      EXPECT_EQ(destructive, nullptr);
    }
    EXPECT_EQ(*annotations.find("idempotentHint"), Json(hint.idempotent));
  }
  for (const CommandRow& row : agent::commandTable()) {
    EXPECT_EQ(*toolDefinition(row).find("annotations")->find("openWorldHint"), Json(false)) << row.name;
  }
}

// Values travel as text; where a type has a JSON form of its own, that form is taken too.
TEST(ToolCatalogueTest, EachArgumentTypeHasItsSchema) {
  static constexpr std::string_view kRounding[] = {"None", "Up", "Down"};
  static constexpr std::string_view kWeekDays[] = {"1", "7"};
  struct Case {
    CommandArgument argument;
    const char* schema;
  };
  const Case cases[] = {
      {{"name"}, R"({"type":"string"})"},
      {{"id", {}, ArgumentType::identifier}, R"({"type":"string"})"},
      {{"limit", {}, ArgumentType::integer}, R"({"anyOf":[{"type":"integer"},{"type":"string"}]})"},
      {{"rate", {}, ArgumentType::decimal}, R"({"anyOf":[{"type":"number"},{"type":"string"}]})"},
      {{"archived", {}, ArgumentType::boolean},
       R"({"anyOf":[{"type":"boolean"},{"enum":["true","false"],"type":"string"}]})"},
      {{"from", {}, ArgumentType::date}, R"({"format":"date","type":"string"})"},
      {{"at", {}, ArgumentType::instant}, R"({"format":"date-time","type":"string"})"},
      {{"rounding", {}, ArgumentType::choice, kRounding, "How time is rounded"},
       R"({"description":"How time is rounded","enum":["None","Up","Down"],"type":"string"})"},
      {{"week-starts-on", {}, ArgumentType::choice, kWeekDays},
       R"({"anyOf":[{"enum":[1,7],"type":"integer"},{"enum":["1","7"],"type":"string"}]})"},
      {{"through", {}, ArgumentType::dayOrInstant},
       R"({"anyOf":[{"format":"date","type":"string"},{"format":"date-time","type":"string"}]})"},
      {{"patch", {}, ArgumentType::json}, R"({"anyOf":[{"type":"object"},{"type":"array"},{"type":"string"}]})"},
      {{"content", {}, ArgumentType::base64}, R"({"contentEncoding":"base64","type":"string"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.argument.name));
    EXPECT_EQ(writeJson(valueSchema({c.argument.name, &c.argument, {}})), c.schema);
  }
}

}  // namespace
}  // namespace pellam::mcp
