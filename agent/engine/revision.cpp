#include "agent/engine/revision.h"

#include "agent/engine/arguments.h"
#include "core/sha256.h"

namespace pellam::agent::engine {

std::string revisionOfJson(const Json& archiveForm) { return sha256Hex(writeJson(archiveForm)); }

void matchRevision(const AgentRequest& request, const std::string& currentRevision) {
  const std::string* expected = argument(request, "if-match");
  if (expected == nullptr || *expected == currentRevision) return;
  throw AgentFailure::conflict("This record changed. Read it again before applying your update.", /*retryable=*/true);
}

}  // namespace pellam::agent::engine
