#pragma once
// Every failure code the two programs raise, in one table: the code's wire text, whether the
// same request may succeed later (the usual case; a few raisers decide otherwise), and the
// exit status `vantry` ends with when it raises the failure itself.
#include <array>
#include <cstddef>
#include <string_view>

namespace pellam::agent {

enum class FailureCode {
  invalidArgument,
  unknownCommand,
  operationFailed,
  appUnavailable,
  invalidStatus,
  unsupportedVersion,
  unsafePath,
  agentDisabled,
  appLocked,
  requestTooLarge,
  requestPending,
  outcomeUnknown,
  responseTooLarge,
  invalidResponse,
  idConflict,
  conflict,
  notFound,
  ambiguousJob,
  previewConflict,
  outputExists,
  exportFailed,
  // Raised only by the host.
  appRequired,
  dataUnreadable,
  saveFailed,
  invalidRequest,
};

struct FailureRow {
  FailureCode id;
  std::string_view code;
  bool retryable;
  int exitStatus;
};

// Exit status 2 is a command line `vantry` refused; anything else it raises is 1. (An answer
// of the app that carries a failure always ends with 1, whatever its code.)
inline constexpr std::array kFailureCatalogue{
    FailureRow{FailureCode::invalidArgument, "invalid_argument", false, 2},
    FailureRow{FailureCode::unknownCommand, "unknown_command", false, 2},
    FailureRow{FailureCode::operationFailed, "operation_failed", false, 1},
    FailureRow{FailureCode::appUnavailable, "app_unavailable", true, 1},
    FailureRow{FailureCode::invalidStatus, "invalid_status", true, 1},
    FailureRow{FailureCode::unsupportedVersion, "unsupported_version", false, 1},
    FailureRow{FailureCode::unsafePath, "unsafe_path", false, 1},
    FailureRow{FailureCode::agentDisabled, "agent_disabled", false, 1},
    FailureRow{FailureCode::appLocked, "app_locked", false, 1},
    FailureRow{FailureCode::requestTooLarge, "request_too_large", false, 1},
    FailureRow{FailureCode::requestPending, "request_pending", true, 1},
    FailureRow{FailureCode::outcomeUnknown, "outcome_unknown", true, 1},
    FailureRow{FailureCode::responseTooLarge, "response_too_large", false, 1},
    FailureRow{FailureCode::invalidResponse, "invalid_response", false, 1},
    FailureRow{FailureCode::idConflict, "id_conflict", false, 1},
    FailureRow{FailureCode::conflict, "conflict", false, 1},
    FailureRow{FailureCode::notFound, "not_found", false, 1},
    FailureRow{FailureCode::ambiguousJob, "ambiguous_job", false, 1},
    FailureRow{FailureCode::previewConflict, "preview_conflict", true, 1},
    FailureRow{FailureCode::outputExists, "output_exists", false, 1},
    FailureRow{FailureCode::exportFailed, "export_failed", false, 1},
    FailureRow{FailureCode::appRequired, "app_required", false, 1},
    FailureRow{FailureCode::dataUnreadable, "data_unreadable", false, 1},
    FailureRow{FailureCode::saveFailed, "save_failed", true, 1},
    FailureRow{FailureCode::invalidRequest, "invalid_request", false, 1},
};

constexpr const FailureRow& failureRow(FailureCode id) { return kFailureCatalogue[static_cast<std::size_t>(id)]; }

constexpr bool catalogueFollowsTheCodes() {
  for (std::size_t i = 0; i < kFailureCatalogue.size(); ++i) {
    if (static_cast<std::size_t>(kFailureCatalogue[i].id) != i) return false;
  }
  return true;
}
static_assert(catalogueFollowsTheCodes(), "each row sits at its code's place");

// The row of a code's wire text; nullptr for a code this build does not know (an answer of a
// newer app, say).
const FailureRow* findFailureRow(std::string_view code);

// The exit status of a failure `vantry` raises itself; 1 for a code it does not know.
int exitStatusOf(std::string_view code);

}  // namespace pellam::agent
