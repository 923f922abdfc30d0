#include "mcp/tool_call.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "agent/wire/failure.h"
#include "agent/wire/wire.h"
#include "cli/request_builder.h"
#include "core/base64.h"
#include "support/temporary_folder.h"

namespace pellam::mcp {
namespace {

using agent::AgentFailure;
using testing::TemporaryFolder;

const agent::CommandRow& rowOf(std::string_view command) { return *agent::findCommand(command); }

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

constexpr const char* kId = "6F9619FF-8B86-4011-B42D-00C04FC964FF";

// A tool call and `vantry command NAME --args-file` with the same object make the same
// request, so the app sees no difference and a replay by either finds the other's answer.
TEST(ToolCallTest, ACallBuildsTheRequestAnArgumentFileWithTheSameObjectBuilds) {
  TemporaryFolder folder;
  const ServerSettings settings{folder.path(), 10};
  const std::pair<const char*, const char*> cases[] = {
      {"jobs.create", R"({"name":"A/B \"quoted\" é","rate":12.50,"patch":{"zeta":[1,"x/y"],"alpha":null}})"},
      {"jobs.list", R"({"archived":false,"limit":5,"query":""})"},
      {"entries.update", R"({"id":"e1","pauses":[{"start":"2026-03-02T12:00:00Z"}],"running":true,"tips":1e2})"},
      {"capabilities", R"({})"},
  };
  for (const auto& [command, object] : cases) {
    SCOPED_TRACE(command);
    Json arguments = parseJson(object);
    writeFile(folder / "args.json", object);
    std::vector<std::string> commandLine = {"command", command, "--args-file", folder / "args.json",
                                            "--request-id", kId};
    arguments["request-id"] = kId;
    const bool changes = !rowOf(command).readOnly;
    if (changes) {
      commandLine.push_back("--dry-run");
      arguments["dry-run"] = true;
    }
    agent::AgentRequest fromFile = cli::buildRequest(cli::CLIOptions::parse(commandLine));
    agent::AgentRequest fromTool = cli::buildRequest(toolCommandLine(rowOf(command), arguments, settings));
    EXPECT_EQ(fromTool.command, fromFile.command);
    EXPECT_EQ(fromTool.arguments, fromFile.arguments);
    EXPECT_EQ(fromTool.id, fromFile.id);
    EXPECT_EQ(fromTool.dryRun, changes);
    EXPECT_EQ(agent::AgentWire::fingerprint(fromTool), agent::AgentWire::fingerprint(fromFile));
  }
  // The text of a non-string value, as an argument file gives it: sorted keys, "/" escaped.
  agent::AgentRequest request = cli::buildRequest(toolCommandLine(
      rowOf("jobs.create"), parseJson(R"({"patch":{"b":"x/y","a":1.50},"rate":12.50})"), settings));
  EXPECT_EQ(request.arguments.at("patch"), R"({"a":1.50,"b":"x\/y"})");
  EXPECT_EQ(request.arguments.at("rate"), "12.50");
}

// A value of the JSON type its schema takes passes, and becomes the text an argument file
// gives; any other is refused before anything is sent.
TEST(ToolCallTest, ValuesOfTheSchemasTypesPassAndOthersAreRefused) {
  TemporaryFolder folder;
  const ServerSettings settings{folder.path(), 10};
  struct Case {
    const char* command;
    const char* arguments;
    const char* argument;
    const char* text;  // null when refused
  };
  const Case cases[] = {
      {"preferences.set", R"({"week-starts-on":3})", "week-starts-on", "3"},
      {"preferences.set", R"({"week-starts-on":"3"})", "week-starts-on", "3"},
      {"preferences.set", R"({"week-starts-on":3.5})", "week-starts-on", nullptr},
      {"reports.summary", R"({"range":1})", "range", nullptr},
      {"jobs.list", R"({"limit":5})", "limit", "5"},
      {"jobs.list", R"({"limit":5.5})", "limit", nullptr},
      {"jobs.list", R"({"archived":"yes"})", "archived", "yes"},
      {"jobs.list", R"({"archived":1})", "archived", nullptr},
      {"reports.summary", R"({"from":"2026-03-02"})", "from", "2026-03-02"},
      {"reports.summary", R"({"from":20260302})", "from", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Json arguments = parseJson(c.arguments);
    if (c.text == nullptr) {
      EXPECT_THROW(checkToolArguments(rowOf(c.command), arguments), ToolInputError);
      continue;
    }
    checkToolArguments(rowOf(c.command), arguments);
    EXPECT_EQ(toolCommandLine(rowOf(c.command), arguments, settings).arguments.at(c.argument), c.text);
  }
}

// Paths are the server's to open, and its working folder is the client's choice; a request
// id is a UUID as vantry's --request-id is. Nothing is sent for any of them.
TEST(ToolCallTest, RelativePathsAndMalformedRequestIdsAreRefusedBeforeAnythingIsSent) {
  TemporaryFolder folder;
  const ServerSettings settings{folder.path(), 10};
  struct Case {
    const char* command;
    const char* arguments;
    const char* message;
  };
  const Case cases[] = {
      {"export", R"({"format":"csv","out":"report.csv"})", "out must be an absolute path."},
      {"export", R"({"format":"csv","out":"~/report.csv"})", "out must be an absolute path."},
      {"export", R"({"format":"csv","out":""})", "out must be an absolute path."},
      {"import.preview", R"({"file":"data.csv"})", "file must be an absolute path."},
      {"jobs.list", R"({"request-id":"replay-1"})", "request-id must be a UUID."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Json result = callTool(rowOf(c.command), parseJson(c.arguments), settings);
    EXPECT_EQ(*result.find("isError"), Json(true));
    const Json& error = *result.find("structuredContent")->find("error");
    EXPECT_EQ(error.find("code")->asString(), "invalid_argument");
    EXPECT_EQ(error.find("message")->asString(), c.message);
    EXPECT_EQ(*result.find("structuredContent")->find("requestID"), Json());
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "AgentAPI")) << "a request was written";
}

// An import file follows the command line's rules: read by the server, sent as Base64, its
// extension the format, at most 600000 bytes.
TEST(ToolCallTest, AnImportFileTravelsAsBase64UnderTheCommandLinesLimit) {
  TemporaryFolder folder;
  const ServerSettings settings{folder.path(), 10};
  writeFile(folder / "day.CSV", "a,b\r\n");
  Json arguments = Json::object();
  arguments["file"] = folder / "day.CSV";
  agent::AgentRequest request = cli::buildRequest(toolCommandLine(rowOf("import.preview"), arguments, settings));
  EXPECT_EQ(request.arguments, (std::map<std::string, std::string>{{"content", base64Encode("a,b\r\n")},
                                                                     {"format", "csv"}}));

  writeFile(folder / "big.json", std::string(600001, ' '));
  arguments["file"] = folder / "big.json";
  Json result = callTool(rowOf("import.preview"), arguments, settings);
  EXPECT_EQ(result.find("structuredContent")->find("error")->find("message")->asString(),
            "Choose a regular file no larger than 600000 bytes.");

  arguments["content"] = "YQ==";
  arguments["preview"] = "0123";
  arguments["file"] = folder / "day.CSV";
  result = callTool(rowOf("import.apply"), arguments, settings);
  EXPECT_EQ(result.find("structuredContent")->find("error")->find("message")->asString(),
            "Specify a file or base64 content once.");
}

// No app: the failure vantry prints, at once, with the id of the request that was built.
TEST(ToolCallTest, WithoutAnAppTheCallFailsWithVantrysCodeAndTheRequestId) {
  TemporaryFolder folder;
  const auto started = std::chrono::steady_clock::now();
  Json result = callTool(rowOf("jobs.list"), parseJson(std::string(R"({"request-id":")") + kId + "\"}"),
                         ServerSettings{folder.path(), 1});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  EXPECT_EQ(*result.find("isError"), Json(true));
  const Json& carried = *result.find("structuredContent");
  EXPECT_EQ(carried.find("error")->find("code")->asString(), "app_unavailable");
  EXPECT_EQ(*carried.find("error")->find("retryable"), Json(true));
  EXPECT_EQ(carried.find("requestID")->asString(), kId);
  EXPECT_EQ(result.find("_meta")->find("requestID")->asString(), kId);
  EXPECT_EQ(parseJson(result.find("content")->asArray()[0].find("text")->asString()), carried);
}

}  // namespace
}  // namespace pellam::mcp
