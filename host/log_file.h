#pragma once
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

namespace pellam::host {

// The log of a detached host: a private file (mode 0600, never through a symbolic link)
// written a line at a time. It never grows much past its cap: once it holds more, it is
// moved to PATH.1 (replacing the one before) and a new file is begun, so at most twice the
// cap is kept. Standard output and error follow it, for anything written there directly.
class LogFile : private std::streambuf, public std::ostream {
 public:
  static constexpr std::uint64_t kDefaultCap = 1024 * 1024;

  // Opens (or creates) the file for appending; throws std::runtime_error with the reason.
  explicit LogFile(std::string path, std::uint64_t cap = kDefaultCap);
  ~LogFile() override;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  int descriptor() const { return fd_; }
  // Makes standard output and error write into the file from now on, also after a rotation.
  void takeStandardStreams();
  // The last whole line written, without its line break.
  const std::string& lastLine() const { return lastLine_; }

 private:
  int overflow(int c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;
  void open();
  void rotateIfFull();

  std::string path_;
  std::uint64_t cap_;
  int fd_ = -1;
  bool ownsStandardStreams_ = false;
  std::string pending_;
  std::string lastLine_;
};

}  // namespace pellam::host
