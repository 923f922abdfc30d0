#include "mcp/protocol_revision.h"

#include <algorithm>

namespace pellam::mcp {

std::string_view negotiatedRevision(std::string_view requested) {
  bool known = std::find(kProtocolRevisions.begin(), kProtocolRevisions.end(), requested) != kProtocolRevisions.end();
  return known ? requested : kProtocolRevisions.front();
}

bool allowsBatches(std::string_view revision) { return revision == "2025-03-26"; }

// Revisions are dates, so text order is time order.
bool inputErrorsAreToolErrors(std::string_view revision) { return revision >= "2025-11-25"; }

}  // namespace pellam::mcp
