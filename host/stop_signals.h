#pragma once
// How the host process takes signals: SIGINT and SIGTERM become a readable descriptor, so a
// request in hand is never interrupted, and a closed pipe never ends the process.

namespace pellam::host {

// SIGINT and SIGTERM as readable events (signalfd on Linux; otherwise a handler writes into
// a pipe). Create it before any thread starts: threads inherit the blocked signals.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Readable once a stop signal arrived; -1 when none could be set up.
  int descriptor() const { return fd_; }
  // Whether a stop signal arrived (consumes one).
  bool received();

 private:
  int fd_ = -1;
  int input_ = -1;  // the pipe's writing end, where signalfd is not used
};

// A write to a pipe whose reader went away (vantry-host 2>&1 | head -n 1) fails instead of
// ending the process.
void ignoreClosedPipes();

}  // namespace pellam::host
