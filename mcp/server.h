#pragma once
// The Model Context Protocol server: one line in, at most one line out. It keeps the
// revision agreed in initialize and nothing else between messages.
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "agent/wire/command_table.h"
#include "core/json.h"
#include "mcp/json_rpc.h"
#include "mcp/server_settings.h"

namespace pellam::mcp {

// The largest message the server reads, in bytes without its line feed: a request's 1 MiB
// limit leaves room for an import's Base64 content four times over.
inline constexpr std::size_t kMaximumMessageBytes = 4 * 1024 * 1024;

inline constexpr const char* kServerName = "vantry-mcp";
inline constexpr const char* kServerVersion = "1.0";

class McpServer {
 public:
  // `call` runs one tool; tests give one that does not reach an app.
  using ToolRunner = std::function<Json(const agent::CommandRow&, const Json&, const ServerSettings&)>;

  // With `log`, each tool call is logged there in one line: tool, request id, outcome, time.
  explicit McpServer(ServerSettings settings, ToolRunner call = {}, std::ostream* log = nullptr);

  // The answer to one line of input (without its line feed), as one line of JSON without a
  // line feed; none for notifications, answers and blank lines.
  std::optional<std::string> handleLine(std::string_view line);

  // The answer to a line longer than kMaximumMessageBytes, which is not read.
  std::string oversizedLine() const;

  // The revision agreed in initialize; the newest before it.
  std::string_view revision() const { return revision_; }

 private:
  std::optional<Json> handleValue(const Json& value, bool inBatch);
  Json dispatch(const RpcMessage& message);
  Json initialize(const Json& params);
  Json toolsCall(const Json& params);
  Json resourcesRead(const Json& params);

  ServerSettings settings_;
  ToolRunner call_;
  std::ostream* log_;
  std::string revision_;
};

}  // namespace pellam::mcp
