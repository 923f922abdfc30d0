#include "mcp/resources.h"

#include "agent/client/client.h"
#include "agent/wire/failure.h"
#include "agent/wire/wire.h"
#include "core/utf8.h"
#include "mcp/guide_text.h"
#include "mcp/json_rpc.h"

namespace pellam::mcp {

namespace {

Json described(std::string_view uri, std::string_view name, std::string_view title, std::string_view mimeType,
               std::string_view description) {
  Json resource = Json::object();
  resource["uri"] = uri;
  resource["name"] = name;
  resource["title"] = title;
  resource["mimeType"] = mimeType;
  resource["description"] = description;
  return resource;
}

Json textContents(std::string_view uri, std::string_view mimeType, std::string text) {
  Json contents = Json::object();
  contents["uri"] = uri;
  contents["mimeType"] = mimeType;
  contents["text"] = std::move(text);
  Json result = Json::object();
  result["contents"] = Json::Array{std::move(contents)};
  return result;
}

}  // namespace

Json resourceList() {
  Json guide = described(kGuideURI, "CLI.md", "Vantry CLI guide", "text/markdown",
                         "How to use vantry: every command, its arguments, results and failures");
  guide["size"] = guideText().size();
  Json list = Json::object();
  list["resources"] = Json::Array{
      std::move(guide),
      described(kStatusURI, "status", "Vantry app status", "application/json",
                "The app's heartbeat: whether it runs, is fresh, enabled and unlocked, so tools can be called"),
  };
  return list;
}

Json statusDocument(const ServerSettings& settings) {
  Json document = Json::object();
  document["dataDirectory"] = settings.dataDirectory;
  agent::AgentClient client(settings.dataDirectory);
  try {
    agent::AgentStatus status = client.status();
    bool fresh = agent::AgentClient::isFresh(status, Instant::now());
    document["status"] = agent::AgentWire::toJson(status);
    document["fresh"] = fresh;
    document["ready"] = fresh && status.enabled && !status.locked;
  } catch (const agent::AgentFailure& failure) {
    document["error"] = failure.toJson();
    document["fresh"] = false;
    document["ready"] = false;
  } catch (const std::exception& error) {
    document["error"] = agent::AgentFailure::operationFailed(repairedUtf8(error.what())).toJson();
    document["fresh"] = false;
    document["ready"] = false;
  }
  return document;
}

Json readResource(std::string_view uri, const ServerSettings& settings) {
  if (uri == kGuideURI) return textContents(uri, "text/markdown", std::string(guideText()));
  if (uri == kStatusURI) return textContents(uri, "application/json", writeJson(statusDocument(settings)));
  Json data = Json::object();
  data["uri"] = uri;
  throw RpcError(rpc::kResourceNotFound, "Resource not found: " + repairedUtf8(uri), data);
}

}  // namespace pellam::mcp
