#pragma once
// JSON-RPC 2.0 as the Model Context Protocol uses it: one message is a request (method and
// id), a notification (method, no id) or a response to a request of ours (id and result or
// error, never method).
#include <stdexcept>
#include <string>

#include "core/json.h"

namespace pellam::mcp {

namespace rpc {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
// The protocol's own code for a resource URI the server does not have.
inline constexpr int kResourceNotFound = -32002;
}  // namespace rpc

// An error answer to one request; thrown by the methods, answered by the server.
class RpcError : public std::runtime_error {
 public:
  RpcError(int code, const std::string& message, Json data = Json())
      : std::runtime_error(message), code_(code), data_(std::move(data)) {}
  int code() const { return code_; }
  const Json& data() const { return data_; }

 private:
  int code_;
  Json data_;
};

// A message that is not a valid request or notification, with the id to answer it with
// (null when it had no usable one).
class MessageError : public RpcError {
 public:
  MessageError(int code, const std::string& message, Json id) : RpcError(code, message), id_(std::move(id)) {}
  const Json& id() const { return id_; }

 private:
  Json id_;
};

struct RpcMessage {
  enum class Kind { request, notification, response };
  Kind kind;
  Json id;  // a string or an integer; null for a notification
  std::string method;
  Json params;  // an object; an empty one when the message has none
};

// Reads one message of a parsed line (or one member of a batch). Throws MessageError
// (kInvalidRequest, or kInvalidParams for params that are not an object).
RpcMessage readMessage(const Json& value);

Json resultMessage(const Json& id, Json result);
Json errorMessage(const Json& id, int code, const std::string& message, const Json& data = Json());

}  // namespace pellam::mcp
