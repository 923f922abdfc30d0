#include "mcp/server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mcp/guide_text.h"
#include "mcp/protocol_revision.h"

namespace pellam::mcp {
namespace {

// A server whose tools answer without an app: the arguments come back as the result.
class ServerTest : public ::testing::Test {
 protected:
  McpServer server{ServerSettings{"/nonexistent/vantry-mcp-test", 1},
                   [this](const agent::CommandRow& row, const Json& arguments, const ServerSettings&) {
                     calls.push_back(std::string(row.name));
                     Json result = Json::object();
                     result["structuredContent"] = arguments;
                     return result;
                   }};
  std::vector<std::string> calls;

  Json answer(const std::string& line) {
    std::optional<std::string> text = server.handleLine(line);
    if (!text) ADD_FAILURE() << "no answer to " << line;
    return text ? parseJson(*text) : Json();
  }

  void initialize(const std::string& revision) {
    Json reply = answer(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":")" + revision +
                        R"(","capabilities":{},"clientInfo":{"name":"test","version":"1"}}})");
    ASSERT_NE(reply.find("result"), nullptr) << writeJson(reply);
  }
};

struct BadLine {
  const char* line;
  int code;
  Json id;
};

// Every malformed message gets the error the protocol prescribes, with the id it carried
// when it carried a usable one, and the server answers the next message as usual.
TEST_F(ServerTest, BadMessagesGetTheirJsonRpcErrorAndTheServerServesOn) {
  initialize("2025-06-18");
  const BadLine cases[] = {
      {R"({"jsonrpc":"2.0","id":1,"method":"ping")", rpc::kParseError, Json()},
      {"\xff\xfe", rpc::kParseError, Json()},
      {R"({"jsonrpc":"2.0","id":1,"id":2,"method":"ping"})", rpc::kParseError, Json()},
      {R"("ping")", rpc::kInvalidRequest, Json()},
      {R"({"id":3,"method":"ping"})", rpc::kInvalidRequest, Json(3)},
      {R"({"jsonrpc":"1.0","id":"a","method":"ping"})", rpc::kInvalidRequest, Json("a")},
      {R"({"jsonrpc":"2.0","id":4})", rpc::kInvalidRequest, Json(4)},
      {R"({"jsonrpc":"2.0","id":5,"method":7})", rpc::kInvalidRequest, Json(5)},
      {R"({"jsonrpc":"2.0","id":null,"method":"ping"})", rpc::kInvalidRequest, Json()},
      {R"({"jsonrpc":"2.0","id":1.5,"method":"ping"})", rpc::kInvalidRequest, Json()},
      {R"({"jsonrpc":"2.0","id":{},"method":"ping"})", rpc::kInvalidRequest, Json()},
      {R"({"jsonrpc":"2.0","id":6,"method":"ping","params":[1]})", rpc::kInvalidParams, Json(6)},
      {R"([{"jsonrpc":"2.0","id":7,"method":"ping"}])", rpc::kInvalidRequest, Json()},
      {R"({"jsonrpc":"2.0","id":8,"method":"tools/delete"})", rpc::kMethodNotFound, Json(8)},
      {R"({"jsonrpc":"2.0","id":9,"method":"logging/setLevel","params":{"level":"info"}})", rpc::kMethodNotFound,
       Json(9)},
      {R"({"jsonrpc":"2.0","id":10,"method":"tools/call","params":{"name":"jobs_lists"}})", rpc::kInvalidParams,
       Json(10)},
      {R"({"jsonrpc":"2.0","id":11,"method":"tools/call","params":{}})", rpc::kInvalidParams, Json(11)},
      {R"({"jsonrpc":"2.0","id":12,"method":"tools/call","params":{"name":"jobs_list","arguments":[]}})",
       rpc::kInvalidParams, Json(12)},
      {R"({"jsonrpc":"2.0","id":13,"method":"tools/call","params":{"name":"jobs_list","arguments":{"colour":"x"}}})",
       rpc::kInvalidParams, Json(13)},
      {R"({"jsonrpc":"2.0","id":14,"method":"tools/call","params":{"name":"jobs_list","arguments":{"query":5}}})",
       rpc::kInvalidParams, Json(14)},
      {R"({"jsonrpc":"2.0","id":15,"method":"tools/call","params":{"name":"jobs_create","arguments":{"dry-run":"yes"}}})",
       rpc::kInvalidParams, Json(15)},
      {R"({"jsonrpc":"2.0","id":16,"method":"tools/call","params":{"name":"jobs_list","arguments":{"dry-run":true}}})",
       rpc::kInvalidParams, Json(16)},
      {R"({"jsonrpc":"2.0","id":17,"method":"resources/read","params":{"uri":"vantry://nothing"}})",
       rpc::kResourceNotFound, Json(17)},
      {R"({"jsonrpc":"2.0","id":18,"method":"resources/read","params":{}})", rpc::kInvalidParams, Json(18)},
      {R"({"jsonrpc":"2.0","id":19,"method":"initialize","params":{"protocolVersion":20250618}})", rpc::kInvalidParams,
       Json(19)},
  };
  for (const BadLine& bad : cases) {
    SCOPED_TRACE(bad.line);
    Json reply = answer(bad.line);
    ASSERT_NE(reply.find("error"), nullptr) << writeJson(reply);
    EXPECT_EQ(reply.find("error")->find("code")->asInt64(), bad.code);
    EXPECT_FALSE(reply.find("error")->find("message")->asString().empty());
    EXPECT_EQ(*reply.find("id"), bad.id);
    EXPECT_EQ(*reply.find("jsonrpc"), Json("2.0"));
    EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":"after","method":"ping"})"),
              parseJson(R"({"id":"after","jsonrpc":"2.0","result":{}})"));
  }
  EXPECT_TRUE(calls.empty()) << "a refused call reached the app";
}

