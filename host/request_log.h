#pragma once
#include <string>

#include "core/instant.h"
#include "host/host_log.h"

namespace pellam::host {

// One line per request on the host's standard error: when, which request, which command,
// how it ended and how long it took. Never arguments, results or record contents.
void logRequest(HostLog& log, Instant at, const std::string& id, const std::string& command,
                const std::string& outcome, double milliseconds);

}  // namespace pellam::host
