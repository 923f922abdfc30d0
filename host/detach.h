#pragma once
#include "host/host_options.h"

namespace pellam::host {

// vantry-host --detach: starts the host in a new session, its standard streams on its log
// file, and waits until it is ready (as runHost defines it) or has failed. The parent prints
// the host's pid and returns 0, or prints the reason to standard error and returns 1; it
// learns which through a pipe, never from the heartbeat, which a host killed a moment ago
// leaves looking fresh. The host itself returns its exit status from here too.
int runDetached(const HostOptions& options);

}  // namespace pellam::host
