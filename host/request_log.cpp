#include "host/request_log.h"

#include <cstdio>

namespace pellam::host {

void logRequest(HostLog& log, Instant at, const std::string& id, const std::string& command,
                const std::string& outcome, double milliseconds) {
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.1fms", milliseconds);
  log.line(formatInternetDateTime(at) + ' ' + id + ' ' + command + ' ' + outcome + ' ' + duration);
}

}  // namespace pellam::host
