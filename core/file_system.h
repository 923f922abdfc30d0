#pragma once
// Every file operation of the archive storage and the host goes through this one small
// interface, so a test can fail or "crash" any single write, sync or rename and then look
// at what survived on disk.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace pellam {

// A failed file-system call. code() holds the errno value; what() names the operation, the
// path and the platform's own text for the error.
class FileSystemError : public std::system_error {
 public:
  FileSystemError(int errnoValue, const std::string& what)
      : std::system_error(errnoValue, std::generic_category(), what) {}
  int errnoValue() const { return code().value(); }
};

using FileTime = std::chrono::system_clock::time_point;

// What lstat (statx) reports about a path; links are not followed.
struct FileStatus {
  bool exists = false;
  bool isRegularFile = false;
  bool isDirectory = false;
  bool isSymbolicLink = false;
  std::uint64_t size = 0;
  mode_t mode = 0;  // permission bits only
  // Birth time; none where the file system does not record it.
  std::optional<FileTime> creationTime;
  FileTime modificationTime{};
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates the folder and any missing parents, each new one with exactly `mode`; an
  // existing folder is left as it is.
  virtual void createDirectories(const std::string& path, mode_t mode) = 0;
  virtual void setMode(const std::string& path, mode_t mode) = 0;
  // A missing path gives `exists` false; any other failure throws.
  virtual FileStatus status(const std::string& path) = 0;
  // The whole content of a regular file. The real file system leaves kReadSpareCapacity
  // bytes of spare capacity after it, so that a parser which reads a little past the end
  // (simdjson) can use the bytes where they are instead of copying them.
  virtual std::string readFile(const std::string& path) = 0;
  // Creates `path`, which must not exist (a link there is not followed), with exactly
  // `mode`, and writes all of `bytes`. A failure leaves no file behind.
  virtual void writeNewFile(const std::string& path, std::string_view bytes, mode_t mode) = 0;
  virtual void syncFile(const std::string& path) = 0;
  virtual void syncDirectory(const std::string& path) = 0;
  // Atomically replaces `to` when it exists.
  virtual void rename(const std::string& from, const std::string& to) = 0;
  // A hard link; fails when `to` exists.
  virtual void link(const std::string& from, const std::string& to) = 0;
  // Removes a file or link (never a folder).
  virtual void remove(const std::string& path) = 0;
  // The names in a folder, hidden ones included ("." and ".." are not), sorted by bytes.
  virtual std::vector<std::string> listDirectory(const std::string& path) = 0;
};

// The operating system's file system (POSIX calls, errno texts in the errors).
class RealFileSystem final : public FileSystem {
 public:
  static constexpr std::size_t kReadSpareCapacity = 64;

  void createDirectories(const std::string& path, mode_t mode) override;
  void setMode(const std::string& path, mode_t mode) override;
  FileStatus status(const std::string& path) override;
  std::string readFile(const std::string& path) override;
  void writeNewFile(const std::string& path, std::string_view bytes, mode_t mode) override;
  void syncFile(const std::string& path) override;
  void syncDirectory(const std::string& path) override;
  void rename(const std::string& from, const std::string& to) override;
  void link(const std::string& from, const std::string& to) override;
  void remove(const std::string& path) override;
  std::vector<std::string> listDirectory(const std::string& path) override;

  // One shared instance for callers that take the real file system by default.
  static std::shared_ptr<FileSystem> shared();
};

// Replaces (or creates) `path` with `bytes` so that a crash at any moment leaves either the
// old or the new complete file: a uniquely named temporary file in the same folder is
// created exclusively, written in full and synced, then renamed over `path`, and the folder
// is synced so the rename itself survives a power cut. Any failure before the rename
// removes the temporary file.
void writeFileAtomically(FileSystem& fs, const std::string& path, std::string_view bytes, mode_t mode);

}  // namespace pellam
