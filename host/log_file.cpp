#include "host/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "core/standard_output.h"

namespace pellam::host {

LogFile::LogFile(std::string path, std::uint64_t cap)
    : std::ostream(static_cast<std::streambuf*>(this)), path_(std::move(path)), cap_(cap) {
  open();
  if (fd_ < 0) throw std::runtime_error("cannot open the log file " + path_ + ": " + std::strerror(errno) + ".");
}

LogFile::~LogFile() {
  sync();
  if (fd_ >= 0) ::close(fd_);
}

void LogFile::open() {
  int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;  // a device or a pipe is no log file to rotate
    return;
  }
  ::fchmod(fd, 0600);  // a log kept from before is made private too
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  if (ownsStandardStreams_) takeStandardStreams();
}

void LogFile::takeStandardStreams() {
  ownsStandardStreams_ = true;
  ::dup2(fd_, STDOUT_FILENO);
  ::dup2(fd_, STDERR_FILENO);
}

int LogFile::overflow(int c) {
  if (c != std::streambuf::traits_type::eof()) pending_.push_back(static_cast<char>(c));
  return std::streambuf::traits_type::not_eof(c);
}

std::streamsize LogFile::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<std::size_t>(n));
  return n;
}

// Whole lines only; a line that cannot be written is dropped, as the host's log wants.
int LogFile::sync() {
  std::size_t end = pending_.rfind('\n');
  if (end == std::string::npos) return 0;
  std::string lines = pending_.substr(0, end + 1);
  pending_.erase(0, end + 1);
  std::string_view body(lines.data(), lines.size() - 1);
  std::size_t start = body.rfind('\n');
  lastLine_ = std::string(body.substr(start == std::string_view::npos ? 0 : start + 1));
  writeAll(fd_, lines);
  rotateIfFull();
  return 0;
}

void LogFile::rotateIfFull() {
  struct stat info;
  if (::fstat(fd_, &info) != 0 || static_cast<std::uint64_t>(info.st_size) < cap_) return;
  // Only the file still at the path is moved: one moved away by hand is left alone.
  struct stat atPath;
  if (::lstat(path_.c_str(), &atPath) == 0 && atPath.st_dev == info.st_dev && atPath.st_ino == info.st_ino) {
    if (::rename(path_.c_str(), (path_ + ".1").c_str()) != 0) return;
  }
  open();  // on failure the old descriptor stays, and the next line tries again
}

}  // namespace pellam::host
