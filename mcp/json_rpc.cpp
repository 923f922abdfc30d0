#include "mcp/json_rpc.h"

namespace pellam::mcp {

namespace {

// The protocol allows ids that are strings or integers; null is not one.
bool usableId(const Json& id) { return id.isString() || (id.isNumber() && id.asInt64().has_value()); }

[[noreturn]] void invalid(const std::string& message, const Json& id = Json()) {
  throw MessageError(rpc::kInvalidRequest, message, id);
}

}  // namespace

RpcMessage readMessage(const Json& value) {
  if (!value.isObject()) invalid("A message must be a JSON object.");
  const Json* id = value.find("id");
  Json answerId = id != nullptr && usableId(*id) ? *id : Json();
  const Json* version = value.find("jsonrpc");
  if (version == nullptr || !version->isString() || version->asString() != "2.0") {
    invalid("A message must carry \"jsonrpc\": \"2.0\".", answerId);
  }
  const Json* method = value.find("method");
  if (method == nullptr) {
    // An answer to a request of the server's; this server sends none, so it is dropped.
    if (id != nullptr && (value.find("result") != nullptr || value.find("error") != nullptr)) {
      return {RpcMessage::Kind::response, answerId, "", Json::object()};
    }
    invalid("A message must name its method.", answerId);
  }
  if (!method->isString()) invalid("The method must be a string.", answerId);
  if (id != nullptr && !usableId(*id)) invalid("The id must be a string or an integer.");
  RpcMessage message{id == nullptr ? RpcMessage::Kind::notification : RpcMessage::Kind::request, answerId,
                     method->asString(), Json::object()};
  if (const Json* params = value.find("params")) {
    if (!params->isObject()) throw MessageError(rpc::kInvalidParams, "The params must be a JSON object.", answerId);
    message.params = *params;
  }
  return message;
}

Json resultMessage(const Json& id, Json result) {
  Json message = Json::object();
  message["jsonrpc"] = "2.0";
  message["id"] = id;
  message["result"] = std::move(result);
  return message;
}

Json errorMessage(const Json& id, int code, const std::string& message, const Json& data) {
  Json error = Json::object();
  error["code"] = code;
  error["message"] = message;
  if (!data.isNull()) error["data"] = data;
  Json answer = Json::object();
  answer["jsonrpc"] = "2.0";
  answer["id"] = id;
  answer["error"] = std::move(error);
  return answer;
}

}  // namespace pellam::mcp
