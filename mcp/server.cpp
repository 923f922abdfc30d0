#include "mcp/server.h"

#include <chrono>

#include "agent/wire/failure.h"
#include "core/utf8.h"
#include "mcp/protocol_revision.h"
#include "mcp/resources.h"
#include "mcp/tool_call.h"
#include "mcp/tool_catalogue.h"

namespace pellam::mcp {

namespace {

constexpr const char* kInstructions =
    "Each tool sends one Vantry command to the running app (or vantry-host) and returns its result: "
    "structuredContent is the result, the text its JSON, _meta.requestID the request's id. A failure is a result "
    "with isError true carrying error {code, message, retryable}. After outcome_unknown, call again with the same "
    "request-id and the same arguments rather than a new id. Tools that change records take dry-run. Read "
    "vantry://docs/CLI.md for the commands and their arguments, vantry://status for whether the app is ready.";

bool isBlank(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

const Json* stringParam(const Json& params, std::string_view name) {
  const Json* value = params.find(name);
  if (value == nullptr || !value->isString()) {
    throw RpcError(rpc::kInvalidParams, "The params must hold the string " + std::string(name) + ".");
  }
  return value;
}

}  // namespace

McpServer::McpServer(ServerSettings settings, ToolRunner call, std::ostream* log)
    : settings_(std::move(settings)), call_(call ? std::move(call) : ToolRunner(callTool)), log_(log),
      revision_(kProtocolRevisions.front()) {}

std::string McpServer::oversizedLine() const {
  return writeJson(errorMessage(Json(), rpc::kInvalidRequest,
                                "The message exceeds " + std::to_string(kMaximumMessageBytes) + " bytes."));
}

std::optional<std::string> McpServer::handleLine(std::string_view line) {
  if (isBlank(line)) return std::nullopt;
  Json value;
  try {
    value = parseJson(line);
  } catch (const JsonParseError& error) {
    return writeJson(errorMessage(Json(), rpc::kParseError, "Parse error: " + std::string(error.what())));
  }
  if (value.isArray()) {
    if (!allowsBatches(revision_)) {
      return writeJson(errorMessage(Json(), rpc::kInvalidRequest,
                                    "Batches are not part of protocol revision " + revision_ + "."));
    }
    if (value.asArray().empty()) {
      return writeJson(errorMessage(Json(), rpc::kInvalidRequest, "A batch must hold at least one message."));
    }
    Json answers = Json::array();
    for (const Json& member : value.asArray()) {
      if (std::optional<Json> answer = handleValue(member, true)) answers.push_back(std::move(*answer));
    }
    if (answers.asArray().empty()) return std::nullopt;
    return writeJson(answers);
  }
  std::optional<Json> answer = handleValue(value, false);
  if (!answer) return std::nullopt;
  return writeJson(*answer);
}

std::optional<Json> McpServer::handleValue(const Json& value, bool inBatch) {
  RpcMessage message;
  try {
    message = readMessage(value);
  } catch (const MessageError& error) {
    return errorMessage(error.id(), error.code(), error.what());
  }
  if (message.kind == RpcMessage::Kind::response) return std::nullopt;
  if (message.kind == RpcMessage::Kind::notification) {
    // notifications/initialized, notifications/cancelled (a call is never cut short: the
    // request it sent may already be in the app's hands) and anything else: no answer.
    return std::nullopt;
  }
  try {
    if (inBatch && message.method == "initialize") {
      throw RpcError(rpc::kInvalidRequest, "initialize cannot be part of a batch.");
    }
    return resultMessage(message.id, dispatch(message));
  } catch (const RpcError& error) {
    return errorMessage(message.id, error.code(), error.what(), error.data());
  } catch (const std::exception& error) {
    return errorMessage(message.id, rpc::kInternalError, repairedUtf8(error.what()));
  }
}

Json McpServer::dispatch(const RpcMessage& message) {
  const std::string& method = message.method;
  if (method == "initialize") return initialize(message.params);
  if (method == "ping") return Json::object();
  if (method == "tools/list") {
    Json result = Json::object();
    result["tools"] = toolList();
    return result;
  }
  if (method == "tools/call") return toolsCall(message.params);
  if (method == "resources/list") return resourceList();
  if (method == "resources/templates/list") {
    Json result = Json::object();
    result["resourceTemplates"] = Json::array();
    return result;
  }
  if (method == "resources/read") return resourcesRead(message.params);
  throw RpcError(rpc::kMethodNotFound, "Method not found: " + repairedUtf8(method));
}

Json McpServer::initialize(const Json& params) {
  revision_ = negotiatedRevision(stringParam(params, "protocolVersion")->asString());
  Json tools = Json::object();
  tools["listChanged"] = false;
  Json resources = Json::object();
  resources["listChanged"] = false;
  resources["subscribe"] = false;
  Json capabilities = Json::object();
  capabilities["tools"] = std::move(tools);
  capabilities["resources"] = std::move(resources);
  Json server = Json::object();
  server["name"] = kServerName;
  server["title"] = "Vantry";
  server["version"] = kServerVersion;
  Json result = Json::object();
  result["protocolVersion"] = revision_;
  result["capabilities"] = std::move(capabilities);
  result["serverInfo"] = std::move(server);
  result["instructions"] = kInstructions;
  return result;
}

Json McpServer::toolsCall(const Json& params) {
  const std::string& name = stringParam(params, "name")->asString();
  const agent::CommandRow* row = commandOfTool(name);
  if (row == nullptr) throw RpcError(rpc::kInvalidParams, "Unknown tool: " + repairedUtf8(name));
  const Json* given = params.find("arguments");
  const Json arguments = given == nullptr ? Json::object() : *given;
  try {
    checkToolArguments(*row, arguments);
  } catch (const ToolInputError& error) {
    if (!inputErrorsAreToolErrors(revision_)) throw RpcError(rpc::kInvalidParams, error.what());
    return failureResult(agent::AgentFailure::invalidArgument(error.what()).toJson(), Json());
  }
  const auto started = std::chrono::steady_clock::now();
  Json result = call_(*row, arguments, settings_);
  if (log_ != nullptr) {
    // Never the arguments or the result: they hold the user's records.
    const Json* carried = result.find("structuredContent");
    const Json* error = result.find("isError") != nullptr && carried != nullptr ? carried->find("error") : nullptr;
    const Json* code = error != nullptr ? error->find("code") : nullptr;
    const Json* meta = result.find("_meta");
    const Json* id = meta != nullptr ? meta->find("requestID") : nullptr;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    *log_ << "vantry-mcp: " << name << ' ' << (id != nullptr && id->isString() ? id->asString() : "-") << ' '
          << (code != nullptr && code->isString() ? code->asString() : "ok") << ' ' << elapsed.count() << " ms"
          << std::endl;
  }
  return result;
}

Json McpServer::resourcesRead(const Json& params) {
  return readResource(stringParam(params, "uri")->asString(), settings_);
}

}  // namespace pellam::mcp
