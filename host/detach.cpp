#include "host/detach.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>

#include "core/file_placement.h"
#include "core/file_system.h"
#include "core/standard_output.h"
#include "host/agent_folders.h"
#include "host/host.h"
#include "host/log_file.h"
#include "host/stop_signals.h"
#include "host/systemd_notify.h"

namespace pellam::host {

namespace {

constexpr const char* kReady = "ready\n";
constexpr const char* kFailed = "failed ";

std::string readAll(int fd) {
  std::string text;
  char buffer[512];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text == kReady) return text;
  }
}

int fail(const std::string& reason) {
  std::cerr << "vantry-host: " << reason << '\n';
  return 1;
}

// The host's side: a new session without a terminal, and the log as its standard streams.
int serve(const HostOptions& options, LogFile& log, int readyPipe) {
  ::setsid();
  int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nothing >= 0) {
    ::dup2(nothing, STDIN_FILENO);
    ::close(nothing);
  }
  log.takeStandardStreams();
  bool ready = false;
  int status = runHost(options, log, RealFileSystem::shared(), [&] {
    ready = true;
    notifyServiceManager("READY=1");
    writeAll(readyPipe, kReady);
    ::close(readyPipe);
  });
  if (!ready) {
    writeAll(readyPipe, kFailed + log.lastLine());
    ::close(readyPipe);
  }
  return status;
}

}  // namespace

int runDetached(const HostOptions& options) {
  ignoreClosedPipes();  // a caller gone before the pid is printed gets exit 1, not a signal
  std::string logPath;
  try {
    // The folders first, so that the default log has its place and a folder that cannot be
    // served is reported here, as the host in the foreground would.
    std::shared_ptr<FileSystem> fs = RealFileSystem::shared();
    AgentFolders folders(options.dataDirectory);
    fs->createDirectories(folders.data, kPrivateFolderMode);
    folders.prepare(*fs);
    logPath = options.logFile.value_or(folders.hostLog);
  } catch (const std::exception& error) {
    return fail(error.what());
  }
  std::unique_ptr<LogFile> log;
  try {
    log = std::make_unique<LogFile>(logPath);
  } catch (const std::exception& error) {
    return fail(error.what());
  }
  int fds[2];
  if (::pipe(fds) != 0) return fail(std::string("cannot start: ") + std::strerror(errno) + ".");
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  std::cout.flush();
  std::cerr.flush();
  pid_t pid = ::fork();
  if (pid < 0) return fail(std::string("cannot start: ") + std::strerror(errno) + ".");
  if (pid == 0) {
    ::close(fds[0]);
    return serve(options, *log, fds[1]);
  }
  ::close(fds[1]);
  log.reset();
  std::string answer = readAll(fds[0]);
  ::close(fds[0]);
  if (answer == kReady) {
    // A pid that did not reach its reader is not success: the script would have lost its
    // host, so the host is stopped again and the start reported as failed.
    if (writeAllAndClose(STDOUT_FILENO, std::to_string(pid) + "\n")) return 0;
    ::kill(pid, SIGTERM);
    std::cerr << "vantry-host: the pid could not be written to standard output; the host was stopped.\n";
    return 1;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  std::string reason;
  if (answer.rfind(kFailed, 0) == 0 && answer.size() > std::strlen(kFailed)) {
    reason = answer.substr(std::strlen(kFailed));
    if (reason.rfind("vantry-host: ", 0) == 0) reason.erase(0, std::strlen("vantry-host: "));
  } else if (WIFSIGNALED(status)) {
    reason = "the host was ended by signal " + std::to_string(WTERMSIG(status)) + " before it was ready.";
  } else {
    reason = "the host stopped before it was ready.";
  }
  std::cerr << "vantry-host: " << reason << " (log: " << logPath << ")\n";
  return 1;
}

}  // namespace pellam::host
