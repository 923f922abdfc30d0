#pragma once
#include <memory>
#include <ostream>

#include "core/file_system.h"
#include "host/host_options.h"

namespace pellam::host {

// vantry-host's life: takes the data folder (one host per folder), publishes the heartbeat,
// settles answers an earlier run left staged, then answers requests one at a time, in
// arrival order, until SIGINT or SIGTERM, finishing the request in hand. Returns the exit
// status; `log` gets one line per request and the reason for a failed start. Every file
// access goes through `fs`.
int runHost(const HostOptions& options, std::ostream& log,
            std::shared_ptr<FileSystem> fs = RealFileSystem::shared());

}  // namespace pellam::host
