#include "host/stop_signals.h"

#include <signal.h>
#if defined(__linux__) && !defined(PELLAM_PORTABLE_FALLBACKS)
#include <sys/signalfd.h>
#endif
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace pellam::host {

#if defined(__linux__) && !defined(PELLAM_PORTABLE_FALLBACKS)
StopSignals::StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before any thread starts: they inherit it
  fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

StopSignals::~StopSignals() {
  if (fd_ >= 0) ::close(fd_);
}

bool StopSignals::received() {
  signalfd_siginfo info;
  return fd_ >= 0 && ::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
}
#else
namespace {

// Without signalfd: a handler writes a byte into a pipe (the self-pipe trick).
int stopPipeInput = -1;

void onStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(stopPipeInput, &byte, 1);
  errno = saved;
}

}  // namespace

StopSignals::StopSignals() {
  int ends[2];
  if (::pipe(ends) != 0) return;
  for (int end : ends) {
    ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    ::fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  fd_ = ends[0];
  stopPipeInput = input_ = ends[1];
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

StopSignals::~StopSignals() {
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
  if (fd_ >= 0) ::close(fd_);
  if (input_ >= 0) ::close(input_);
  stopPipeInput = -1;
}

bool StopSignals::received() {
  char byte;
  return fd_ >= 0 && ::read(fd_, &byte, 1) == 1;
}
#endif

void ignoreClosedPipes() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace pellam::host