TEST_F(ServerTest, NotificationsAnswersAndBlankLinesGetNoAnswer) {
  for (const char* line : {
           R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
           R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":3}})",
           R"({"jsonrpc":"2.0","method":"no/such/notification"})",
           // An error in a notification is not answered either.
           R"({"jsonrpc":"2.0","method":"tools/call","params":{"name":"nope"}})",
           R"({"jsonrpc":"2.0","id":5,"result":{}})",
           R"({"jsonrpc":"2.0","id":6,"error":{"code":1,"message":"x"}})",
           "",
           "  \r",
       }) {
    EXPECT_EQ(server.handleLine(line), std::nullopt) << line;
  }
  EXPECT_TRUE(calls.empty());
}

// The client's revision when the server speaks it; otherwise the server's newest, which
// the client may accept or leave.
TEST_F(ServerTest, InitializeAnswersTheClientsRevisionWhenItIsSpoken) {
  const std::pair<const char*, const char*> cases[] = {
      {"2025-11-25", "2025-11-25"}, {"2025-06-18", "2025-06-18"}, {"2025-03-26", "2025-03-26"},
      {"2024-11-05", "2024-11-05"}, {"2024-10-07", "2025-11-25"}, {"2099-01-01", "2025-11-25"},
      {"", "2025-11-25"},
  };
  for (const auto& [asked, answered] : cases) {
    SCOPED_TRACE(asked);
    Json reply = answer(std::string(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":")") +
                        asked + R"(","capabilities":{},"clientInfo":{"name":"t","version":"1"}}})");
    const Json& result = *reply.find("result");
    EXPECT_EQ(result.find("protocolVersion")->asString(), answered);
    EXPECT_EQ(server.revision(), answered);
    EXPECT_NE(result.find("capabilities")->find("tools"), nullptr);
    EXPECT_NE(result.find("capabilities")->find("resources"), nullptr);
    EXPECT_EQ(result.find("serverInfo")->find("name")->asString(), "vantry-mcp");
  }
}

// 2025-03-26 alone allows batches: each request is answered in one array, notifications are
// not, and initialize may not be part of one.
TEST_F(ServerTest, ABatchIsAnsweredAsOneArrayWhereTheRevisionAllowsIt) {
  initialize("2025-03-26");
  Json reply = answer(R"([{"jsonrpc":"2.0","id":1,"method":"ping"},{"jsonrpc":"2.0","method":"notifications/x"},)"
                      R"({"jsonrpc":"2.0","id":2,"method":"nope"},)"
                      R"({"jsonrpc":"2.0","id":3,"method":"initialize","params":{"protocolVersion":"2025-03-26"}},)"
                      R"(7])");
  ASSERT_TRUE(reply.isArray()) << writeJson(reply);
  ASSERT_EQ(reply.asArray().size(), 4u);
  EXPECT_EQ(reply.asArray()[0], parseJson(R"({"id":1,"jsonrpc":"2.0","result":{}})"));
  EXPECT_EQ(reply.asArray()[1].find("error")->find("code")->asInt64(), rpc::kMethodNotFound);
  EXPECT_EQ(reply.asArray()[2].find("error")->find("code")->asInt64(), rpc::kInvalidRequest);
  EXPECT_EQ(reply.asArray()[3].find("error")->find("code")->asInt64(), rpc::kInvalidRequest);
  EXPECT_EQ(server.revision(), "2025-03-26");

  EXPECT_EQ(server.handleLine(R"([{"jsonrpc":"2.0","method":"notifications/x"}])"), std::nullopt);
  EXPECT_EQ(answer("[]").find("error")->find("code")->asInt64(), rpc::kInvalidRequest);
}

