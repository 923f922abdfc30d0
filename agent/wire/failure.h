#pragma once
#include <exception>
#include <string>

#include "core/json.h"

namespace pellam::agent {

// A failure with a stable snake-case code, a sentence for the end user and whether the
// same request may succeed later. Thrown by the transport and the engine; carried in
// responses.
class AgentFailure : public std::exception {
 public:
  AgentFailure(std::string code, std::string message, bool retryable = false)
      : code(std::move(code)), message(std::move(message)), retryable(retryable) {}

  const char* what() const noexcept override { return message.c_str(); }
  bool operator==(const AgentFailure& other) const {
    return code == other.code && message == other.message && retryable == other.retryable;
  }

  Json toJson() const;

  static AgentFailure invalidArgument(std::string message) {
    return AgentFailure("invalid_argument", std::move(message), false);
  }

  std::string code;
  std::string message;
  bool retryable;
};

}  // namespace pellam::agent
