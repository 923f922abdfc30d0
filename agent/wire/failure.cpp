#include "agent/wire/failure.h"

namespace pellam::agent {

Json AgentFailure::toJson() const {
  Json json = Json::object();
  json["code"] = code;
  json["message"] = message;
  json["retryable"] = retryable;
  return json;
}

}  // namespace pellam::agent
