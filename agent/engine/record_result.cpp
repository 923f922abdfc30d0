#include "agent/engine/record_result.h"

namespace pellam::agent::engine {

Json recordResult(std::string_view key, Json wireForm, std::string revision, const AgentRequest& request) {
  Json result = Json::object();
  result[key] = std::move(wireForm);
  result["revision"] = std::move(revision);
  result["dryRun"] = request.dryRun;
  return result;
}

}  // namespace pellam::agent::engine
