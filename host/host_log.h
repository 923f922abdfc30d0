#pragma once
#include <mutex>
#include <ostream>
#include <string_view>

namespace pellam::host {

// The host's log (its standard error), shared by the request loop and the heartbeat's thread,
// written a whole line at a time. The log is only a witness: a line that cannot be written
// (its reader went away, its disk is full) is dropped and the host goes on serving. The
// failure is not kept either: every later line is tried again, so a log that can be written
// again (space freed on its disk) gets the lines from then on.
class HostLog {
 public:
  explicit HostLog(std::ostream& out) : out_(out) {}

  // Writes `text` and a line break, and flushes.
  void line(std::string_view text);

 private:
  std::mutex mutex_;
  std::ostream& out_;
};

}  // namespace pellam::host
