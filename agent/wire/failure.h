#pragma once
#include <exception>
#include <string>
#include <utility>

#include "agent/wire/failure_catalogue.h"
#include "core/json.h"

namespace pellam::agent {

// A failure with a stable snake-case code, a sentence for the end user and whether the
// same request may succeed later. Thrown by the transport and the engine; carried in
// responses.
class AgentFailure : public std::exception {
 public:
  AgentFailure(std::string code, std::string message, bool retryable = false)
      : code(std::move(code)), message(std::move(message)), retryable(retryable) {}
  AgentFailure(FailureCode id, std::string message)
      : AgentFailure(id, std::move(message), failureRow(id).retryable) {}
  AgentFailure(FailureCode id, std::string message, bool retryable)
      : code(failureRow(id).code), message(std::move(message)), retryable(retryable) {}

  const char* what() const noexcept override { return message.c_str(); }
  bool operator==(const AgentFailure& other) const {
    return code == other.code && message == other.message && retryable == other.retryable;
  }

  Json toJson() const;
  bool is(FailureCode id) const { return code == failureRow(id).code; }

  // One per row of the failure catalogue, retryable as the row says unless the raiser knows
  // better (a stale revision may be read again; a full disk may be cleared).
  static AgentFailure invalidArgument(std::string message) {
    return AgentFailure(FailureCode::invalidArgument, std::move(message));
  }
  static AgentFailure unknownCommand(std::string message) {
    return AgentFailure(FailureCode::unknownCommand, std::move(message));
  }
  static AgentFailure operationFailed(std::string message) {
    return AgentFailure(FailureCode::operationFailed, std::move(message));
  }
  static AgentFailure appUnavailable(std::string message) {
    return AgentFailure(FailureCode::appUnavailable, std::move(message));
  }
  static AgentFailure invalidStatus(std::string message) {
    return AgentFailure(FailureCode::invalidStatus, std::move(message));
  }
  static AgentFailure unsupportedVersion(std::string message) {
    return AgentFailure(FailureCode::unsupportedVersion, std::move(message));
  }
  static AgentFailure unsafePath(std::string message) {
    return AgentFailure(FailureCode::unsafePath, std::move(message));
  }
  static AgentFailure agentDisabled(std::string message) {
    return AgentFailure(FailureCode::agentDisabled, std::move(message));
  }
  static AgentFailure appLocked(std::string message) {
    return AgentFailure(FailureCode::appLocked, std::move(message));
  }
  static AgentFailure requestTooLarge(std::string message) {
    return AgentFailure(FailureCode::requestTooLarge, std::move(message));
  }
  static AgentFailure requestPending(std::string message) {
    return AgentFailure(FailureCode::requestPending, std::move(message));
  }
  static AgentFailure outcomeUnknown(std::string message) {
    return AgentFailure(FailureCode::outcomeUnknown, std::move(message));
  }
  static AgentFailure responseTooLarge(std::string message) {
    return AgentFailure(FailureCode::responseTooLarge, std::move(message));
  }
  static AgentFailure invalidResponse(std::string message) {
    return AgentFailure(FailureCode::invalidResponse, std::move(message));
  }
  static AgentFailure idConflict(std::string message) {
    return AgentFailure(FailureCode::idConflict, std::move(message));
  }
  static AgentFailure conflict(std::string message,
                        bool retryable = failureRow(FailureCode::conflict).retryable) {
    return AgentFailure(FailureCode::conflict, std::move(message), retryable);
  }
  static AgentFailure notFound(std::string message) {
    return AgentFailure(FailureCode::notFound, std::move(message));
  }
  static AgentFailure ambiguousJob(std::string message) {
    return AgentFailure(FailureCode::ambiguousJob, std::move(message));
  }
  static AgentFailure previewConflict(std::string message) {
    return AgentFailure(FailureCode::previewConflict, std::move(message));
  }
  static AgentFailure outputExists(std::string message) {
    return AgentFailure(FailureCode::outputExists, std::move(message));
  }
  static AgentFailure exportFailed(std::string message) {
    return AgentFailure(FailureCode::exportFailed, std::move(message));
  }
  static AgentFailure appRequired(std::string message) {
    return AgentFailure(FailureCode::appRequired, std::move(message));
  }
  static AgentFailure dataUnreadable(std::string message) {
    return AgentFailure(FailureCode::dataUnreadable, std::move(message));
  }
  static AgentFailure saveFailed(std::string message,
                        bool retryable = failureRow(FailureCode::saveFailed).retryable) {
    return AgentFailure(FailureCode::saveFailed, std::move(message), retryable);
  }
  static AgentFailure invalidRequest(std::string message) {
    return AgentFailure(FailureCode::invalidRequest, std::move(message));
  }

  std::string code;
  std::string message;
  bool retryable;
};

}  // namespace pellam::agent