// Arguments the schema refuses: a JSON-RPC error up to 2025-06-18, a tool error the model can
// read from 2025-11-25. Either way nothing is sent.
TEST_F(ServerTest, ArgumentsTheSchemaRefusesAreAToolErrorOnlyFromTheRevisionThatSaysSo) {
  const std::string call =
      R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"jobs_show","arguments":{"id":7}}})";
  initialize("2025-06-18");
  EXPECT_EQ(answer(call).find("error")->find("code")->asInt64(), rpc::kInvalidParams);
  initialize("2025-11-25");
  Json result = *answer(call).find("result");
  EXPECT_EQ(*result.find("isError"), Json(true));
  EXPECT_EQ(result.find("structuredContent")->find("error")->find("code")->asString(), "invalid_argument");
  EXPECT_EQ(result.find("structuredContent")->find("error")->find("message")->asString(),
            "The argument id of jobs_show must be text.");
  EXPECT_TRUE(calls.empty());
  // An unknown tool is still the protocol's error.
  EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"x"}})")
                .find("error")->find("code")->asInt64(),
            rpc::kInvalidParams);
}

TEST_F(ServerTest, AToolCallWithoutArgumentsIsACallWithNone) {
  initialize("2025-06-18");
  Json reply = answer(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"timer_status"}})");
  EXPECT_EQ(*reply.find("result")->find("structuredContent"), Json::object());
  Json typed = answer(R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"jobs_create",)"
                      R"("arguments":{"name":"A/B","dry-run":true,"request-id":"anything"}}})");
  EXPECT_NE(typed.find("result"), nullptr) << writeJson(typed);
  EXPECT_EQ(calls, (std::vector<std::string>{"timer.status", "jobs.create"}));
}

TEST_F(ServerTest, ToolsListAndResourcesListAnswerFromTheTableAndTheGuide) {
  initialize("2025-06-18");
  Json tools = *answer(R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})").find("result")->find("tools");
  EXPECT_EQ(tools.asArray().size(), agent::commandTable().size());

  Json resources = *answer(R"({"jsonrpc":"2.0","id":2,"method":"resources/list"})").find("result")->find("resources");
  ASSERT_EQ(resources.asArray().size(), 2u);
  Json guide = *answer(R"({"jsonrpc":"2.0","id":3,"method":"resources/read","params":{"uri":"vantry://docs/CLI.md"}})")
                    .find("result")->find("contents");
  EXPECT_EQ(guide.asArray()[0].find("mimeType")->asString(), "text/markdown");
  EXPECT_EQ(guide.asArray()[0].find("text")->asString(), guideText());
  EXPECT_NE(guideText().find("vantry-mcp"), std::string_view::npos);
}

// Without a heartbeat the status resource says why the app cannot be reached, as vantry would.
TEST_F(ServerTest, TheStatusResourceCarriesTheFailureOfAMissingApp) {
  Json contents = *answer(R"({"jsonrpc":"2.0","id":1,"method":"resources/read","params":{"uri":"vantry://status"}})")
                       .find("result")->find("contents");
  Json status = parseJson(contents.asArray()[0].find("text")->asString());
  EXPECT_EQ(*status.find("ready"), Json(false));
  EXPECT_EQ(status.find("error")->find("code")->asString(), "app_unavailable");
  EXPECT_EQ(status.find("dataDirectory")->asString(), "/nonexistent/vantry-mcp-test");
}

TEST_F(ServerTest, AnOversizedLineIsAnInvalidRequestWithoutId) {
  Json reply = parseJson(server.oversizedLine());
  EXPECT_EQ(reply.find("error")->find("code")->asInt64(), rpc::kInvalidRequest);
  EXPECT_EQ(*reply.find("id"), Json());
  EXPECT_EQ(reply.find("error")->find("message")->asString(), "The message exceeds 4194304 bytes.");
}

}  // namespace
}  // namespace pellam::mcp
