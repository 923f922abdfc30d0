#pragma once
#include <functional>
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
//
// `onReady` is called once, when the host is ready: the folder is locked, the heartbeat
// written, the watch on Requests/ in place and the archive read (or found unreadable), so a
// command sent from then on is answered. --detach and the systemd notification wait for it.
int runHost(const HostOptions& options, std::ostream& log,
            std::shared_ptr<FileSystem> fs = RealFileSystem::shared(), std::function<void()> onReady = {});

}  // namespace pellam::host
