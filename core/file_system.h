#pragma once
// Every file operation of every layer (the archive storage, the host, the client's transport,
// the command line's argument and export files) goes through this one small interface, so a
// test can fail or "crash" any single write, sync or move and then look at what survived on
// disk.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/folder_watch.h"

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

// How a move puts a file in its place.
enum class Placement {
  replace,       // atomically replaces what is there
  neverReplace,  // fails with EEXIST when anything has the name; the source name is gone after.
                 // Files only: where the system has no such move, a hard link stands in.
};

// An exclusive lock held until the object is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// What lstat (statx) reports about a path; links are not followed.
struct FileStatus {
  bool exists = false;
  bool isRegularFile = false;
  bool isDirectory = false;
  bool isSymbolicLink = false;
  // Which file it is: the same device and inode mean the same file (a hard link included).
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  mode_t mode = 0;  // permission bits only
  // Birth time; none where the file system does not record it.
  std::optional<FileTime> creationTime;
  FileTime modificationTime{};
  // Status change time: set by the system on every write, rename, link or permission
  // change, and unlike the modification time no user can set it back. So a file edited in
  // place that kept its size and modification time (cp -p, rsync -t, touch -r) still differs.
  FileTime changeTime{};

  // Which file: both exist and are the same file, whatever happened to it.
  bool isSameFile(const FileStatus& other) const {
    return exists && other.exists && device == other.device && inode == other.inode;
  }
  // Which file and in which state: the same file, of the same kind, size and times, or
  // nothing at the path both times. What a cache of a file's content trusts; the permission
  // bits do not count, since they say nothing about the bytes.
  bool isUnchangedAs(const FileStatus& other) const {
    if (!exists || !other.exists) return exists == other.exists;
    return isSameFile(other) && isRegularFile == other.isRegularFile && isDirectory == other.isDirectory &&
           isSymbolicLink == other.isSymbolicLink && size == other.size &&
           modificationTime == other.modificationTime && creationTime == other.creationTime &&
           changeTime == other.changeTime;
  }
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
  // Like readFile, but never follows a final symbolic link, and returns none when the file
  // holds more than `maximum` bytes (at most `maximum` + 1 bytes are read). No spare capacity.
  virtual std::optional<std::string> readFileAtMost(const std::string& path, std::size_t maximum) = 0;
  // Creates `path`, which must not exist (a link there is not followed), with exactly
  // `mode`, and writes all of `bytes`. A failure leaves no file behind.
  virtual void writeNewFile(const std::string& path, std::string_view bytes, mode_t mode) = 0;
  // Like writeNewFile, with the bytes handed over in parts: `contents` calls its argument
  // once per part, so a large file need never be held whole. Whatever `contents` throws
  // passes on and leaves no file behind. By default the parts are gathered for writeNewFile.
  using PartWriter = std::function<void(std::string_view)>;
  virtual void writeNewFileInParts(const std::string& path, const std::function<void(const PartWriter&)>& contents,
                                   mode_t mode);
  virtual void syncFile(const std::string& path) = 0;
  virtual void syncDirectory(const std::string& path) = 0;
  virtual void move(const std::string& from, const std::string& to, Placement placement) = 0;
  // A hard link; fails when `to` exists.
  virtual void link(const std::string& from, const std::string& to) = 0;
  // Removes a file or link (never a folder).
  virtual void remove(const std::string& path) = 0;
  // Removes a folder with everything in it, following no links; a missing path is fine.
  virtual void removeTree(const std::string& path) = 0;
  // The names in a folder, hidden ones included ("." and ".." are not), sorted by bytes.
  virtual std::vector<std::string> listDirectory(const std::string& path) = 0;
  // Takes an exclusive lock on an existing file or folder (a link is not followed); none when
  // another holder has it.
  virtual std::unique_ptr<FileLock> tryLock(const std::string& path) = 0;
  // Starts watching a folder; none where notifications cannot be had (the caller then looks
  // on its own schedule).
  virtual std::unique_ptr<FolderWatch> watchFolder(const std::string& path) = 0;
};

// The operating system's file system (POSIX calls, errno texts in the errors).
class RealFileSystem final : public FileSystem {
 public:
  static constexpr std::size_t kReadSpareCapacity = 64;

  void createDirectories(const std::string& path, mode_t mode) override;
  void setMode(const std::string& path, mode_t mode) override;
  FileStatus status(const std::string& path) override;
  std::string readFile(const std::string& path) override;
  std::optional<std::string> readFileAtMost(const std::string& path, std::size_t maximum) override;
  void writeNewFile(const std::string& path, std::string_view bytes, mode_t mode) override;
  void writeNewFileInParts(const std::string& path, const std::function<void(const PartWriter&)>& contents,
                           mode_t mode) override;
  void syncFile(const std::string& path) override;
  void syncDirectory(const std::string& path) override;
  void move(const std::string& from, const std::string& to, Placement placement) override;
  void link(const std::string& from, const std::string& to) override;
  void remove(const std::string& path) override;
  void removeTree(const std::string& path) override;
  std::vector<std::string> listDirectory(const std::string& path) override;
  std::unique_ptr<FileLock> tryLock(const std::string& path) override;
  std::unique_ptr<FolderWatch> watchFolder(const std::string& path) override;

  // One shared instance for callers that take the real file system by default.
  static std::shared_ptr<FileSystem> shared();
};

}  // namespace pellam
